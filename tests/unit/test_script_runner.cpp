// The scripted user: how answers meet message boxes, how a script fails, and
// that a failure unwinds every dialog without leaving anything alive.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/session/plugin_linked.h"
#include "host/session/runner.h"
#include "host/session/script.h"
#include "host/session/world.h"
#include "host/sim/sim.h"
#include "resources/messages.h"

namespace {

constexpr char kDocument[] = R"({
  "pageTexts": [{"page": 0, "text": "Sonata"}],
  "frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
      {"position": 0, "duration": 1024, "flagsA": "0x40000000", "flagsB": "0x0000",
       "notes": [{"displacement": 0, "raiseLower": 0, "flags": "0x00000000"}]}]}]
})";

const std::string kNoAreaMessage =
    std::string("expect message \"") + kNoAreaText + "\" \"" + kNoAreaCaption + "\" information ok\n";

class ScriptRunner : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host::Document::FromJson(kDocument, &document_, &error)) << error;
        module_ = session::LinkedPluginModule();
        hostWindow_ = session::SetUpWorld(&document_, module_);
        sim::UseEmptyHive();
        module_.init(nullptr, nullptr);
    }
    void TearDown() override {
        module_.terminate(nullptr);
        sim::SetUser(nullptr);
        host::AttachDocument(nullptr);
    }

    // Runs the script; returns "" when it held, else the failure.
    std::string Run(const std::string& text) {
        session::Script script;
        std::string error;
        EXPECT_TRUE(session::ParseScript(text, "t.script", &script, &error)) << error;
        session::Runner runner(module_, hostWindow_);
        bool held = runner.Run(script);
        EXPECT_EQ(held, runner.Failure().empty());
        return runner.Failure();
    }

    // After any failure the world is back at the score: no dialog, nothing alive.
    void ExpectUnwound() {
        EXPECT_EQ(sim::ActiveDialog(), nullptr);
        EXPECT_EQ(sim::LiveFonts(), 0);
        EXPECT_EQ(sim::LiveBrushes(), 0);
        EXPECT_EQ(sim::LiveDCs(), 0);
        EXPECT_EQ(sim::Subclassings(), 0);
        EXPECT_EQ(host::LiveFrames(), 0);
        EXPECT_EQ(sim::LiveHeapBlocks(), 0);
    }

    host::Document document_;
    session::PluginModule module_;
    HWND hostWindow_ = nullptr;
};

TEST_F(ScriptRunner, AnswersQueuedAheadOrOnTheNextLineBothServeTheBox) {
    struct Case {
        const char* what;
        std::string script;
    };
    const Case cases[] = {
        {"answer on the line after the action that brings the box", "invoke 0\nanswer OK\n" + kNoAreaMessage},
        {"answer queued before the action", "answer OK\ninvoke 0\n" + kNoAreaMessage},
        {"two answers queued, used in order",
         "answer OK\nanswer OK\ninvoke 0\ninvoke 0\n" + kNoAreaMessage + "expect message-count 2\n"},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        EXPECT_EQ(Run(c.script + "expect result 0\n"), "") << c.what;
    }
}

