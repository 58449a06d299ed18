// The six exports and the command dispatch.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "resources/messages.h"
#include "resources/resource.h"
#include "shell/count_message.h"
#include "shell/plugin_exports.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

extern "C" const char OrvoResourceScript[];

namespace {

constexpr std::uint8_t kSentinel = 0xbd;
constexpr std::size_t kSlack = 16;  // sentinel bytes watched beyond the record

// The 196 bytes a filled record must hold: three zero-padded texts and two
// zero 16-bit fields.
std::vector<std::uint8_t> ExpectedItem(const char* menuText, const char* name, const char* fullName) {
    std::vector<std::uint8_t> bytes(sizeof(MenuItemRecord), 0);
    std::memcpy(&bytes[0], menuText, std::strlen(menuText));
    std::memcpy(&bytes[64], name, std::strlen(name));
    std::memcpy(&bytes[128], fullName, std::strlen(fullName));
    return bytes;
}

TEST(VelduneExtensionEnumerate, FillsTheRecordByteForByteAndNothingBeyond) {
    struct Case {
        std::int16_t index;
        std::int16_t result;
        std::vector<std::uint8_t> record;  // empty: the record stays untouched
        const char* what;
    };
    const Case kCases[] = {
        {0, 1,
         ExpectedItem("Orvo S && R - Note Entries [v 1.11a]...", "Search/Replace - Note Entries",
                      "Orvo Search/Replace - Note Entries"),
         "note entry command"},
        {1, 1, ExpectedItem("Orvo S && R - Text [v 1.11a]...", "Search/Replace - Text", "Orvo Search/Replace - Text"),
         "text command"},
        {2, 0, {}, "one past the last command"},
        {-1, 0, {}, "negative index"},
        {32767, 0, {}, "largest index"},
    };
    for (const Case& c : kCases) {
        alignas(8) std::uint8_t buffer[sizeof(MenuItemRecord) + kSlack];
        std::memset(buffer, kSentinel, sizeof(buffer));
        std::int16_t result = VelduneExtensionEnumerate(nullptr, c.index, reinterpret_cast<MenuItemRecord*>(buffer));
        EXPECT_EQ(result, c.result) << c.what;
        for (std::size_t i = 0; i < sizeof(buffer); ++i) {
            int expected = (i < c.record.size()) ? c.record[i] : kSentinel;
            ASSERT_EQ(int(buffer[i]), expected) << c.what << ": byte " << i;
        }
    }
}

TEST(VelduneExtensionExports, VersionAndMenuStatus) {
    EXPECT_EQ(VelduneExtensionVersion(nullptr), 0x04000107u);
    EXPECT_EQ(VelduneExtensionGetMenuStatus(nullptr), 1);
}

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::SetResourceScript(OrvoResourceScript);
        sim::UseEmptyHive();
        host::ResetServices();
        host::AttachDocument(&document);
        sim::SetUser(&user);
        user.onDialog = [this](HWND dialog) { dialogsOpened.push_back(sim::DialogTemplateId(dialog)); };
        user.onMessageBox = [](const sim::MessageBoxInfo&) { return IDOK; };
        ResetAllSettings(&g_plugin.search, &g_plugin.replace, &g_plugin.prefs);
    }
    void TearDown() override {
        sim::SetUser(nullptr);
        host::AttachDocument(nullptr);
    }

    host::Document document;
    sim::CallbackUser user;
    std::vector<int> dialogsOpened;
};

TEST_F(Dispatch, InitWithoutAStoredKeyGivesOneAndTheDefaults) {
    std::memset(&g_plugin.search, 0, sizeof(g_plugin.search));
    EXPECT_EQ(VelduneExtensionInit(nullptr, nullptr), 1);
    EXPECT_EQ(g_plugin.search.durationValue, 1024);
    EXPECT_EQ(g_plugin.prefs.elementSwitch[0], 1);
}

TEST_F(Dispatch, TerminateGivesTheResultOfSaving) {
    g_plugin.replace.noteSpecific = 1;
    EXPECT_EQ(VelduneExtensionTerminate(nullptr), 0);
    auto stored = sim::HiveValue(kSettingsKey, "ReplaceOptions");
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->size(), sizeof(CriteriaRecord));
    EXPECT_EQ((*stored)[106], 1) << "note-specific flag stored";

    sim::FailNextRegistry(sim::RegistryFailure::Create, ERROR_ACCESS_DENIED);
    EXPECT_EQ(VelduneExtensionTerminate(nullptr), ERROR_ACCESS_DENIED);
}

