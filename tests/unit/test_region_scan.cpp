// The region scan over a document of the reference host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "shell/commands.h"
#include "shell/plugin_state.h"

namespace {

constexpr std::int16_t kAnd = 1, kOr = 0;
constexpr std::uint32_t kNoteRest = 0x40000000;  // entry row 1: the search
constexpr std::uint32_t kGrace = 0x00800000;     // entry row 7: the replacement
constexpr std::uint32_t kTieStart = 0x40000000;  // note row 1: the search
constexpr std::uint32_t kTieEnd = 0x20000000;    // note row 2: the replacement

EntryRecord Entry(std::int32_t position, std::uint32_t flagsA, std::vector<std::uint32_t> noteFlags = {}) {
    EntryRecord e;
    std::memset(&e, 0, sizeof(e));
    e.position = position;
    e.duration = 1024;
    e.flagsA = flagsA;
    e.noteCount = static_cast<std::int16_t>(noteFlags.size());
    for (std::size_t n = 0; n < noteFlags.size() && n < kMaxNotesPerEntry; ++n) e.notes[n].flags = noteFlags[n];
    return e;
}

RegionRecord Region(int firstStaff, int firstMeasure, std::int32_t start, int lastStaff, int lastMeasure,
                    std::int32_t end) {
    RegionRecord r;
    std::memset(&r, 0, sizeof(r));
    r.firstStaff = static_cast<std::int16_t>(firstStaff);
    r.firstMeasure = static_cast<std::int16_t>(firstMeasure);
    r.startPosition = start;
    r.lastStaff = static_cast<std::int16_t>(lastStaff);
    r.lastMeasure = static_cast<std::int16_t>(lastMeasure);
    r.endPosition = end;
    return r;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "; ";
    return s;
}

class RegionScan : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        host::ResetServices();
        host::AttachDocument(&doc);
        g_plugin.hostWindow = sim::CreateHostWindow(&menu);
        std::memset(&search, 0, sizeof(search));
        std::memset(&replace, 0, sizeof(replace));
        // Entry mode by default: entries with Note/Rest on become grace notes.
        search.booleanSwitch = kAnd;
        search.entrySlots[1] = 2;
        replace.entrySlots[7] = 2;
    }
    void TearDown() override {
        EXPECT_EQ(host::LiveFrames(), 0) << "frames left loaded";
        host::AttachDocument(nullptr);
    }

    std::int32_t Scan(const RegionRecord& region) { return ScanRegion(&search, &replace, &region); }

    // Positions of the entries of a frame whose flag word A holds `bit`.
    std::vector<std::int32_t> WithBit(host::FrameKey key, std::uint32_t bit) {
        std::vector<std::int32_t> positions;
        const std::vector<EntryRecord>* frame = doc.Frame(key);
        if (frame == nullptr) return {-999};
        for (const EntryRecord& e : *frame) {
            if (e.flagsA & bit) positions.push_back(+e.position);
        }
        return positions;
    }
    int Count(const std::string& line) {
        const auto& log = host::ServiceLog();
        return static_cast<int>(std::count(log.begin(), log.end(), line));
    }
    bool Logged(const std::string& prefix) {
        for (const std::string& l : host::ServiceLog()) {
            if (l.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }

    host::Document doc;
    sim::LayerMenu menu;
    CriteriaRecord search;
    CriteriaRecord replace;
};

const std::vector<std::int32_t> kPositions = {0, 99, 100, 199, 200, 300};

std::vector<EntryRecord> EntriesAt(const std::vector<std::int32_t>& positions) {
    std::vector<EntryRecord> entries;
    for (std::int32_t p : positions) entries.push_back(Entry(p, kNoteRest));
    return entries;
}

TEST_F(RegionScan, StartLimitsTheFirstMeasureAndEndTheLastOnEveryStaff) {
    for (int staff = 1; staff <= 3; ++staff) {
        for (int measure = 1; measure <= 4; ++measure) doc.SetFrame({staff, measure, 0}, EntriesAt(kPositions));
    }
    EXPECT_EQ(Scan(Region(1, 1, 100, 2, 3, 200)), 2 * (4 + 6 + 4));
    using P = std::vector<std::int32_t>;
    struct Case {
        int staff, measure;
        P changed;
        const char* what;
    };
    const Case kCases[] = {
        {1, 1, P{100, 199, 200, 300}, "first measure: from the start position on"},
        {1, 2, P{0, 99, 100, 199, 200, 300}, "middle measure: everything"},
        {1, 3, P{0, 99, 100, 199}, "last measure: before the end position"},
        {2, 1, P{100, 199, 200, 300}, "second staff, first measure"},
        {2, 2, P{0, 99, 100, 199, 200, 300}, "second staff, middle"},
        {2, 3, P{0, 99, 100, 199}, "second staff, last measure"},
        {3, 2, P{}, "staff after the region"},
        {1, 4, P{}, "measure after the region"},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(WithBit({c.staff, c.measure, 0}, kGrace), c.changed) << c.what;
    }
}

TEST_F(RegionScan, OneMeasureRegionKeepsStartUpToButNotIncludingEnd) {
    using P = std::vector<std::int32_t>;
    struct Case {
        std::int32_t start, end;
        P changed;
        const char* what;
    };
    const Case kCases[] = {
        {0, 100, P{0, 99}, "from the measure's start"},
        {99, 200, P{99, 100, 199}, "start included, end excluded"},
        {100, 100, P{}, "empty span"},
        {0, 0x7fffffff, P{0, 99, 100, 199, 200, 300}, "whole measure"},
        {-5, 1, P{0}, "negative start"},
    };
    for (const Case& c : kCases) {
        doc.SetFrame({1, 5, 0}, EntriesAt(kPositions));
        host::ResetServices();
        EXPECT_EQ(Scan(Region(1, 5, c.start, 1, 5, c.end)), static_cast<std::int32_t>(c.changed.size())) << c.what;
        EXPECT_EQ(WithBit({1, 5, 0}, kGrace), c.changed) << c.what;
    }
}

TEST_F(RegionScan, VisitsStavesThenMeasuresThenLayers) {
    for (int layer = 0; layer < 4; ++layer) doc.SetFrame({1, 1, layer}, EntriesAt({0}));
    doc.SetFrame({2, 2, 3}, EntriesAt({0}));
    EXPECT_EQ(Scan(Region(1, 1, 0, 2, 2, 1000)), 5);
    const std::vector<std::string> expected = {
        "start",        "progress 1 1", "load 1 1 0",   "save 1 1 0", "free 1 1 0", "load 1 1 1", "save 1 1 1",
        "free 1 1 1",   "load 1 1 2",   "save 1 1 2",   "free 1 1 2", "load 1 1 3", "save 1 1 3", "free 1 1 3",
        "progress 1 2", "progress 2 1", "progress 2 2", "load 2 2 3", "save 2 2 3", "free 2 2 3", "end 0",
    };
    // Loads of empty cells may be logged by the host; keep only what matters.
    std::vector<std::string> got;
    for (const std::string& l : host::ServiceLog()) {
        bool emptyCellLoad = l.rfind("load ", 0) == 0 && l != "load 1 1 0" && l != "load 1 1 1" && l != "load 1 1 2" &&
                             l != "load 1 1 3" && l != "load 2 2 3";
        if (!emptyCellLoad) got.push_back(l);
    }
    EXPECT_EQ(Joined(got), Joined(expected));
}

TEST_F(RegionScan, EmptyRegionsMakeNoCallsBetweenStartAndEnd) {
    struct Case {
        RegionRecord region;
        const char* what;
    };
    const Case kCases[] = {
        {Region(2, 1, 0, 1, 1, 100), "first staff after the last"},
        {Region(1, 3, 0, 1, 2, 100), "first measure after the last"},
    };
    doc.SetFrame({1, 1, 0}, EntriesAt({0}));
    doc.SetFrame({2, 1, 0}, EntriesAt({0}));
    for (const Case& c : kCases) {
        host::ResetServices();
        EXPECT_EQ(Scan(c.region), 0) << c.what;
        EXPECT_EQ(Joined(host::ServiceLog()), "start; end 0; ") << c.what;
    }
}

TEST_F(RegionScan, CancelAtTheFirstProgressCallLoadsNothing) {
    doc.SetFrame({1, 1, 0}, EntriesAt({0}));
    host::CancelAtProgress(1);
    EXPECT_EQ(Scan(Region(1, 1, 0, 2, 2, 100)), kScanCancelled);
    EXPECT_EQ(Joined(host::ServiceLog()), "start; progress 1 1; end 1; ");
    EXPECT_EQ(WithBit({1, 1, 0}, kGrace), std::vector<std::int32_t>{});
}

TEST_F(RegionScan, CancelLaterKeepsEarlierSavesAndLoadsNothingAfter) {
    for (int measure = 1; measure <= 3; ++measure) doc.SetFrame({1, measure, 0}, EntriesAt({0, 10}));
    doc.SetFrame({2, 1, 0}, EntriesAt({0}));
    host::CancelAtProgress(3);
    EXPECT_EQ(Scan(Region(1, 1, 0, 2, 3, 1000)), kScanCancelled);
    EXPECT_EQ(WithBit({1, 1, 0}, kGrace), (std::vector<std::int32_t>{0, 10}));
    EXPECT_EQ(WithBit({1, 2, 0}, kGrace), (std::vector<std::int32_t>{0, 10}));
    EXPECT_EQ(WithBit({1, 3, 0}, kGrace), std::vector<std::int32_t>{});
    EXPECT_EQ(WithBit({2, 1, 0}, kGrace), std::vector<std::int32_t>{}) << "the next staff";
    const auto& log = host::ServiceLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "end 1");
    auto cancelAt = std::find(log.begin(), log.end(), "progress 1 3");
    ASSERT_NE(cancelAt, log.end()) << Joined(log);
    EXPECT_EQ(cancelAt + 1, log.end() - 1) << "calls after the cancel: " << Joined(log);
}