TEST_F(ScriptRunner, FailuresNameTheLineAndWhatHappened) {
    struct Case {
        const char* what;
        const char* script;
        std::string failure;  // exact, or a prefix when it ends with "..."
    };
    const Case cases[] = {
        {"a box with no answer fails naming its text", "invoke 0\nexpect result 0\n",
         std::string("t.script:1: a message box came up with no answer queued: \"") + kNoAreaText + "\" (caption \"" +
             kNoAreaCaption + "\")"},
        {"an answer never used fails at its own line", "invoke 1\nanswer Yes\nclick 2\n",
         "t.script:2: this answer was never used: no message box came up for it"},
        {"an answer that is not one of the box's buttons", "invoke 0\nanswer Yes\n",
         std::string("t.script:2: answer Yes does not fit the message box \"") + kNoAreaText + "\" (information ok)"},
        {"the script ends inside a dialog", "invoke 1\ntype 101 \"Sonata\"\n\n# the end\n",
         "t.script:4: the script ended while dialog 20129 (\"Orvo Search and Replace 1.11a\") is still open"},
        {"an expectation that does not hold prints got and expected", "invoke 1\nexpect text 101 \"nope\"\n",
         "t.script:2: expect text 101: got \"\", expected \"nope\""},
        {"a check state", "invoke 1\nexpect state 108 0\n", "t.script:2: expect state 108: got 1, expected 0"},
        {"a control the dialog does not have", "invoke 1\nexpect visible 999 1\n",
         "t.script:2: expect visible 999: dialog 20129 (\"Orvo Search and Replace 1.11a\") has no control 999"},
        {"a command cannot start inside a dialog", "invoke 1\ninvoke 1\n",
         "t.script:2: invoke: dialog 20129 (\"Orvo Search and Replace 1.11a\") is still open; a command starts "
         "from the score"},
        {"no command has run", "expect result 1\n", "t.script:1: expect result: no command has run yet"},
        {"the result differs", "invoke 1\nclick 2\nexpect result 0\n", "t.script:3: expect result: got 1, expected 0"},
        {"a dialog expected but none open", "expect dialog open 20129\n",
         "t.script:1: expect dialog open 20129: got no dialog, expected dialog 20129"},
        {"a control action with no dialog", "click 1\n", "t.script:1: click 1: no dialog is open"},
        {"a box since the last expectation", "invoke 0\nanswer OK\nexpect no-message\n",
         std::string("t.script:3: expect no-message: got the message box \"") + kNoAreaText + "\" (caption \"" +
             kNoAreaCaption + "\") since the last expectation"},
        {"a message with the wrong icon", "invoke 0\nanswer OK\nexpect message \"x\" \"y\" error ok\n",
         std::string("t.script:3: expect message: got \"") + kNoAreaText + "\" \"" + kNoAreaCaption +
             "\" information ok, expected \"x\" \"y\" error ok"},
        {"a record's text", "expect record lbxt 1 \"Sinfonia\"\n",
         "t.script:1: expect record lbxt 1: got \"Sonata\", expected \"Sinfonia\""},
        {"a record that is not there", "expect record lbxt 77 \"x\"\n",
         "t.script:1: expect record lbxt 77: the document has no such record"},
        {"an entry's flags", "expect entry 1 1 0 0 0x40000001 0\n",
         "t.script:1: expect entry 1 1 0 0: got 0x40000000 0x0, expected 0x40000001 0x0"},
        {"a note past the entry's notes", "expect note 1 1 0 0 1 0 0 0\n",
         "t.script:1: expect note 1 1 0 0 1: the entry has 1 notes"},
        {"a frame that is not there", "expect entry 2 1 0 0 0 0\n",
         "t.script:1: expect entry 2 1 0 0: the document has no frame for that staff, measure and layer"},
        {"a hive value never written", "expect hive TextSearchPrefs \"00\"\n",
         "t.script:1: expect hive TextSearchPrefs: got no value \"TextSearchPrefs\", expected \"00\""},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        EXPECT_EQ(Run(c.script), c.failure) << c.what;
        ExpectUnwound();
    }
}

TEST_F(ScriptRunner, ActionsOnHiddenOrDisabledControlsFail) {
    struct Case {
        const char* what;
        const char* script;
        const char* prefix;
    };
    const Case cases[] = {
        // the replace edit is disabled while "Replace with:" is off
        {"disabled edit", "invoke 1\nstate 105 0\ntype 106 \"x\"\n", "t.script:3: type 106: "},
        // "OK" of the results dialog is hidden while a match is shown
        {"hidden button", "invoke 1\ntype 101 \"Sonata\"\nclick 1\nclick 1\n", "t.script:4: click 1: "},
        // the criteria dialog's "GO!" is hidden on the search page
        {"hidden page button", "invoke 0 region 1 1 0 1 1 1024\nclick 204\n", "t.script:2: click 204: "},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        std::string failure = Run(c.script);
        EXPECT_EQ(failure.rfind(c.prefix, 0), 0u) << c.what << ": got " << failure;
        EXPECT_GT(failure.size(), std::string(c.prefix).size()) << c.what << ": the reason is missing";
        ExpectUnwound();
    }
}