TEST_F(Dispatch, NoteEntryCommandWithoutARegionRefusesWithAMessage) {
    // Any index other than the text command's is the note entry command.
    for (std::int16_t command : {std::int16_t{0}, std::int16_t{7}, std::int16_t{-1}}) {
        sim::Reset();
        sim::SetUser(&user);
        dialogsOpened.clear();
        HWND hostWindow = sim::CreateHostWindow(nullptr);
        EXPECT_EQ(VelduneExtensionInvoke(hostWindow, command, nullptr, nullptr), 0) << "command " << command;
        EXPECT_EQ(g_plugin.hostWindow, hostWindow);
        EXPECT_TRUE(dialogsOpened.empty()) << "a dialog opened for command " << command;
        ASSERT_EQ(sim::MessageBoxes().size(), 1u) << "command " << command;
        const sim::MessageBoxInfo& box = sim::MessageBoxes()[0];
        EXPECT_EQ(box.owner, hostWindow);
        EXPECT_EQ(box.text, kNoAreaText);
        EXPECT_EQ(box.caption, "Orvo Search/Replace - No area selected");
        EXPECT_EQ(box.type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
        EXPECT_EQ(box.type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
    }
}

TEST_F(Dispatch, TextCommandNeedsNoRegion) {
    HWND hostWindow = sim::CreateHostWindow(nullptr);
    EXPECT_EQ(VelduneExtensionInvoke(hostWindow, 1, nullptr, nullptr), 1);
    EXPECT_EQ(g_plugin.hostWindow, hostWindow);
    ASSERT_EQ(dialogsOpened.size(), 1u);
    EXPECT_EQ(dialogsOpened[0], IDD_TEXT_SETUP);
    EXPECT_TRUE(sim::MessageBoxes().empty()) << sim::MessageBoxes()[0].text;
}

TEST_F(Dispatch, CancelledCriteriaDialogShowsNothing) {
    HWND hostWindow = sim::CreateHostWindow(nullptr);
    RegionRecord region{0, 1, 1, 0, 0, 1, 1, 4096};
    EXPECT_EQ(VelduneExtensionInvoke(hostWindow, 0, &region, nullptr), 1);
    ASSERT_EQ(dialogsOpened.size(), 1u);
    EXPECT_EQ(dialogsOpened[0], IDD_CRITERIA);
    EXPECT_TRUE(sim::MessageBoxes().empty()) << sim::MessageBoxes()[0].text;
    EXPECT_TRUE(host::ServiceLog().empty()) << "scanned after a cancel";
}

TEST(ReplacementCountMessage, SingularOnlyForExactlyOne) {
    struct Case {
        std::int32_t count;
        const char* text;
    };
    const Case kCases[] = {
        {0, "0 replacements were made."},
        {1, "1 replacement was made."},
        {2, "2 replacements were made."},
        {12, "12 replacements were made."},
        // Beyond 16 bits: shown in full, not wrapped to a negative number.
        {40000, "40000 replacements were made."},
    };
    for (const Case& c : kCases) {
        sim::Reset();
        HWND hostWindow = sim::CreateHostWindow(nullptr);
        ReportReplacementCount(hostWindow, c.count);
        ASSERT_EQ(sim::MessageBoxes().size(), 1u);
        const sim::MessageBoxInfo& box = sim::MessageBoxes()[0];
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.caption, "Orvo Search/Replace Info");
        EXPECT_EQ(box.owner, hostWindow);
        EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    }
}

// The whole note entry command: the user asks for every note (entry flag
// 0x40000000 on) to become a grace note, and reads the count.
TEST_F(Dispatch, NoteEntryCommandScansAndReportsTheCount) {
    struct Case {
        int matching;  // entries with the Note/Rest bit, among three without it
        const char* text;
    };
    const Case kCases[] = {
        {0, "0 replacements were made."},
        {1, "1 replacement was made."},
        {12, "12 replacements were made."},
    };
    for (const Case& c : kCases) {
        sim::Reset();
        sim::SetUser(&user);
        host::ResetServices();
        std::vector<EntryRecord> entries(c.matching + 3);
        std::memset(entries.data(), 0, entries.size() * sizeof(EntryRecord));
        for (int i = 0; i < c.matching; ++i) entries[i].flagsA = 0x40000000u;
        document.SetFrame({1, 1, 0}, entries);
        ResetAllSettings(&g_plugin.search, &g_plugin.replace, &g_plugin.prefs);
        user.onDialog = [](HWND dialog) {
            EXPECT_EQ(sim::SetState(dialog, IDC_CRIT_E_NOTE_REST, BST_CHECKED), "");
            EXPECT_EQ(sim::Click(dialog, IDC_CRIT_DONE), "");
            EXPECT_EQ(sim::SetState(dialog, IDC_CRIT_E_GRACE, BST_CHECKED), "");
            EXPECT_EQ(sim::Click(dialog, IDC_CRIT_GO), "");
        };
        sim::LayerMenu menu;
        HWND hostWindow = sim::CreateHostWindow(&menu);
        RegionRecord region{0, 1, 1, 0, 0, 1, 1, 0x7fffffff};
        EXPECT_EQ(VelduneExtensionInvoke(hostWindow, 0, &region, nullptr), 1);
        ASSERT_EQ(sim::MessageBoxes().size(), 1u) << c.text;
        EXPECT_EQ(sim::MessageBoxes()[0].text, c.text);
        EXPECT_EQ(sim::MessageBoxes()[0].caption, kCountCaption);
        const std::vector<EntryRecord>* frame = document.Frame({1, 1, 0});
        ASSERT_NE(frame, nullptr);
        for (std::size_t i = 0; i < frame->size(); ++i) {
            std::uint32_t expected = (int(i) < c.matching) ? 0x40800000u : 0u;
            EXPECT_EQ(+(*frame)[i].flagsA, expected) << c.text << ": entry " << i;
        }
        EXPECT_EQ(host::LiveFrames(), 0);
    }
}

}  // namespace
