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
    int selStart = 0, selEnd = 0;  // the last EM_SETSEL, as sent
    int anchor = 0, caret = 0;     // edits: the selection as the edit holds it; typing goes to the caret
    std::optional<FontInfo> font;

    // Dialogs
    int templateId = 0;
    HS_DialogProc dialogProc = nullptr;
    bool ended = false;
    HWND focus = nullptr;
    int defId = 0;               // DM_SETDEFID, first the template's BS_DEFPUSHBUTTON
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

// The dialog manager (dialogs.cpp, keyboard.cpp).
// Why the user cannot act on this control, or empty when they can.
std::string Refusal(HWND dialog, int id, Window** found);
bool IsPushButton(const Window& control);
// Focus as WM_NEXTDLGCTL gives it: an edit has its text selected, and a push
// button taking the focus is the default one while it has it.
void MoveFocus(Window& dialog, Window* control);
// What a click (BM_CLICK) does: the focus, the state of an automatic box,
// BN_CLICKED to the dialog.
void ClickControl(Window& dialog, Window& control);
// A control with the focus is being hidden: where the focus goes.
void FocusLeaves(Window& control);
// The edit's text was replaced (WM_SETTEXT): no selection, caret at the start.
void TextReplaced(Window& edit);
// GetNextDlgTabItem: the next (or previous) visible, enabled WS_TABSTOP
// control after `from`, wrapping around; `from` itself when there is none.
// From null: the first (or last) one, or null.
HWND NextTabStop(const Window& dialog, HWND from, bool previous);

// GDI objects as the window system itself needs them.
std::optional<FontInfo> FontOf(HFONT font);
std::optional<COLORREF> DcTextColor(HDC dc);  // nullopt until SetTextColor
HBRUSH FaceBrush();                           // the stock button-face brush

User* CurrentUser();
Watcher* CurrentWatcher();
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