TEST_F(RegionScan, RefusedLayersAreNeverLoaded) {
    menu.toggle = true;
    bool visible[4] = {true, false, true, false};
    std::copy(visible, visible + 4, menu.visible);
    sim::Reset();
    g_plugin.hostWindow = sim::CreateHostWindow(&menu);
    for (int m = 1; m <= 2; ++m) {
        for (int layer = 0; layer < 4; ++layer) doc.SetFrame({1, m, layer}, EntriesAt({0}));
    }
    EXPECT_EQ(Scan(Region(1, 1, 0, 1, 2, 1000)), 4);
    for (int m = 1; m <= 2; ++m) {
        for (int layer : {1, 3}) {
            std::string cell = std::to_string(1) + " " + std::to_string(m) + " " + std::to_string(layer);
            EXPECT_FALSE(Logged("load " + cell)) << "layer " << layer << " loaded";
            EXPECT_EQ(WithBit({1, m, layer}, kGrace), std::vector<std::int32_t>{}) << cell;
        }
        EXPECT_EQ(WithBit({1, m, 2}, kGrace), std::vector<std::int32_t>{0});
    }
}

TEST_F(RegionScan, OnlyChangedFramesAreSavedAndEveryFrameIsFreed) {
    doc.SetFrame({1, 1, 0}, {Entry(0, 0), Entry(5, 0)});  // nothing matches
    doc.SetFrame({1, 1, 1}, {Entry(0, kNoteRest), Entry(5, kNoteRest), Entry(9, kNoteRest), Entry(12, 0)});
    doc.SetFrame({1, 1, 2}, {});  // no entries at all
    host::FailFrameLoad({1, 1, 3});
    doc.SetFrame({1, 1, 3}, {Entry(0, kNoteRest)});
    EXPECT_EQ(Scan(Region(1, 1, 0, 1, 1, 1000)), 3);
    EXPECT_EQ(Count("save 1 1 0"), 0);
    EXPECT_EQ(Count("free 1 1 0"), 1);
    EXPECT_EQ(Count("save 1 1 1"), 1);
    EXPECT_EQ(Count("free 1 1 1"), 1);
    EXPECT_EQ(Count("save 1 1 2"), 0);
    EXPECT_FALSE(Logged("free 1 1 3")) << "a failed load freed";
    EXPECT_EQ(WithBit({1, 1, 3}, kGrace), std::vector<std::int32_t>{});
}

