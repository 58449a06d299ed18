// user32 window functions over the simulated windows: messages go through
// each window's current procedure, so subclassing works as on Windows.
#include <algorithm>

#include "host/sim/world.h"

namespace sim::detail {

// What a control's own procedure does with the messages the plug-in sends.
LRESULT CALLBACK ControlProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* control = WindowObject(handle);
    if (control == nullptr) return 0;
    const bool isEdit = control->kind == "edit";
    const bool isBox = control->kind == "checkbox" || control->kind == "3state" || control->kind == "radio";
    switch (message) {
        case WM_SETFONT:
            control->font = FontOf(reinterpret_cast<HFONT>(wParam));
            if (lParam != 0) ++control->invalidations;
            return 0;
        case EM_SETSEL:
            if (isEdit) {
                control->selStart = static_cast<int>(static_cast<LONG_PTR>(wParam));
                control->selEnd = static_cast<int>(lParam);
                // As the edit reads it: a start of -1 drops the selection,
                // anything past the end (-1 included) is the end.
                const int length = static_cast<int>(control->text.size());
                auto clamp = [length](LONG_PTR value) {
                    return value < 0 || value > length ? length : static_cast<int>(value);
                };
                if (static_cast<LONG_PTR>(wParam) == -1) {
                    control->anchor = control->caret;
                } else {
                    control->anchor = clamp(static_cast<LONG_PTR>(wParam));
                    control->caret = clamp(lParam);
                }
            }
            return 0;
        case EM_LIMITTEXT:
            if (isEdit) {
                // 0 asks for the largest limit a single-line edit has.
                constexpr WPARAM kMax = 0x7FFFFFFE;
                control->limit = static_cast<int>(wParam == 0 || wParam > kMax ? kMax : wParam);
            }
            return 0;
        case BM_GETCHECK:
            return isBox ? control->state : 0;
        case BM_SETCHECK:
            if (isBox) {
                // Two-state boxes and radios hold at most "checked", as on Windows.
                WPARAM most = control->kind == "3state" ? BST_INDETERMINATE : BST_CHECKED;
                control->state = static_cast<int>(std::min(wParam, most));
            }
            return 0;
        default:
            return 0;
    }
}

LRESULT CALLBACK HostProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

RECT ScreenRect(const Window& window) {
    if (window.type != WindowType::Control) return window.rect;
    RECT rect = window.rect;
    if (Window* dialog = WindowObject(window.parent)) {
        int dx = dialog->rect.left + kFrame, dy = dialog->rect.top + kFrame + kCaption;
        rect.left += dx;
        rect.right += dx;
        rect.top += dy;
        rect.bottom += dy;
    }
    return rect;
}

}  // namespace sim::detail

using namespace sim::detail;

extern "C" {

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    Window* control = ControlObject(dialog, id);
    return control == nullptr ? nullptr : control->handle;
}

int WINAPI GetDlgCtrlID(HWND control) {
    Window* window = WindowObject(control);
    return window == nullptr || window->type != WindowType::Control ? 0 : window->id;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* object = WindowObject(window);
    if (object == nullptr || object->proc == nullptr) return 0;
    return object->proc(window, message, wParam, lParam);
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control == nullptr ? 0 : SendMessageA(control, message, wParam, lParam);
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    Window* object = WindowObject(window);
    if (object == nullptr) return FALSE;
    BOOL wasVisible = object->visible ? TRUE : FALSE;
    object->visible = command != SW_HIDE;
    if (!object->visible && object->type == WindowType::Control) FocusLeaves(*object);
    return wasVisible;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    Window* object = WindowObject(window);
    if (object == nullptr || rect == nullptr) return FALSE;
    *rect = ScreenRect(*object);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    Window* object = WindowObject(window);
    if (object == nullptr) return FALSE;
    object->rect = RECT{x, y, x + width, y + height};
    if (repaint) ++object->invalidations;
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return ScreenWidth();
        case SM_CYSCREEN:
            return ScreenHeight();
        default:
            return 0;
    }
}

BOOL WINAPI InvalidateRect(HWND window, const RECT*, BOOL) {
    if (window == nullptr) return TRUE;  // Windows repaints everything then
    Window* object = WindowObject(window);
    if (object == nullptr) return FALSE;
    ++object->invalidations;
    return TRUE;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    Window* object = WindowObject(window);
    if (object == nullptr) return 0;
    if (index == GWLP_WNDPROC) {
        if (value == 0) {
            Warn("SetWindowLongPtrA: a null window procedure refused");
            return 0;
        }
        WNDPROC previous = object->proc;
        object->proc = reinterpret_cast<WNDPROC>(value);
        return reinterpret_cast<LONG_PTR>(previous);
    }
    LONG_PTR previous = object->longs[index];
    object->longs[index] = value;
    return previous;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
    Window* object = WindowObject(window);
    if (object == nullptr) return 0;
    if (index == GWLP_WNDPROC) return reinterpret_cast<LONG_PTR>(object->proc);
    auto it = object->longs.find(index);
    return it == object->longs.end() ? 0 : it->second;
}

LRESULT WINAPI CallWindowProcA(WNDPROC previous, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (previous == nullptr) return 0;
    return previous(window, message, wParam, lParam);
}

}  // extern "C"
