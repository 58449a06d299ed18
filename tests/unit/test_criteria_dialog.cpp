// The criteria dialog as a user meets it, for what a session script cannot
// see: the records it hands back, its result, its fonts, brushes and
// subclassing, and numbers too large for the host's 16-bit values.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "entrysearch/criteria_dialog.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "resources/messages.h"
#include "resources/resource.h"
#include "shell/commands.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

extern "C" const char OrvoResourceScript[];

namespace {

constexpr COLORREF kDarkRed = RGB(128, 0, 0);

class CriteriaDialog : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::SetResourceScript(OrvoResourceScript);
        sim::UseEmptyHive();
        host::ResetServices();
        hostWindow = sim::CreateHostWindow(nullptr);
        ResetAllSettings(&g_plugin.search, &g_plugin.replace, &g_plugin.prefs);
        g_plugin.replace.noteSpecific = 0;
        user.onDialog = [this](HWND dialog) {
            ASSERT_EQ(sim::DialogTemplateId(dialog), IDD_CRITERIA);
            opened = dialog;
            if (drive) drive(dialog);
        };
        user.onMessageBox = [this](const sim::MessageBoxInfo& box) {
            boxes.push_back(box);
            if (answers.empty()) {
                ADD_FAILURE() << "unexpected message box: " << box.text;
                return IDOK;
            }
            int answer = answers.front();
            answers.pop_front();
            return answer;
        };
        sim::SetUser(&user);
    }
    void TearDown() override {
        EXPECT_TRUE(answers.empty()) << answers.size() << " answer(s) left unused";
        sim::SetUser(nullptr);
    }

    std::int16_t Run() { return RunCriteriaDialog(hostWindow, &g_plugin.search, &g_plugin.replace); }

    sim::CallbackUser user;
    HWND hostWindow = nullptr;
    HWND opened = nullptr;
    std::function<void(HWND)> drive;
    std::deque<int> answers;
    std::vector<sim::MessageBoxInfo> boxes;
};

// Each user action must succeed; a hidden or disabled control fails it.
#define DO(action) ASSERT_EQ((action), "") << #action

// A search page with one entry criterion, then "&Done >>".
void PassSearchPage(HWND d) {
    DO(sim::SetState(d, IDC_CRIT_E_NOTE_REST, 1));
    DO(sim::Click(d, IDC_CRIT_DONE));
}

