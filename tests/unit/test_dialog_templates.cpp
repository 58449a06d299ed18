// The three dialog templates as the resource script gives them, control by
// control against the layout the dialogs are written for. The expected rows
// are typed in here on purpose, not derived from the script.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "host/sim/resource_script.h"
#include "resources/resource.h"

extern "C" const char OrvoResourceScript[];

namespace {

// Style bits of the control as written; WS_CHILD and WS_VISIBLE are what
// every control gets anyway, so they are left out of the comparison.
constexpr DWORD kImplied = WS_CHILD | WS_VISIBLE;

constexpr DWORD kTri = BS_AUTO3STATE | BS_LEFTTEXT | WS_TABSTOP;
constexpr DWORD kTriFirst = kTri | WS_GROUP;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kEdit = ES_LEFT | WS_BORDER | WS_TABSTOP;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;

struct Expected {
    int id;
    const char* cls;
    DWORD style;
    const char* text;
    int x, y, w, h;
};

// Dialog 20128, the criteria dialog: both pages in one template.
const std::vector<Expected> kCriteria = {
    {101, "Static", SS_CENTER, "", 6, 3, 248, 16},  // page caption, set at run time
    {111, "Button", BS_GROUPBOX, "", 6, 16, 248, 135},
    {112, "Button", kCheck, "Duration", 13, 29, 52, 10},
    {113, "Edit", kEdit, "", 69, 28, 37, 12},
    {114, "Button", kCheck, "Position", 149, 30, 43, 10},
    {115, "Edit", kEdit, "", 193, 28, 37, 12},
    {116, "Button", kTriFirst, "Legality", 12, 47, 52, 10},  // entry attributes start a tab group
    {117, "Button", kTri, "Note/Rest", 12, 58, 47, 10},
    {118, "Button", kTri, "V2 Launch", 12, 69, 50, 10},
    {119, "Button", kTri, "Voice 2", 12, 80, 39, 10},
    {120, "Button", kTri, "Chord", 12, 91, 31, 10},
    {121, "Button", kTri, "Clef Change", 12, 102, 51, 10},
    {122, "Button", kTri, "Float Rest", 12, 113, 51, 10},
    {123, "Button", kTri, "Flat Beam", 12, 124, 50, 10},
    {149, "Button", kTri, "Is Tuplet", 12, 135, 46, 10},  // ids not in row order
    {124, "Button", kTri, "Grace", 70, 47, 30, 10},
    {125, "Button", kTri, "Note Detail", 70, 58, 55, 10},
    {126, "Button", kTri, "Articulation", 70, 69, 55, 10},
    {127, "Button", kTri, "Staff Expr", 70, 80, 52, 10},
    {128, "Button", kTri, "Lyrics", 70, 91, 54, 10},
    {129, "Button", kTri, "Tuplet", 70, 102, 35, 10},
    {130, "Button", kTri, "V2 Tup Para", 70, 113, 54, 10},
    {131, "Button", kTri, "Perf Data", 70, 124, 47, 10},
    {132, "Button", kTri, "Slash Grace", 70, 135, 55, 10},
    {133, "Button", kTri, "Ignore", 128, 47, 35, 10},
    {134, "Button", kTri, "Beam Ext", 128, 58, 43, 10},
    {135, "Button", kTri, "Flip Tie", 128, 69, 43, 10},
    {136, "Button", kTri, "Special", 128, 80, 40, 10},
    {137, "Button", kTri, "Beam/Beat", 128, 91, 47, 10},
    {138, "Button", kTri, "Sec Beam", 128, 102, 44, 10},
    {139, "Button", kTri, "Freeze Stem", 128, 113, 56, 10},
    {140, "Button", kTri, "Stem Detail", 128, 124, 55, 10},
    {141, "Button", kTri, "Cross Up", 186, 47, 44, 10},
    {142, "Button", kTri, "Reverse Up", 186, 58, 52, 10},
    {143, "Button", kTri, "Reverse Dn", 186, 69, 52, 10},
    {144, "Button", kTri, "Double Stem", 186, 80, 56, 10},
    {145, "Button", kTri, "Split Stem", 186, 91, 53, 10},
    {146, "Button", kTri, "Up/Down", 186, 102, 46, 10},
    {147, "Button", kTri, "No Ledger", 186, 113, 46, 10},
    {148, "Button", kTri, "Slur", 186, 124, 46, 10},
    {210, "Static", SS_CENTER, "(Red = Dangerous Data)", 128, 136, 120, 8},
    {151, "Button", BS_GROUPBOX | BS_LEFT, "Note-specific", 6, 153, 248, 91},
    {152, "Button", kCheck, "Displacement", 15, 164, 54, 10},
    {153, "Edit", kEdit, "", 73, 163, 32, 12},
    {154, "Button", kCheck, "Raise/Lower", 134, 165, 53, 10},
    {155, "Edit", kEdit, "", 189, 164, 25, 12},
    {156, "Button", kTriFirst, "Legality", 12, 180, 44, 10},  // note attributes start a tab group
    {157, "Button", kTri, "Tie Start", 12, 192, 46, 10},
    {158, "Button", kTri, "Tie End", 12, 204, 44, 10},
    {159, "Button", kTri, "Cross Note", 12, 216, 52, 10},
    {160, "Button", kTri, "Upstem 2nd", 12, 228, 55, 10},
    {161, "Button", kTri, "Upstem Split", 72, 180, 59, 10},
    {162, "Button", kTri, "Downstem 2nd", 72, 192, 64, 10},
    {163, "Button", kTri, "Accidental", 72, 204, 52, 10},
    {164, "Button", kTri, "(Accidental)", 72, 216, 56, 10},
    {165, "Button", kTri, "Freeze Accidental", 72, 228, 75, 10},
    {201, "Button", BS_GROUPBOX | BS_LEFT, "Boolean", 258, 36, 48, 40},
    {202, "Button", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, "&AND", 265, 48, 32, 10},
    {203, "Button", BS_AUTORADIOBUTTON, "&OR", 265, 61, 32, 10},
    {204, "Button", kPush, "&GO!", 263, 103, 40, 14},  // no default push button in this dialog
    {205, "Button", kPush, "&Done >>", 263, 130, 40, 14},
    {206, "Button", kPush, "&Search <<", 263, 148, 40, 14},
    {2, "Button", kPush | WS_GROUP, "Cancel", 263, 178, 40, 14},
    {207, "Button", kPush, "&Reset", 257, 233, 54, 11},
};

// Dialog 20129, the text setup dialog.
const std::vector<Expected> kSetup = {
    {-1, "Static", SS_LEFT, "&Search for text:", 11, 6, 89, 8},
    {101, "Edit", kEdit, "", 11, 16, 89, 12},  // no auto-scroll: 50 characters must fit
    {102, "Button", kCheck, "&Case sensitive", 11, 34, 81, 12},
    {104, "Button", kCheck, "Search &tags", 11, 45, 81, 12},
    {105, "Button", kCheck, "&Replace with:", 11, 83, 89, 12},
    {106, "Edit", kEdit, "", 11, 95, 89, 12},
    {107, "Button", BS_GROUPBOX, "Search elements", 108, 4, 95, 109},
    {108, "Button", kCheck, "&Page text blocks", 114, 15, 82, 12},
    {109, "Button", kCheck, "&Measure text blocks", 114, 27, 82, 12},
    {110, "Button", kCheck, "Text e&xpressions", 114, 39, 82, 12},
    {111, "Button", kCheck, "St&aff names", 114, 51, 82, 12},
    {112, "Button", kCheck, "&Group names", 114, 63, 82, 12},
    {113, "Button", kCheck, "T&ext repeats", 114, 75, 82, 12},
    {114, "Button", kCheck, "E&nding repeats", 114, 87, 82, 12},
    {115, "Button", kCheck, "&Lyrics", 114, 99, 82, 12},
    {1, "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, "GO!", 65, 118, 31, 14},  // the one default button
    {2, "Button", kPush, "Cancel", 103, 118, 38, 14},
};

// Dialog 20130, the search results dialog; buttons overlap by design.
const std::vector<Expected> kResults = {
    {101, "Button", kPush, "&Yes", 8, 93, 33, 14},
    {102, "Button", kPush, "&No", 50, 93, 33, 14},
    {104, "Button", kPush, "Next >", 64, 93, 50, 14},
    {103, "Button", kPush, "Yes to &all", 90, 93, 50, 14},
    {2, "Button", kPush, "Cancel", 149, 93, 50, 14},
    {1, "Button", kPush, "OK", 78, 93, 50, 14},
    {105, "Static", SS_CENTER, "Text", 3, 4, 200, 8},
    {106, "Static", SS_CENTER, "Text", 3, 16, 200, 8},
    {107, "Static", SS_CENTER | SS_NOPREFIX | WS_BORDER, "Text", 3, 28, 200, 26},  // "&" shown as is
    {108, "Static", SS_CENTER, "Text", 3, 56, 200, 8},
    {109, "Static", SS_CENTER, "Text", 3, 68, 200, 8},
    {110, "Static", SS_CENTER, "Text", 3, 80, 200, 8},
};

struct ExpectedDialog {
    int id;
    const char* caption;
    int x, y, w, h;
    const std::vector<Expected>* controls;
};

const ExpectedDialog kDialogs[] = {
    {IDD_CRITERIA, "Orvo Search/Replace  v. 1.11a", 25, 13, 313, 250, &kCriteria},
    {IDD_TEXT_SETUP, "Orvo Search and Replace 1.11a", 6, 15, 207, 135, &kSetup},
    {IDD_TEXT_RESULTS, "Search results", 6, 15, 207, 111, &kResults},
};

std::vector<sim::DialogTemplate> ParseScript() {
    std::vector<sim::DialogTemplate> dialogs;
    std::string error;
    EXPECT_TRUE(sim::ParseResourceScript(OrvoResourceScript, &dialogs, &error)) << error;
    return dialogs;
}

const sim::DialogTemplate* Find(const std::vector<sim::DialogTemplate>& dialogs, int id) {
    for (const auto& d : dialogs) {
        if (d.id == id) return &d;
    }
    return nullptr;
}

bool SameClass(const std::string& got, const char* expected) {
    if (got.size() != std::string(expected).size()) return false;
    for (size_t i = 0; i < got.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(got[i])) != std::tolower(static_cast<unsigned char>(expected[i])))
            return false;
    }
    return true;
}

}  // namespace

