// The one simulated world: window table, screen, the user, Reset.
#include <cstdio>

#include "host/sim/world.h"

namespace sim::detail {
namespace {

struct World {
    std::map<HWND, std::unique_ptr<Window>> windows;
    std::vector<HWND> dialogStack;
    int screenWidth = 1024;
    int screenHeight = 768;
    User* user = nullptr;
};

World& TheWorld() {
    static World world;
    return world;
}

}  // namespace

std::uintptr_t NextHandle() {
    // Start well away from null and small integers; step by 4 like real handles.
    static std::uintptr_t next = 0x10000;
    next += 4;
    return next;
}

Window* WindowObject(HWND handle) {
    auto& windows = TheWorld().windows;
    auto it = windows.find(handle);
    return it == windows.end() ? nullptr : it->second.get();
}

Window* DialogObject(HWND handle) {
    Window* window = WindowObject(handle);
    return window != nullptr && window->type == WindowType::Dialog ? window : nullptr;
}

Window* ControlObject(HWND dialog, int id) {
    Window* owner = DialogObject(dialog);
    if (owner == nullptr) return nullptr;
    for (HWND handle : owner->controls) {
        Window* control = WindowObject(handle);
        if (control != nullptr && control->id == id) return control;
    }
    return nullptr;
}

HWND AddWindow(std::unique_ptr<Window> window) {
    HWND handle = reinterpret_cast<HWND>(NextHandle());
    window->handle = handle;
    if (window->type == WindowType::Dialog) TheWorld().dialogStack.push_back(handle);
    TheWorld().windows[handle] = std::move(window);
    return handle;
}

void DestroyWindowTree(HWND handle) {
    Window* window = WindowObject(handle);
    if (window == nullptr) return;
    std::vector<HWND> children = window->controls;
    for (HWND child : children) TheWorld().windows.erase(child);
    auto& stack = TheWorld().dialogStack;
    for (auto it = stack.begin(); it != stack.end(); ++it) {
        if (*it == handle) {
            stack.erase(it);
            break;
        }
    }
    TheWorld().windows.erase(handle);
}

void DropAllWindows() {
    TheWorld().windows.clear();
    TheWorld().dialogStack.clear();
}

std::vector<HWND> OpenDialogs() { return TheWorld().dialogStack; }

int ScreenWidth() { return TheWorld().screenWidth; }
int ScreenHeight() { return TheWorld().screenHeight; }

User* CurrentUser() { return TheWorld().user; }

namespace {
int g_warnings = 0;
Watcher* g_watcher = nullptr;
}  // namespace

Watcher* CurrentWatcher() { return g_watcher; }

void Warn(const std::string& what) {
    ++g_warnings;
    std::fprintf(stderr, "*** veldune-host window system: %s\n", what.c_str());
    std::fflush(stderr);
}

}  // namespace sim::detail

namespace sim {

void SetWatcher(Watcher* watcher) { detail::g_watcher = watcher; }
int Warnings() { return detail::g_warnings; }

using namespace detail;

void Reset() {
    DropAllWindows();
    ResetMenus();
    ResetGdi();
    ResetMessageBoxes();
    ResetHeapPlans();
    ResetRegistryHandles();
    ResetSysColors();
    TheWorld().screenWidth = 1024;
    TheWorld().screenHeight = 768;
    // A test's user usually lives on its stack; never call into a stale one.
    TheWorld().user = nullptr;
}

void SetScreenSize(int width, int height) {
    TheWorld().screenWidth = width;
    TheWorld().screenHeight = height;
}

void SetUser(User* user) { TheWorld().user = user; }

HWND ActiveDialog() {
    const auto& stack = TheWorld().dialogStack;
    return stack.empty() ? nullptr : stack.back();
}

int Subclassings() {
    int count = 0;
    for (const auto& [handle, window] : TheWorld().windows) {
        if (window->proc != window->originalProc) ++count;
    }
    return count;
}

int Invalidations(HWND window) {
    Window* object = WindowObject(window);
    if (object == nullptr) return 0;
    int count = object->invalidations;
    for (HWND child : object->controls) {
        if (Window* control = WindowObject(child)) count += control->invalidations;
    }
    return count;
}

std::string WindowCaption(HWND window) {
    Window* object = WindowObject(window);
    return object == nullptr ? std::string() : object->text;
}

}  // namespace sim
