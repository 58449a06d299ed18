// The plug-in's dialogs as the terminal draws them, page by page and state by
// state, against golden screens in tests/terminal (text, then the role of
// each cell). ORVO_UPDATE_GOLDEN=1 writes the screens instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "host/terminal/dialog_view.h"
#include "host/terminal/screen.h"
#include "host/terminal/session.h"
#include "resources/resource.h"
#include "shell/plugin_exports.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

extern "C" const char OrvoResourceScript[];

namespace {

std::string Screen(const terminal::Grid& grid) { return terminal::GridText(grid) + "--\n" + terminal::RolesText(grid); }

void ExpectGolden(const std::string& name, const terminal::Grid& grid) {
    std::string path = std::string(ORVO_SOURCE_DIR) + "/tests/terminal/" + name + ".screen";
    std::string got = Screen(grid);
    if (const char* update = std::getenv("ORVO_UPDATE_GOLDEN"); update != nullptr && *update == '1') {
        std::ofstream(path, std::ios::binary) << got;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "no golden screen " << path << "; this run drew:\n" << got;
    std::stringstream want;
    want << in.rdbuf();
    EXPECT_EQ(got, want.str()) << "screen " << name << " differs from " << path;
}

#define DO(action) ASSERT_EQ((action), "") << #action

class TerminalLayout : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host::Document::Load(std::string(ORVO_SOURCE_DIR) + "/tests/documents/basic.json", &doc, &error))
            << error;
        sim::Reset();
        sim::SetResourceScript(OrvoResourceScript);
        sim::UseEmptyHive();
        host::ResetServices();
        host::AttachDocument(&doc);
        hostWindow = sim::CreateHostWindow(nullptr);
        ResetAllSettings(&g_plugin.search, &g_plugin.replace, &g_plugin.prefs);
        user.onDialog = [this](HWND dialog) {
            if (onDialog) onDialog(dialog);
        };
        user.onMessageBox = [this](const sim::MessageBoxInfo& box) {
            boxes.push_back(box);
            return IDOK;
        };
        sim::SetUser(&user);
    }
    void TearDown() override {
        sim::SetUser(nullptr);
        host::AttachDocument(nullptr);
    }

    host::Document doc;
    sim::CallbackUser user;
    HWND hostWindow = nullptr;
    std::function<void(HWND)> onDialog;
    std::vector<sim::MessageBoxInfo> boxes;
};

terminal::Grid Draw(HWND dialog) { return terminal::DrawDialog(terminal::ViewOf(dialog)); }

TEST_F(TerminalLayout, TextSetupAndResults) {
    onDialog = [](HWND d) {
        if (sim::DialogTemplateId(d) == IDD_TEXT_SETUP) {
            ExpectGolden("text-setup", Draw(d));
            DO(sim::Type(d, IDC_SETUP_SEARCH, "Allegro"));
            DO(sim::SetState(d, IDC_SETUP_REPLACE_ON, 1));
            DO(sim::Type(d, IDC_SETUP_REPLACE, "Presto"));
            DO(sim::SetState(d, IDC_SETUP_LYRICS, 0));
            ExpectGolden("text-setup-filled", Draw(d));
            DO(sim::Click(d, IDOK));
            return;
        }
        ExpectGolden("text-results-match", Draw(d));
        DO(sim::Click(d, IDC_RESULTS_YES));
        ExpectGolden("text-results-summary", Draw(d));
        DO(sim::Click(d, IDOK));
    };
    EXPECT_EQ(VelduneExtensionInvoke(hostWindow, 1, nullptr, nullptr), 1);
}

// Searching only: Next > instead of the answers.
TEST_F(TerminalLayout, TextResultsSearchOnly) {
    onDialog = [](HWND d) {
        if (sim::DialogTemplateId(d) == IDD_TEXT_SETUP) {
            DO(sim::Type(d, IDC_SETUP_SEARCH, "dolce"));
            DO(sim::Click(d, IDOK));
            return;
        }
        ExpectGolden("text-results-search-only", Draw(d));
        DO(sim::Click(d, IDCANCEL));
    };
    EXPECT_EQ(VelduneExtensionInvoke(hostWindow, 1, nullptr, nullptr), 1);
}

