// Message boxes the plug-in shows with the real MessageBoxA: a hook on the
// host's thread sees each one come up, reads what it says, asks the user and
// presses the chosen button.
#include <windows.h>

#include "host/win32/win_state.h"

namespace win32 {

namespace {

HHOOK g_hook = nullptr;
std::vector<sim::MessageBoxInfo> g_boxes;

bool IsOwnDialog(HWND window) {
    for (DialogRun* run : OpenRuns()) {
        if (run->window == window) return true;
    }
    return false;
}

// The box's type as far as its window shows it: its buttons and its icon.
UINT TypeOf(HWND box) {
    UINT type = MB_OK;
    const bool yes = GetDlgItem(box, IDYES) != nullptr;
    const bool cancel = GetDlgItem(box, IDCANCEL) != nullptr;
    if (yes) {
        type = cancel ? MB_YESNOCANCEL : MB_YESNO;
    } else if (cancel && GetDlgItem(box, IDOK) != nullptr) {
        type = MB_OKCANCEL;
    }
    struct Icon {
        LPCSTR resource;
        UINT flag;
    };
    static const Icon kIcons[] = {{IDI_HAND, MB_ICONERROR},
                                  {IDI_EXCLAMATION, MB_ICONWARNING},
                                  {IDI_ASTERISK, MB_ICONINFORMATION},
                                  {IDI_QUESTION, MB_ICONQUESTION}};
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassNameOf(child) != "Static") continue;
        auto icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (icon == nullptr) continue;
        for (const Icon& known : kIcons) {
            if (LoadIconA(nullptr, known.resource) == icon) type |= known.flag;
        }
    }
    return type;
}

std::string TextIn(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassNameOf(child) != "Static") continue;
        DWORD style = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE));
        if ((style & SS_TYPEMASK) == SS_ICON) continue;
        std::string text = TextOf(child);
        if (!text.empty()) return text;
    }
    return {};
}

int NeutralAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
            return IDNO;
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

void Answer(HWND box) {
    sim::MessageBoxInfo info;
    info.owner = GetWindow(box, GW_OWNER);
    info.text = TextIn(box);
    info.caption = TextOf(box);
    info.type = TypeOf(box);
    info.window = box;
    g_boxes.push_back(info);
    const std::size_t index = g_boxes.size() - 1;
    sim::User* user = CurrentUser();
    int answer = user != nullptr ? user->AnswerMessageBox(info) : NeutralAnswer(info.type);
    g_boxes[index].answer = answer;
    // No answer: the user's keys are on their way to the box, which decides.
    if (answer == 0) return;
    // Pressed once the box's own loop runs, as a click would be.
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
}

LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (sent->message == WM_INITDIALOG && ClassNameOf(sent->hwnd) == "#32770" && !IsOwnDialog(sent->hwnd)) {
            Answer(sent->hwnd);
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

void EnsureMessageBoxHook() {
    if (g_hook != nullptr) return;
    g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId());
}

void ClearMessageBoxes() { g_boxes.clear(); }

}  // namespace win32

namespace sim {

const std::vector<MessageBoxInfo>& MessageBoxes() { return win32::g_boxes; }

}  // namespace sim