bool SameBytes(const CriteriaRecord& a, const CriteriaRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// ---- Life of the drawing resources -------------------------------------

// Every way out of the dialog takes the caption font, the brush and the
// subclassing with it.
TEST_F(CriteriaDialog, DrawingResourcesLiveExactlyAsLongAsTheDialog) {
    struct Way {
        const char* what;
        std::function<void(HWND)> close;
        std::int16_t result;
    };
    const Way ways[] = {
        // "Cancel" on the search page
        {"cancel", [](HWND d) { DO(sim::Click(d, IDCANCEL)); }, 0},
        // the close box
        {"close box", [](HWND d) { DO(sim::Close(d)); }, 0},
        // the user walks away: the window system cancels
        {"give up", [](HWND) {}, 0},
        // "Cancel" from the replace page, where the brush has been used
        {"cancel on replace page",
         [](HWND d) {
             PassSearchPage(d);
             (void)sim::ControlTextColor(d, IDC_CRIT_LEGEND);
             DO(sim::Click(d, IDCANCEL));
         },
         0},
        // "&GO!" after a harmless replacement
        {"go",
         [](HWND d) {
             PassSearchPage(d);
             DO(sim::SetState(d, IDC_CRIT_E_FLOAT_REST, 1));
             DO(sim::Click(d, IDC_CRIT_GO));
         },
         1},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        drive = [&](HWND d) {
            EXPECT_EQ(sim::LiveFonts(), 1);
            EXPECT_EQ(sim::LiveBrushes(), 1);
            EXPECT_EQ(sim::Subclassings(), 1);
            way.close(d);
        };
        EXPECT_EQ(Run(), way.result);
        EXPECT_TRUE(sim::DialogEnded(opened));
        EXPECT_EQ(sim::LiveFonts(), 0);
        EXPECT_EQ(sim::LiveBrushes(), 0);
        EXPECT_EQ(sim::Subclassings(), 0);
        EXPECT_EQ(sim::LiveDCs(), 0);
    }
}

TEST_F(CriteriaDialog, PageCaptionUsesA14PointSwissFont) {
    drive = [](HWND d) {
        HDC dc = GetDC(d);
        const int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(d, dc);
        auto font = sim::ControlFont(d, IDC_CRIT_CAPTION);
        ASSERT_TRUE(font.has_value());
        EXPECT_EQ(font->height, -MulDiv(14, pixelsPerInch, 72)) << "got " << font->height;
        EXPECT_EQ(font->face, "MS Sans Serif");
        EXPECT_EQ(font->pitchAndFamily, 0x20);
        DO(sim::Click(d, IDCANCEL));
    };
    Run();
}

// A new button-face colour gets a new brush, never a second one.
TEST_F(CriteriaDialog, SystemColourChangeRenewsTheOneBrush) {
    drive = [](HWND d) {
        PassSearchPage(d);
        EXPECT_EQ(sim::ControlTextColor(d, IDC_CRIT_E_CHORD), kDarkRed);
        sim::SetSysColor(COLOR_BTNFACE, RGB(10, 20, 30));
        EXPECT_EQ(sim::ControlTextColor(d, IDC_CRIT_E_CHORD), kDarkRed);
        EXPECT_EQ(sim::LiveBrushes(), 1);
        DO(sim::Click(d, IDCANCEL));
    };
    Run();
    EXPECT_EQ(sim::LiveBrushes(), 0);
}

// ---- Where it opens ------------------------------------------------------------

TEST_F(CriteriaDialog, OpensAtTheSavedPlaceWhenItLiesOnTheScreen) {
    RECT templatePlace{};
    drive = [&](HWND d) {
        templatePlace = sim::DialogRect(d);
        DO(sim::Click(d, IDCANCEL));
    };
    Run();
    struct Row {
        const char* what;
        std::int16_t left, top;
        bool moved;
    };
    const Row rows[] = {
        {"saved place", 100, 50, true},
        {"not placed", kNotPlaced, kNotPlaced, false},
        {"beyond the right edge", 1025, 0, false},
    };
    // The replace side's pair is stored but never read.
    g_plugin.replace.dialogLeft = 300;
    g_plugin.replace.dialogTop = 300;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        g_plugin.search.dialogLeft = row.left;
        g_plugin.search.dialogTop = row.top;
        RECT got{};
        drive = [&](HWND d) {
            got = sim::DialogRect(d);
            DO(sim::Click(d, IDCANCEL));
        };
        Run();
        const LONG wantLeft = row.moved ? row.left : templatePlace.left;
        const LONG wantTop = row.moved ? row.top : templatePlace.top;
        EXPECT_EQ(got.left, wantLeft);
        EXPECT_EQ(got.top, wantTop);
        EXPECT_EQ(got.right - got.left, templatePlace.right - templatePlace.left) << "size kept";
        // Whatever it opened at is where it was closed, and that is saved.
        EXPECT_EQ(g_plugin.search.dialogLeft, static_cast<std::int16_t>(got.left));
        EXPECT_EQ(g_plugin.search.dialogTop, static_cast<std::int16_t>(got.top));
    }
}

// ---- What goes back into the persistent records --------------------------

TEST_F(CriteriaDialog, CancelLeavesBothRecordsButThePlace) {
    g_plugin.search.entrySlots[5] = 2;
    const CriteriaRecord search = g_plugin.search;
    const CriteriaRecord replace = g_plugin.replace;
    drive = [](HWND d) {
        DO(sim::SetState(d, IDC_CRIT_E_CHORD, 1));
        DO(sim::Click(d, IDC_CRIT_DISPLACEMENT));
        DO(sim::Type(d, IDC_CRIT_DISPLACEMENT_VALUE, "3"));
        DO(sim::Click(d, IDC_CRIT_DONE));
        DO(sim::SetState(d, IDC_CRIT_N_TIE_START, 1));
        DO(sim::Click(d, IDC_CRIT_BACK));
        DO(sim::Click(d, IDCANCEL));
    };
    EXPECT_EQ(Run(), 0);
    CriteriaRecord placed = search;
    placed.dialogLeft = g_plugin.search.dialogLeft;
    placed.dialogTop = g_plugin.search.dialogTop;
    EXPECT_TRUE(SameBytes(g_plugin.search, placed));
    EXPECT_TRUE(SameBytes(g_plugin.replace, replace));
    EXPECT_NE(g_plugin.search.dialogLeft, kNotPlaced) << "the place is saved on cancel too";
}

