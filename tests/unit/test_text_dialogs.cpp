// The text command's dialogs as a user meets them, for what a session script
// cannot see: the bold font of the results text and its release on every way
// out, dialog places, and the run going on when memory runs out.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "resources/resource.h"
#include "shell/commands.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

extern "C" const char OrvoResourceScript[];

namespace {

class TextDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::SetResourceScript(OrvoResourceScript);
        sim::UseEmptyHive();
        host::ResetServices();
        host::AttachDocument(&doc);
        hostWindow = sim::CreateHostWindow(nullptr);
        ResetAllSettings(&g_plugin.search, &g_plugin.replace, &g_plugin.prefs);
        user.onDialog = [this](HWND dialog) {
            if (sim::DialogTemplateId(dialog) == IDD_TEXT_SETUP) {
                if (onSetup) {
                    onSetup(dialog);
                } else {
                    EXPECT_EQ(sim::Click(dialog, IDOK), "");
                }
            } else {
                ++resultsOpened;
                if (onResults) onResults(dialog);
            }
        };
        user.onMessageBox = [](const sim::MessageBoxInfo& box) {
            ADD_FAILURE() << "unexpected message box: " << box.text;
            return IDOK;
        };
        sim::SetUser(&user);
    }
    void TearDown() override {
        sim::SetUser(nullptr);
        host::AttachDocument(nullptr);
    }

    // Options as the setup dialog would store them: only text expressions.
    void Options(const char* search, const char* replace) {
        TextSearchPrefs& p = g_plugin.prefs;
        std::strcpy(p.searchString, search);
        std::strcpy(p.replaceString, replace != nullptr ? replace : "");
        p.replaceSwitch = replace != nullptr ? 1 : 0;
        for (auto& on : p.elementSwitch) on = 0;
        p.elementSwitch[TextExpressions] = 1;
    }

    std::string Expression(int number) {
        return doc.RecordText(host::kTagTextExpression, {static_cast<std::int16_t>(number), 0, 0}).value_or("<none>");
    }

    host::Document doc;
    sim::CallbackUser user;
    HWND hostWindow = nullptr;
    std::function<void(HWND)> onSetup;
    std::function<void(HWND)> onResults;
    int resultsOpened = 0;
};

std::string Text(HWND dialog, int id) { return sim::ControlText(dialog, id).value_or("<no control>"); }

// ---- The bold font of the results text -----------------------------------

TEST_F(TextDialogs, ResultsTextIsBoldEightPointSwiss) {
    doc.AddExpression(1, "Allegro");
    Options("Allegro", nullptr);
    HDC screen = GetDC(nullptr);
    const int expectedHeight = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    onResults = [&](HWND dialog) {
        auto font = sim::ControlFont(dialog, IDC_RESULTS_TEXT);
        ASSERT_TRUE(font.has_value()) << "control 107 was given no font";
        EXPECT_EQ(font->height, expectedHeight);
        EXPECT_EQ(font->weight, FW_BOLD);
        EXPECT_EQ(font->pitchAndFamily, FF_SWISS | DEFAULT_PITCH);
        EXPECT_EQ(font->face, "MS Sans Serif");
        EXPECT_EQ(sim::Click(dialog, IDCANCEL), "");
    };
    EXPECT_EQ(RunTextCommand(hostWindow), 1);
    EXPECT_EQ(resultsOpened, 1);
}

