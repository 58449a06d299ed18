// The simulated window system's own state, shared by the files of host/sim.
// Not for the plug-in and not for tests: they go through windows.h and sim.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/sim/sim.h"
#include "shell/host_services.h"

namespace sim::detail {

enum class WindowType { Host, Dialog, Control };

struct Window {
    HWND handle = nullptr;
    WindowType type = WindowType::Control;
    HWND parent = nullptr;  // the dialog of a control, the host window of a dialog
    WNDPROC proc = nullptr;
    WNDPROC originalProc = nullptr;
    std::map<int, LONG_PTR> longs;  // window longs other than the procedure
    RECT rect{};                    // screen pixels for top-level windows, client pixels for controls
    bool visible = true;
    bool enabled = true;
    std::string text;
    int invalidations = 0;

    // Controls
    int id = 0;
    std::string kind;
    DWORD style = 0;  // including the implied WS_CHILD | WS_VISIBLE
    int state = 0;
    int limit = 30000;
    int selStart = 0, selEnd = 0;
    std::optional<FontInfo> font;

    // Dialogs
    int templateId = 0;
    HS_DialogProc dialogProc = nullptr;
    bool ended = false;
    HWND focus = nullptr;
    std::vector<HWND> controls;  // template order

    // Host window
    HMENU menuBar = nullptr;
};

// A new handle value, never given out before in this process (handles of
// every kind come from one counter so that a window is never taken for a font).
std::uintptr_t NextHandle();

Window* WindowObject(HWND handle);
Window* DialogObject(HWND handle);
Window* ControlObject(HWND dialog, int id);
HWND AddWindow(std::unique_ptr<Window> window);
void DestroyWindowTree(HWND handle);
void DropAllWindows();
std::vector<HWND> OpenDialogs();  // oldest first

// Client origin of a dialog on the screen (its frame and caption left out).
constexpr int kFrame = 3;
constexpr int kCaption = 19;

int ScreenWidth();
int ScreenHeight();

// The procedures windows start with.
LRESULT CALLBACK ControlProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DialogProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HostProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
RECT ScreenRect(const Window& window);

// GDI objects as the window system itself needs them.
std::optional<FontInfo> FontOf(HFONT font);
std::optional<COLORREF> DcTextColor(HDC dc);  // nullopt until SetTextColor
HBRUSH FaceBrush();                           // the stock button-face brush

User* CurrentUser();
int NeutralAnswer(UINT type);

void ResetMenus();
void ResetGdi();
void ResetMessageBoxes();
void ResetHeapPlans();
void ResetRegistryHandles();
void ResetSysColors();

// One loud line on stderr for a call that a correct caller never makes.
void Warn(const std::string& what);

}  // namespace sim::detail