// A note criterion on the search page: the replace page offers the notes.
TEST_F(TerminalLayout, CriteriaReplacePageForNotes) {
    onDialog = [](HWND d) {
        DO(sim::SetState(d, IDC_CRIT_N_TIE_START, 1));
        DO(sim::Click(d, IDC_CRIT_DONE));
        ExpectGolden("criteria-replace-notes", Draw(d));
        DO(sim::Click(d, IDCANCEL));
    };
    RegionRecord region{0, 1, 1, 0, 0, 2, 4, 0x7FFFFFFF};
    EXPECT_EQ(VelduneExtensionInvoke(hostWindow, 0, &region, nullptr), 1);
}

TEST_F(TerminalLayout, CriteriaPages) {
    onDialog = [](HWND d) {
        ExpectGolden("criteria-search", Draw(d));
        DO(sim::SetState(d, IDC_CRIT_E_CHORD, 2));
        DO(sim::SetState(d, IDC_CRIT_DURATION, 1));
        DO(sim::Type(d, IDC_CRIT_DURATION_VALUE, "1024"));
        DO(sim::Click(d, IDC_CRIT_OR));
        ExpectGolden("criteria-search-filled", Draw(d));
        DO(sim::Click(d, IDC_CRIT_DONE));
        ExpectGolden("criteria-replace", Draw(d));
        DO(sim::Click(d, IDCANCEL));
    };
    RegionRecord region{};
    region.firstStaff = region.firstMeasure = 1;
    region.lastStaff = 2;
    region.lastMeasure = 4;
    region.endPosition = 0x7FFFFFFF;
    EXPECT_EQ(VelduneExtensionInvoke(hostWindow, 0, &region, nullptr), 1);
}

TEST_F(TerminalLayout, MessageBoxes) {
    terminal::BoxView info;
    info.caption = "Orvo Search/Replace";
    info.text = "3 replacements were made.";
    info.type = MB_OK | MB_ICONINFORMATION;
    ExpectGolden("box-information", terminal::DrawMessageBox(info, 80));
    terminal::BoxView question;
    question.caption = "Warning";
    question.text =
        "Replacing text in lyrics may change the number of syllables, and the lyrics would no longer line up with "
        "the notes. Replace anyway?";
    question.type = MB_YESNO | MB_ICONWARNING;
    question.focus = 1;
    ExpectGolden("box-question", terminal::DrawMessageBox(question, 60));
}

// The host's own windows and the screen around them.
TEST(TerminalScreen, MenuFormAndScreens) {
    terminal::MenuView menu;
    menu.caption = "veldune-host - demo.json";
    menu.commands = {"Search/Replace - Note Entries", "Search/Replace - Text"};
    menu.selected = 1;
    menu.region = "staves 1 to 4, measures 1 to 8 (the whole score)";
    menu.notes = {"Last run: Search/Replace - Text: 2 records of the score written.",
                  "The score has changed; it is written to out.json when you quit."};
    terminal::Grid drawn = terminal::DrawMenu(menu);
    ExpectGolden("menu", drawn);
    // The selected command's row is where a click runs it.
    EXPECT_EQ(drawn.At(terminal::kMenuFirstCommandRow + 1, 4).role, terminal::Role::Focus);
    EXPECT_EQ(terminal::GridText(drawn).find("2  Search/Replace - Text"),
              terminal::GridText(drawn).find("1  Search/Replace - Note Entries") + drawn.width + 1);

    terminal::FormView form;
    form.caption = "Region for the note entry command";
    form.intro = "The staves and measures the note entry command searches.";
    form.fields = {{"First staff", "1"}, {"Last staff", "12"}};
    form.focus = 1;
    form.error = "expected six numbers";
    terminal::Grid formGrid = terminal::DrawForm(form);
    ExpectGolden("region-form", formGrid);
    EXPECT_EQ(formGrid.cursorCol, 2 + 11 + 2 + 1 + 2);  // after "12"

    // A message box over a dialog over the desktop, the status line below.
    terminal::Grid under = terminal::WindowFrame("Under", 30, 8, true);
    terminal::BoxView box;
    box.caption = "Question";
    box.text = "Go on?";
    box.type = MB_YESNO;
    terminal::Grid over = terminal::DrawMessageBox(box, 40);
    std::vector<std::pair<int, int>> origins;
    terminal::Grid screen = terminal::ComposeScreen(40, 12, {&under, &over}, "Enter answers", &origins);
    ExpectGolden("screen-box-over-dialog", screen);
    ASSERT_EQ(origins.size(), 2u);
    EXPECT_EQ(origins[0], std::make_pair(1, 5));

    int width = 0, height = 0;
    terminal::NeededSize({&under, &over}, &width, &height);
    EXPECT_EQ(width, 30);
    EXPECT_EQ(height, 9);  // the taller window and the status line
    ExpectGolden("screen-too-small", terminal::TooSmallScreen(50, 10, 80, 34));
}

