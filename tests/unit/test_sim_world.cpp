// Menus, GDI objects, the heap and the small arithmetic and formatting
// helpers of the simulated window system.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "host/sim/sim.h"

namespace {

class SimWorld : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override { sim::Reset(); }
};

TEST_F(SimWorld, MenusAnswerAsWindowsDoes) {
    HMENU bar = sim::CreateMenu();
    HMENU popup = sim::CreateMenu();
    sim::AppendCommand(popup, 7, false);
    sim::AppendCommand(popup, 8, true);
    sim::AppendCommand(bar, 5, true);
    sim::AppendPopup(bar, popup, false);
    HMENU empty = sim::CreateMenu();
    sim::AppendPopup(bar, empty, true);
    const UINT kMissing = static_cast<UINT>(-1);

    struct Row {
        const char* what;
        UINT got, expected;
    };
    const Row kRows[] = {
        {"id of a command", GetMenuItemID(bar, 0), 5},
        {"id of a popup", GetMenuItemID(bar, 1), kMissing},
        {"id past the end", GetMenuItemID(bar, 3), kMissing},
        {"id at a negative position", GetMenuItemID(bar, -1), kMissing},
        {"id in a null menu", GetMenuItemID(nullptr, 0), kMissing},
        {"state of a checked command", GetMenuState(bar, 0, MF_BYPOSITION), MF_CHECKED},
        {"state of an unchecked command", GetMenuState(popup, 0, MF_BYPOSITION), MF_UNCHECKED},
        {"state of a popup: count, MF_POPUP", GetMenuState(bar, 1, MF_BYPOSITION), (2u << 8) | MF_POPUP},
        {"state of an empty checked popup", GetMenuState(bar, 2, MF_BYPOSITION), MF_POPUP | MF_CHECKED},
        {"state past the end", GetMenuState(bar, 3, MF_BYPOSITION), kMissing},
        {"state in a null menu", GetMenuState(nullptr, 0, MF_BYPOSITION), kMissing},
        {"state by command, found in a submenu", GetMenuState(bar, 8, MF_BYCOMMAND), MF_CHECKED},
        {"state by an unknown command", GetMenuState(bar, 99, MF_BYCOMMAND), kMissing},
    };
    for (const Row& row : kRows) EXPECT_EQ(row.got, row.expected) << row.what;

    EXPECT_EQ(GetSubMenu(bar, 1), popup);
    EXPECT_EQ(GetSubMenu(bar, 0), nullptr);  // a command has no submenu
    EXPECT_EQ(GetSubMenu(bar, 9), nullptr);
    EXPECT_EQ(GetSubMenu(nullptr, 0), nullptr);
}

TEST_F(SimWorld, TheHostWindowCarriesTheLayerMenu) {
    EXPECT_EQ(GetMenu(sim::CreateHostWindow(nullptr)), nullptr);

    struct Row {
        int submenuAt;
        int popupAt, toggleAt;
    };
    const Row kRows[] = {{16, 16, 17}, {17, 17, 18}};
    for (const Row& row : kRows) {
        sim::LayerMenu layers;
        layers.submenuAt = row.submenuAt;
        layers.toggle = true;
        layers.visible[1] = false;
        HMENU bar = GetMenu(sim::CreateHostWindow(&layers));
        ASSERT_NE(bar, nullptr);
        HMENU fourth = GetSubMenu(bar, 3);
        ASSERT_NE(fourth, nullptr);
        SCOPED_TRACE("submenu at " + std::to_string(row.submenuAt));
        if (row.submenuAt == 17) {
            EXPECT_NE(GetMenuItemID(fourth, 16), static_cast<UINT>(-1));
        }
        HMENU layerMenu = GetSubMenu(fourth, row.popupAt);
        ASSERT_NE(layerMenu, nullptr);
        EXPECT_EQ(GetMenuState(fourth, static_cast<UINT>(row.popupAt), MF_BYPOSITION) & 0xFF00, 4u << 8);
        EXPECT_EQ(GetMenuState(fourth, static_cast<UINT>(row.toggleAt), MF_BYPOSITION), MF_CHECKED);
        EXPECT_EQ(GetMenuState(layerMenu, 0, MF_BYPOSITION), MF_CHECKED);
        EXPECT_EQ(GetMenuState(layerMenu, 1, MF_BYPOSITION), MF_UNCHECKED);
        EXPECT_EQ(GetMenuState(fourth, static_cast<UINT>(row.toggleAt + 1), MF_BYPOSITION), static_cast<UINT>(-1));
    }
}

