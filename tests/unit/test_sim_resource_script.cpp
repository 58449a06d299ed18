// The resource script reader: the real script, the preprocessor subset, the
// template forms, and bad input that must end in a line-numbered error.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/sim/resource_script.h"
#include "host/sim/sim.h"

extern "C" const char OrvoResourceScript[];

namespace {

constexpr DWORD kStaticEdge = 0x00020000;  // WS_EX_STATICEDGE

std::vector<sim::DialogTemplate> ParseOk(const std::string& script) {
    std::vector<sim::DialogTemplate> dialogs;
    std::string error;
    EXPECT_TRUE(sim::ParseResourceScript(script, &dialogs, &error)) << error;
    return dialogs;
}

TEST(ResourceScript, ReadsTheRealScript) {
    std::vector<sim::DialogTemplate> dialogs = ParseOk(OrvoResourceScript);
    ASSERT_EQ(dialogs.size(), 3u);
    struct Row {
        int id;
        const char* caption;
        int x, y, w, h;
    };
    const Row kRows[] = {
        {20128, "Orvo Search/Replace  v. 1.11a", 25, 13, 313, 250},
        {20129, "Orvo Search and Replace 1.11a", 6, 15, 207, 135},
        {20130, "Search results", 6, 15, 207, 111},
    };
    for (const Row& row : kRows) {
        const sim::DialogTemplate* found = nullptr;
        for (const auto& dialog : dialogs) {
            if (dialog.id == row.id) found = &dialog;
        }
        ASSERT_NE(found, nullptr) << "dialog " << row.id;
        EXPECT_EQ(found->caption, row.caption);
        EXPECT_EQ(found->fontFace, "MS Sans Serif");
        EXPECT_EQ(found->fontSize, 8);
        EXPECT_EQ((std::vector<int>{found->x, found->y, found->width, found->height}),
                  (std::vector<int>{row.x, row.y, row.w, row.h}))
            << "dialog " << row.id;
        EXPECT_FALSE(found->controls.empty());
    }
}

// Everything the reader understands, in one script.
const char kFeatures[] = R"rc(/* header block
   over two lines */
#include "resource.h"
#define IDD_ONE 300
#define ID_TEXT 11 // trailing comment
#define STYLE_BOX (BS_AUTOCHECKBOX | WS_TABSTOP)
#ifndef IDD_ONE
#define IDD_ONE 999
#endif
#if defined(RC_INVOKED) || defined(_WIN32)
#error the host's reader is not rc
#elif !defined(IDD_ONE) && 1
#define ID_BOX 1
#else
#define ID_BOX 12
#endif
#ifdef _WIN32
this line is never read
#endif
IDD_ONE DIALOGEX 10, 20, 0x64, 80
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
EXSTYLE WS_EX_DLGMODALFRAME
CAPTION "Say ""hi"" /* not a comment */"
FONT 8, "MS Sans Serif"
BEGIN
    CONTROL "a // b", ID_TEXT, "Static", SS_LEFT | SS_NOPREFIX, 1, 2, 3, 4
    CONTROL "Box", ID_BOX, "Button", STYLE_BOX, 5, 6, 7, 8, WS_EX_STATICEDGE
    CONTROL "Hidden", 13, "Button", BS_PUSHBUTTON | NOT WS_VISIBLE | WS_DISABLED, -1, 0, 10, 10
    CONTROL "", IDC_STATIC, "Edit", ES_LEFT | WS_BORDER | NOT WS_BORDER, 0, 0, 1, 1
    CONTROL "OK", IDOK, "Button", BS_DEFPUSHBUTTON, 0, 0, 1, 1
END
)rc";

