// Random sessions: every check of the session checker fails on a hand-made
// bad session (the plug-in's behaviour faked or the world tampered with at
// one line), holds on good ones, and a seeded session written down replays
// exactly as a script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/services/services.h"
#include "host/session/plugin_linked.h"
#include "host/session/runner.h"
#include "host/session/script.h"
#include "host/session/world.h"
#include "host/sim/sim.h"
#include "host/users/monkey/player.h"
#include "resources/messages.h"
#include "resources/resource.h"
#include "shell/host_services.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

namespace {

std::vector<std::uint8_t> BytesOf(const void* record, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(record);
    return {bytes, bytes + size};
}

std::array<std::vector<std::uint8_t>, 3> Held() {
    return {BytesOf(&g_plugin.search, sizeof g_plugin.search), BytesOf(&g_plugin.replace, sizeof g_plugin.replace),
            BytesOf(&g_plugin.prefs, sizeof g_plugin.prefs)};
}

// Plays fixed lines under the checker; `tamper` runs before line i is given
// (with the dialog then open), `tamperAfter` after action i has been
// performed and before the checker sees it.
class Replay : public session::ActionSource {
public:
    std::vector<std::string> lines;
    std::function<void(std::size_t)> tamper;
    std::function<void(const session::Action&)> tamperAfter;
    std::function<void(session::Action&)> misreport;  // what the checker is told was started
    users::monkey::Checker checker;

    std::optional<std::string> Next(const sim::MessageBoxInfo* box) override {
        if (!begun_) {
            begun_ = true;
            checker.Begin();
        }
        if (box != nullptr) {
            checker.BoxUp(*box);
            return (box->type & MB_TYPEMASK) == MB_YESNO ? "answer Yes" : "answer OK";
        }
        if (next_ < lines.size() && tamper) tamper(next_);
        if (HWND dialog = sim::ActiveDialog()) checker.DialogUp(dialog);
        if (next_ >= lines.size()) {
            checker.End();
            return std::nullopt;
        }
        return lines[next_++];
    }
    void Starting(const session::Action& action) override {
        session::Action told = action;
        if (misreport) misreport(told);
        checker.Starting(told);
    }
    void Performed(const session::Action& action) override {
        if (tamperAfter) tamperAfter(action);
        checker.Performed(action);
    }

private:
    bool begun_ = false;
    std::size_t next_ = 0;
};

class MonkeySession : public ::testing::Test {
protected:
    void Start(int document) {
        document_ = users::monkey::SessionDocument(document);
        module_ = session::LinkedPluginModule();
        hostWindow_ = session::SetUpWorld(&document_, module_);
        sim::UseEmptyHive();
        std::memset(static_cast<void*>(&g_plugin), 0, sizeof g_plugin);
        module_.init(nullptr, nullptr);
    }
    void TearDown() override {
        module_.terminate(nullptr);
        sim::SetUser(nullptr);
        sim::SetWatcher(nullptr);
        host::AttachDocument(nullptr);
    }

    // Runs the lines; the runner must not fail. Returns the findings, one a line.
    std::string Play(Replay& replay) {
        session::Runner runner(module_, hostWindow_);
        EXPECT_TRUE(runner.Run(replay, "bad.script")) << runner.Failure();
        std::string all;
        for (const std::string& finding : replay.checker.Findings()) all += finding + "\n";
        return all;
    }