TEST_F(SimWorld, GdiObjectsAreCountedAndDeletedOnce) {
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));  // black to start with
    EXPECT_EQ(SetTextColor(dc, RGB(4, 5, 6)), RGB(1, 2, 3));
    EXPECT_EQ(SetBkColor(dc, RGB(7, 8, 9)), RGB(255, 255, 255));
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, FF_SWISS, "MS Sans Serif");
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(sim::LiveDCs(), 1);
    EXPECT_EQ(sim::LiveFonts(), 1);
    EXPECT_EQ(sim::LiveBrushes(), 1);

    EXPECT_FALSE(DeleteObject(dc));  // a display context is released, not deleted
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_FALSE(DeleteObject(font));  // twice
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_EQ(sim::LiveDCs() + sim::LiveFonts() + sim::LiveBrushes(), 0);

    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    sim::SetSysColor(COLOR_BTNFACE, RGB(1, 1, 1));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(1, 1, 1));
    sim::Reset();
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
}

TEST_F(SimWorld, TheHeapFailsTheNthAllocationAndRefusesDoubleFrees) {
    HANDLE heap = GetProcessHeap();
    int live = sim::LiveHeapBlocks();
    sim::FailHeapAllocAt(2);
    void* first = HeapAlloc(heap, 0, 10);
    void* second = HeapAlloc(heap, 0, 10);
    void* third = HeapAlloc(heap, 0, 0);  // zero bytes still gives a block
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(sim::HeapAllocCalls(), 3);
    EXPECT_EQ(sim::LiveHeapBlocks(), live + 2);
    EXPECT_TRUE(HeapFree(heap, 0, first));
    EXPECT_FALSE(HeapFree(heap, 0, first));  // already freed
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));
    EXPECT_TRUE(HeapFree(heap, 0, third));
    EXPECT_EQ(sim::LiveHeapBlocks(), live);
    sim::FailHeapAllocAt(0);
    void* again = HeapAlloc(heap, 0x8, 4);  // HEAP_ZERO_MEMORY
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(std::memcmp(again, "\0\0\0\0", 4), 0);
    HeapFree(heap, 0, again);
}

TEST(SimHelpers, MulDivRoundsHalfAwayFromZero) {
    struct Row {
        int a, b, c, expected;
    };
    const Row kRows[] = {
        {8, 96, 72, 11},  // 10.67: a font height at 96 dpi
        {-8, 96, 72, -11},
        {14, 96, 72, 19},  // 18.67
        {1, 1, 2, 1},      // 0.5 away from zero
        {-1, 1, 2, -1},
        {1, -1, 2, -1},
        {3, 1, -2, -2},            // negative denominator
        {20, 13, 8, 33},           // 32.5: dialog units to pixels
        {5, 5, 0, -1},             // no denominator
        {INT_MAX, 2, 1, -1},       // does not fit
        {INT_MAX, 2, 2, INT_MAX},  // 64-bit product
    };
    for (const Row& row : kRows) {
        EXPECT_EQ(MulDiv(row.a, row.b, row.c), row.expected) << row.a << " * " << row.b << " / " << row.c;
    }
}

TEST(SimHelpers, WsprintfFormatsAndStopsAt1024Characters) {
    char out[2048];
    EXPECT_EQ(wsprintfA(out, "%d replacemen%s %s made.", 2, "ts", "were"), 25);
    EXPECT_STREQ(out, "2 replacements were made.");
    std::string longText(1500, 'x');
    std::memset(out, 0xbd, sizeof out);
    EXPECT_EQ(wsprintfA(out, "%s", longText.c_str()), 1023);
    EXPECT_EQ(out[1023], '\0');
    EXPECT_EQ(static_cast<unsigned char>(out[1024]), 0xbd);
}

}  // namespace