TEST(ResourceScript, ReadsDefinesConditionsCommentsAndStyles) {
    std::vector<sim::DialogTemplate> dialogs = ParseOk(kFeatures);
    ASSERT_EQ(dialogs.size(), 1u);
    const sim::DialogTemplate& d = dialogs[0];
    EXPECT_EQ(d.id, 300);
    EXPECT_EQ(d.width, 100);  // hex
    EXPECT_EQ(d.style, static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION));
    EXPECT_EQ(d.exStyle, static_cast<DWORD>(WS_EX_DLGMODALFRAME));
    EXPECT_EQ(d.caption, "Say \"hi\" /* not a comment */");
    ASSERT_EQ(d.controls.size(), 5u);

    struct Row {
        int id;
        const char* cls;
        const char* text;
        DWORD style, cleared, exStyle;
        int x;
        int line;
    };
    const Row kRows[] = {
        // a comment marker inside a string is text
        {11, "Static", "a // b", SS_LEFT | SS_NOPREFIX, 0, 0, 1, 26},
        // #else branch taken; a parenthesised macro; the trailing exStyle
        {12, "Button", "Box", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kStaticEdge, 5, 27},
        // NOT takes the implied WS_VISIBLE away; a negative coordinate
        {13, "Button", "Hidden", BS_PUSHBUTTON | WS_DISABLED, WS_VISIBLE, 0, -1, 28},
        // a bit set and cleared again is gone and stays recorded as cleared
        {-1, "Edit", "", ES_LEFT, WS_BORDER, 0, 0, 29},
        // IDOK known without a define
        {1, "Button", "OK", BS_DEFPUSHBUTTON, 0, 0, 0, 30},
    };
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const Row& row = kRows[i];
        const sim::ControlTemplate& c = d.controls[i];
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(c.id, row.id);
        EXPECT_EQ(c.className, row.cls);
        EXPECT_EQ(c.text, row.text);
        EXPECT_EQ(c.style, row.style);
        EXPECT_EQ(c.clearedStyle, row.cleared);
        EXPECT_EQ(c.exStyle, row.exStyle);
        EXPECT_EQ(c.x, row.x);
        EXPECT_EQ(c.line, row.line);
    }
}

