// The dialog half of the host services on real user32: the plug-in's
// templates run with DialogBoxParamA from its own module, and the user (a
// script or a person) acts on them from inside the modal loop.
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "host/win32/win_state.h"
#include "shell/host_services.h"

namespace win32 {

namespace {

// Posted at WM_INITDIALOG: the user acts once the modal loop is running, as
// a person can only act on a dialog that is up.
constexpr UINT kDriveMessage = WM_APP + 0x2F1;

sim::User* g_user = nullptr;

void PumpMessages(int rounds) {
    for (int round = 0; round < rounds; ++round) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
}

// With VELDUNE_HOST_HOLD=FILE, a dialog that the user leaves open stays up,
// painted, until FILE is deleted. FILE holds the dialog's place on the screen
// and its caption ("left top width height caption"), which is time and place
// for a screenshot of the real dialog (scripts/screenshots.sh).
void HoldForPicture(HWND dialog) {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("VELDUNE_HOST_HOLD", path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    PumpMessages(10);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    RECT rect{};
    GetWindowRect(dialog, &rect);
    std::string caption = std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                          std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top) + " " +
                          TextOf(dialog);
    DWORD written = 0;
    WriteFile(file, caption.data(), static_cast<DWORD>(caption.size()), &written, nullptr);
    CloseHandle(file);
    // At most a minute, so a forgotten hold cannot hang a run.
    for (int waited = 0; waited < 3000 && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; ++waited) {
        PumpMessages(1);
    }
    DeleteFileA(path);
}

void Drive(DialogRun* run) {
    HWND dialog = run->window;
    if (!IsWindowVisible(dialog)) {
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
    }
    if (!run->ended && g_user != nullptr) g_user->DriveDialog(dialog);
    if (!run->ended && IsWindow(dialog)) HoldForPicture(dialog);
    if (!run->ended && IsWindow(dialog)) {
        // The user gave up: the close box, as a person would.
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    if (!run->ended && IsWindow(dialog)) {
        // A procedure that ignores the close box would hang the run.
        EndDialog(dialog, IDCANCEL);
        run->ended = true;
    }
}

INT_PTR CALLBACK RunProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* run = reinterpret_cast<DialogRun*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
        run->window = dialog;
        OpenRuns().push_back(run);
        run->initialising = true;
        std::int16_t result = run->proc(dialog, message, wParam, 0, 0);
        run->initialising = false;
        PostMessageA(dialog, kDriveMessage, 0, 0);
        // Returning TRUE would move the focus back to the first control.
        return run->focusMovedInInit ? FALSE : (result != 0 ? TRUE : FALSE);
    }
    auto* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (run == nullptr) return FALSE;
    if (message == kDriveMessage) {
        Drive(run);
        return TRUE;
    }
    // Ended dialogs still hear WM_DESTROY: the plug-in frees its fonts there.
    return run->proc(dialog, message, wParam, lParam, 0) != 0 ? TRUE : FALSE;
}

HMODULE ModuleOf(const void* address) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(address), &module);
    return module;
}

}  // namespace

std::vector<DialogRun*>& OpenRuns() {
    static std::vector<DialogRun*> runs;
    return runs;
}

DialogRun* RunOf(HWND dialog) {
    for (DialogRun* run : OpenRuns()) {
        if (run->window == dialog) return run;
    }
    return nullptr;
}

sim::User* CurrentUser() { return g_user; }

}  // namespace win32

using win32::DialogRun;
using win32::RunOf;

extern "C" {

std::int16_t HS_Dialog(std::int16_t templateId, HS_DialogProc proc, HWND hostWindow, std::int16_t, std::int16_t) {
    if (proc == nullptr) return 0;
    win32::EnsureMessageBoxHook();
    // The templates are resources of the module that holds the procedure.
    HMODULE module = win32::ModuleOf(reinterpret_cast<const void*>(proc));
    if (module == nullptr) module = win32::PluginModule();
    DialogRun run;
    run.templateId = templateId;
    run.proc = proc;
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(static_cast<WORD>(templateId)), hostWindow,
                                     win32::RunProc, reinterpret_cast<LPARAM>(&run));
    auto& runs = win32::OpenRuns();
    runs.erase(std::remove(runs.begin(), runs.end(), &run), runs.end());
    return result == -1 ? 0 : 1;
}

