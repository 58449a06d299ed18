// The host window with its real menu bar, the screen and the system colours.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "host/win32/win_state.h"

namespace win32 {

namespace {

constexpr char kHostClass[] = "VelduneHostWindow";

std::map<int, COLORREF> g_savedColors;  // index -> colour before the first change
HWND g_hostWindow = nullptr;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterHostClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass);
    registered = true;
}

// Menus of the bar before the fourth, as a notation program has them.
HMENU PlainMenu(const char* name, int firstId) {
    HMENU menu = ::CreatePopupMenu();
    for (int i = 0; i < 4; ++i) {
        char text[48];
        std::snprintf(text, sizeof text, "%s item %d", name, i + 1);
        AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(firstId + i), text);
    }
    return menu;
}

}  // namespace

void RestoreSysColors() {
    if (g_savedColors.empty()) return;
    std::vector<int> indexes;
    std::vector<COLORREF> colors;
    for (const auto& [index, color] : g_savedColors) {
        indexes.push_back(index);
        colors.push_back(color);
    }
    SetSysColors(static_cast<int>(indexes.size()), indexes.data(), colors.data());
    g_savedColors.clear();
}

[[noreturn]] void Unsupported(const std::string& what) {
    std::fprintf(stderr, "veldune-host: %s cannot be done on Windows; this script runs on the Linux host only\n",
                 what.c_str());
    std::fflush(stderr);
    std::exit(1);
}

}  // namespace win32

namespace sim {

void Reset() {
    win32::ClearMessageBoxes();
    win32::RestoreSysColors();
    win32::EnsureMessageBoxHook();
}

void SetScreenSize(int width, int height) {
    // The screen is the machine's; the Wine tests start theirs at the
    // document's default size. A document asking for another one is told.
    int realWidth = GetSystemMetrics(SM_CXSCREEN);
    int realHeight = GetSystemMetrics(SM_CYSCREEN);
    if (realWidth != width || realHeight != height) {
        std::fprintf(stderr, "veldune-host: the document asks for a %d x %d screen; this one is %d x %d\n", width,
                     height, realWidth, realHeight);
    }
}

// The templates are real resources inside the plug-in DLL.
void SetResourceScript(std::string) {}

// The real GetProcAddress answers for the program's real export table; a host
// without a service is a program built without it (veldune-host-lacking.exe).
bool LackExport(const std::string&) { return false; }

HWND CreateHostWindow(const LayerMenu* layers) {
    win32::RegisterHostClass();
    win32::EnsureMessageBoxHook();
    HMENU bar = nullptr;
    if (layers != nullptr) {
        bar = ::CreateMenu();
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(win32::PlainMenu("File", 100)), "&File");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(win32::PlainMenu("Edit", 200)), "&Edit");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(win32::PlainMenu("Utilities", 300)), "&Utilities");
        // The fourth menu: sixteen commands (seventeen with submenuAt 17),
        // the layer submenu and the "show only visible layers" toggle.
        HMENU view = ::CreatePopupMenu();
        const int commands = layers->submenuAt == 17 ? 17 : 16;
        for (int i = 0; i < commands; ++i) {
            char text[32];
            std::snprintf(text, sizeof text, "View item %d", i + 1);
            AppendMenuA(view, MF_STRING, static_cast<UINT_PTR>(400 + i), text);
        }
        HMENU layerMenu = ::CreatePopupMenu();
        for (int i = 0; i < 4; ++i) {
            char text[16];
            std::snprintf(text, sizeof text, "Layer %d", i + 1);
            AppendMenuA(layerMenu, MF_STRING | (layers->visible[i] ? MF_CHECKED : MF_UNCHECKED),
                        static_cast<UINT_PTR>(500 + i), text);
        }
        AppendMenuA(view, MF_POPUP, reinterpret_cast<UINT_PTR>(layerMenu), "&Layers");
        AppendMenuA(view, MF_STRING | (layers->toggle ? MF_CHECKED : MF_UNCHECKED), 510, "Show only &visible layers");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "&View");
    }
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(0, win32::kHostClass, "Veldune", WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr,
                                  bar, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    win32::g_hostWindow = window;
    return window;
}

HMENU CreateMenu() { return ::CreateMenu(); }

void AppendCommand(HMENU menu, UINT id, bool checked) {
    AppendMenuA(menu, MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED), id, "Command");
}

void AppendPopup(HMENU menu, HMENU popup, bool checked) {
    AppendMenuA(menu, MF_POPUP | (checked ? MF_CHECKED : MF_UNCHECKED), reinterpret_cast<UINT_PTR>(popup), "Menu");
}

void SetMenuBar(HWND window, HMENU menu) { SetMenu(window, menu); }

void SetSysColor(int index, COLORREF color) {
    static bool restoreAtExit = false;
    if (!restoreAtExit) restoreAtExit = std::atexit(win32::RestoreSysColors) == 0;
    if (!win32::g_savedColors.count(index)) win32::g_savedColors[index] = GetSysColor(index);
    SetSysColors(1, &index, &color);
}

}  // namespace sim
