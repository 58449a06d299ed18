// Menus and the host window with its menu bar.
#include "host/sim/world.h"

namespace sim::detail {
namespace {

struct MenuItem {
    UINT id = 0;
    HMENU popup = nullptr;
    bool checked = false;
};

std::map<HMENU, std::vector<MenuItem>>& Menus() {
    static std::map<HMENU, std::vector<MenuItem>> menus;
    return menus;
}

std::vector<MenuItem>* Items(HMENU menu) {
    auto it = Menus().find(menu);
    return it == Menus().end() ? nullptr : &it->second;
}

const MenuItem* ItemAt(HMENU menu, int position) {
    std::vector<MenuItem>* items = Items(menu);
    if (items == nullptr || position < 0 || position >= static_cast<int>(items->size())) return nullptr;
    return &(*items)[static_cast<std::size_t>(position)];
}

UINT StateOf(const MenuItem& item) {
    UINT flags = item.checked ? MF_CHECKED : MF_UNCHECKED;
    if (item.popup == nullptr) return flags;
    std::vector<MenuItem>* items = Items(item.popup);
    UINT count = items == nullptr ? 0 : static_cast<UINT>(items->size());
    return (count << 8) | MF_POPUP | flags;
}

// By command, Windows looks through the submenus too. Depth-limited so that
// a menu hung into itself cannot loop.
const MenuItem* FindCommand(HMENU menu, UINT id, int depth) {
    std::vector<MenuItem>* items = Items(menu);
    if (items == nullptr || depth > 16) return nullptr;
    for (const MenuItem& item : *items) {
        if (item.popup == nullptr && item.id == id) return &item;
        if (item.popup != nullptr) {
            if (const MenuItem* found = FindCommand(item.popup, id, depth + 1)) return found;
        }
    }
    return nullptr;
}

}  // namespace

void ResetMenus() { Menus().clear(); }

}  // namespace sim::detail

namespace sim {

using namespace detail;

HMENU CreateMenu() {
    HMENU menu = reinterpret_cast<HMENU>(NextHandle());
    Menus()[menu];
    return menu;
}

void AppendCommand(HMENU menu, UINT id, bool checked) {
    if (std::vector<MenuItem>* items = Items(menu)) items->push_back(MenuItem{id, nullptr, checked});
}

void AppendPopup(HMENU menu, HMENU popup, bool checked) {
    if (std::vector<MenuItem>* items = Items(menu)) items->push_back(MenuItem{0, popup, checked});
}

void SetMenuBar(HWND window, HMENU menu) {
    if (Window* object = WindowObject(window)) object->menuBar = menu;
}

HWND CreateHostWindow(const LayerMenu* layers) {
    auto window = std::make_unique<Window>();
    window->type = WindowType::Host;
    window->proc = window->originalProc = HostProc;
    window->rect = RECT{0, 0, ScreenWidth(), ScreenHeight()};
    window->text = "Veldune";
    HWND handle = AddWindow(std::move(window));
    if (layers == nullptr) return handle;

    // File, Edit, View: a few commands each, only there to give the bar its shape.
    HMENU bar = CreateMenu();
    for (UINT menuIndex = 0; menuIndex < 3; ++menuIndex) {
        HMENU popup = CreateMenu();
        for (UINT i = 0; i < 4; ++i) AppendCommand(popup, 100 * (menuIndex + 1) + i, false);
        AppendPopup(bar, popup, false);
    }
    HMENU fourth = CreateMenu();
    for (UINT i = 0; i < 16; ++i) AppendCommand(fourth, 1000 + i, false);
    if (layers->submenuAt == 17) AppendCommand(fourth, 1016, false);
    HMENU layerPopup = CreateMenu();
    for (UINT i = 0; i < 4; ++i) AppendCommand(layerPopup, 1100 + i, layers->visible[i]);
    AppendPopup(fourth, layerPopup, false);
    AppendCommand(fourth, 1200, layers->toggle);
    AppendPopup(bar, fourth, false);
    SetMenuBar(handle, bar);
    return handle;
}

}  // namespace sim

using namespace sim::detail;

extern "C" {

HMENU WINAPI GetMenu(HWND window) {
    Window* object = WindowObject(window);
    return object == nullptr ? nullptr : object->menuBar;
}

HMENU WINAPI GetSubMenu(HMENU menu, int position) {
    const MenuItem* item = ItemAt(menu, position);
    return item == nullptr ? nullptr : item->popup;
}

UINT WINAPI GetMenuItemID(HMENU menu, int position) {
    const MenuItem* item = ItemAt(menu, position);
    return item == nullptr || item->popup != nullptr ? static_cast<UINT>(-1) : item->id;
}

UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags) {
    const MenuItem* found =
        (flags & MF_BYPOSITION) != 0 ? ItemAt(menu, static_cast<int>(item)) : FindCommand(menu, item, 0);
    return found == nullptr ? static_cast<UINT>(-1) : StateOf(*found);
}

}  // extern "C"
