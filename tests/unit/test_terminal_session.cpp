// A session at the terminal, on a screen that is a list of inputs: the keys
// a person presses reach the same dialog manager as a script's `key`, so
// both leave the same score; the screen says when it is too small.
#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>
#include <string>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/session/plugin_linked.h"
#include "host/session/runner.h"
#include "host/session/script.h"
#include "host/session/world.h"
#include "host/sim/sim.h"
#include "host/terminal/curses_screen.h"
#include "host/terminal/session.h"
#include "host/users/entries_command.h"

namespace {

struct Abandoned : std::runtime_error {
    Abandoned() : std::runtime_error("abandoned") {}
};

class ListScreen : public terminal::ScreenIo {
public:
    int width = 100, height = 40;
    std::deque<terminal::Input> inputs;
    std::vector<std::string> painted;       // every screen as text, oldest first
    std::deque<terminal::Input> meanwhile;  // what Poll finds, one a call

    int Width() const override { return width; }
    int Height() const override { return height; }
    void Paint(const terminal::Grid& grid) override {
        painted.push_back(terminal::GridText(grid));
        last = grid;
    }
    terminal::Input Read() override {
        if (inputs.empty()) throw std::runtime_error("the session wants more input; last screen:\n" + painted.back());
        terminal::Input input = inputs.front();
        inputs.pop_front();
        if (input.kind == terminal::Input::Resize) {
            width = input.row;
            height = input.col;
        }
        return input;
    }
    terminal::Input Poll() override {
        if (meanwhile.empty()) return terminal::Input{};
        terminal::Input input = meanwhile.front();
        meanwhile.pop_front();
        return input;
    }
    [[noreturn]] void Abandon() override { throw Abandoned(); }

    // Presses a named key, or types each character of a text.
    void Key(const std::string& name) {
        terminal::Input input;
        input.kind = terminal::Input::Key;
        input.key = name;
        inputs.push_back(input);
    }
    void Type(const std::string& text) {
        for (char c : text) {
            terminal::Input input;
            input.kind = terminal::Input::Key;
            input.key = std::string(1, c);
            input.typed = true;
            inputs.push_back(input);
        }
    }
    // A click on the first cell showing this text (found on the screen
    // painted just before the click is read).
    void ClickOn(const std::string& text) {
        terminal::Input input;
        input.kind = terminal::Input::Mouse;
        input.key = text;  // resolved when read, see Resolve
        inputs.push_back(input);
    }
    void Other(terminal::Input::Kind kind, int row = 0, int col = 0) {
        terminal::Input input;
        input.kind = kind;
        input.row = row;
        input.col = col;
        inputs.push_back(input);
    }

    terminal::Grid last;
};

// ListScreen with clicks resolved against the screen as last painted.
class ClickingScreen : public ListScreen {
public:
    terminal::Input Read() override {
        terminal::Input input = ListScreen::Read();
        if (input.kind == terminal::Input::Mouse && !input.key.empty()) {
            std::string text = terminal::GridText(last);
            std::size_t at = text.find(input.key);
            if (at == std::string::npos) throw std::runtime_error("nothing shows \"" + input.key + "\":\n" + text);
            // Box pieces are one byte in the text form, so offsets are cells.
            input.row = static_cast<int>(at / (last.width + 1));
            input.col = static_cast<int>(at % (last.width + 1));
            input.key.clear();
        }
        return input;
    }
};

const char kDocumentPath[] = ORVO_SOURCE_DIR "/tests/documents/basic.json";

class TerminalSession : public ::testing::Test {
protected:
    // The score after a session on the screen, from a fresh world.
    std::string AfterSession(ClickingScreen& screen, std::vector<std::string>* report = nullptr,
                             int progressDelayMs = 300) {
        host::Document document;
        std::string error;
        EXPECT_TRUE(host::Document::Load(kDocumentPath, &document, &error)) << error;
        session::PluginModule module = session::LinkedPluginModule();
        HWND hostWindow = session::SetUpWorld(&document, module);
        sim::UseEmptyHive();
        module.init(nullptr, nullptr);
        session::ScreenOptions options;
        options.documentName = "basic.json";
        options.wholeScore = users::WholeDocumentRegion(document);
        options.progressDelayMs = progressDelayMs;
        std::vector<std::string> lines = terminal::RunSessionOn(screen, module, hostWindow, options);
        if (report != nullptr) *report = lines;
        module.terminate(nullptr);
        sim::SetUser(nullptr);
        host::AttachDocument(nullptr);
        return document.ToJson();
    }