TEST_F(ScriptRunner, NothingRunsAfterTheFirstFailure) {
    // Line 2 fails inside the criteria dialog; the dialog is cancelled (no scan,
    // no count message) and the invoke on line 4 never happens.
    EXPECT_EQ(Run("invoke 0 region 1 1 0 1 1 1024\nexpect text 101 \"wrong\"\nclick 2\ninvoke 0\nanswer OK\n"),
              "t.script:2: expect text 101: got \"Search for...\", expected \"wrong\"");
    EXPECT_TRUE(sim::MessageBoxes().empty());
    ExpectUnwound();

    // A failure inside the results dialog: the dialog goes, the replacements
    // made so far stay.
    TearDown();
    SetUp();
    EXPECT_NE(Run("invoke 1\ntype 101 \"Sonata\"\nstate 105 1\ntype 106 \"Suite\"\nclick 1\nexpect text 110 \"?\"\n"),
              "");
    ExpectUnwound();
    EXPECT_EQ(document_.RecordText(host::kTagTextBlockText, host::Key{1, 0, 0}).value_or(""), "Sonata");
}

TEST_F(ScriptRunner, ReloadGivesTheSaveResultAndLeaksAreCounted) {
    // A key that cannot be created: nothing stored, the registry's code comes back.
    EXPECT_EQ(Run("fail-registry create\nreload\nexpect result 5\n"), "");
    TearDown();
    SetUp();
    EXPECT_EQ(Run("reload\nexpect result 0\nexpect leaks none\n"), "");
    // Inside the criteria dialog its font, brush and subclassing are alive.
    TearDown();
    SetUp();
    std::string failure = Run("invoke 0 region 1 1 0 1 1 1024\nexpect leaks none\nclick 2\n");
    EXPECT_EQ(failure.rfind("t.script:2: expect leaks: got ", 0), 0u) << failure;
    EXPECT_NE(failure.find("subclassed windows"), std::string::npos) << failure;
    ExpectUnwound();
}

TEST_F(ScriptRunner, APersonTypesTheSameActions) {
    std::istringstream in(
        "help\n"
        "invoke 1\n"
        "type 101 \"Sonata\"\n"
        "clik 1\n"  // a typing error is reported and the session goes on
        "click 1\n"
        "expect text 105 \"Match was found in\"\n"
        "click 2\n"
        "invoke 0\n"
        "\n"  // Enter answers the OK box
        "expect result 0\n"
        "quit\n");
    std::ostringstream out;
    session::Runner runner(module_, hostWindow_);
    EXPECT_TRUE(runner.RunInteractive(in, out)) << out.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("input:4: expected an action"), std::string::npos) << text;
    EXPECT_NE(text.find(kNoAreaText), std::string::npos) << text;
    EXPECT_NE(text.find("ok\n"), std::string::npos) << text;
    ExpectUnwound();

    // Input that ends inside a dialog cancels it; a failed expectation is
    // reported and makes the session fail.
    TearDown();
    SetUp();
    std::istringstream in2("invoke 1\nexpect text 101 \"x\"\n");
    std::ostringstream out2;
    session::Runner runner2(module_, hostWindow_);
    EXPECT_FALSE(runner2.RunInteractive(in2, out2));
    EXPECT_NE(out2.str().find("! expect text 101: got \"\", expected \"x\""), std::string::npos) << out2.str();
    ExpectUnwound();
}

}  // namespace