TEST_F(TextDialogs, FontAndTextCopyGoOnEveryWayOut) {
    struct Row {
        const char* why;
        const char* replace;  // null: search only
        std::function<void(HWND)> act;
    };
    auto click = [](std::vector<int> ids) {
        return [ids](HWND dialog) {
            for (int id : ids) ASSERT_EQ(sim::Click(dialog, id), "") << "clicking " << id;
        };
    };
    const Row rows[] = {
        {"Cancel while a match is shown", "Lento", click({IDCANCEL})},
        {"Cancel after one replacement", "Lento", click({IDC_RESULTS_YES, IDCANCEL})},
        {"OK at the summary after No on both", "Lento", click({IDC_RESULTS_NO, IDC_RESULTS_NO, IDOK})},
        {"OK after Yes to all", "Lento", click({IDC_RESULTS_YES_ALL, IDOK})},
        {"OK after Next through a search-only run", nullptr, click({IDC_RESULTS_NEXT, IDC_RESULTS_NEXT, IDOK})},
        {"the close box", "Lento", [](HWND dialog) { ASSERT_EQ(sim::Close(dialog), ""); }},
        {"the user walks away (the system cancels)", "Lento", [](HWND) {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        SetUp();
        doc = host::Document();
        doc.AddExpression(1, "Allegro");
        doc.AddExpression(2, "Allegro assai");
        Options("Allegro", row.replace);
        const int fonts = sim::LiveFonts();
        const int blocks = sim::LiveHeapBlocks();
        bool sawFont = false;
        onResults = [&](HWND dialog) {
            sawFont = sim::LiveFonts() == fonts + 1;
            row.act(dialog);
        };
        RunTextCommand(hostWindow);
        EXPECT_TRUE(sawFont) << "no font was alive while the results dialog was open";
        EXPECT_EQ(sim::LiveFonts(), fonts);
        EXPECT_EQ(sim::LiveHeapBlocks(), blocks);
        EXPECT_EQ(g_plugin.resultsFont, nullptr);
        EXPECT_EQ(g_plugin.text.textCopy, nullptr);
    }
}

// ---- Dialog places ------------------------------------------------------

TEST_F(TextDialogs, BothPlacesRestoredAndSavedOnEveryWayOut) {
    struct Row {
        const char* why;
        bool acceptSetup;
        int resultsExit;  // IDOK (after the summary) or IDCANCEL
    };
    const Row rows[] = {
        {"Cancel in the setup dialog: only its place is saved", false, 0},
        {"GO!, then Cancel at the first match", true, IDCANCEL},
        {"GO!, then OK at the summary", true, IDOK},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        SetUp();
        doc = host::Document();
        doc.AddExpression(1, "Allegro");
        Options("Allegro", nullptr);
        g_plugin.prefs.setupLeft = 100;
        g_plugin.prefs.setupTop = 60;
        g_plugin.prefs.resultsLeft = 300;
        g_plugin.prefs.resultsTop = 200;
        // The user finds each dialog where it was left and drags it away.
        auto dragTo = [](HWND dialog, int x, int y) {
            RECT r = sim::DialogRect(dialog);
            MoveWindow(dialog, x, y, r.right - r.left, r.bottom - r.top, TRUE);
        };
        onSetup = [&](HWND dialog) {
            RECT r = sim::DialogRect(dialog);
            EXPECT_EQ(r.left, 100);
            EXPECT_EQ(r.top, 60);
            dragTo(dialog, 150, 90);
            ASSERT_EQ(sim::Click(dialog, row.acceptSetup ? IDOK : IDCANCEL), "");
        };
        onResults = [&](HWND dialog) {
            RECT r = sim::DialogRect(dialog);
            EXPECT_EQ(r.left, 300);
            EXPECT_EQ(r.top, 200);
            dragTo(dialog, 350, 220);
            if (row.resultsExit == IDOK) {
                ASSERT_EQ(sim::Click(dialog, IDC_RESULTS_NEXT), "");
            }
            ASSERT_EQ(sim::Click(dialog, row.resultsExit), "");
        };
        RunTextCommand(hostWindow);
        EXPECT_EQ(g_plugin.prefs.setupLeft, 150);
        EXPECT_EQ(g_plugin.prefs.setupTop, 90);
        EXPECT_EQ(g_plugin.prefs.resultsLeft, row.acceptSetup ? 350 : 300);
        EXPECT_EQ(g_plugin.prefs.resultsTop, row.acceptSetup ? 220 : 200);
    }
}

TEST_F(TextDialogs, UnplacedOrOffscreenPlaceKeepsTheTemplatePlaceAndIsOverwritten) {
    doc.AddExpression(1, "Allegro");
    Options("Allegro", nullptr);
    RECT templatePlace{};
    // First run: nothing stored, so the dialog stands where the template puts it.
    onResults = [&](HWND dialog) {
        templatePlace = sim::DialogRect(dialog);
        ASSERT_EQ(sim::Click(dialog, IDCANCEL), "");
    };
    RunTextCommand(hostWindow);
    EXPECT_EQ(g_plugin.prefs.resultsLeft, templatePlace.left);
    EXPECT_EQ(g_plugin.prefs.resultsTop, templatePlace.top);

    // A place beyond the screen's right edge is not applied.
    g_plugin.prefs.resultsLeft = 1025;
    g_plugin.prefs.resultsTop = 0;
    RECT second{};
    onResults = [&](HWND dialog) {
        second = sim::DialogRect(dialog);
        ASSERT_EQ(sim::Click(dialog, IDCANCEL), "");
    };
    RunTextCommand(hostWindow);
    EXPECT_EQ(second.left, templatePlace.left);
    EXPECT_EQ(second.top, templatePlace.top);
    EXPECT_EQ(g_plugin.prefs.resultsLeft, templatePlace.left);
}

// ---- Running out of memory ---------------------------------------------------

TEST_F(TextDialogs, DisplayTextOutOfMemoryShowsEmptyTextAndUncorrectedPosition) {
    doc.AddPageText(0, "^font(Times)Hello World");
    Options("World", nullptr);
    g_plugin.prefs.elementSwitch[TextExpressions] = 0;
    g_plugin.prefs.elementSwitch[PageTextBlocks] = 1;

    // A run as usual; the last allocation before the first match is on
    // screen is its tag-free display text.
    std::string shown, position, next;
    int allocations = 0;
    int before = sim::HeapAllocCalls();
    onResults = [&](HWND dialog) {
        allocations = sim::HeapAllocCalls() - before;
        shown = Text(dialog, IDC_RESULTS_TEXT);
        position = Text(dialog, IDC_RESULTS_POSITION);
        ASSERT_EQ(sim::Click(dialog, IDCANCEL), "");
    };
    RunTextCommand(hostWindow);
    EXPECT_EQ(shown, "Hello World");
    EXPECT_EQ(position, "at position 7");
    ASSERT_GT(allocations, 0);

    // The same run with that allocation failing.
    const int blocks = sim::LiveHeapBlocks();
    onResults = [&](HWND dialog) {
        shown = Text(dialog, IDC_RESULTS_TEXT);
        position = Text(dialog, IDC_RESULTS_POSITION);
        EXPECT_EQ(sim::Click(dialog, IDC_RESULTS_NEXT), "");  // the run goes on
        next = Text(dialog, IDC_RESULTS_TEXT);
        ASSERT_EQ(sim::Click(dialog, IDOK), "");
    };
    sim::FailHeapAllocAt(allocations);
    RunTextCommand(hostWindow);
    EXPECT_EQ(shown, "");
    EXPECT_EQ(position, "at position 19") << "the stored offset, not corrected for the leading tag";
    EXPECT_EQ(next, "1 instance(s) found");
    EXPECT_EQ(sim::LiveHeapBlocks(), blocks);
}

// When the copy of the matching text cannot be made the match is still
// counted, but nothing is shown and "&Yes" has nothing to replace.
TEST_F(TextDialogs, MatchWithoutCopyShowsNothingAndReplacesNothing) {
    struct Row {
        const char* why;
        std::int16_t tags;
        int button;
    };
    const Row rows[] = {
        {"tags off, Yes", 0, IDC_RESULTS_YES},
        {"tags on, Yes", 1, IDC_RESULTS_YES},
        {"tags off, Yes to all", 0, IDC_RESULTS_YES_ALL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        SetUp();
        doc = host::Document();
        doc.AddExpression(1, "Allegro");
        doc.AddExpression(2, "Allegro assai");
        Options("Allegro", "Presto");
        g_plugin.prefs.searchTags = row.tags;

        // How many allocations a run makes until the first match is shown;
        // with the tags switch off the last is the display text, before it
        // the copy of the matching text.
        int allocations = 0;
        int before = sim::HeapAllocCalls();
        onResults = [&](HWND dialog) {
            allocations = sim::HeapAllocCalls() - before;
            ASSERT_EQ(sim::Click(dialog, IDCANCEL), "");
        };
        RunTextCommand(hostWindow);
        const int copyAt = row.tags != 0 ? allocations : allocations - 1;
        ASSERT_GT(copyAt, 0);

        const int blocks = sim::LiveHeapBlocks();
        std::string shown, summaryFound, summaryReplaced;
        onResults = [&](HWND dialog) {
            shown = Text(dialog, IDC_RESULTS_TEXT);
            ASSERT_EQ(sim::Click(dialog, row.button), "");
            if (row.button == IDC_RESULTS_YES) {
                ASSERT_EQ(sim::Click(dialog, IDC_RESULTS_YES), "");
            }
            summaryFound = Text(dialog, IDC_RESULTS_TEXT);
            summaryReplaced = Text(dialog, IDC_RESULTS_REPLACED);
            ASSERT_EQ(sim::Click(dialog, IDOK), "");
        };
        sim::FailHeapAllocAt(copyAt);
        RunTextCommand(hostWindow);
        EXPECT_EQ(shown, "");
        EXPECT_EQ(summaryFound, "2 instance(s) found");
        EXPECT_EQ(summaryReplaced, "1 instance(s) replaced");
        EXPECT_EQ(Expression(1), "Allegro");
        EXPECT_EQ(Expression(2), "Presto assai");
        EXPECT_EQ(sim::LiveHeapBlocks(), blocks);
    }
}

// A replacement that cannot be made must not move the search by the length
// change of the replacement before it.
TEST_F(TextDialogs, FailedReplacementGoesOnRightBehindTheMatch) {
    doc.AddExpression(1, "xab");
    doc.AddExpression(2, "ab ab");
    Options("ab", "");
    std::string firstLine, afterFailure, where;
    onResults = [&](HWND dialog) {
        firstLine = Text(dialog, IDC_RESULTS_LOCATION);
        ASSERT_EQ(sim::Click(dialog, IDC_RESULTS_YES), "");  // "xab" -> "x", length change -2
        EXPECT_EQ(Text(dialog, IDC_RESULTS_POSITION), "at position 1");
        sim::FailHeapAllocAt(1);  // the new text of the next Yes
        ASSERT_EQ(sim::Click(dialog, IDC_RESULTS_YES), "");
        afterFailure = Text(dialog, IDC_RESULTS_POSITION);
        where = Text(dialog, IDC_RESULTS_LOCATION);
        ASSERT_EQ(sim::Click(dialog, IDC_RESULTS_NO), "");
        EXPECT_EQ(Text(dialog, IDC_RESULTS_TEXT), "3 instance(s) found");
        EXPECT_EQ(Text(dialog, IDC_RESULTS_REPLACED), "1 instance(s) replaced");
        ASSERT_EQ(sim::Click(dialog, IDOK), "");
    };
    RunTextCommand(hostWindow);
    EXPECT_EQ(firstLine, "text expression entry #1");
    EXPECT_EQ(afterFailure, "at position 4") << "got the same match again, or skipped one";
    EXPECT_EQ(where, "text expression entry #2");
    EXPECT_EQ(Expression(1), "x");
    EXPECT_EQ(Expression(2), "ab ab");
}

}  // namespace

// The match buttons' commands count only while a match waits for its answer,
// and only from the buttons of the mode; a command that comes at the summary
// (from a hidden button that kept the focus or the default border) or from a
// button the mode hides answers nothing.
TEST_F(TextDialogs, MatchCommandsActOnlyOnAWaitingMatchOfTheirMode) {
    auto send = [](HWND dialog, int id) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    };
    doc.AddExpression(1, "Allegro");
    doc.AddExpression(2, "Allegro assai");

    Options("Allegro", "Presto");
    std::string summary;
    onResults = [&](HWND dialog) {
        send(dialog, IDC_RESULTS_NEXT);  // hidden when replacing
        EXPECT_EQ(Expression(1), "Allegro");
        EXPECT_EQ(Text(dialog, IDC_RESULTS_LOCATION), "text expression entry #1");
        send(dialog, IDC_RESULTS_YES);
        send(dialog, IDC_RESULTS_YES);
        ASSERT_EQ(Text(dialog, IDC_RESULTS_HEADING), "Search result:");
        EXPECT_EQ(sim::FocusedControl(dialog), IDOK);
        for (int id : {IDC_RESULTS_YES, IDC_RESULTS_YES_ALL, IDC_RESULTS_NO, IDC_RESULTS_NEXT}) send(dialog, id);
        summary = Text(dialog, IDC_RESULTS_REPLACED);
        ASSERT_EQ(sim::Click(dialog, IDOK), "");
    };
    RunTextCommand(hostWindow);
    EXPECT_EQ(summary, "2 instance(s) replaced");
    EXPECT_EQ(Expression(1), "Presto");
    EXPECT_EQ(Expression(2), "Presto assai");

    Options("Presto", nullptr);
    g_plugin.prefs.replaceString[0] = '\0';
    onResults = [&](HWND dialog) {
        // Searching only: the replace buttons are hidden and do nothing.
        for (int id : {IDC_RESULTS_YES, IDC_RESULTS_YES_ALL, IDC_RESULTS_NO}) send(dialog, id);
        EXPECT_EQ(Text(dialog, IDC_RESULTS_LOCATION), "text expression entry #1");
        send(dialog, IDC_RESULTS_NEXT);
        EXPECT_EQ(Text(dialog, IDC_RESULTS_LOCATION), "text expression entry #2");
        ASSERT_EQ(sim::Click(dialog, IDCANCEL), "");
    };
    RunTextCommand(hostWindow);
    EXPECT_EQ(Expression(1), "Presto");
    EXPECT_EQ(Expression(2), "Presto assai");
}