    // The score after a session script, from a fresh world.
    std::string AfterScript(const std::string& text) {
        host::Document document;
        std::string error;
        EXPECT_TRUE(host::Document::Load(kDocumentPath, &document, &error)) << error;
        session::PluginModule module = session::LinkedPluginModule();
        HWND hostWindow = session::SetUpWorld(&document, module);
        sim::UseEmptyHive();
        module.init(nullptr, nullptr);
        session::Script script;
        EXPECT_TRUE(session::ParseScript(text, "t.script", &script, &error)) << error;
        session::Runner runner(module, hostWindow);
        EXPECT_TRUE(runner.Run(script)) << runner.Failure();
        module.terminate(nullptr);
        sim::SetUser(nullptr);
        host::AttachDocument(nullptr);
        return document.ToJson();
    }
};

TEST_F(TerminalSession, TextCommandByKeysChangesWhatTheScriptChanges) {
    ClickingScreen screen;
    screen.Key("2");  // the menu: the text command
    screen.inputs.back().typed = true;
    screen.Type("Allegro");
    screen.Key("Alt+r");  // "&Replace with:", which moves on into its field
    screen.Type("Presto");
    screen.Key("Enter");  // GO!
    screen.Key("Alt+a");  // Yes to all
    screen.Key("Enter");  // OK on the summary
    screen.Key("q");
    std::vector<std::string> report;
    std::string byKeys = AfterSession(screen, &report);
    std::string byScript =
        AfterScript("invoke 1\nkey A l l e g r o\nkey Alt+r\nkey P r e s t o\nkey Enter\nkey Alt+a\nkey Enter\n");
    EXPECT_TRUE(byKeys == byScript);
    EXPECT_NE(byKeys.find("Presto"), std::string::npos);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_NE(report[0].find("1 instance(s) found, 1 instance(s) replaced. 1 record of the score written."),
              std::string::npos)
        << report[0];
    // The summary was on the screen before OK.
    bool summary = false;
    for (const std::string& text : screen.painted)
        summary = summary || text.find("instance(s) replaced") != std::string::npos;
    EXPECT_TRUE(summary);
}

TEST_F(TerminalSession, CriteriaByKeysAndMouseChangeWhatTheScriptChanges) {
    ClickingScreen screen;
    screen.Key("Enter");  // the first command, selected
    // From Duration past Position (their values are disabled) and down to Chord.
    for (int i = 0; i < 6; ++i) screen.Key("Tab");
    screen.Key("Space");
    screen.Key("Space");        // Chord: required on
    screen.Key("Alt+d");        // Done >>
    screen.ClickOn("Up/Down");  // replace page: switch it off,
    screen.ClickOn("Up/Down");  // then on
    screen.Key("Alt+g");        // GO!
    screen.Key("Enter");        // the count message
    screen.Key("q");
    std::string byKeys = AfterSession(screen);
    std::string byScript = AfterScript(
        "invoke 0 region 1 1 0 2 4 2147483647\nkey Tab Tab Tab Tab Tab Tab Space Space\nexpect state 120 1\n"
        "key Alt+d\n"
        "click 146\nclick 146\nkey Alt+g\nanswer OK\n");
    // Whole scores differ in too many lines to print.
    EXPECT_TRUE(byKeys == byScript);
    EXPECT_TRUE(byKeys != AfterScript(""));
}

// The scan shows where it is; Escape meanwhile is the cancel of the mass
// edit, so no count message follows.
TEST_F(TerminalSession, EscapeDuringTheScanStopsIt) {
    ClickingScreen screen;
    screen.Key("Enter");
    for (int i = 0; i < 6; ++i) screen.Key("Tab");
    screen.Key("Space");
    screen.Key("Space");
    screen.Key("Alt+d");
    screen.ClickOn("Up/Down");
    screen.Key("Alt+g");
    screen.Key("q");
    terminal::Input escape;
    escape.kind = terminal::Input::Key;
    escape.key = "Escape";
    screen.meanwhile.push_back(escape);
    std::vector<std::string> report;
    AfterSession(screen, &report, 0);
    bool working = false;
    for (const std::string& text : screen.painted)
        working = working || text.find("Staff 1, measure 1.") != std::string::npos;
    EXPECT_TRUE(working);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].find("were made"), std::string::npos) << report[0];
    EXPECT_EQ(host::ProgressCalls(), 1);
}