TEST(TerminalScreen, RegionDescriptions) {
    RegionRecord r{0, 1, 1, 0, 0, 4, 8, 0x7FFFFFFF};
    EXPECT_EQ(terminal::DescribeRegion(r), "staves 1 to 4, measures 1 to 8");
    r = RegionRecord{0, 2, 3, 512, 0, 2, 3, 1024};
    EXPECT_EQ(terminal::DescribeRegion(r), "staff 2, measure 3, from position 512, to position 1024");
}

// Text the plug-in hands over is 8-bit: UTF-8 where it is valid, Latin-1
// bytes otherwise, and no control character reaches the terminal.
TEST(TerminalScreen, TextDecoding) {
    EXPECT_EQ(terminal::DecodeText("Caf\xC3\xA9"), std::u32string(U"Caf\u00E9"));
    EXPECT_EQ(terminal::DecodeText("Caf\xE9"), std::u32string(U"Caf\u00E9"));
    EXPECT_EQ(terminal::DecodeText("a\tb\x1B[2J"), std::u32string(U"a?b?[2J"));
    EXPECT_EQ(terminal::DecodeText("\xE2\x82"), std::u32string(U"\u00E2?"));  // cut short
    EXPECT_EQ(terminal::DecodeText("\xF0\x9D\x84\x9E"), std::u32string(U"\U0001D11E"));
    EXPECT_EQ(terminal::EncodeUtf8(U'\U0001D11E'), "\xF0\x9D\x84\x9E");
    EXPECT_EQ(terminal::EncodeUtf8(U'\u00E9'), "\xC3\xA9");
}

// Columns a line of GridText takes at a terminal.
int Columns(const std::string& line) {
    int columns = 0;
    for (char32_t ch : terminal::DecodeText(line)) columns += terminal::CharWidth(ch);
    return columns;
}

// Wide East Asian characters take two cells; the frame stays where it is,
// a wide character cut at the edge shows as '?', and the caret and the mouse
// count columns, not characters.
TEST(TerminalScreen, WideCharacters) {
    terminal::DialogView view;
    view.caption = "\xE6\xAD\x8C";  // 歌
    view.width = 100;
    view.height = 40;
    terminal::ControlView label;
    label.kind = "static";
    label.text = "\xE6\xAD\x8C\xE8\xA9\x9E lyric";  // 歌詞 lyric
    label.x = 4;
    label.y = 4;
    label.width = 40;
    label.height = 8;
    terminal::ControlView field;
    field.id = 7;
    field.kind = "edit";
    field.text =
        "\xE6\x97\xA5\xE6\x9C\xAC"
        "abc";        // 日本abc
    field.caret = 6;  // after 日本
    field.focused = true;
    field.x = 4;
    field.y = 20;
    field.width = 40;
    field.height = 12;
    view.controls = {label, field};
    std::vector<terminal::Placement> places;
    terminal::Grid grid = terminal::DrawDialog(view, &places);
    std::istringstream lines(terminal::GridText(grid));
    std::string line;
    while (std::getline(lines, line)) EXPECT_EQ(Columns(line), grid.width) << line;
    EXPECT_NE(terminal::GridText(grid).find("\xE6\xAD\x8C\xE8\xA9\x9E lyric"), std::string::npos);
    // [日本abc: the caret after two wide characters is four columns in.
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(grid.cursorCol, places[1].left + 1 + 4);
    EXPECT_EQ(terminal::EditCharacterAt(field, places[1], places[1].left + 2), 3);  // the second half of 日: 本
    EXPECT_EQ(terminal::EditCharacterAt(field, places[1], places[1].left + 1), 0);
    EXPECT_EQ(terminal::EditCharacterAt(field, places[1], places[1].left + 5), 6);  // a
    EXPECT_EQ(terminal::EditCharacterAt(field, places[1], places[1].left + 9), 9);  // past the end

    terminal::Grid cut(2, 1, terminal::Role::Face);
    cut.PutText(0, 1, terminal::ToCells(U"\u6B4C"), terminal::Role::Face);  // its tail falls off the edge
    EXPECT_EQ(terminal::GridText(cut), " ?\n");
    EXPECT_EQ(terminal::ToCells(U"e\u0301x"), std::u32string(U"ex"));  // a combining mark takes no cell
}

}  // namespace