TEST(DialogTemplates, ScriptHoldsExactlyTheThreeDialogs) {
    auto dialogs = ParseScript();
    ASSERT_EQ(dialogs.size(), 3u);
    for (const auto& e : kDialogs) EXPECT_NE(Find(dialogs, e.id), nullptr) << "dialog " << e.id;
}

TEST(DialogTemplates, FrameCaptionPlacementAndFont) {
    auto dialogs = ParseScript();
    for (const auto& e : kDialogs) {
        SCOPED_TRACE("dialog " + std::to_string(e.id));
        const sim::DialogTemplate* d = Find(dialogs, e.id);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->caption, e.caption);
        EXPECT_EQ(d->x, e.x);
        EXPECT_EQ(d->y, e.y);
        EXPECT_EQ(d->width, e.w);
        EXPECT_EQ(d->height, e.h);
        const DWORD frame = DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
        EXPECT_EQ(d->style & frame, frame) << std::hex << "style 0x" << d->style;
        EXPECT_EQ(d->fontSize, 8);
        EXPECT_EQ(d->fontFace, "MS Sans Serif");
    }
}

TEST(DialogTemplates, EveryControlInTabOrder) {
    auto dialogs = ParseScript();
    for (const auto& e : kDialogs) {
        const sim::DialogTemplate* d = Find(dialogs, e.id);
        ASSERT_NE(d, nullptr) << "dialog " << e.id;
        const auto& want = *e.controls;
        EXPECT_EQ(d->controls.size(), want.size()) << "dialog " << e.id << ": number of controls";
        for (size_t i = 0; i < want.size() && i < d->controls.size(); ++i) {
            const auto& got = d->controls[i];
            const auto& w = want[i];
            SCOPED_TRACE("dialog " + std::to_string(e.id) + ", control #" + std::to_string(i) + " (expected id " +
                         std::to_string(w.id) + ", script line " + std::to_string(got.line) + ")");
            EXPECT_EQ(got.id, w.id);
            EXPECT_TRUE(SameClass(got.className, w.cls)) << "class got " << got.className << " expected " << w.cls;
            EXPECT_EQ(got.style & ~kImplied, w.style)
                << std::hex << "style got 0x" << (got.style & ~kImplied) << " expected 0x" << w.style;
            EXPECT_EQ(got.text, w.text);
            EXPECT_EQ(got.x, w.x);
            EXPECT_EQ(got.y, w.y);
            EXPECT_EQ(got.width, w.w);
            EXPECT_EQ(got.height, w.h);
        }
    }
}