// Note mode: notes with Tie Start get Tie End; replace-side entry slots
// (Grace) play no part.
TEST_F(RegionScan, NoteModeUnderAndAndOr) {
    struct Case {
        const char* what;
        std::int16_t booleanSwitch;
        bool noteCriterion;
        std::vector<EntryRecord> entries;
        std::int32_t count;
        std::vector<std::vector<bool>> changed;  // per entry, per note
    };
    const Case kCases[] = {
        {"AND: 2 of 3 notes of a passing chord; nothing of a failing entry",
         kAnd,
         true,
         {Entry(0, kNoteRest, {kTieStart, 0, kTieStart}), Entry(10, 0, {kTieStart, kTieStart, kTieStart})},
         2,
         {{true, false, true}, {false, false, false}}},
        {"OR: notes of an entry failing every entry criterion still change",
         kOr,
         true,
         {Entry(0, 0, {kTieStart, 0}), Entry(10, kNoteRest, {0, 0})},
         1,
         {{true, false}, {false, false}}},
        {"AND without a note criterion: every note of passing entries",
         kAnd,
         false,
         {Entry(0, kNoteRest, {0, kTieStart, 0}), Entry(10, 0, {0})},
         3,
         {{true, true, true}, {false}}},
    };
    for (const Case& c : kCases) {
        search.booleanSwitch = c.booleanSwitch;
        search.noteSlots[1] = c.noteCriterion ? 2 : 0;
        replace.noteSpecific = 1;
        replace.noteSlots[2] = 2;
        doc.SetFrame({1, 1, 0}, c.entries);
        host::ResetServices();
        EXPECT_EQ(Scan(Region(1, 1, 0, 1, 1, 1000)), c.count) << c.what;
        const std::vector<EntryRecord>& got = *doc.Frame({1, 1, 0});
        for (std::size_t e = 0; e < c.changed.size(); ++e) {
            EXPECT_EQ(got[e].flagsA & kGrace, 0u) << c.what << ": entry slots applied in note mode";
            for (std::size_t n = 0; n < c.changed[e].size(); ++n) {
                EXPECT_EQ((got[e].notes[n].flags & kTieEnd) != 0, c.changed[e][n])
                    << c.what << ": entry " << e << " note " << n;
            }
        }
        EXPECT_EQ(Count("save 1 1 0"), c.count > 0 ? 1 : 0) << c.what;
    }
}

