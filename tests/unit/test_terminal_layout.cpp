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
#include "resources/resource.h"
#include "shell/plugin_exports.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

extern "C" const char OrvoResourceScript[];

namespace {

std::string Screen(const term::Grid& grid) { return term::GridText(grid) + "--\n" + term::RolesText(grid); }

void ExpectGolden(const std::string& name, const term::Grid& grid) {
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

term::Grid Draw(HWND dialog) { return term::DrawDialog(term::ViewOf(dialog)); }

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
    term::BoxView info;
    info.caption = "Orvo Search/Replace";
    info.text = "3 replacements were made.";
    info.type = MB_OK | MB_ICONINFORMATION;
    ExpectGolden("box-information", term::DrawMessageBox(info, 80));
    term::BoxView question;
    question.caption = "Warning";
    question.text =
        "Replacing text in lyrics may change the number of syllables, and the lyrics would no longer line up with "
        "the notes. Replace anyway?";
    question.type = MB_YESNO | MB_ICONWARNING;
    question.focus = 1;
    ExpectGolden("box-question", term::DrawMessageBox(question, 60));
}

}  // namespace
