// The small window operations the dialogs and the region scan share.
#include <gtest/gtest.h>

#include <string>

#include "host/sim/sim.h"
#include "resources/resource.h"
#include "shell/dialog_utils.h"
#include "shell/host_services.h"
#include "shell/records.h"

extern "C" const char OrvoResourceScript[];

namespace {

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

TEST(RestoreDialogPosition, MovesOnlyToAPlaceOnTheScreenKeepingTheSize) {
    constexpr int kStartLeft = 100, kStartTop = 50, kWidth = 300, kHeight = 200;
    struct Case {
        std::int16_t left, top;
        bool moves;
        const char* what;
    };
    const Case kCases[] = {
        {kNotPlaced, 100, false, "left not placed"},
        {100, kNotPlaced, false, "top not placed"},
        {0, 0, true, "top-left corner"},
        {1024, 0, true, "left edge on the screen's right edge"},
        {0, 768, true, "top edge on the screen's bottom edge"},
        {1024, 768, true, "bottom-right corner"},
        {1025, 0, false, "one pixel beyond the right edge"},
        {0, 769, false, "one pixel below the bottom edge"},
        {-1, 0, false, "left of the screen"},
        {0, -1, false, "above the screen"},
        {500, 300, true, "in the middle"},
    };
    for (const Case& c : kCases) {
        sim::Reset();
        sim::SetScreenSize(1024, 768);
        HWND window = sim::CreateHostWindow(nullptr);
        MoveWindow(window, kStartLeft, kStartTop, kWidth, kHeight, FALSE);
        RestoreDialogPosition(window, c.left, c.top);
        RECT expected = c.moves ? RECT{c.left, c.top, c.left + kWidth, c.top + kHeight}
                                : RECT{kStartLeft, kStartTop, kStartLeft + kWidth, kStartTop + kHeight};
        RECT got = WindowRect(window);
        EXPECT_EQ(Describe(got), Describe(expected)) << c.what;
    }
}

TEST(SaveDialogPosition, StoresTheLowSixteenBitsOfTheCorner) {
    struct Case {
        int left, top;
        std::int16_t savedLeft, savedTop;
        const char* what;
    };
    const Case kCases[] = {
        {120, 80, 120, 80, "on the screen"},
        {-20, -5, -20, -5, "partly off the screen"},
        {70000, 3, 4464, 3, "beyond 16 bits: the low word"},
    };
    for (const Case& c : kCases) {
        sim::Reset();
        HWND window = sim::CreateHostWindow(nullptr);
        MoveWindow(window, c.left, c.top, 300, 200, FALSE);
        std::int16_t left = 0x7bbd, top = 0x7bbd;
        SaveDialogPosition(window, &left, &top);
        EXPECT_EQ(left, c.savedLeft) << c.what;
        EXPECT_EQ(top, c.savedTop) << c.what;
    }
}

TEST(SaveDialogPosition, ThenRestoreLeavesAWindowOnTheScreenInPlace) {
    sim::Reset();
    HWND window = sim::CreateHostWindow(nullptr);
    MoveWindow(window, 210, 130, 320, 240, FALSE);
    std::int16_t left = 0, top = 0;
    SaveDialogPosition(window, &left, &top);
    MoveWindow(window, 0, 0, 320, 240, FALSE);
    RestoreDialogPosition(window, left, top);
    EXPECT_EQ(Describe(WindowRect(window)), Describe(RECT{210, 130, 530, 370}));
}

// LimitText and ShowControl on a real dialog of the plug-in.
std::int16_t LimitAndHideProc(HWND dialog, UINT message, WPARAM wParam, LPARAM, std::int32_t) {
    if (message == WM_INITDIALOG) {
        LimitText(dialog, IDC_SETUP_SEARCH, 5);
        ShowControl(dialog, IDC_SETUP_CASE, 0);
        ShowControl(dialog, IDC_SETUP_TAGS, 0);
        ShowControl(dialog, IDC_SETUP_TAGS, 7);  // any nonzero flag shows
        return 1;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) HS_EndDialog(dialog);
    return 0;
}

TEST(DialogControls, LimitTextAndShowControl) {
    sim::Reset();
    sim::SetResourceScript(OrvoResourceScript);
    HWND hostWindow = sim::CreateHostWindow(nullptr);
    bool driven = false;
    sim::CallbackUser user;
    user.onDialog = [&](HWND dialog) {
        driven = true;
        EXPECT_EQ(sim::Type(dialog, IDC_SETUP_SEARCH, "abcdefgh"), "");
        EXPECT_EQ(sim::ControlText(dialog, IDC_SETUP_SEARCH).value_or("?"), "abcde");
        EXPECT_EQ(sim::ControlVisible(dialog, IDC_SETUP_CASE), std::optional<bool>(false));
        EXPECT_EQ(sim::ControlVisible(dialog, IDC_SETUP_TAGS), std::optional<bool>(true));
        EXPECT_EQ(sim::Close(dialog), "");
    };
    sim::SetUser(&user);
    HS_Dialog(IDD_TEXT_SETUP, &LimitAndHideProc, hostWindow, 1, 0);
    sim::SetUser(nullptr);
    EXPECT_TRUE(driven);
}

// Layer answers as the region scan sees them.
struct LayerAnswers {
    std::int16_t layer[4];
};

LayerAnswers Ask(HWND hostWindow) {
    LayerAnswers a{};
    for (std::int16_t l = 0; l < 4; ++l) a.layer[l] = IsLayerVisited(hostWindow, l);
    return a;
}

std::string Describe(const LayerAnswers& a) {
    return std::to_string(a.layer[0]) + " " + std::to_string(a.layer[1]) + " " + std::to_string(a.layer[2]) + " " +
           std::to_string(a.layer[3]);
}

TEST(IsLayerVisited, ReadsTheLayerMenuInBothShapes) {
    struct Case {
        bool toggle;
        bool visible[4];
        int submenuAt;
        LayerAnswers expected;
        const char* what;
    };
    const Case kCases[] = {
        {false, {false, false, false, false}, 16, {{1, 1, 1, 1}}, "toggle off: every layer, items ignored"},
        {false, {false, false, false, false}, 17, {{1, 1, 1, 1}}, "toggle off, command at 16"},
        {true, {false, false, true, false}, 16, {{0, 0, 8, 0}}, "toggle on, only layer 2 checked"},
        {true, {false, false, true, false}, 17, {{0, 0, 8, 0}}, "same, submenu at 17 and toggle at 18"},
        {true, {true, false, false, true}, 17, {{8, 0, 0, 8}}, "toggle on, layers 0 and 3"},
        {true, {true, true, true, true}, 16, {{8, 8, 8, 8}}, "toggle on, all checked"},
        {true, {false, false, false, false}, 16, {{0, 0, 0, 0}}, "toggle on, none checked"},
    };
    for (const Case& c : kCases) {
        sim::Reset();
        sim::LayerMenu menu;
        menu.toggle = c.toggle;
        for (int l = 0; l < 4; ++l) menu.visible[l] = c.visible[l];
        menu.submenuAt = c.submenuAt;
        HWND hostWindow = sim::CreateHostWindow(&menu);
        EXPECT_EQ(Describe(Ask(hostWindow)), Describe(c.expected)) << c.what;
    }
}

// Menus the host did not build as expected: a missing item reads as checked.
TEST(IsLayerVisited, MissingMenusVisitEveryLayer) {
    sim::Reset();
    EXPECT_EQ(Describe(Ask(sim::CreateHostWindow(nullptr))), "8 8 8 8") << "no menu bar";

    // Only three menus in the bar.
    sim::Reset();
    HWND hostWindow = sim::CreateHostWindow(nullptr);
    HMENU bar = sim::CreateMenu();
    for (int i = 0; i < 3; ++i) sim::AppendPopup(bar, sim::CreateMenu(), false);
    sim::SetMenuBar(hostWindow, bar);
    EXPECT_EQ(Describe(Ask(hostWindow)), "8 8 8 8") << "no fourth menu";

    // A checked toggle at 18 after two ordinary commands: no layer submenu.
    sim::Reset();
    hostWindow = sim::CreateHostWindow(nullptr);
    bar = sim::CreateMenu();
    for (int i = 0; i < 3; ++i) sim::AppendPopup(bar, sim::CreateMenu(), false);
    HMENU fourth = sim::CreateMenu();
    for (UINT id = 1; id <= 18; ++id) sim::AppendCommand(fourth, 1000 + id, false);
    sim::AppendCommand(fourth, 2000, true);
    sim::AppendPopup(bar, fourth, false);
    sim::SetMenuBar(hostWindow, bar);
    EXPECT_EQ(Describe(Ask(hostWindow)), "8 8 8 8") << "toggle checked, layer submenu missing";

    // The layer submenu at 16 but nothing after it: the toggle reads checked.
    sim::Reset();
    hostWindow = sim::CreateHostWindow(nullptr);
    bar = sim::CreateMenu();
    for (int i = 0; i < 3; ++i) sim::AppendPopup(bar, sim::CreateMenu(), false);
    fourth = sim::CreateMenu();
    for (UINT id = 1; id <= 16; ++id) sim::AppendCommand(fourth, 1000 + id, false);
    HMENU layers = sim::CreateMenu();
    for (UINT l = 0; l < 4; ++l) sim::AppendCommand(layers, 3000 + l, l == 1);
    sim::AppendPopup(fourth, layers, false);
    sim::AppendPopup(bar, fourth, false);
    sim::SetMenuBar(hostWindow, bar);
    EXPECT_EQ(Describe(Ask(hostWindow)), "0 8 0 0") << "toggle missing, only layer 1 checked";
}

}  // namespace