TEST_F(TerminalSession, ATooSmallTerminalSaysWhatItNeedsAndARedrawFollowsTheResize) {
    ClickingScreen screen;
    screen.width = 60;
    screen.height = 20;
    screen.Key("1");
    screen.inputs.back().typed = true;
    screen.Other(terminal::Input::Resize, 100, 40);  // row, col carry the new width and height
    screen.Key("Escape");                            // Cancel
    screen.Key("q");
    AfterSession(screen);
    bool tooSmall = false, shownAfter = false;
    for (const std::string& text : screen.painted) {
        if (text.find("needs at least 80 x 34") != std::string::npos) tooSmall = true;
        if (tooSmall && text.find("Search for...") != std::string::npos) shownAfter = true;
    }
    EXPECT_TRUE(tooSmall);
    EXPECT_TRUE(shownAfter);
}

TEST_F(TerminalSession, MessageBoxesTakeKeysAndClicks) {
    ClickingScreen screen;
    screen.Key("2");
    screen.inputs.back().typed = true;
    screen.Key("Enter");  // GO! with no search text: an error box
    screen.Key("Tab");    // its only button keeps the focus
    screen.Key("Enter");  // OK: back in the setup dialog
    screen.Key("Enter");  // GO! again, the same box
    screen.ClickOn("<   OK   >");
    screen.Key("Escape");
    screen.Key("q");
    AfterSession(screen);
    int boxes = 0;
    for (const std::string& text : screen.painted) boxes += text.find("<   OK   >") != std::string::npos ? 1 : 0;
    EXPECT_EQ(boxes, 3);  // the first drawn again after the Tab, then the second
    EXPECT_NE(screen.painted.back().find("Choose a command"), std::string::npos);
}

// The region form: digits, a refusal that names the field's problem,
// Escape keeping the region; Escape pressed just before a key reads as Alt.
TEST_F(TerminalSession, RegionForm) {
    ClickingScreen screen;
    screen.Type("r");
    screen.Key("Down");  // First measure
    screen.Key("Backspace");
    screen.Type("3");
    screen.Key("Enter");
    screen.Type("r");
    screen.Key("Backspace");  // First staff left empty
    screen.Key("Enter");
    screen.Key("Alt+x");  // Escape, then x: the region stays
    screen.Key("Alt+q");  // Escape, then q: quit
    AfterSession(screen);
    bool refused = false;
    for (const std::string& text : screen.painted)
        refused = refused || text.find("First staff needs a number.") != std::string::npos;
    EXPECT_TRUE(refused) << screen.painted[screen.painted.size() - 2];
    EXPECT_NE(screen.painted.back().find("staves 1 to 2, measures 3 to 4"), std::string::npos) << screen.painted.back();
}

TEST_F(TerminalSession, CtrlCLeavesAtOnce) {
    ClickingScreen screen;
    screen.Key("2");
    screen.inputs.back().typed = true;
    screen.Type("Allegro");
    screen.Other(terminal::Input::Interrupt);
    EXPECT_THROW(AfterSession(screen), Abandoned);
    sim::SetUser(nullptr);
    host::AttachDocument(nullptr);
}

}  // namespace
