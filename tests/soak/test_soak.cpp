// A thousand sessions in one process: Init, the text command cancelled and
// run with Yes to all, the note entry command with a cancelled scan and with
// a full one, Terminate. Whatever a command takes (fonts, brushes, the
// dialog's subclassing, frames, heap copies, registry keys) must be back
// after every cycle, and the registry must hold exactly the three records.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "resources/resource.h"
#include "shell/plugin_exports.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

extern "C" const char OrvoResourceScript[];

namespace {

constexpr int kCycles = 1000;

// Texts of several kinds with a few matches of "ab", and two staves by two
// measures of frames with rests and notes.
host::Document SoakDocument() {
    host::Document doc;
    doc.AddPageText(0, "^font(Times)ab title ab");
    doc.AddMeasureText(1, 1, "dolce ab");
    doc.AddExpression(1, "ab ab");
    doc.AddStaff(1, "Flute ab", "Fl.");
    doc.AddStaff(2, "Oboe", "Ob. ab");
    doc.AddTextRepeat(1, "D.C. ab");
    doc.SetMeasureCount(2);
    EntryRecord entry{};
    entry.duration = 1024;
    entry.noteCount = 2;
    for (int staff = 1; staff <= 2; ++staff) {
        for (int measure = 1; measure <= 2; ++measure) {
            std::vector<EntryRecord> entries;
            for (int i = 0; i < 4; ++i) {
                entry.position = i * 1024;
                entries.push_back(entry);
            }
            doc.SetFrame({staff, measure, 0}, entries);
        }
    }
    return doc;
}

// What a command leaves alive, read after it has returned.
struct Alive {
    int fonts, brushes, dcs, subclassings, frames, heapBlocks, keys;
};

Alive Count() {
    return {sim::LiveFonts(),   sim::LiveBrushes(),    sim::LiveDCs(), sim::Subclassings(),
            host::LiveFrames(), sim::LiveHeapBlocks(), sim::OpenKeys()};
}

std::string Describe(const Alive& a) {
    std::ostringstream out;
    out << "fonts " << a.fonts << ", brushes " << a.brushes << ", DCs " << a.dcs << ", subclassings " << a.subclassings
        << ", frames " << a.frames << ", heap blocks " << a.heapBlocks << ", open keys " << a.keys;
    return out.str();
}

bool operator==(const Alive& a, const Alive& b) {
    return a.fonts == b.fonts && a.brushes == b.brushes && a.dcs == b.dcs && a.subclassings == b.subclassings &&
           a.frames == b.frames && a.heapBlocks == b.heapBlocks && a.keys == b.keys;
}

// Values stored anywhere in the hive: lines of the .reg text that name one.
int HiveValueCount() {
    std::istringstream in(sim::HiveText());
    int values = 0;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && (line[0] == '"' || line[0] == '@')) ++values;
    return values;
}

class Soak : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::SetResourceScript(OrvoResourceScript);
        sim::UseEmptyHive();
        host::ResetServices();
        sim::SetUser(&user);
        hostWindow = sim::CreateHostWindow(nullptr);
        user.onMessageBox = [this](const sim::MessageBoxInfo& box) {
            messages.push_back(box.text);
            return IDOK;
        };
    }
    void TearDown() override {
        sim::SetUser(nullptr);
        host::AttachDocument(nullptr);
    }

    // Runs one command with `drive` acting on each dialog it opens.
    void Invoke(std::int16_t command, const RegionRecord* region, std::function<void(HWND)> drive) {
        user.onDialog = std::move(drive);
        VelduneExtensionInvoke(hostWindow, command, region, nullptr);
    }

    static void Do(const std::string& failure) { ASSERT_EQ(failure, "") << "the user could not act"; }

    // Text setup: search "ab", replacing with "xy" when asked.
    static void Setup(HWND d, bool replace) {
        Do(sim::Type(d, IDC_SETUP_SEARCH, "ab"));
        if (replace && sim::ControlState(d, IDC_SETUP_REPLACE_ON) == 0) Do(sim::Click(d, IDC_SETUP_REPLACE_ON));
        if (!replace && sim::ControlState(d, IDC_SETUP_REPLACE_ON) != 0) Do(sim::Click(d, IDC_SETUP_REPLACE_ON));
        if (replace) Do(sim::Type(d, IDC_SETUP_REPLACE, "xy"));
        Do(sim::Click(d, IDOK));
    }

    // Criteria: entries whose "Note/Rest" bit is off get "Float Rest"
    // switched off (an unchecked box is "attribute off").
    void Criteria(HWND d) {
        Do(sim::Click(d, IDC_CRIT_RESET));
        Do(sim::SetState(d, IDC_CRIT_E_NOTE_REST, 0));
        Do(sim::Click(d, IDC_CRIT_DONE));
        Watch();
        Do(sim::Click(d, IDC_CRIT_RESET));
        Do(sim::SetState(d, IDC_CRIT_E_FLOAT_REST, 0));
        Do(sim::Click(d, IDC_CRIT_GO));
    }

    // The most seen alive while a dialog was up, to show the counts watch
    // something real.
    void Watch() {
        const Alive now = Count();
        peak.fonts = std::max(peak.fonts, now.fonts);
        peak.brushes = std::max(peak.brushes, now.brushes);
        peak.subclassings = std::max(peak.subclassings, now.subclassings);
    }

    sim::CallbackUser user;
    HWND hostWindow = nullptr;
    Alive peak{};
    std::vector<std::string> messages;
};

