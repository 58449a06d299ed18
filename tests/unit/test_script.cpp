// Session script parsing: every action, strings and numbers, and errors that
// name the place and what was expected.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/session/script.h"

namespace {

using session::Action;
using session::ActionKind;

Action ParseOne(const std::string& line) {
    Action action;
    bool empty = false;
    std::string error;
    EXPECT_TRUE(session::ParseScriptLine(line, "t.script", 7, &action, &empty, &error)) << line << ": " << error;
    EXPECT_FALSE(empty) << line;
    return action;
}

std::string ParseError(const std::string& line) {
    Action action;
    bool empty = false;
    std::string error;
    EXPECT_FALSE(session::ParseScriptLine(line, "t.script", 7, &action, &empty, &error)) << line;
    return error;
}

struct ValidCase {
    const char* line;
    ActionKind kind;
    std::vector<long long> numbers;
    std::string text;  // the string argument, if any
};

TEST(ScriptParse, EveryActionReadsItsArguments) {
    const ValidCase cases[] = {
        // a command without a region
        {"invoke 1", ActionKind::Invoke, {1}, ""},
        // ids in hex
        {"click 0x65", ActionKind::Click, {101}, ""},
        {"state 108 2", ActionKind::State, {108, 2}, ""},
        {"close", ActionKind::Close, {}, ""},
        // both escapes; a '#' inside a string is text, not a comment
        {"type 101 \"say \\\"hi\\\" \\\\ #1\"", ActionKind::Type, {101}, "say \"hi\" \\ #1"},
        // an empty string is a text like any other
        {"type 106 \"\"", ActionKind::Type, {106}, ""},
        {"cancel-at 3", ActionKind::CancelAt, {3}, ""},
        {"fail-alloc 0x2", ActionKind::FailAlloc, {2}, ""},
        {"reload", ActionKind::Reload, {}, ""},
        // colour index first, then red, green, blue
        {"syscolor btnface 200 210 220", ActionKind::SysColor, {COLOR_BTNFACE, 200, 210, 220}, ""},
        {"expect text 105 \"Search result:\"", ActionKind::ExpectText, {105}, "Search result:"},
        {"expect state 102 0", ActionKind::ExpectState, {102, 0}, ""},
        {"expect visible 104 1", ActionKind::ExpectVisible, {104, 1}, ""},
        {"expect enabled 106 0", ActionKind::ExpectEnabled, {106, 0}, ""},
        {"expect color 120 128 0 0", ActionKind::ExpectColor, {120, 128, 0, 0}, ""},
        // icon and buttons become the MessageBoxA type bits
        {"expect message \"t\" \"c\" warning yesno", ActionKind::ExpectMessage, {MB_ICONWARNING, MB_YESNO}, "t"},
        {"expect message \"t\" \"c\" information ok", ActionKind::ExpectMessage, {MB_ICONINFORMATION, MB_OK}, "t"},
        {"expect no-message", ActionKind::ExpectNoMessage, {}, ""},
        {"expect message-count 2", ActionKind::ExpectMessageCount, {2}, ""},
        // one to three key numbers before the text
        {"expect record lbxt 9 \"raw text\"", ActionKind::ExpectRecord, {9}, "raw text"},
        {"expect record 0x534F4D54 1 2 3 \"x\"", ActionKind::ExpectRecord, {1, 2, 3}, "x"},
        {"expect entry 1 2 0 3 0x40000000 0x0001", ActionKind::ExpectEntry, {1, 2, 0, 3, 0x40000000, 1}, ""},
        {"expect note 1 2 3 0 11 -4 2 0x80000000", ActionKind::ExpectNote, {1, 2, 3, 0, 11, -4, 2, 0x80000000LL}, ""},
        {"expect result -1", ActionKind::ExpectResult, {-1}, ""},
        {"expect dialog open 20129", ActionKind::ExpectDialogOpen, {20129}, ""},
        {"expect dialog closed", ActionKind::ExpectDialogClosed, {}, ""},
        {"expect focus 106", ActionKind::ExpectFocus, {106}, ""},
        {"expect dialog-pos -3 40", ActionKind::ExpectDialogPos, {-3, 40}, ""},
        {"expect leaks none", ActionKind::ExpectLeaks, {}, ""},
        // the value name may be bare or quoted
        {"expect hive TextSearchPrefs \"00 01\"", ActionKind::ExpectHive, {}, "TextSearchPrefs"},
        {"expect hive \"SearchOptions\" \"\"", ActionKind::ExpectHive, {}, "SearchOptions"},
    };
    for (const ValidCase& c : cases) {
        Action action = ParseOne(c.line);
        EXPECT_EQ(static_cast<int>(action.kind), static_cast<int>(c.kind)) << c.line;
        EXPECT_EQ(action.numbers, c.numbers) << c.line;
        EXPECT_EQ(action.text, c.text) << c.line;
        EXPECT_EQ(action.line, 7) << c.line;
    }
}

TEST(ScriptParse, RegionTagsBytesAndAnswers) {
    Action invoke = ParseOne("invoke 0 region 1 2 512 3 4 0x400");
    // Packed fields are read by value.
    ASSERT_TRUE(invoke.hasRegion);
    EXPECT_EQ(static_cast<int>(invoke.region.firstStaff), 1);
    EXPECT_EQ(static_cast<int>(invoke.region.firstMeasure), 2);
    EXPECT_EQ(static_cast<int>(invoke.region.startPosition), 512);
    EXPECT_EQ(static_cast<int>(invoke.region.lastStaff), 3);
    EXPECT_EQ(static_cast<int>(invoke.region.lastMeasure), 4);
    EXPECT_EQ(static_cast<int>(invoke.region.endPosition), 1024);

    // A tag as four characters in memory order and as hex give the same number.
    EXPECT_EQ(ParseOne("expect record lbxt 9 \"x\"").tag, 0x7478626Cu);
    Action hex = ParseOne("expect record-hex 0x534F5458 7 0 \"0900 00 00\"");
    EXPECT_EQ(hex.tag, 0x534F5458u);
    EXPECT_EQ(hex.numbers, (std::vector<long long>{7, 0}));
    EXPECT_EQ(hex.bytes, (std::vector<std::uint8_t>{0x09, 0, 0, 0}));

    // Answers are read without regard to case.
    EXPECT_EQ(ParseOne("answer yes").answer, IDYES);
    EXPECT_EQ(ParseOne("answer No").answer, IDNO);
    EXPECT_EQ(ParseOne("answer OK").answer, IDOK);
    EXPECT_EQ(ParseOne("answer cancel").answer, IDCANCEL);

    EXPECT_EQ(ParseOne("fail-registry open").registryFailure, sim::RegistryFailure::Open);
    EXPECT_EQ(ParseOne("fail-registry create").registryFailure, sim::RegistryFailure::Create);

    // The source keeps what was written, without the comment.
    EXPECT_EQ(ParseOne("   click 1   # press GO!").source, "click 1");
}

TEST(ScriptParse, ErrorsNameTheLineAndWhatWasExpected) {
    struct ErrorCase {
        const char* line;
        const char* error;
    };
    const ErrorCase cases[] = {
        // misspelt action
        {"clik 1",
         "t.script:7: expected an action (invoke|type|click|state|close|answer|cancel-at|fail-alloc|fail-registry|"
         "reload|syscolor|expect|key), got \"clik\""},
        // missing and malformed numbers
        {"click", "t.script:7: click: expected a control id (a decimal or 0x number), got the end of the line"},
        {"click 0x", "t.script:7: click: expected a control id (a decimal or 0x number), got \"0x\""},
        {"click 12ab", "t.script:7: click: expected a control id (a decimal or 0x number), got \"12ab\""},
        {"state 101 3", "t.script:7: state: expected a check state from 0 to 2, got \"3\""},
        // a string where a word is, and the reverse
        {"type 101 hello", "t.script:7: type: expected the text in double quotes, got \"hello\""},
        {"click \"101\"", "t.script:7: click: expected a control id (a decimal or 0x number), got \"101\""},
        {"type 101 \"open", "t.script:7: a string is not closed (expected a '\"' before the end of the line)"},
        {"type 101 \"a\\nb\"", "t.script:7: unknown escape \\n in a string (only \\\" and \\\\ are known)"},
        {"click 101 now", "t.script:7: click: unexpected \"now\" after the action"},
        {"answer Maybe", "t.script:7: answer: expected a button (Yes|No|OK|Cancel), got \"Maybe\""},
        {"invoke 0 area", "t.script:7: invoke: expected \"region\" or the end of the line (region), got \"area\""},
        {"invoke 0 region 1 2 3",
         "t.script:7: invoke: expected the last staff (a decimal or 0x number), got the end "
         "of the line"},
        {"invoke 70000", "t.script:7: invoke: expected a command number from -32768 to 32767, got \"70000\""},
        {"fail-registry delete",
         "t.script:7: fail-registry: expected which registry call (open|create|close), got \"delete\""},
        {"syscolor btnface 1 2 256", "t.script:7: syscolor: expected blue from 0 to 255, got \"256\""},
        {"expect sound",
         "t.script:7: expect: expected what to expect "
         "(text|state|visible|enabled|color|message|no-message|message-count|"
         "record|record-hex|entry|note|result|dialog|focus|dialog-pos|leaks|hive|default), got \"sound\""},
        {"expect message \"t\" \"c\" loud ok",
         "t.script:7: expect message: expected the icon (error|warning|information), got \"loud\""},
        {"expect record xx 1 \"t\"", "t.script:7: expect record: \"xx\" is not a tag (four characters or 0x hex)"},
        {"expect record lbxt \"t\"", "t.script:7: expect record: expected one to three key numbers, got \"t\""},
        {"expect record lbxt 1 2 3 4 \"t\"",
         "t.script:7: expect record: expected the record's text in double quotes, got \"4\""},
        {"expect record-hex lbxt 1 \"0g\"",
         "t.script:7: expect record-hex: expected the record's bytes as hex bytes in double quotes, such as \"0900 "
         "0000\", got \"0g\""},
        {"expect entry 1 1 4 0 0 0", "t.script:7: expect entry: expected a layer from 0 to 3, got \"4\""},
        {"expect note 1 1 0 0 12 0 0 0", "t.script:7: expect note: expected a note index from 0 to 11, got \"12\""},
        {"expect dialog",
         "t.script:7: expect dialog: expected the dialog's state (open|closed), got the end of the "
         "line"},
        {"expect leaks some", "t.script:7: expect leaks: expected what leaks (none), got \"some\""},
    };
    for (const ErrorCase& c : cases) EXPECT_EQ(ParseError(c.line), c.error) << c.line;
}

TEST(ScriptParse, WholeScriptCountsEveryLine) {
    session::Script script;
    std::string error;
    // Blank lines and comments count for the line numbers but give no action.
    ASSERT_TRUE(session::ParseScript("# setup\n\ninvoke 1\n  # nothing\nclick 2\n", "s.script", &script, &error))
        << error;
    ASSERT_EQ(script.actions.size(), 2u);
    EXPECT_EQ(script.actions[0].line, 3);
    EXPECT_EQ(script.actions[1].line, 5);
    EXPECT_EQ(script.actions[1].Where(), "s.script:5");
    EXPECT_EQ(script.lineCount, 5);

    // The first bad line stops the parse and nothing of the script is kept.
    session::Script bad;
    EXPECT_FALSE(session::ParseScript("invoke 1\nclick 1\n\nclik 2\nclick 3\n", "s.script", &bad, &error));
    EXPECT_EQ(error.rfind("s.script:4: ", 0), 0u) << error;
    EXPECT_TRUE(bad.actions.empty());

    // Windows line ends read the same.
    session::Script crlf;
    ASSERT_TRUE(session::ParseScript("click 1\r\ntype 101 \"x\"\r\n", "s.script", &crlf, &error)) << error;
    ASSERT_EQ(crlf.actions.size(), 2u);
    EXPECT_EQ(crlf.actions[1].text, "x");
}

}  // namespace