TEST(ResourceScript, RefusesBadInputWithTheLineAndWhatWasExpected) {
    const std::string kGood = "1 DIALOGEX 0, 0, 10, 10\nBEGIN\nEND\n";
    struct Row {
        std::string script;
        std::string error;  // the start of the message
    };
    const Row kRows[] = {
        // string without its closing quote
        {"1 DIALOGEX 0, 0, 10, 10\nCAPTION \"abc\nBEGIN\nEND\n", "line 2: expected the closing quote"},
        // comment that never ends, reported where it starts
        {"\n/* open\n\n", "line 2: expected the end of the comment"},
        // #if without #endif, reported at the #if
        {"#define A 1\n#ifdef A\n" + kGood, "line 2: expected #endif"},
        // #else and #endif without #if
        {"#else\n", "line 1: expected #if"},
        {kGood + "#endif\n", "line 4: expected #if"},
        // a style name nobody defined
        {"1 DIALOGEX 0, 0, 10, 10\nSTYLE WS_POPUP | WS_NOSUCH\nBEGIN\nEND\n", "line 2: expected a number or a"},
        // a missing comma between coordinates
        {"1 DIALOGEX 0, 0 10, 10\nBEGIN\nEND\n", "line 1: expected ','"},
        // the script ends inside a template
        {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n", "line 2: expected CONTROL or END, found the end"},
        // an unknown control class
        {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\nCONTROL \"\", 1, \"ListBox\", 0, 0, 0, 1, 1\nEND\n",
         "line 3: expected the class"},
        // two templates with one id
        {kGood + kGood, "line 4: expected a dialog id not used before"},
        // a name as dialog id that nothing defines
        {"IDD_NOTHING DIALOGEX 0, 0, 10, 10\nBEGIN\nEND\n", "line 1: expected a dialog id"},
        // a character the language does not have
        {"1 DIALOGEX 0, 0, 10, 10 @\n", "line 1: expected a name, number"},
        // a macro that expands into itself
        {"#define LOOP LOOP | 1\n1 DIALOGEX 0, 0, 10, 10\nSTYLE LOOP\nBEGIN\nEND\n", "line 3: expected a macro"},
        // macros that double at every level
        {"#define A0 1|1\n#define A1 A0|A0\n#define A2 A1|A1\n#define A3 A2|A2\n#define A4 A3|A3\n"
         "#define A5 A4|A4\n#define A6 A5|A5\n#define A7 A6|A6\n#define A8 A7|A7\n#define A9 A8|A8\n"
         "#define B0 A9|A9\n#define B1 B0|B0\n#define B2 B1|B1\n#define B3 B2|B2\n#define B4 B3|B3\n"
         "#define B5 B4|B4\n#define B6 B5|B5\n#define B7 B6|B6\n#define B8 B7|B7\n#define B9 B8|B8\n"
         "1 DIALOGEX 0, 0, 10, 10\nSTYLE B9\nBEGIN\nEND\n",
         "line 22: expected macros that expand into less text"},
        // parentheses nested deeper than any script needs
        {"1 DIALOGEX 0, 0, 10, 10\nSTYLE " + std::string(5000, '(') + "1\nBEGIN\nEND\n",
         "line 2: expected a less deeply nested expression"},
        // a condition with a stray token
        {"#if defined(A) B\n#endif\n", "line 1: expected the end of the condition"},
    };
    for (const Row& row : kRows) {
        std::vector<sim::DialogTemplate> dialogs;
        std::string error;
        bool ok = sim::ParseResourceScript(row.script, &dialogs, &error);
        EXPECT_FALSE(ok) << "accepted:\n" << row.script;
        EXPECT_EQ(error.substr(0, row.error.size()), row.error) << "got: " << error;
    }
}

TEST(ResourceScript, AnEmptyScriptHasNoTemplates) {
    EXPECT_TRUE(ParseOk("").empty());
    EXPECT_TRUE(ParseOk("// nothing\n#define X 1\n").empty());
}

// Damaged copies of the real script: each read ends, in a template list or a
// line-numbered error (a hang shows as the test's timeout).
TEST(ResourceScript, SurvivesDamagedScripts) {
    const std::string original = OrvoResourceScript;
    std::mt19937 random(20130);
    const std::string alphabet = "\"/*\\#(),|-0123456789xAZ_ \n";
    for (int round = 0; round < 300; ++round) {
        std::string script = original;
        int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !script.empty(); ++e) {
            std::size_t at = random() % script.size();
            switch (random() % 4) {
                case 0:
                    script.resize(at);
                    break;
                case 1:
                    script.erase(at, 1 + random() % 20);
                    break;
                case 2:
                    script.insert(at, 1, alphabet[random() % alphabet.size()]);
                    break;
                default:
                    script[at] = static_cast<char>(random() % 256);
                    break;
            }
        }
        std::vector<sim::DialogTemplate> dialogs;
        std::string error;
        if (!sim::ParseResourceScript(script, &dialogs, &error)) {
            ASSERT_EQ(error.rfind("line ", 0), 0u) << "round " << round << ": " << error;
            ASSERT_NE(error.find(": expected "), std::string::npos) << "round " << round << ": " << error;
        }
    }
}

TEST(ResourceScript, FindsTemplatesOfTheScriptInUse) {
    sim::SetResourceScript("7 DIALOGEX 0, 0, 10, 10\nCAPTION \"Seven\"\nBEGIN\nEND\n");
    ASSERT_NE(sim::FindDialogTemplate(7), nullptr);
    EXPECT_EQ(sim::FindDialogTemplate(7)->caption, "Seven");
    EXPECT_EQ(sim::FindDialogTemplate(8), nullptr);
    EXPECT_EQ(sim::ResourceScriptError(), "");

    sim::SetResourceScript("7 DIALOGEX 0, 0\n");
    EXPECT_EQ(sim::FindDialogTemplate(7), nullptr);
    EXPECT_EQ(sim::ResourceScriptError().rfind("line 1: expected", 0), 0u) << sim::ResourceScriptError();

    sim::SetResourceScript(OrvoResourceScript);
    EXPECT_NE(sim::FindDialogTemplate(20129), nullptr);
}

}  // namespace