TEST_F(CriteriaDialog, GoWritesBothPagesAndTheNoteMode) {
    drive = [](HWND d) {
        DO(sim::Click(d, IDC_CRIT_OR));
        DO(sim::Click(d, IDC_CRIT_DURATION));
        DO(sim::Type(d, IDC_CRIT_DURATION_VALUE, "512"));
        DO(sim::Click(d, IDC_CRIT_RAISE_LOWER));
        DO(sim::Type(d, IDC_CRIT_RAISE_LOWER_VALUE, "-5"));
        DO(sim::SetState(d, IDC_CRIT_N_ACCIDENTAL, 1));
        DO(sim::Click(d, IDC_CRIT_DONE));
        DO(sim::Click(d, IDC_CRIT_DISPLACEMENT));
        DO(sim::Type(d, IDC_CRIT_DISPLACEMENT_VALUE, "-100"));
        DO(sim::SetState(d, IDC_CRIT_N_UPSTEM_2ND, 0));
        DO(sim::Click(d, IDC_CRIT_GO));
    };
    ASSERT_EQ(Run(), 1);
    const CriteriaRecord& s = g_plugin.search;
    const CriteriaRecord& r = g_plugin.replace;
    struct Field {
        const char* what;
        int got;
        int expected;
    };
    const Field fields[] = {
        {"search: OR", s.booleanSwitch, 0},
        {"search: duration switch", s.durationSwitch != 0, 1},
        {"search: duration value", s.durationValue, 512},
        {"search: raise/lower switch", s.raiseLowerSwitch != 0, 1},
        {"search: raise/lower value", s.raiseLowerValue, -5},
        {"search: Accidental checked", s.noteSlots[7], 2},
        {"search: Chord left grey", s.entrySlots[4], 0},
        {"replace: note mode from the search page", r.noteSpecific, 1},
        {"replace: displacement switch", r.displacementSwitch != 0, 1},
        {"replace: displacement value", r.displacementValue, -100},
        {"replace: Upstem 2nd unchecked", r.noteSlots[4], 1},
        {"replace: Boolean from its own record, refilled on the page", r.booleanSwitch, 1},
        {"replace: duration untouched", r.durationValue, 1024},
    };
    for (const Field& f : fields) EXPECT_EQ(f.got, f.expected) << f.what;
}

// A stored slot outside 0..2 shows grey and is read back as "ignore".
TEST_F(CriteriaDialog, OddStoredSlotShowsGreyAndReadsBackAsIgnore) {
    g_plugin.search.entrySlots[6] = 7;  // Float Rest
    drive = [](HWND d) {
        EXPECT_EQ(sim::ControlState(d, IDC_CRIT_E_FLOAT_REST), 2);
        PassSearchPage(d);
        DO(sim::SetState(d, IDC_CRIT_E_GRACE, 1));
        DO(sim::Click(d, IDC_CRIT_GO));
    };
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(g_plugin.search.entrySlots[6], 0);
}

// ---- Refusals ---------------------------------------------------------------

