// Matching one text (tag rule, case folding), going on after a match,
// replacing, writing back per kind, the display text, and the limits of
// 16-bit lengths.
#include <functional>
#include <string>
#include <vector>

#include "test_text_harness.h"

namespace text_engine_test {
namespace {

using host::Document;
using host::LyricsKind;

TEST_F(TextEngineTest, MatchTextFindsTheFirstOccurrenceUnderTheTagRule) {
    struct Row {
        const char* text;
        const char* search;
        int start;
        bool caseSensitive;
        int tagsTakePart;
        bool searchTags;
        int expected;  // match position, -1 for none
    };
    const Row rows[] = {
        {"xxABCxx", "abc", 0, false, 1, false, 2},               // folded to upper case
        {"xxABCxx", "abc", 0, true, 1, false, -1},               // case sensitive
        {"a\xC9", "\xE9", 0, false, 1, false, -1},               // accented letters are not folded
        {"a\xE9", "\xE9", 0, false, 1, false, 1},                // but match themselves
        {"a[b", "A[", 0, false, 1, false, 0},                    // only a-z fold; '[' stays '['
        {"xabab", "ab", 0, false, 1, false, 1},                  // the first occurrence wins
        {"xab", "abc", 0, false, 1, false, -1},                  // the text ends first
        {"aXa", "a", 1, false, 1, false, 2},                     // from the start offset on
        {"abc", "c", 3, false, 1, false, -1},                    // start at the terminator
        {"abc", "c", 4, false, 1, false, -1},                    // start beyond the text
        {"abc", "a", -1, false, 1, false, -1},                   // a start before the text
        {"", "a", 0, false, 1, false, -1},                       // empty text
        {"abc", "", 0, false, 1, false, -1},                     // an empty search never matches
        {"^font(Times)Hello", "Hello", 0, false, 1, false, 12},  // the leading tag is skipped
        {"^font(Times)Hello", "font", 0, false, 1, false, -1},   // a tag holds no match start
        {"^font(Times)Hello", "^font(", 0, false, 1, true, 0},   // the search-tags switch on
        {"^font(Times)Hello", "font", 0, false, 0, false, 1},    // kinds whose tags are plain text
        {"ab^x(1)cd", "b^x", 0, false, 1, false, 1},             // a match may run into a tag
        {"Hello^b(1)World", "o^b(1)W", 0, false, 1, false, 4},   // and through it
        {"5^ and more", "^ and", 0, false, 1, false, 1},         // a caret without "(" is plain
        {"^f(x", "^", 0, false, 1, false, 0},                    // a "(" without ")" is no tag
        {"a^^x(1)b", "^", 0, false, 1, false, 1},                // the first of two carets is plain
        {"a^^x(1)b", "x", 0, false, 1, false, -1},               // the second begins the tag ^x(1)
        {"a^^x(1)b", "b", 0, false, 1, false, 7},
        {"^a(1)^b(2)Hi", "h", 0, false, 1, false, 10},  // tags in a row are all passed
        {"a^b(1)", "b", 0, false, 1, false, -1},        // a tag up to the end
        {"x^a)(b)y", "a", 0, false, 1, false, -1},      // the tag runs to the ")" after its "("
    };
    for (const Row& r : rows) {
        FreeText(g_plugin.text.textCopy);
        g_plugin.text = TextSearchState{};
        Options(r.search, "", kAllKinds, r.caseSensitive, r.searchTags);
        g_plugin.text.tagsTakePart = static_cast<std::int16_t>(r.tagsTakePart);
        const bool found = MatchText(r.text, static_cast<std::int16_t>(r.start)) != 0;
        const int got = found ? g_plugin.text.matchPosition : -1;
        EXPECT_EQ(got, r.expected) << "'" << r.search << "' in '" << r.text << "' from " << r.start;
        if (found) {
            // The copy holds the whole text, not the part from `start`.
            ASSERT_NE(g_plugin.text.textCopy, nullptr);
            EXPECT_STREQ(g_plugin.text.textCopy, r.text);
        }
    }
}

TEST_F(TextEngineTest, FailedMatchKeepsTheCurrentMatch) {
    Options("b", "", kAllKinds);
    ASSERT_TRUE(MatchText("abc", 0));
    EXPECT_FALSE(MatchText("xyz", 0));
    EXPECT_STREQ(g_plugin.text.textCopy, "abc");
    EXPECT_EQ(g_plugin.text.matchPosition, 1);
}

// Whole runs over one lyrics text: going on after each match with Next, or
// replacing every match as "Yes to all" does.
TEST_F(TextEngineTest, MatchAndReplaceSequences) {
    struct Row {
        const char* what;
        const char* text;
        const char* search;
        const char* replace;
        bool replaceAll;
        std::vector<int> positions;
        const char* stored;  // the text afterwards
        int replaced;
    };
    const Row rows[] = {
        {"'a' by 'aa' never searches the inserted text", "aaa", "a", "aa", true, {0, 2, 4}, "aaaaaa", 3},
        {"'b' by nothing goes on behind the removed text", "abcabc", "b", "", true, {1, 3}, "acac", 2},
        {"'aa' with Next does not overlap", "aaaa", "aa", "", false, {0, 2}, "aaaa", 0},
        {"matches of any case are replaced whole", "xAbCxabc", "abc", "-", true, {1, 3}, "x-x-", 2},
        {"a replacement holding the search string", "ab", "a", "ba", true, {0}, "bab", 1},
        {"a match at the very end is the last in its text", "abcc", "c", "", false, {2, 3}, "abcc", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        FreeText(g_plugin.text.textCopy);
        g_plugin.text = TextSearchState{};
        doc = Document{};
        doc.AddLyrics(LyricsKind::Verse, 1, r.text);
        Options(r.search, r.replace, kLyrics);
        std::vector<int> positions;
        bool found = Start();
        while (found && positions.size() < 100) {
            positions.push_back(g_plugin.text.matchPosition);
            if (r.replaceAll) {
                ReplaceMatch();
            } else {
                g_plugin.text.lengthChange = 0;
            }
            found = Next();
        }
        EXPECT_EQ(positions, r.positions);
        EXPECT_EQ(doc.RecordText(host::kTagVerseLyrics, {1, 0, 0}).value_or("<absent>"), r.stored);
        EXPECT_EQ(g_plugin.text.replacedCounter, r.replaced);
    }
}

TEST_F(TextEngineTest, AMatchAtTheEndMovesOnToTheNextElement) {
    doc.AddLyrics(LyricsKind::Verse, 1, "abc");
    doc.AddLyrics(LyricsKind::Verse, 2, "c");
    Options("c", "", kLyrics);
    EXPECT_EQ(Run(), (std::vector<std::string>{MatchLine(7, 1, 0, 0, 2, "abc"), MatchLine(7, 2, 0, 0, 0, "c")}));
}

// "abc" with 'b' replaced by 'xyz': exactly one write, of the right record,
// with the right bytes; the records leading to a text block stay as they were.
TEST_F(TextEngineTest, WriteBackStoresTheTextWhereItWasRead) {
    struct Row {
        const char* what;
        std::function<void(Document&)> build;
        unsigned switches;
        std::uint32_t tag;  // the record written, or the element leading to a text block
        host::Key key;
        int idOffset;  // where the element holds its text block id; -1: the text is the record
        std::string expectedHex;
    };
    const std::string kText = "61 78 79 7A 63 00";  // "axyzc" and its terminator
    const Row rows[] = {
        {"page text block",
         [](Document& d) { d.AddPageText(2, "abc"); },
         kPage,
         host::kTagPageTextAssignment,
         {2, 0, 0},
         0,
         kText},
        {"measure text block",
         [](Document& d) {
             d.SetMeasureCount(3);
             d.AddStaff(1, "", "");
             d.AddMeasureText(1, 3, "abc");
         },
         kMeasure,
         host::kTagMeasureTextAssignment,
         {1, 3, 0},
         0,
         kText},
        {"abbreviated staff name",
         [](Document& d) { d.AddStaff(1, "none", "abc"); },
         kStaves,
         host::kTagStaff,
         {1, 0, 0},
         32,
         kText},
        {"full group name",
         [](Document& d) { d.AddGroup(0, 1, "abc", "none"); },
         kGroups,
         host::kTagGroup,
         {0, 1, 0},
         4,
         kText},
        {"text repeat",
         [](Document& d) { d.AddTextRepeat(1, "abc"); },
         kRepeats,
         host::kTagTextRepeatText,
         {1, 0, 0},
         -1,
         kText},
        {"ending repeat",
         [](Document& d) {
             d.SetMeasureCount(2);
             d.AddEnding(2, "abc");
         },
         kEndings,
         host::kTagEndingRepeatText,
         {2, 0, 0},
         -1,
         kText},
        {"chorus lyrics",
         [](Document& d) { d.AddLyrics(LyricsKind::Chorus, 4, "abc"); },
         kLyrics,
         host::kTagChorusLyrics,
         {4, 0, 0},
         -1,
         kText},
        {"section lyrics",
         [](Document& d) { d.AddLyrics(LyricsKind::Section, 1000, "abc"); },
         kLyrics,
         host::kTagSectionLyrics,
         {1000, 0, 0},
         -1,
         kText},
        {"expression: the header kept, 5 characters stored in 20 bytes, the two spare bytes zero",
         [](Document& d) {
             d.AddExpression(1, "abc", host::Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
         },
         kExpressions,
         host::kTagTextExpression,
         {1, 0, 0},
         -1,
         "01 02 03 04 05 06 07 08 09 0A 0B 0C " + kText + " 00 00"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        FreeText(g_plugin.text.textCopy);
        g_plugin.text = TextSearchState{};
        doc = Document{};
        r.build(doc);
        std::uint32_t tag = r.tag;
        host::Key key = r.key;
        if (r.idOffset >= 0) {
            // Element -> TextBlockRecord -> the text number written.
            const host::Bytes& element = *doc.Record(r.tag, r.key);
            const auto id = static_cast<std::int16_t>(element[r.idOffset] | element[r.idOffset + 1] << 8);
            const host::Bytes& block = *doc.Record(host::kTagTextBlock, {id, 0, 0});
            tag = host::kTagTextBlockText;
            key = {static_cast<std::int16_t>(block[0] | block[1] << 8), 0, 0};
        }
        const std::size_t recordsBefore = doc.RecordCount();
        host::ResetServices();
        host::AttachDocument(&doc);
        Options("b", "xyz", r.switches);
        ASSERT_TRUE(Start());
        ReplaceMatch();
        EXPECT_EQ(SaveCalls(), 1);
        EXPECT_EQ(Hex(doc.Record(tag, key)), r.expectedHex);
        EXPECT_EQ(doc.RecordCount(), recordsBefore) << "a record was added instead of rewritten";
        EXPECT_EQ(g_plugin.text.replacedCounter, 1);
        EXPECT_EQ(g_plugin.text.lengthChange, 2);
        EXPECT_STREQ(g_plugin.text.textCopy, "axyzc");
    }
}

// The spare bytes come out zero even where the loaded head held text.
TEST_F(TextEngineTest, ExpressionReplacedByNothingKeepsHeaderAndZeros) {
    doc.AddExpression(1, "abc", host::Bytes{0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC});
    Options("abc", "", kExpressions);
    ASSERT_TRUE(Start());
    ReplaceMatch();
    EXPECT_EQ(Hex(doc.Record(host::kTagTextExpression, {1, 0, 0})), "A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC 00 00 00");
}

TEST_F(TextEngineTest, RefusedWriteStillCounts) {
    doc.AddLyrics(LyricsKind::Verse, 1, "abc");
    Options("b", "x", kLyrics);
    ASSERT_TRUE(Start());
    host::RefuseRecordWrites(true);
    EXPECT_EQ(ReplaceMatch(), 0);
    host::RefuseRecordWrites(false);
    EXPECT_EQ(g_plugin.text.replacedCounter, 1);
    EXPECT_STREQ(g_plugin.text.textCopy, "axc");
    EXPECT_EQ(doc.RecordText(host::kTagVerseLyrics, {1, 0, 0}), "abc");
}

TEST_F(TextEngineTest, DisplayTextDropsTagsAndCorrectsForLeadingOnes) {
    struct Row {
        const char* text;
        int position;
        const char* display;
        int shown;
    };
    const Row rows[] = {
        {"^font(Times)Hello World", 18, "Hello World", 6},  // a leading tag moves the position
        {"Hello ^b(1)World", 11, "Hello World", 11},        // a later tag does not
        {"^a(1)^b(2)Hi", 10, "Hi", 0},                      // leading tags in a row
        {"a^^x(1)b", 7, "a^b", 7},                          // the first of two carets stays
        {"5^ and more", 1, "5^ and more", 1},               // no tag at all
        {"^f(x", 0, "^f(x", 0},                             // a "(" without ")"
        {"^font(x)", 1, "", -7},                            // a match inside a leading tag falls before the start
        {"", 0, "", 0},
    };
    for (const Row& r : rows) {
        FreeText(g_plugin.text.textCopy);
        g_plugin.text.textCopy = AllocText(std::strlen(r.text) + 1);
        std::strcpy(g_plugin.text.textCopy, r.text);
        std::int16_t position = static_cast<std::int16_t>(r.position);
        char* display = MakeDisplayText(&position);
        ASSERT_NE(display, nullptr) << r.text;
        EXPECT_STREQ(display, r.display) << r.text;
        EXPECT_EQ(position, r.shown) << r.text;
        FreeText(display);
    }
}

// Every allocation that can fail after a match: nothing is corrupted,
// nothing leaks, and no null copy is read.
TEST_F(TextEngineTest, AllocationFailuresAfterAMatch) {
    // The heap copy of the matching text (allocation 2: 1 is the read).
    doc.AddLyrics(LyricsKind::Verse, 1, "abab");
    doc.AddLyrics(LyricsKind::Verse, 2, "b");
    Options("b", "x", kLyrics);
    sim::FailHeapAllocAt(2);
    ASSERT_TRUE(Start());
    EXPECT_EQ(g_plugin.text.textCopy, nullptr);
    EXPECT_EQ(g_plugin.text.matchPosition, 1);
    std::int16_t position = 5;
    EXPECT_EQ(MakeDisplayText(&position), nullptr);
    EXPECT_EQ(position, 5);
    EXPECT_EQ(ReplaceMatch(), 0);
    EXPECT_EQ(g_plugin.text.replacedCounter, 0);
    EXPECT_EQ(SaveCalls(), 0);
    EXPECT_FALSE(FindNextInText());
    ASSERT_TRUE(StepElement() && SearchFromElement()) << "the walk goes on with the next element";
    EXPECT_EQ(CurrentMatch(), MatchLine(7, 2, 0, 0, 0, "b"));

    // The duplicate FindNextInText searches: no further match in this text.
    FreeText(g_plugin.text.textCopy);
    g_plugin.text = TextSearchState{};
    ASSERT_TRUE(Start());
    sim::FailHeapAllocAt(1);
    EXPECT_FALSE(FindNextInText());
    EXPECT_STREQ(g_plugin.text.textCopy, "abab");

    // The rebuilt text: nothing changes, and the search goes on right after
    // the match whatever an earlier replacement left in lengthChange.
    g_plugin.text.lengthChange = -1;
    sim::FailHeapAllocAt(1);
    EXPECT_EQ(ReplaceMatch(), 0);
    EXPECT_STREQ(g_plugin.text.textCopy, "abab");
    EXPECT_EQ(g_plugin.text.replacedCounter, 0);
    EXPECT_EQ(SaveCalls(), 0);
    ASSERT_TRUE(FindNextInText());
    EXPECT_EQ(g_plugin.text.matchPosition, 3);

    // The display text: null, position unchanged.
    sim::FailHeapAllocAt(1);
    position = 3;
    EXPECT_EQ(MakeDisplayText(&position), nullptr);
    EXPECT_EQ(position, 3);
}

// Out of memory for the expression's record is out of memory for the
// replacement: nothing is stored, counted or changed in the copy, so the
// summary never counts a text the document did not get.
TEST_F(TextEngineTest, ExpressionBufferFailureChangesNothing) {
    doc.AddExpression(1, "abc");
    const host::Bytes before = *doc.Record(host::kTagTextExpression, {1, 0, 0});
    Options("b", "x", kExpressions);
    ASSERT_TRUE(Start());
    sim::FailHeapAllocAt(2);  // 1 is the rebuilt text, 2 the record buffer
    EXPECT_EQ(ReplaceMatch(), 0);
    EXPECT_EQ(SaveCalls(), 0);
    EXPECT_EQ(*doc.Record(host::kTagTextExpression, {1, 0, 0}), before);
    EXPECT_EQ(g_plugin.text.replacedCounter, 0);
    EXPECT_STREQ(g_plugin.text.textCopy, "abc");
    EXPECT_EQ(g_plugin.text.lengthChange, 0);
    EXPECT_EQ(sim::LiveHeapBlocks(), 1);  // the copy alone
}

// Lengths are 16-bit: long texts are searched, but a text of 32767 bytes
// or more, or one a replacement would make so long, is never rewritten.
TEST_F(TextEngineTest, LongTextsAreSearchedButNotRewritten) {
    struct Row {
        const char* what;
        std::string text;
        const char* search;
        const char* replace;
        int position;  // -1: no match
        bool rewritten;
    };
    const Row rows[] = {
        {"40000 bytes, match near the start", std::string(10, '-') + "b" + std::string(39989, '-'), "b", "x", 10,
         false},
        {"32767 bytes", "b" + std::string(32766, '-'), "b", "", 0, false},
        {"32766 bytes growing to 32767", "b" + std::string(32765, '-'), "b", "bb", 0, false},
        {"32765 bytes growing to 32766", "b" + std::string(32764, '-'), "b", "bb", 0, true},
        {"32766 bytes shrinking", std::string(32765, '-') + "b", "b", "", 32765, true},
        {"a match beyond offset 32767 cannot be reported", std::string(35000, '-') + "b", "b", "x", -1, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        for (unsigned kind : {kLyrics, kExpressions, kPage}) {
            FreeText(g_plugin.text.textCopy);
            g_plugin.text = TextSearchState{};
            doc = Document{};
            if (kind == kLyrics) doc.AddLyrics(LyricsKind::Verse, 1, r.text);
            if (kind == kExpressions) doc.AddExpression(1, r.text);
            if (kind == kPage) doc.AddPageText(0, r.text);
            host::ResetServices();
            host::AttachDocument(&doc);
            Options(r.search, r.replace, kind);
            const bool found = Start();
            ASSERT_EQ(found ? g_plugin.text.matchPosition : -1, r.position) << "kind switch " << kind;
            if (!found) continue;
            const std::int16_t counted = g_plugin.text.replacedCounter;
            ReplaceMatch();
            EXPECT_EQ(SaveCalls(), r.rewritten ? 1 : 0) << "kind switch " << kind;
            EXPECT_EQ(g_plugin.text.replacedCounter - counted, r.rewritten ? 1 : 0) << "kind switch " << kind;
            if (!r.rewritten) {
                EXPECT_EQ(std::string(g_plugin.text.textCopy), r.text) << "kind switch " << kind;
                EXPECT_EQ(g_plugin.text.lengthChange, 0);
            }
        }
    }
}

TEST_F(TextEngineTest, LoneCaretsBeforeAnUnclosedParenthesisArePlainText) {
    std::string text;
    for (int i = 0; i < 16000; ++i) text += "^a";
    text += "(";  // a "(" at the very end, with no ")" after it
    text += "needle";
    doc.AddLyrics(LyricsKind::Verse, 1, text);
    Options("needle", "", kLyrics);
    ASSERT_TRUE(Start());
    EXPECT_EQ(g_plugin.text.matchPosition, 32001);
}

}  // namespace
}  // namespace text_engine_test