// What Enter sends, seen by the dialog's procedure.
class CommandRecorder : public sim::Watcher {
public:
    void Command(HWND, int id, int) override {
        if (first == 0) first = id;
    }
    int first = 0;
};

// Presses Enter and checks that it sent the command of the button drawn as
// the default one, or, where none is drawn, one that is not on the screen.
void ExpectEnterAsDrawn(HWND dialog, const char* where) {
    const terminal::DialogView view = terminal::ViewOf(dialog);
    int drawn = 0;
    for (const terminal::ControlView& c : view.controls) {
        if (!c.isDefault) continue;
        EXPECT_EQ(drawn, 0) << where << ": two buttons drawn as the default";
        drawn = c.id;
    }
    CommandRecorder recorder;
    sim::SetWatcher(&recorder);
    sim::KeyStroke enter;
    enter.key = VK_RETURN;
    DO(sim::PressKey(dialog, enter));
    sim::SetWatcher(nullptr);
    if (drawn != 0) {
        EXPECT_EQ(recorder.first, drawn) << where << ": Enter sent " << recorder.first << ", drawn default " << drawn;
        EXPECT_NE(terminal::DialogStatusLine(view).find("Enter " + terminal::PlainCaption(view.enterCaption)),
                  std::string::npos)
            << where;
    } else {
        for (const terminal::ControlView& c : view.controls)
            EXPECT_NE(c.id, recorder.first) << where << ": Enter pressed a shown button not drawn as the default";
        EXPECT_NE(terminal::DialogStatusLine(view).find("(not shown)"), std::string::npos)
            << where << ": " << terminal::DialogStatusLine(view);
    }
}

void CloseWhatIsLeft(HWND dialog) {
    for (int id : {IDOK, IDCANCEL}) {
        if (!sim::DialogEnded(dialog) && sim::ControlVisible(dialog, id).value_or(false)) {
            DO(sim::Click(dialog, id));
        }
    }
}

void PressTab(HWND dialog) {
    sim::KeyStroke tab;
    tab.key = VK_TAB;
    DO(sim::PressKey(dialog, tab));
}

// The default border is where Enter goes on every page, with the focus on a
// field or on another button.
TEST_F(TerminalLayout, EnterPressesTheDrawnDefault) {
    int run = 0;
    onDialog = [&run](HWND d) {
        if (sim::DialogTemplateId(d) == IDD_TEXT_SETUP) {
            DO(sim::Type(d, IDC_SETUP_SEARCH, "Allegro"));
            DO(sim::SetState(d, IDC_SETUP_REPLACE_ON, 1));
            DO(sim::Type(d, IDC_SETUP_REPLACE, "Presto"));
            ExpectEnterAsDrawn(d, "text setup");  // GO!
            return;
        }
        if (run == 0) {
            // A match: the focus on Yes, which is no default push button.
            PressTab(d);
            ExpectEnterAsDrawn(d, "text results, a match");
        } else {
            DO(sim::Click(d, IDC_RESULTS_YES));
            ExpectEnterAsDrawn(d, "text results, the summary");
        }
        CloseWhatIsLeft(d);
    };
    for (run = 0; run < 2; ++run) VelduneExtensionInvoke(hostWindow, 1, nullptr, nullptr);

    int page = 0;
    onDialog = [&page](HWND d) {
        if (page == 0) {
            ExpectEnterAsDrawn(d, "criteria, search page");
        } else {
            DO(sim::Click(d, IDC_CRIT_DONE));
            PressTab(d);
            ExpectEnterAsDrawn(d, "criteria, replace page");
        }
        CloseWhatIsLeft(d);
    };
    RegionRecord region{0, 1, 1, 0, 0, 2, 4, 0x7FFFFFFF};
    for (page = 0; page < 2; ++page) VelduneExtensionInvoke(hostWindow, 0, &region, nullptr);
    boxes.clear();
}
