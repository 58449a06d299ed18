// The user's actions and what the user sees, on the real controls of a
// dialog: clicks go through BM_CLICK, typing through WM_SETTEXT, and every
// reading comes back from the control itself.
#include <windows.h>

#include <algorithm>
#include <sstream>

#include "host/win32/win_state.h"

namespace win32 {

std::string ClassNameOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    int length = GetWindowTextLengthA(window);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    int got = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

namespace {

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)); }

std::string KindOf(HWND control) { return sim::ControlKind(ClassNameOf(control), StyleOf(control)); }

bool IsCheckKind(const std::string& kind) { return kind == "checkbox" || kind == "3state" || kind == "radio"; }

// The control a user action addresses, or why the user could not act on it.
HWND Reachable(HWND dialog, int id, std::string* why) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        *why = "no control " + std::to_string(id);
    } else if ((StyleOf(control) & WS_VISIBLE) == 0) {
        *why = "control " + std::to_string(id) + " is hidden";
        control = nullptr;
    } else if (!IsWindowEnabled(control)) {
        *why = "control " + std::to_string(id) + " is disabled";
        control = nullptr;
    }
    return control;
}

int CheckState(HWND control) { return static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0)); }

}  // namespace

}  // namespace win32

using win32::KindOf;
using win32::Reachable;
using win32::StyleOf;
using win32::TextOf;

namespace sim {

std::vector<ControlInfo> Controls(HWND dialog) {
    std::vector<ControlInfo> controls;
    HWND focus = GetFocus();
    // The dialog manager creates the controls in template order, which is
    // also their order among the dialog's children.
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
        ControlInfo info;
        info.id = GetDlgCtrlID(control);
        info.kind = KindOf(control);
        info.text = TextOf(control);
        info.style = StyleOf(control);
        info.state = win32::IsCheckKind(info.kind) ? win32::CheckState(control) : 0;
        info.visible = (info.style & WS_VISIBLE) != 0;
        info.enabled = IsWindowEnabled(control) != FALSE;
        info.focused = control == focus;
        GetWindowRect(control, &info.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&info.rect), 2);
        if (info.kind == "edit") {
            DWORD start = 0, end = 0;
            SendMessageA(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            info.selStart = static_cast<int>(start);
            info.selEnd = static_cast<int>(end);
            info.caret = static_cast<int>(end);
            info.limit = static_cast<int>(SendMessageA(control, EM_GETLIMITTEXT, 0, 0));
        }
        info.isDefault =
            info.kind == "button" && (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0;
        controls.push_back(info);
    }
    return controls;
}

std::string Click(HWND dialog, int id) {
    std::string why;
    HWND control = Reachable(dialog, id, &why);
    if (control == nullptr) return why;
    std::string kind = KindOf(control);
    if (kind != "button" && !win32::IsCheckKind(kind)) return "control " + std::to_string(id) + " is not a button";
    // A click reaches only the active dialog.
    SetActiveWindow(dialog);
    SendMessageA(control, BM_CLICK, 0, 0);
    return {};
}

std::string Type(HWND dialog, int id, const std::string& text) {
    std::string why;
    HWND control = Reachable(dialog, id, &why);
    if (control == nullptr) return why;
    if (KindOf(control) != "edit") return "control " + std::to_string(id) + " is not an edit field";
    // WM_SETTEXT ignores the edit's limit; a typing user cannot.
    std::size_t limit = static_cast<std::size_t>(SendMessageA(control, EM_GETLIMITTEXT, 0, 0));
    std::string typed = text.substr(0, std::min(limit, text.size()));
    SetWindowTextA(control, typed.c_str());
    return {};
}

std::string SetState(HWND dialog, int id, int state) {
    std::string why;
    HWND control = Reachable(dialog, id, &why);
    if (control == nullptr) return why;
    std::string kind = KindOf(control);
    if (kind != "checkbox" && kind != "3state") return "control " + std::to_string(id) + " is not a check box";
    for (int clicks = 0; clicks < 3; ++clicks) {
        if (win32::CheckState(control) == state) return {};
        why = Click(dialog, id);
        if (!why.empty()) return why;
        if (!IsWindow(control)) return "control " + std::to_string(id) + " went away";
    }
    if (win32::CheckState(control) == state) return {};
    return "control " + std::to_string(id) + " does not reach state " + std::to_string(state) + " (it shows " +
           std::to_string(win32::CheckState(control)) + ")";
}

std::string Close(HWND dialog) {
    if (!IsWindow(dialog)) return "the dialog is gone";
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return {};
}

std::optional<std::string> ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return std::nullopt;
    return TextOf(control);
}

std::optional<int> ControlState(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return std::nullopt;
    return win32::IsCheckKind(KindOf(control)) ? win32::CheckState(control) : 0;
}

std::optional<bool> ControlVisible(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return std::nullopt;
    return (StyleOf(control) & WS_VISIBLE) != 0;
}

std::optional<bool> ControlEnabled(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return std::nullopt;
    return IsWindowEnabled(control) != FALSE;
}

std::optional<COLORREF> ControlTextColor(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return std::nullopt;
    // Windows' controls draw disabled text grey whatever their dialog says,
    // and push buttons in the button text colour without asking it.
    if (!IsWindowEnabled(control)) return GetSysColor(COLOR_GRAYTEXT);
    const std::string kind = KindOf(control);
    if (kind == "button") return GetSysColor(COLOR_BTNTEXT);
    const bool editable = kind == "edit" && (StyleOf(control) & ES_READONLY) == 0;
    // Ask the dialog's current procedure (subclass included) to prepare a
    // real display context, as painting the control would.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SendMessageA(dialog, editable ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control));
    COLORREF color = GetTextColor(dc);
    DeleteDC(dc);
    return color;
}

int FocusedControl(HWND dialog) {
    HWND focus = GetFocus();
    if (focus == nullptr || !IsChild(dialog, focus)) return 0;
    return GetDlgCtrlID(focus);
}

RECT DialogRect(HWND dialog) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    return rect;
}

std::string Render(HWND dialog) {
    std::ostringstream out;
    out << "+-- " << TextOf(dialog) << " (" << DialogTemplateId(dialog) << ")\n";
    for (const ControlInfo& control : Controls(dialog)) {
        if (!control.visible) continue;
        out << "| " << control.id << " ";
        if (control.kind == "checkbox" || control.kind == "3state") {
            out << (control.state == 1 ? "[x] " : control.state == 2 ? "[-] " : "[ ] ");
        } else if (control.kind == "radio") {
            out << (control.state != 0 ? "(o) " : "( ) ");
        } else if (control.kind == "edit") {
            out << "[" << control.text << "]";
        } else if (control.kind == "button") {
            out << "<" << control.text << ">";
        }
        if (control.kind != "edit" && control.kind != "button") out << control.text;
        if (!control.enabled) out << " (disabled)";
        out << "\n";
    }
    out << "+--\n";
    return out.str();
}

std::optional<FontInfo> ControlFont(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return std::nullopt;
    auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    LOGFONTA logFont{};
    if (font == nullptr || GetObjectA(font, sizeof logFont, &logFont) == 0) return std::nullopt;
    FontInfo info;
    info.height = logFont.lfHeight;
    info.weight = logFont.lfWeight;
    info.pitchAndFamily = logFont.lfPitchAndFamily;
    info.face = logFont.lfFaceName;
    return info;
}

}  // namespace sim
