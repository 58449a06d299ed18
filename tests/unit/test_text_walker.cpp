// The walk over the ten kinds of stored text: order, bounds, hand-over from
// kind to kind, and what a damaged or missing record does to it.
#include <functional>
#include <string>
#include <vector>

#include "test_text_harness.h"

namespace text_engine_test {
namespace {

using host::Document;
using host::LyricsKind;

struct WalkCase {
    const char* what;
    std::function<void(Document&)> build;
    unsigned switches;
    std::vector<std::string> expected;
};

// Every text that should be found holds an "x"; the others do not.
const WalkCase kWalkCases[] = {
    {"page texts in the host's order: all pages (0) first, then page by page",
     [](Document& d) {
         d.AddPageText(3, "x on three");
         d.AddPageText(0, "x all a");
         d.AddPageText(0, "x all b");
     },
     kPage,
     {MatchLine(0, 0, 0, 0, 0, "x all a"), MatchLine(0, 0, 1, 0, 0, "x all b"),
      MatchLine(0, 3, 0, 0, 0, "x on three")}},
    {"no page text at (0, 0): the walk begins with the host's next record",
     [](Document& d) { d.AddPageText(2, "page x"); },
     kPage,
     {MatchLine(0, 2, 0, 0, 5, "page x")}},
    {"measure texts measure by measure, staff by staff, index by index; none beyond the counts",
     [](Document& d) {
         d.AddStaff(1, "", "");
         d.AddStaff(2, "", "");
         d.SetMeasureCount(2);
         d.AddMeasureText(2, 1, "x s2 m1");
         d.AddMeasureText(1, 2, "x s1 m2");
         d.AddMeasureText(1, 1, "x s1 m1 a");
         d.AddMeasureText(1, 1, "x s1 m1 b");
         d.AddMeasureText(3, 1, "x staff 3 is not counted");
         d.AddMeasureText(1, 3, "x measure 3 is not counted");
     },
     kMeasure,
     {MatchLine(1, 1, 1, 0, 0, "x s1 m1 a"), MatchLine(1, 1, 1, 1, 0, "x s1 m1 b"), MatchLine(1, 2, 1, 0, 0, "x s2 m1"),
      MatchLine(1, 1, 2, 0, 0, "x s1 m2")}},
    {"expressions stop at the first missing number",
     [](Document& d) {
         d.AddExpression(1, "x1");
         d.AddExpression(2, "x2");
         d.AddExpression(4, "x4 after the gap");
     },
     kExpressions,
     {MatchLine(2, 1, 0, 0, 0, "x1"), MatchLine(2, 2, 0, 0, 0, "x2")}},
    {"expression 0 is probed first",
     [](Document& d) {
         d.AddExpression(0, "x0");
         d.AddExpression(1, "x1");
     },
     kExpressions,
     {MatchLine(2, 0, 0, 0, 0, "x0"), MatchLine(2, 1, 0, 0, 0, "x1")}},
    {"staves: full name before abbreviated, staff 0 first, stop at the first missing staff",
     [](Document& d) {
         d.AddStaff(0, "x0", "none");
         d.AddStaff(1, "full x", "abbr x");
         d.AddStaff(2, "none", "x2");
         d.AddStaff(4, "x4", "x4");
     },
     kStaves,
     {MatchLine(3, 0, 0, 0, 0, "x0"), MatchLine(3, 1, 0, 0, 5, "full x"), MatchLine(3, 1, 0, 0, 5, "abbr x"),
      MatchLine(3, 2, 0, 0, 0, "x2")}},
    {"groups: global set first, then systems up to the count; groups up to the first missing one",
     [](Document& d) {
         d.SetStaffSystemCount(2);
         d.AddGroup(1, 1, "x11", "x11a");
         d.AddGroup(0, 2, "none", "x02a");
         d.AddGroup(0, 1, "x01", "none");
         d.AddGroup(2, 2, "x22 after missing group 1", "");
         d.AddGroup(3, 1, "x31 beyond the count", "");
     },
     kGroups,
     {MatchLine(4, 0, 1, 0, 0, "x01"), MatchLine(4, 0, 2, 0, 0, "x02a"), MatchLine(4, 1, 1, 0, 0, "x11"),
      MatchLine(4, 1, 1, 0, 0, "x11a")}},
    {"text repeats from 1, stop at the first missing number",
     [](Document& d) {
         d.AddTextRepeat(0, "x0 is never probed");
         d.AddTextRepeat(1, "x1");
         d.AddTextRepeat(2, "x2");
         d.AddTextRepeat(4, "x4");
     },
     kRepeats,
     {MatchLine(5, 1, 0, 0, 0, "x1"), MatchLine(5, 2, 0, 0, 0, "x2")}},
    {"endings pass over measures without one and end at the last measure",
     [](Document& d) {
         d.SetMeasureCount(5);
         d.AddEnding(1, "x1");
         d.AddEnding(3, "x3");
         d.AddEnding(5, "x5");
         d.AddEnding(6, "x6 beyond the last measure");
     },
     kEndings,
     {MatchLine(6, 1, 0, 0, 0, "x1"), MatchLine(6, 3, 0, 0, 0, "x3"), MatchLine(6, 5, 0, 0, 0, "x5")}},
    {"lyrics: gaps passed over, block 1000 searched, 1001 not; verse, chorus, section",
     [](Document& d) {
         d.AddLyrics(LyricsKind::Section, 1, "x s1");
         d.AddLyrics(LyricsKind::Verse, 1001, "x v1001");
         d.AddLyrics(LyricsKind::Verse, 1000, "x v1000");
         d.AddLyrics(LyricsKind::Verse, 3, "x v3");
         d.AddLyrics(LyricsKind::Verse, 1, "x v1");
         d.AddLyrics(LyricsKind::Chorus, 2, "x c2");
     },
     kLyrics,
     {MatchLine(7, 1, 0, 0, 0, "x v1"), MatchLine(7, 3, 0, 0, 0, "x v3"), MatchLine(7, 1000, 0, 0, 0, "x v1000"),
      MatchLine(8, 2, 0, 0, 0, "x c2"), MatchLine(9, 1, 0, 0, 0, "x s1")}},
    {"an enabled kind without elements hands on to the next enabled kind",
     [](Document& d) { d.AddTextRepeat(1, "x"); },
     kPage | kMeasure | kExpressions | kStaves | kGroups | kRepeats,
     {MatchLine(5, 1, 0, 0, 0, "x")}},
    {"an enabled kind whose elements hold no match hands on too",
     [](Document& d) {
         d.AddExpression(1, "none");
         d.AddLyrics(LyricsKind::Chorus, 7, "x");
     },
     kExpressions | kLyrics,
     {MatchLine(8, 7, 0, 0, 0, "x")}},
    {"kinds switched off are not searched",
     [](Document& d) {
         d.AddPageText(0, "x page");
         d.AddExpression(1, "x two");
         d.AddLyrics(LyricsKind::Verse, 1, "x verse");
     },
     kExpressions,
     {MatchLine(2, 1, 0, 0, 0, "x two")}},
    {"one of each kind: the fixed kind order",
     [](Document& d) {
         d.SetMeasureCount(1);
         d.AddLyrics(LyricsKind::Section, 1, "x9");
         d.AddLyrics(LyricsKind::Chorus, 1, "x8");
         d.AddLyrics(LyricsKind::Verse, 1, "x7");
         d.AddEnding(1, "x6");
         d.AddTextRepeat(1, "x5");
         d.AddGroup(0, 1, "x4", "");
         d.AddStaff(1, "x3", "");
         d.AddExpression(1, "x2");
         d.AddMeasureText(1, 1, "x1");
         d.AddPageText(0, "x0");
     },
     kAllKinds,
     {MatchLine(0, 0, 0, 0, 0, "x0"), MatchLine(1, 1, 1, 0, 0, "x1"), MatchLine(2, 1, 0, 0, 0, "x2"),
      MatchLine(3, 1, 0, 0, 0, "x3"), MatchLine(4, 0, 1, 0, 0, "x4"), MatchLine(5, 1, 0, 0, 0, "x5"),
      MatchLine(6, 1, 0, 0, 0, "x6"), MatchLine(7, 1, 0, 0, 0, "x7"), MatchLine(8, 1, 0, 0, 0, "x8"),
      MatchLine(9, 1, 0, 0, 0, "x9")}},
    {"an empty document finds nothing", [](Document&) {}, kAllKinds, {}},
};

TEST_F(TextEngineTest, WalkOrderAndBounds) {
    for (const WalkCase& c : kWalkCases) {
        SCOPED_TRACE(c.what);
        FreeText(g_plugin.text.textCopy);
        g_plugin.text = TextSearchState{};
        doc = Document{};
        c.build(doc);
        Options("x", "", c.switches);
        EXPECT_EQ(Run(), c.expected);
    }
}

TEST_F(TextEngineTest, OnlyLyricsSwitchedOnStartsAtVerse) {
    doc.AddPageText(0, "x");
    doc.AddLyrics(LyricsKind::Verse, 2, "x");
    Options("x", "", kLyrics);
    ASSERT_TRUE(Start());
    EXPECT_EQ(CurrentMatch(), MatchLine(7, 2, 0, 0, 0, "x"));
}

TEST_F(TextEngineTest, CountRecordsCountsConsecutiveNumbersFromOne) {
    struct Row {
        const char* what;
        std::vector<int> present;
        int expected;
    };
    const Row rows[] = {
        {"records 1 to 5 and 7", {1, 2, 3, 4, 5, 7}, 5},
        {"none at all", {}, 0},
        {"record 0 only is not counted", {0}, 0},
        {"a gap at 1", {2, 3}, 0},
    };
    for (const Row& r : rows) {
        doc = Document{};
        for (int key : r.present) doc.SetRecord(host::kTagMeasure, {static_cast<std::int16_t>(key), 0, 0}, Raw("m"));
        EXPECT_EQ(CountRecords(host::kTagMeasure, 12), r.expected) << r.what;
    }
}

// Numbers never wrap from 32767 to -32768, which would count or walk on
// through the negative keys.
TEST_F(TextEngineTest, KeysStopAtTheLargestNumber) {
    doc.SetMeasureCount(32767);
    doc.SetRecord(host::kTagMeasure, {-32768, 0, 0}, Raw("m"));
    EXPECT_EQ(CountRecords(host::kTagMeasure, 12), 32767);

    // The measure text walk ends after the last measure instead of wrapping.
    doc.AddStaff(1, "", "");
    doc.AddMeasureText(1, 32767, "x last");
    doc.SetRecord(host::kTagMeasureTextAssignment, {1, -32768, 0}, host::Bytes(10, 0));
    Options("x", "", kMeasure);
    EXPECT_EQ(Run(), std::vector<std::string>{MatchLine(1, 1, 32767, 0, 0, "x last")});
}

TEST_F(TextEngineTest, ExpressionNumbersStopAtTheLargestNumber) {
    for (int n = 0; n <= 32767; ++n)
        doc.SetRecord(host::kTagTextExpression, {static_cast<std::int16_t>(n), 0, 0}, host::Bytes(14, 0));
    doc.AddExpression(-32768, "x behind the wrap");
    Options("x", "", kExpressions);
    EXPECT_EQ(Run(), std::vector<std::string>{});
}

// Texts stored without their terminating zero, and records too short for
// what they should hold: read within the record, never past it.
TEST_F(TextEngineTest, DamagedRecordsAreReadWithinTheirSize) {
    struct Row {
        const char* what;
        std::function<void(Document&)> build;
        unsigned switches;
        const char* search;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"lyrics without a terminator",
         [](Document& d) {
             d.SetRecord(host::kTagVerseLyrics, {1, 0, 0}, Raw("ABC"));
         },
         kLyrics,
         "c",
         {MatchLine(7, 1, 0, 0, 2, "ABC")}},
        {"text repeat and ending texts without a terminator",
         [](Document& d) {
             d.SetMeasureCount(1);
             d.AddTextRepeat(1, "");
             d.SetRecord(host::kTagTextRepeatText, {1, 0, 0}, Raw("repeat C"));
             d.AddEnding(1, "");
             d.SetRecord(host::kTagEndingRepeatText, {1, 0, 0}, Raw("end C"));
         },
         kRepeats | kEndings,
         "c",
         {MatchLine(5, 1, 0, 0, 7, "repeat C"), MatchLine(6, 1, 0, 0, 4, "end C")}},
        {"a text block text without a terminator",
         [](Document& d) {
             d.AddPageText(0, "");
             const std::int16_t id = static_cast<std::int16_t>((*d.Record(host::kTagPageTextAssignment, {0, 0, 0}))[0]);
             const std::int16_t number = static_cast<std::int16_t>((*d.Record(host::kTagTextBlock, {id, 0, 0}))[0]);
             d.SetRecord(host::kTagTextBlockText, {number, 0, 0}, Raw("tail C"));
         },
         kPage,
         "c",
         {MatchLine(0, 0, 0, 0, 5, "tail C")}},
        {"expression records shorter than the header hold no text; the walk goes on",
         [](Document& d) {
             d.SetRecord(host::kTagTextExpression, {1, 0, 0}, Raw("CCCCC"));
             d.SetRecord(host::kTagTextExpression, {2, 0, 0}, Raw("CCCCCCCCCCC"));
             d.SetRecord(host::kTagTextExpression, {3, 0, 0}, Raw("CCCCCCCCCCCC"));  // header only
             d.SetRecord(host::kTagTextExpression, {4, 0, 0}, Raw("CCCCCCCCCCCCabC"));
         },
         kExpressions,
         "c",
         {MatchLine(2, 4, 0, 0, 2, "abC")}},
        {"a zero-size lyrics record is no element",
         [](Document& d) {
             d.SetRecord(host::kTagVerseLyrics, {1, 0, 0}, {});
             d.AddLyrics(LyricsKind::Verse, 2, "c");
         },
         kLyrics,
         "c",
         {MatchLine(7, 2, 0, 0, 0, "c")}},
        {"a staff record too short for its name ids finds no names",
         [](Document& d) {
             d.AddStaff(1, "c full", "c abbr");
             d.SetRecord(host::kTagStaff, {1, 0, 0}, host::Bytes(4, 0));
             d.AddStaff(2, "c two", "");
         },
         kStaves,
         "c",
         {MatchLine(3, 2, 0, 0, 0, "c two")}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        FreeText(g_plugin.text.textCopy);
        g_plugin.text = TextSearchState{};
        doc = Document{};
        r.build(doc);
        Options(r.search, "", r.switches);
        EXPECT_EQ(Run(), r.expected);
    }
}

// A failed allocation while an element is read makes that element hold no
// match; the walk goes on and nothing is left allocated.
TEST_F(TextEngineTest, AllocationFailureWhileReadingSkipsTheElement) {
    struct Row {
        const char* what;
        std::function<void(Document&)> build;
        unsigned switches;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"lyrics text",
         [](Document& d) {
             d.AddLyrics(LyricsKind::Verse, 1, "x one");
             d.AddLyrics(LyricsKind::Verse, 2, "x two");
         },
         kLyrics,
         {MatchLine(7, 2, 0, 0, 0, "x two")}},
        {"text block text",
         [](Document& d) {
             d.AddPageText(0, "x one");
             d.AddPageText(0, "x two");
         },
         kPage,
         {MatchLine(0, 0, 1, 0, 0, "x two")}},
        {"expression record",
         [](Document& d) {
             d.AddExpression(1, "x one");
             d.AddExpression(2, "x two");
         },
         kExpressions,
         {MatchLine(2, 2, 0, 0, 0, "x two")}},
        {"staff full name: the abbreviated name is still read",
         [](Document& d) { d.AddStaff(1, "x full", "x abbr"); },
         kStaves,
         {MatchLine(3, 1, 0, 0, 0, "x abbr")}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        FreeText(g_plugin.text.textCopy);
        g_plugin.text = TextSearchState{};
        doc = Document{};
        r.build(doc);
        Options("x", "", r.switches);
        sim::FailHeapAllocAt(1);
        EXPECT_EQ(Run(), r.expected);
    }
}

}  // namespace
}  // namespace text_engine_test
