#include "shell/dialog_utils.h"

#include "shell/records.h"

namespace {

// The host's fourth menu holds the layer submenu and the "show only visible
// layers" toggle just after it. Some host versions put one more ordinary
// command at 16, which moves both down by one.
constexpr int kLayerMenuPosition = 3;
constexpr int kFirstLayerItemPosition = 16;

}  // namespace

void SelectAllText(HWND dialog, std::int16_t id) { SendDlgItemMessageA(dialog, id, EM_SETSEL, 0, -1); }

void LimitText(HWND dialog, std::int16_t id, std::int16_t n) {
    SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(n), 0);
}

void ShowControl(HWND dialog, std::int16_t id, std::int16_t show) {
    ShowWindow(GetDlgItem(dialog, id), show != 0 ? SW_SHOW : SW_HIDE);
}

void SaveDialogPosition(HWND dialog, std::int16_t* left, std::int16_t* top) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    *left = static_cast<std::int16_t>(LOWORD(rect.left));
    *top = static_cast<std::int16_t>(LOWORD(rect.top));
}

void RestoreDialogPosition(HWND dialog, std::int16_t left, std::int16_t top) {
    if (left == kNotPlaced || top == kNotPlaced) return;
    const auto width = static_cast<std::int16_t>(GetSystemMetrics(SM_CXSCREEN));
    const auto height = static_cast<std::int16_t>(GetSystemMetrics(SM_CYSCREEN));
    // Only the top-left corner has to lie on the main screen, edges included;
    // a place on a monitor that has gone away is dropped.
    if (left > width || top > height || left < 0 || top < 0) return;
    RECT rect{};
    GetWindowRect(dialog, &rect);
    MoveWindow(dialog, left, top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

std::int16_t IsLayerVisited(HWND hostWindow, std::int16_t layer) {
    HMENU menu = GetSubMenu(GetMenu(hostWindow), kLayerMenuPosition);
    int submenuPosition = kFirstLayerItemPosition + 1;
    if (GetMenuItemID(menu, kFirstLayerItemPosition) == static_cast<UINT>(-1)) {
        submenuPosition = kFirstLayerItemPosition;
    }
    // A missing item or menu answers -1, which reads as checked: without the
    // menu every layer is visited.
    UINT toggle = GetMenuState(menu, submenuPosition + 1, MF_BYPOSITION);
    if ((toggle & MF_CHECKED) == 0) return 1;
    HMENU layers = GetSubMenu(menu, submenuPosition);
    return static_cast<std::int16_t>(GetMenuState(layers, layer, MF_BYPOSITION) & MF_CHECKED);
}