std::int16_t HS_EndDialog(HWND dialog) {
    DialogRun* run = RunOf(dialog);
    if (run == nullptr || run->ended) return 0;
    run->ended = true;
    EndDialog(dialog, IDOK);
    return 1;
}

std::int16_t HS_EnableDlgItem(HWND dialog, std::int16_t id, std::int16_t enable) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return 0;
    EnableWindow(control, enable != 0 ? TRUE : FALSE);
    return 1;
}

std::int16_t HS_GetDlgItemVal(HWND dialog, std::int16_t id, std::int16_t kind) {
    switch (kind) {
        case HS_KIND_CHECKBOX:
        case HS_KIND_RADIO:
        case HS_KIND_TRISTATE:
            return static_cast<std::int16_t>(IsDlgButtonChecked(dialog, id));
        case HS_KIND_NUMBER: {
            BOOL ok = FALSE;
            int value = static_cast<int>(GetDlgItemInt(dialog, id, &ok, TRUE));
            return ok ? static_cast<std::int16_t>(value) : 0;
        }
        default:
            return 0;
    }
}

std::int16_t HS_SetDlgItemVal(HWND dialog, std::int16_t id, std::int16_t kind, std::int16_t value) {
    switch (kind) {
        case HS_KIND_CHECKBOX:
        case HS_KIND_RADIO:
        case HS_KIND_TRISTATE:
            return CheckDlgButton(dialog, id, static_cast<UINT>(value)) ? 1 : 0;
        case HS_KIND_NUMBER:
            return SetDlgItemInt(dialog, id, static_cast<UINT>(static_cast<int>(value)), TRUE) ? 1 : 0;
        default:
            return 0;
    }
}

std::int16_t HS_GetDlgString(HWND dialog, std::int16_t id, char* buffer, std::int16_t maxChars) {
    if (buffer == nullptr || maxChars < 0) return 0;
    // maxChars characters and the terminating zero.
    GetDlgItemTextA(dialog, id, buffer, maxChars + 1);
    buffer[maxChars] = 0;
    return 1;
}

std::int16_t HS_SetDlgString(HWND dialog, std::int16_t id, const char* text) {
    return SetDlgItemTextA(dialog, id, text != nullptr ? text : "") ? 1 : 0;
}

std::int16_t HS_SetDlgFocus(HWND dialog, std::int16_t id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return 0;
    // The dialog manager's way, so that the default button follows.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    if (DialogRun* run = RunOf(dialog); run != nullptr && run->initialising) run->focusMovedInInit = true;
    return 1;
}

}  // extern "C"

namespace sim {

HWND ActiveDialog() {
    const auto& runs = win32::OpenRuns();
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        if (!(*it)->ended) return (*it)->window;
    }
    return nullptr;
}

int DialogTemplateId(HWND dialog) {
    DialogRun* run = RunOf(dialog);
    return run != nullptr ? run->templateId : 0;
}

bool DialogEnded(HWND dialog) {
    DialogRun* run = RunOf(dialog);
    return run == nullptr || run->ended;
}

std::string WindowCaption(HWND window) { return win32::TextOf(window); }

void SetUser(User* user) {
    win32::EnsureMessageBoxHook();
    win32::g_user = user;
}

void CallbackUser::DriveDialog(HWND dialog) {
    if (onDialog) onDialog(dialog);
}

int CallbackUser::AnswerMessageBox(const MessageBoxInfo& box) {
    if (onMessageBox) return onMessageBox(box);
    return (box.type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
}

}  // namespace sim