TEST_F(RegionScan, NoteCountsOutsideTheNoteAreaAreClamped) {
    struct Case {
        std::int16_t noteCount;
        std::int32_t changed;
        const char* what;
    };
    const Case kCases[] = {
        {13, 12, "one past the area: only the twelve notes"},
        {32767, 12, "far past the area"},
        {12, 12, "a full area"},
        {-1, 0, "negative: no notes"},
        {0, 0, "none"},
    };
    // Every note of every entry gets displacement 77.
    replace.noteSpecific = 1;
    replace.displacementSwitch = 1;
    replace.displacementValue = 77;
    for (const Case& c : kCases) {
        EntryRecord e = Entry(0x01020304, kNoteRest);
        e.duration = 0x05060708;
        e.noteCount = c.noteCount;
        doc.SetFrame({1, 1, 0}, {e});
        host::ResetServices();
        EXPECT_EQ(Scan(Region(1, 1, 0, 1, 1, 0x7fffffff)), c.changed) << c.what;
        const EntryRecord& got = doc.Frame({1, 1, 0})->at(0);
        EXPECT_EQ(+got.position, 0x01020304) << c.what << ": bytes past the notes overwritten";
        EXPECT_EQ(+got.duration, 0x05060708) << c.what;
        for (int n = 0; n < kMaxNotesPerEntry; ++n) {
            EXPECT_EQ(got.notes[n].displacement, n < c.changed ? 77 : 0) << c.what << ": note " << n;
        }
    }
}

TEST_F(RegionScan, CountsBeyondSixteenBitsAreNotACancel) {
    std::vector<EntryRecord> many(30000, Entry(0, kNoteRest));
    doc.SetFrame({1, 1, 0}, many);
    doc.SetFrame({1, 1, 1}, many);
    doc.SetFrame({1, 2, 0}, std::vector<EntryRecord>(5535, Entry(0, kNoteRest)));
    // 65535 in sixteen bits would be -1, the cancel.
    EXPECT_EQ(Scan(Region(1, 1, 0, 1, 2, 1)), 65535);
}

}  // namespace