    host::Document document_;
    session::PluginModule module_;
    HWND hostWindow_ = nullptr;
};

// A text run that replaces the one match of "dolce" with Yes.
const std::vector<std::string> kReplaceOnce = {
    "invoke 1", "type 101 \"dolce\"", "state 105 1", "type 106 \"DOLCE\"", "click 1", "click 101", "click 1",
};
constexpr std::size_t kAtMatch = 5;    // line given while the match is shown
constexpr std::size_t kAtSummary = 6;  // line given while the summary is shown

// A note entry run over the whole first staff: entries of duration 1024 get "Float Rest".
const std::vector<std::string> kScan = {
    "invoke 0 region 1 1 0 1 4 2147483647", "click 112", "click 205", "state 122 1", "click 204",
};
constexpr std::size_t kInCriteria = 2;

TEST_F(MonkeySession, GoodSessionsHold) {
    Start(0);
    Replay text;
    text.lines = kReplaceOnce;
    text.lines.insert(text.lines.end(), {"invoke 1", "click 1", "click 103", "click 1", "reload", "reload", "invoke 1",
                                         "state 105 0", "click 1", "click 104", "close", "reload"});
    text.checker.heldSettings = Held;
    EXPECT_EQ(Play(text), "");
    bool replaced = false;
    for (const auto& [key, bytes] : *document_.RecordsOf(host::kTagTextBlockText))
        replaced = replaced || document_.RecordText(host::kTagTextBlockText, key) == "DOLCE ab";
    EXPECT_TRUE(replaced);

    TearDown();
    Start(1);
    Replay entries;
    entries.lines = kScan;
    entries.lines.insert(entries.lines.end(), {"cancel-at 2", "invoke 0 region 1 1 0 3 4 2147483647", "click 205",
                                               "click 204", "invoke 0", "reload"});
    EXPECT_EQ(Play(entries), "");
}

TEST_F(MonkeySession, ADialogTheCommandCannotShowIsFound) {
    Start(0);
    Replay replay;
    replay.lines = {"invoke 1", "close"};
    replay.misreport = [](session::Action& action) {
        if (action.kind == session::ActionKind::Invoke) {
            action.numbers[0] = 0;
            action.hasRegion = true;
        }
    };
    EXPECT_NE(Play(replay).find("dialog 20129 is up during command 0"), std::string::npos);
}

TEST_F(MonkeySession, AMessageBoxTheDialogDoesNotHaveIsFound) {
    Start(0);
    Replay odd;
    odd.lines = {"invoke 1", "close"};
    odd.tamper = [](std::size_t i) {
        if (i == 1) MessageBoxA(sim::ActiveDialog(), "Something else", "Odd", MB_OK);
    };
    EXPECT_NE(Play(odd).find("message box \"Something else\" (\"Odd\") the plug-in does not have"), std::string::npos);

    TearDown();
    Start(0);
    Replay elsewhere;
    elsewhere.lines = {"invoke 1", "close"};
    elsewhere.tamper = [](std::size_t i) {
        if (i == 1) MessageBoxA(sim::ActiveDialog(), kDurationRangeText, kRangeErrorCaption, MB_OK | MB_ICONERROR);
    };
    EXPECT_NE(Play(elsewhere).find("over dialog 20129"), std::string::npos);

    TearDown();
    Start(0);
    Replay count;
    count.lines = {"reload"};
    count.tamper = [this](std::size_t) {
        MessageBoxA(hostWindow_, "2 replacements were made.", kCountCaption, MB_OK | MB_ICONINFORMATION);
    };
    EXPECT_NE(Play(count).find("without a completed scan"), std::string::npos);
}

TEST_F(MonkeySession, WhatACommandLeavesAliveIsFound) {
    Start(0);
    Replay replay;
    replay.lines = {"invoke 1", "close"};
    HFONT font = nullptr;
    void* block = nullptr;
    replay.tamper = [&](std::size_t i) {
        if (i != 1) return;
        font = CreateFontA(-11, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "MS Sans Serif");
        block = HeapAlloc(GetProcessHeap(), 0, 16);
    };
    const std::string findings = Play(replay);
    EXPECT_NE(findings.find("1 font(s), 1 heap block(s) (text copies) alive after the command"), std::string::npos)
        << findings;
    DeleteObject(font);
    HeapFree(GetProcessHeap(), 0, block);
}

TEST_F(MonkeySession, SettingsThatDoNotComeBackAreFound) {
    Start(0);
    Replay size;
    size.lines = {"reload"};
    size.tamperAfter = [](const session::Action&) {
        sim::SetHiveValue(kSettingsKey, kSearchOptionsValue, REG_BINARY, std::vector<std::uint8_t>(100, 0));
    };
    EXPECT_NE(Play(size).find("SearchOptions is stored in 100 bytes"), std::string::npos);

    TearDown();
    Start(0);
    Replay held;
    held.lines = {"reload"};
    held.checker.heldSettings = [] {
        auto bytes = Held();
        bytes[2][0] ^= 1;
        return bytes;
    };
    EXPECT_NE(Play(held).find("TextSearchPrefs loads back to other bytes than stored"), std::string::npos);

    TearDown();
    Start(0);
    Replay drift;
    drift.lines = {"reload", "reload"};
    drift.tamper = [](std::size_t i) {
        if (i == 1) g_plugin.replace.durationValue ^= 1;
    };
    EXPECT_NE(Play(drift).find("ReplaceOptions changed between two reloads"), std::string::npos);
}

TEST_F(MonkeySession, TextsChangedOtherThanByAnAcceptedMatchAreFound) {
    const std::uint8_t other[] = {'x', 0};
    const std::int16_t key[3] = {1, 0, 0};

    // A write while the user only said No.
    Start(0);
    Replay unasked;
    unasked.lines = kReplaceOnce;
    unasked.lines[kAtMatch] = "click 102";
    unasked.tamper = [&](std::size_t i) {
        if (i == kAtMatch) HS_SaveEData(host::kTagTextExpression, key, other, sizeof other);
    };
    EXPECT_NE(Play(unasked).find("1 text(s) written while no match was accepted"), std::string::npos);

    // A write after the summary, as a hidden button acting would make it.
    TearDown();
    Start(0);
    Replay late;
    late.lines = kReplaceOnce;
    late.tamper = [&](std::size_t i) {
        if (i != kAtSummary) return;
        SendMessageA(sim::ActiveDialog(), WM_COMMAND, MAKEWPARAM(IDC_RESULTS_YES, BN_CLICKED), 0);
        HS_SaveEData(host::kTagTextExpression, key, other, sizeof other);
    };
    EXPECT_NE(Play(late).find("written while command 101 came with \"Search result:\" shown"), std::string::npos);

    // A record changed behind the plug-in's back, one added.
    TearDown();
    Start(0);
    Replay behind;
    behind.lines = kReplaceOnce;
    behind.tamper = [this](std::size_t i) {
        if (i != kAtMatch) return;
        document_.SetRecord(host::kTagTextBlockText, {1, 0, 0}, {'z', 0});
        document_.SetRecord(host::kTagTextBlockText, {99, 0, 0}, {'z', 0});
    };
    const std::string findings = Play(behind);
    EXPECT_NE(findings.find("the records of lbxt went from"), std::string::npos) << findings;

    TearDown();
    Start(0);
    Replay changed;
    changed.lines = kReplaceOnce;
    changed.tamper = [this](std::size_t i) {
        if (i == kAtMatch) document_.SetRecord(host::kTagTextBlockText, {1, 0, 0}, {'z', 0});
    };
    EXPECT_NE(Play(changed).find("2 record(s) changed by 1 write(s)"), std::string::npos);
}

// The text changed under the match before "&Yes": the plug-in writes its copy
// over something that no longer holds the match.
TEST_F(MonkeySession, AWriteThatIsNotTheMatchReplacedIsFound) {
    Start(0);
    Replay stale;
    stale.lines = kReplaceOnce;
    stale.tamper = [this](std::size_t i) {
        if (i != kAtMatch) return;
        for (const auto& [key, bytes] : *document_.RecordsOf(host::kTagTextBlockText)) {
            if (document_.RecordText(host::kTagTextBlockText, key) == "dolce ab") {
                document_.SetRecord(host::kTagTextBlockText, key, {'z', 0});
                break;
            }
        }
    };
    const std::string findings = Play(stale);
    EXPECT_NE(findings.find("the text \"z\" was written as \"DOLCE ab\", which is not one match of \"dolce\" "
                            "replaced by \"DOLCE\""),
              std::string::npos)
        << findings;
}

TEST_F(MonkeySession, CountsShownThatDifferFromCountsMadeAreFound) {
    Start(0);
    Replay found;
    found.lines = kReplaceOnce;
    found.tamper = [](std::size_t i) {
        if (i == kAtMatch) HS_SetDlgString(sim::ActiveDialog(), IDC_RESULTS_HEADING, kMatchHeading);
    };
    EXPECT_NE(Play(found).find("the summary shows \"1 instance(s) found\" after 2 match(es) shown"), std::string::npos);

    TearDown();
    Start(0);
    Replay replaced;
    replaced.lines = kReplaceOnce;
    replaced.tamper = [](std::size_t i) {
        if (i == kAtSummary) HS_SetDlgString(sim::ActiveDialog(), IDC_RESULTS_REPLACED, "2 instance(s) replaced");
    };
    EXPECT_NE(Play(replaced).find("after 1 text(s) written"), std::string::npos);

    TearDown();
    Start(1);
    Replay twice;
    twice.lines = kScan;
    twice.tamperAfter = [this](const session::Action& action) {
        if (action.kind == session::ActionKind::Click && action.numbers[0] == IDC_CRIT_GO)
            MessageBoxA(hostWindow_, "1 replacement was made.", kCountCaption, MB_OK | MB_ICONINFORMATION);
    };
    EXPECT_NE(Play(twice).find("2 count message(s) after a completed scan"), std::string::npos);
}

TEST_F(MonkeySession, EntriesChangedOtherThanByTheScanAreFound) {
    // Changed while the criteria dialog is up, and then no scan: cancelled.
    Start(1);
    Replay noScan;
    noScan.lines = {"invoke 0 region 1 2 0 1 2 2147483647", "close"};
    noScan.tamper = [this](std::size_t i) {
        if (i == 1) (*document_.Frame({1, 2, 0}))[0].flagsA ^= 1;
    };
    EXPECT_NE(Play(noScan).find("entry 0 of frame 1 2 0 changed without a scan"), std::string::npos);

    // A scan over staff 1, and an entry of staff 3 changed meanwhile; and one
    // in the region whose position moved.
    TearDown();
    Start(1);
    Replay outside;
    outside.lines = kScan;
    outside.tamper = [this](std::size_t i) {
        if (i != kInCriteria) return;
        (*document_.Frame({3, 1, 0}))[0].flagsB ^= 1;
        (*document_.Frame({1, 3, 0}))[0].position += 1;
    };
    const std::string findings = Play(outside);
    EXPECT_NE(findings.find("entry 0 of frame 3 1 0 changed outside the region"), std::string::npos) << findings;
    EXPECT_NE(findings.find("entry 0 of frame 1 3 0 changed beyond its attributes"), std::string::npos) << findings;
}

TEST_F(MonkeySession, CallsACorrectPlugInNeverMakesAreFound) {
    Start(0);
    Replay replay;
    replay.lines = {"invoke 1", "close"};
    replay.tamper = [](std::size_t i) {
        if (i == 1) HS_EnableDlgItem(sim::ActiveDialog(), 999, 1);
    };
    EXPECT_NE(Play(replay).find("the window system warned"), std::string::npos);
}

// The lines a seeded session writes down, run as a script on a fresh world,
// give the same document, the same message boxes and the same expectations.
TEST_F(MonkeySession, ASeededSessionReplaysExactlyAsItsScript) {
    for (int document = 0; document < users::monkey::kSessionDocuments; ++document) {
        for (std::uint64_t seed : {1u, 2u, 3u}) {
            SCOPED_TRACE("document " + std::to_string(document) + ", seed " + std::to_string(seed));
            Start(document);
            users::monkey::SeededChoices choices(seed);
            users::monkey::Options options;
            options.actions = 150;
            options.fromDefaults = true;
            users::monkey::Player session(choices, document_, options);
            session::Runner runner(module_, hostWindow_);
            ASSERT_TRUE(runner.Run(session, "monkey")) << runner.Failure();
            session.checker().End();
            const std::string played = document_.ToJson();
            std::vector<std::string> boxes;
            for (const sim::MessageBoxInfo& box : sim::MessageBoxes()) boxes.push_back(box.text);
            const std::string script = session.Script();
            EXPECT_GT(session.Lines().size(), 150u);
            TearDown();

            Start(document);
            session::Script parsed;
            std::string error;
            ASSERT_TRUE(session::ParseScript(script, "replay.script", &parsed, &error)) << error;
            session::Runner replay(module_, hostWindow_);
            EXPECT_TRUE(replay.Run(parsed)) << replay.Failure();
            EXPECT_EQ(document_.ToJson(), played);
            std::vector<std::string> replayed;
            for (const sim::MessageBoxInfo& box : sim::MessageBoxes()) replayed.push_back(box.text);
            EXPECT_EQ(replayed, boxes);
            TearDown();
        }
    }
    Start(0);  // for TearDown
}

TEST(MonkeyChoices, ASeedGivesOneSequenceAndBytesRunOut) {
    users::monkey::SeededChoices a(7), b(7), c(8);
    std::vector<std::uint32_t> fromA, fromB, fromC;
    for (int i = 0; i < 50; ++i) {
        fromA.push_back(a.Below(1000));
        fromB.push_back(b.Below(1000));
        fromC.push_back(c.Below(1000));
    }
    EXPECT_EQ(fromA, fromB);
    EXPECT_NE(fromA, fromC);

    const std::uint8_t bytes[] = {5, 1, 2};
    users::monkey::ByteChoices choices(bytes, sizeof bytes);
    EXPECT_EQ(choices.Below(3), 2u);
    EXPECT_EQ(choices.Below(1000), (1u * 256 + 2) % 1000);
    EXPECT_TRUE(choices.Spent());
    EXPECT_EQ(choices.Below(10), 0u);
}

}  // namespace

namespace {

// The session documents are also kept as files, for --monkey and for the
// scenarios kept from findings; ORVO_WRITE_SESSION_DOCUMENTS=1 writes them anew.
TEST(MonkeyDocuments, TheFilesAreTheSessionDocuments) {
    for (int i = 0; i < users::monkey::kSessionDocuments; ++i) {
        const std::string path = std::string(ORVO_SOURCE_DIR) + "/tests/monkey/session" + std::to_string(i) + ".json";
        const std::string json = users::monkey::SessionDocument(i).ToJson();
        if (const char* write = std::getenv("ORVO_WRITE_SESSION_DOCUMENTS"); write != nullptr && *write == '1') {
            std::ofstream(path, std::ios::binary) << json;
        }
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in) << path;
        std::ostringstream text;
        text << in.rdbuf();
        host::Document read;
        std::string error;
        ASSERT_TRUE(host::Document::FromJson(text.str(), &read, &error)) << path << ": " << error;
        EXPECT_EQ(read.ToJson(), json) << path;
    }
}

}  // namespace