// Numbers the host can only hand back wrapped into 16 bits are refused like
// any other value out of range, with the focus on the edit.
TEST_F(CriteriaDialog, NumeralsBeyondSixteenBitsAreOutOfRange) {
    struct Row {
        int box, edit;
        const char* typed;
        const char* message;  // null: accepted
    };
    const Row rows[] = {
        {IDC_CRIT_POSITION, IDC_CRIT_POSITION_VALUE, "70000", kPositionRangeText},               // 4464 once wrapped
        {IDC_CRIT_DURATION, IDC_CRIT_DURATION_VALUE, "65537", kDurationRangeText},               // 1 once wrapped
        {IDC_CRIT_DISPLACEMENT, IDC_CRIT_DISPLACEMENT_VALUE, "-65536", kDisplacementRangeText},  // 0 once wrapped
        {IDC_CRIT_RAISE_LOWER, IDC_CRIT_RAISE_LOWER_VALUE, "65539", kRaiseLowerRangeText},       // 3 once wrapped
        {IDC_CRIT_POSITION, IDC_CRIT_POSITION_VALUE, "32000", nullptr},                          // the top of the range
        {IDC_CRIT_DISPLACEMENT, IDC_CRIT_DISPLACEMENT_VALUE, "-100", nullptr},                   // the bottom
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        boxes.clear();
        if (row.message != nullptr) answers.push_back(IDOK);
        drive = [&](HWND d) {
            DO(sim::Click(d, row.box));
            DO(sim::Type(d, row.edit, row.typed));
            DO(sim::Click(d, IDC_CRIT_DONE));
            if (row.message != nullptr) {
                EXPECT_EQ(sim::FocusedControl(d), row.edit);
                EXPECT_EQ(sim::ControlText(d, IDC_CRIT_CAPTION), kSearchPageCaption);
            } else {
                EXPECT_EQ(sim::ControlText(d, IDC_CRIT_CAPTION), kReplacePageCaption);
            }
            DO(sim::Click(d, IDCANCEL));
        };
        Run();
        if (row.message == nullptr) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, row.message);
        EXPECT_EQ(boxes[0].caption, kRangeErrorCaption);
        EXPECT_EQ(boxes[0].type & (MB_TYPEMASK | MB_ICONMASK), static_cast<UINT>(MB_OK | MB_ICONERROR));
    }
}

// What "&GO!" counts on the replace page, boxes hidden or not.
TEST_F(CriteriaDialog, GoCountsHiddenBoxesByMode) {
    struct Row {
        const char* what;
        std::int16_t noteMode;
        std::function<void(CriteriaRecord*)> preset;  // left in the replace record from an earlier run
        const char* message;                          // what "&GO!" says first; null: closes at once
    };
    const Row rows[] = {
        {"entry mode, hidden note slot: counts for nothing", 0, [](CriteriaRecord* r) { r->noteSlots[1] = 2; },
         kNoReplaceActionsText},
        {"entry mode, hidden displacement switch: counts, is not dangerous", 0,
         [](CriteriaRecord* r) { r->displacementSwitch = 1; }, nullptr},
        {"note mode, hidden dangerous entry slot: counts and is dangerous", 1,
         [](CriteriaRecord* r) { r->entrySlots[4] = 2; }, kDangerousText},
        {"note mode, hidden harmless entry slot: counts", 1, [](CriteriaRecord* r) { r->entrySlots[6] = 1; }, nullptr},
        {"note mode, search-only note slot: counts, never dangerous", 1, [](CriteriaRecord* r) { r->noteSlots[0] = 2; },
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetAllSettings(&g_plugin.search, &g_plugin.replace, &g_plugin.prefs);
        row.preset(&g_plugin.replace);
        boxes.clear();
        if (row.message == kNoReplaceActionsText) answers.push_back(IDOK);
        if (row.message == kDangerousText) answers.push_back(IDNO);
        drive = [&](HWND d) {
            if (row.noteMode != 0) {
                DO(sim::SetState(d, IDC_CRIT_N_ACCIDENTAL, 1));
                DO(sim::Click(d, IDC_CRIT_DONE));
            } else {
                PassSearchPage(d);
            }
            DO(sim::Click(d, IDC_CRIT_GO));
            if (!sim::DialogEnded(d)) {
                DO(sim::Click(d, IDCANCEL));
            }
        };
        const std::int16_t result = Run();
        EXPECT_EQ(result, row.message == nullptr ? 1 : 0);
        if (row.message == nullptr) {
            EXPECT_TRUE(boxes.empty()) << boxes.front().text;
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, row.message);
        }
    }
}

}  // namespace
