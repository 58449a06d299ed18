// Keys on real dialogs: each key is posted as the keyboard would deliver it
// (WM_KEYDOWN/WM_KEYUP, WM_CHAR, WM_SYSCHAR) and taken from the queue
// through IsDialogMessage, as the dialog's own modal loop does, so that
// Windows' dialog manager (Wine's under Wine) decides what it does.
#include <windows.h>

#include <string>

#include "host/session/runner.h"
#include "host/win32/win_state.h"

namespace win32 {

namespace {

// Reserved bits of a key message's lParam mark the messages posted here:
// the hook below hands them to the focused window, with the Shift state the
// key was pressed with, when the queue gives them out.
constexpr LPARAM kOurs = LPARAM(1) << 25;
constexpr LPARAM kShift = LPARAM(1) << 26;
constexpr UINT_PTR kWatchTimer = 0x6B65;

HHOOK g_getMessageHook = nullptr;
HWND g_watchedBox = nullptr;
UINT g_watchedType = 0;
std::string g_watchedText;

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR || message == WM_SYSCHAR;
}

void SetShiftState(bool down) {
    BYTE state[256];
    if (!GetKeyboardState(state)) return;
    const BYTE value = down ? 0x80 : 0;
    state[VK_SHIFT] = state[VK_LSHIFT] = value;
    SetKeyboardState(state);
}

LRESULT CALLBACK OnGetMessage(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        auto* message = reinterpret_cast<MSG*>(lParam);
        if (IsKeyMessage(message->message) && (message->lParam & kOurs) != 0) {
            HWND focus = GetFocus();
            if (focus != nullptr && (focus == message->hwnd || IsChild(message->hwnd, focus))) message->hwnd = focus;
            SetShiftState((message->lParam & kShift) != 0);
            message->lParam &= ~(kOurs | kShift);
        }
    }
    return CallNextHookEx(g_getMessageHook, code, wParam, lParam);
}

void EnsureHook() {
    if (g_getMessageHook == nullptr)
        g_getMessageHook = SetWindowsHookExA(WH_GETMESSAGE, OnGetMessage, nullptr, GetCurrentThreadId());
}

bool IsExtended(int key) {
    switch (key) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_HOME:
        case VK_END:
        case VK_DELETE:
            return true;
        default:
            return false;
    }
}

LPARAM KeyData(int key, bool up, bool shift) {
    LPARAM data = 1 | (static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0) & 0xFF) << 16) | kOurs;
    if (IsExtended(key)) data |= LPARAM(1) << 24;
    if (up) data |= (LPARAM(1) << 30) | (LPARAM(1) << 31);
    if (shift) data |= kShift;
    return data;
}

bool FocusIsEdit(HWND top) {
    HWND focus = GetFocus();
    return focus != nullptr && IsChild(top, focus) && ClassNameOf(focus) == "Edit";
}

// Posts one key to the window `top` (a dialog or a message box).
void PostKey(HWND top, const sim::KeyStroke& key) {
    const LPARAM shift = key.shift ? kShift : 0;
    if (key.alt) {
        PostMessageA(top, WM_SYSCHAR, static_cast<WPARAM>(static_cast<unsigned char>(key.character)),
                     KeyData(key.key, false, key.shift) | (LPARAM(1) << 29));
        return;
    }
    if (key.key == VK_BACK) {
        PostMessageA(top, WM_CHAR, VK_BACK, KeyData(VK_BACK, false, false));
        return;
    }
    // Space types in an edit and presses a button; other characters only type.
    if (key.character != 0 && (key.key != VK_SPACE || FocusIsEdit(top))) {
        PostMessageA(top, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(key.character)),
                     KeyData(key.key != 0 ? key.key : VK_SPACE, false, key.shift) | shift);
        return;
    }
    PostMessageA(top, WM_KEYDOWN, static_cast<WPARAM>(key.key), KeyData(key.key, false, key.shift));
    PostMessageA(top, WM_KEYUP, static_cast<WPARAM>(key.key), KeyData(key.key, true, key.shift));
}

// The dialog's modal loop, for as long as there is something queued.
void PumpThroughDialog(HWND dialog) {
    MSG message;
    for (int handled = 0; handled < 2000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++handled) {
        if (IsWindow(dialog) && IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    SetShiftState(false);
}

// Fires once the box has handled every key posted to it (timers come after
// posted messages): a box still up was not closed by them.
void CALLBACK WatchBox(HWND box, UINT, UINT_PTR id, DWORD) {
    KillTimer(box, id);
    if (box != g_watchedBox) return;
    g_watchedBox = nullptr;
    if (sim::User* user = CurrentUser())
        user->MessageBoxKeysFailed("the keys leave the message box \"" + g_watchedText + "\" open");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(session::NeutralAnswer(g_watchedType), BN_CLICKED), 0);
}

}  // namespace

}  // namespace win32

namespace sim {

std::string PressKey(HWND dialog, const KeyStroke& key) {
    if (win32::RunOf(dialog) == nullptr || DialogEnded(dialog)) return "the dialog has already ended";
    win32::EnsureHook();
    SetActiveWindow(dialog);
    win32::PostKey(dialog, key);
    win32::PumpThroughDialog(dialog);
    return {};
}

int DefaultButton(HWND dialog) {
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
        if ((SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0) return GetDlgCtrlID(control);
    }
    return 0;
}

std::string PressMessageBoxKeys(const MessageBoxInfo& box, const std::vector<KeyStroke>& keys, int* answer) {
    *answer = 0;
    if (box.window == nullptr) return "the message box has no window to press keys in";
    win32::EnsureHook();
    for (const KeyStroke& key : keys) win32::PostKey(box.window, key);
    win32::g_watchedBox = box.window;
    win32::g_watchedType = box.type;
    win32::g_watchedText = box.text;
    SetTimer(box.window, win32::kWatchTimer, 50, win32::WatchBox);
    return {};
}

}  // namespace sim