TEST_F(Soak, ThousandCyclesGiveBackEverythingAndKeepThreeRecords) {
    const host::Document original = SoakDocument();
    const RegionRecord region{0, 1, 1, 0, 0, 2, 2, 1 << 20};
    const Alive before = Count();
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        host::Document doc = original;
        host::AttachDocument(&doc);
        messages.clear();
        ASSERT_EQ(VelduneExtensionInit(nullptr, nullptr), 1) << "cycle " << cycle;

        // Text command: a match is shown, the user cancels.
        Invoke(1, nullptr, [](HWND d) {
            if (sim::DialogTemplateId(d) == IDD_TEXT_SETUP) return Setup(d, false);
            Do(sim::Click(d, IDCANCEL));
        });
        // Text command: Yes to all, then OK on the summary.
        Invoke(1, nullptr, [this](HWND d) {
            if (sim::DialogTemplateId(d) == IDD_TEXT_SETUP) return Setup(d, true);
            Watch();
            Do(sim::Click(d, IDC_RESULTS_YES_ALL));
            Do(sim::Click(d, IDOK));
        });
        ASSERT_EQ(doc.RecordText(host::kTagTextRepeatText, {1, 0, 0}).value_or("<absent>"), "D.C. xy")
            << "cycle " << cycle << ": Yes to all did not reach the last text";

        // Note entry command: the user stops the scan at its third cell,
        // then lets a whole one run.
        host::CancelAtProgress(3);
        Invoke(0, &region, [this](HWND d) { Criteria(d); });
        ASSERT_TRUE(messages.empty()) << "cycle " << cycle << ": a cancelled scan reported " << messages[0];
        host::CancelAtProgress(0);
        Invoke(0, &region, [this](HWND d) { Criteria(d); });
        ASSERT_EQ(messages.size(), 1u) << "cycle " << cycle << ": no count after a full scan";
        EXPECT_EQ(messages[0], "16 replacements were made.") << "cycle " << cycle;

        ASSERT_EQ(VelduneExtensionTerminate(nullptr), 0) << "cycle " << cycle;
        host::AttachDocument(nullptr);
        const Alive after = Count();
        ASSERT_TRUE(after == before) << "cycle " << cycle << "\n  got      " << Describe(after) << "\n  expected "
                                     << Describe(before);
    }

    // The results dialog's font, the criteria dialog's brush and subclassing.
    EXPECT_GT(peak.fonts, 0);
    EXPECT_GT(peak.brushes, 0);
    EXPECT_GT(peak.subclassings, 0);
    EXPECT_EQ(before.fonts, 0);
    EXPECT_EQ(before.brushes, 0);
    EXPECT_EQ(before.subclassings, 0);
    EXPECT_EQ(before.frames, 0);
    EXPECT_EQ(HiveValueCount(), 3) << sim::HiveText();
    const struct {
        const char* name;
        std::size_t size;
    } kRecords[] = {{kSearchOptionsValue, 112}, {kReplaceOptionsValue, 112}, {kTextSearchPrefsValue, 132}};
    for (const auto& record : kRecords) {
        const auto value = sim::HiveValue(kSettingsKey, record.name);
        ASSERT_TRUE(value.has_value()) << record.name;
        EXPECT_EQ(value->size(), record.size) << record.name;
    }
}

}  // namespace
