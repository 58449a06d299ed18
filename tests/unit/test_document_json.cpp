// Reading score documents: refusals that name the JSON path, the records each
// semantic section lays out, and the host's text block allocation.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "host/document/document.h"

namespace {

using host::Bytes;
using host::Document;
using host::Key;

Document Parse(const std::string& json) {
    Document d;
    std::string error;
    EXPECT_TRUE(Document::FromJson(json, &d, &error)) << error;
    return d;
}

int Int16At(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// ---- Refusals ---------------------------------------------------------------

struct RefusalCase {
    std::string json;
    const char* error;  // the whole message
};

TEST(DocumentJsonRefusals, NameThePathAndWhatWasExpected) {
    const std::string frame = R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": )";
    const RefusalCase cases[] = {
        // unknown key at the top and inside an item
        {R"({"colour": 1})", "$.colour: unknown key"},
        {R"({"pageTexts": [{"page": 0, "text": "a", "font": "x"}]})", "$.pageTexts[0].font: unknown key"},
        // a tag that is neither four characters nor hex, and broken hex
        {R"({"records": [{"tag": "abc", "key": [1], "size": 1}]})",
         "$.records[0].tag: expected four characters or a \"0x\" hex number, not \"abc\""},
        {R"({"records": [{"tag": "0xZZ", "key": [1], "size": 1}]})",
         "$.records[0].tag: expected four characters or a \"0x\" hex number, not \"0xZZ\""},
        // wrong types
        {(frame + R"([{}, {}, {"duration": "long"}]}]})"), "$.frames[0].entries[2].duration: expected an integer"},
        {R"({"measures": 1.5})", "$.measures: expected an integer"},
        {R"({"staves": [{"number": 1, "full": 7}]})", "$.staves[0].full: expected a string"},
        {R"({"layers": {"toggle": 1}})", "$.layers.toggle: expected true or false"},
        {R"({"menu": 1})", "$.menu: expected null (a host window without a menu bar)"},
        {R"([1])", "$: expected an object"},
        // keys and fields beyond 16 bits, positions beyond 32 bits, layers beyond 3
        {R"({"staves": [{"number": 40000}]})", "$.staves[0].number: 40000 is out of range (-32768 to 32767)"},
        {R"({"records": [{"tag": "lbxt", "key": [-32769], "text": ""}]})",
         "$.records[0].key[0]: -32769 is out of range (-32768 to 32767)"},
        {(frame + R"([{"position": 2147483648}]}]})"),
         "$.frames[0].entries[0].position: 2147483648 is out of range (-2147483648 to 2147483647)"},
        {R"({"frames": [{"staff": 1, "measure": 1, "layer": 4}]})", "$.frames[0].layer: 4 is out of range (0 to 3)"},
        {(frame + R"([{"flagsB": "0x10000"}]}]})"),
         "$.frames[0].entries[0].flagsB: 0x10000 is out of range (0 to 65535)"},
        {(frame + R"([{"flagsA": "0xG"}]}]})"),
         "$.frames[0].entries[0].flagsA: expected an integer or a \"0x\" hex string"},
        // thirteen notes do not fit an entry
        {(frame + R"([{"notes": [{},{},{},{},{},{},{},{},{},{},{},{},{}]}]}]})"),
         "$.frames[0].entries[0].notes: an entry holds at most 12 notes"},
        // more key numbers than the tag has, a header that is not 12 bytes
        {R"({"records": [{"tag": "lbxt", "key": [1, 2], "text": "x"}]})",
         "$.records[0].key: expected 1 to 1 key numbers for lbxt"},
        {R"({"expressions": [{"number": 1, "text": "a", "header": "0001"}]})",
         "$.expressions[0].header: expected 12 bytes"},
        {R"({"records": [{"tag": "lbxt", "key": [1], "hex": "0"}]})",
         "$.records[0].hex: expected pairs of hex digits (spaces allowed)"},
        // missing, doubled and ambiguous values
        {R"({"pageTexts": [{"page": 0}]})", "$.pageTexts[0]: missing \"text\""},
        {R"({"staves": [{"number": 1}, {"number": 1}]})", "$.staves[1].number: staff 1 is given twice"},
        {R"({"frames": [{"staff": 1, "measure": 1, "layer": 0}, {"staff": 1, "measure": 1, "layer": 0}]})",
         "$.frames[1]: this staff, measure and layer is given twice"},
        {R"({"records": [{"tag": "lbxt", "key": [1], "text": "a", "size": 2}]})",
         "$.records[0]: expected exactly one of \"text\", \"hex\" and \"size\""},
        {R"({"measures": 2, "measures": 3})", "$.measures: key given twice"},
        {R"({"lyrics": {"verse": [{"number": 1, "text": "a", "text": "b"}]}})",
         "$.lyrics.verse[0].text: key given twice"},
        // a zero inside a text would cut it short without a word
        {R"({"pageTexts": [{"page": 0, "text": "a\u0000b"}]})",
         "$.pageTexts[0].text: a text cannot hold a zero byte (use a raw record)"},
        {R"({"screen": [1024]})", "$.screen: expected [width, height]"},
        {R"({"menu": null, "layers": {}})", "$.layers: a host window without a menu bar has no layer menu"},
    };
    for (const RefusalCase& c : cases) {
        Document d;
        std::string error;
        EXPECT_FALSE(Document::FromJson(c.json, &d, &error)) << c.json;
        EXPECT_EQ(error, c.error) << c.json;
    }
}

TEST(DocumentJsonRefusals, SyntaxErrorsGiveLineAndColumn) {
    Document d;
    std::string error;
    EXPECT_FALSE(Document::FromJson("{\n  \"measures\": 4,\n  oops\n}", &d, &error));
    EXPECT_EQ(error.rfind("line 3, column 3: syntax error", 0), 0u) << error;
}

TEST(DocumentJsonRefusals, NothingIsHalfApplied) {
    Document d = Parse(R"({"expressions": [{"number": 1, "text": "kept"}], "screen": [800, 600]})");
    std::string error;
    // The first sections are fine; the frame at the end is not.
    EXPECT_FALSE(Document::FromJson(
        R"({"expressions": [{"number": 2, "text": "new"}], "screen": [640, 480], "frames": [{"staff": 1}]})", &d,
        &error));
    EXPECT_EQ(error, "$.frames[0]: missing \"measure\"");
    EXPECT_EQ(d.RecordText(host::kTagTextExpression, Key{1, 0, 0}), "kept");
    EXPECT_EQ(d.Record(host::kTagTextExpression, Key{2, 0, 0}), nullptr);
    EXPECT_EQ(d.screenWidth, 800);
}

TEST(DocumentJsonRefusals, LoadNamesTheFile) {
    const std::string path = ::testing::TempDir() + "orvo_bad_document.json";
    std::ofstream(path) << "{\"staves\": [{\"number\": \"one\"}]}";
    Document d;
    std::string error;
    EXPECT_FALSE(Document::Load(path, &d, &error));
    EXPECT_EQ(error, path + ": $.staves[0].number: expected an integer");
    std::remove(path.c_str());
    EXPECT_FALSE(Document::Load(path, &d, &error));
    EXPECT_EQ(error, path + ": cannot be opened");
}

// ---- Layout of the semantic sections ---------------------------------------

// Items are given out of order on purpose: ids follow the documented order,
// not the file's.
const char* kLayoutDocument = R"({
  "pageTexts": [{"page": 2, "text": "B"}, {"page": 0, "text": "A"}, {"page": 2, "text": "C"}],
  "measureTexts": [{"staff": 2, "measure": 1, "text": "M21"}, {"staff": 1, "measure": 3, "text": "M13a"},
                   {"staff": 1, "measure": 3, "text": "M13b"}],
  "staves": [{"number": 2, "full": "Viola", "abbreviated": "Vla."}, {"number": 1, "full": "Violin", "abbreviated": "Vln."}],
  "groups": [{"system": 1, "number": 1, "full": "Strings", "abbreviated": "Str."},
             {"system": 0, "number": 1, "full": "All", "abbreviated": "A"}],
  "expressions": [{"number": 3, "text": "dolce", "header": "0102 0304 0506 0708 090A 0B0C"}],
  "textRepeats": [{"number": 1, "text": "D.C."}],
  "endings": [{"measure": 6, "text": "1."}],
  "lyrics": {"verse": [{"number": 1, "text": "La"}], "chorus": [{"number": 2, "text": "Ch"}],
             "section": [{"number": 3, "text": "Se"}]},
  "staffSystems": 2
})";

struct FieldCase {
    std::uint32_t tag;
    Key key;
    std::size_t size;
    std::size_t offsets[2];  // 16-bit fields that hold ids; every other byte is zero
    int values[2];
};

TEST(DocumentLayout, RecordsOfEachSection) {
    const Document d = Parse(kLayoutDocument);
    constexpr std::size_t kNone = 999;
    const FieldCase cases[] = {
        // page texts: by page, then file order on the page
        {host::kTagPageTextAssignment, {0, 0, 0}, 24, {0, kNone}, {1, 0}},
        {host::kTagPageTextAssignment, {2, 0, 0}, 24, {0, kNone}, {2, 0}},
        {host::kTagPageTextAssignment, {2, 1, 0}, 24, {0, kNone}, {3, 0}},
        // measure texts: by staff, measure, then index
        {host::kTagMeasureTextAssignment, {1, 3, 0}, 10, {0, kNone}, {4, 0}},
        {host::kTagMeasureTextAssignment, {1, 3, 1}, 10, {0, kNone}, {5, 0}},
        {host::kTagMeasureTextAssignment, {2, 1, 0}, 10, {0, kNone}, {6, 0}},
        // staves by number, full name's block first
        {host::kTagStaff, {1, 0, 0}, 36, {30, 32}, {7, 8}},
        {host::kTagStaff, {2, 0, 0}, 36, {30, 32}, {9, 10}},
        // groups: the global staff set before system 1
        {host::kTagGroup, {0, 1, 0}, 30, {4, 22}, {11, 12}},
        {host::kTagGroup, {1, 1, 0}, 30, {4, 22}, {13, 14}},
        // a text block points at its text, id and number going together
        {host::kTagTextBlock, {1, 0, 0}, 48, {0, kNone}, {1, 0}},
        {host::kTagTextBlock, {14, 0, 0}, 48, {0, kNone}, {14, 0}},
        // records that carry nothing but their existence
        {host::kTagTextRepeat, {1, 0, 0}, 16, {kNone, kNone}, {0, 0}},
        {host::kTagEndingRepeat, {6, 0, 0}, 28, {kNone, kNone}, {0, 0}},
        {host::kTagMeasure, {1, 0, 0}, 12, {kNone, kNone}, {0, 0}},
        {host::kTagMeasure, {6, 0, 0}, 12, {kNone, kNone}, {0, 0}},  // the ending's measure is the highest used
        {host::kTagStaffSystem, {2, 0, 0}, 20, {kNone, kNone}, {0, 0}},
    };
    for (const FieldCase& c : cases) {
        const std::string where = host::TagName(c.tag) + " " + std::to_string(c.key[0]) + " " +
                                  std::to_string(c.key[1]) + " " + std::to_string(c.key[2]);
        const Bytes* record = d.Record(c.tag, c.key);
        ASSERT_NE(record, nullptr) << where;
        ASSERT_EQ(record->size(), c.size) << where;
        Bytes expected(c.size, 0);
        for (int f = 0; f < 2; ++f) {
            if (c.offsets[f] == kNone) continue;
            expected[c.offsets[f]] = static_cast<std::uint8_t>(c.values[f]);
            EXPECT_EQ(Int16At(*record, c.offsets[f]), c.values[f]) << where << " offset " << c.offsets[f];
        }
        EXPECT_EQ(*record, expected) << where;
    }
    EXPECT_EQ(d.Record(host::kTagMeasure, Key{7, 0, 0}), nullptr);
    EXPECT_EQ(d.Record(host::kTagStaffSystem, Key{3, 0, 0}), nullptr);
    EXPECT_EQ(d.Record(host::kTagTextBlock, Key{15, 0, 0}), nullptr);
}

struct TextCase {
    std::uint32_t tag;
    Key key;
    const char* text;
};

TEST(DocumentLayout, TextsEndWithTheirZero) {
    const Document d = Parse(kLayoutDocument);
    const TextCase cases[] = {
        {host::kTagTextBlockText, {1, 0, 0}, "A"},     {host::kTagTextBlockText, {3, 0, 0}, "C"},
        {host::kTagTextBlockText, {4, 0, 0}, "M13a"},  {host::kTagTextBlockText, {6, 0, 0}, "M21"},
        {host::kTagTextBlockText, {8, 0, 0}, "Vln."},  {host::kTagTextBlockText, {9, 0, 0}, "Viola"},
        {host::kTagTextBlockText, {11, 0, 0}, "All"},  {host::kTagTextBlockText, {14, 0, 0}, "Str."},
        {host::kTagTextRepeatText, {1, 0, 0}, "D.C."}, {host::kTagEndingRepeatText, {6, 0, 0}, "1."},
        {host::kTagVerseLyrics, {1, 0, 0}, "La"},      {host::kTagChorusLyrics, {2, 0, 0}, "Ch"},
        {host::kTagSectionLyrics, {3, 0, 0}, "Se"},
    };
    for (const TextCase& c : cases) {
        const Bytes* record = d.Record(c.tag, c.key);
        ASSERT_NE(record, nullptr) << host::TagName(c.tag) << " " << c.key[0];
        Bytes expected(c.text, c.text + std::strlen(c.text) + 1);
        EXPECT_EQ(*record, expected) << host::TagName(c.tag) << " " << c.key[0];
    }
    // The expression: its 12-byte header, then the text and its zero.
    const Bytes* expression = d.Record(host::kTagTextExpression, Key{3, 0, 0});
    ASSERT_NE(expression, nullptr);
    const Bytes expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 'd', 'o', 'l', 'c', 'e', 0};
    EXPECT_EQ(*expression, expected);
    EXPECT_EQ(d.RecordText(host::kTagTextExpression, Key{3, 0, 0}), "dolce");
}

TEST(DocumentLayout, RawRecordsAddAndOverride) {
    const Document d = Parse(R"({
      "expressions": [{"number": 1, "text": "Allegro"}],
      "records": [{"tag": "lbxt", "key": [9], "text": "raw text"},
                  {"tag": "0x534F5458", "key": [7, 0], "hex": "0900 0000"},
                  {"tag": "TDOS", "key": [1], "size": 3},
                  {"tag": "zzzz", "key": [1, 2, 3], "hex": "FF"}]})");
    EXPECT_EQ(*d.Record(host::kTagTextBlockText, Key{9, 0, 0}), Bytes({'r', 'a', 'w', ' ', 't', 'e', 'x', 't', 0}));
    EXPECT_EQ(*d.Record(host::kTagTextBlock, Key{7, 0, 0}), Bytes({9, 0, 0, 0}));
    EXPECT_EQ(*d.Record(host::kTagTextExpression, Key{1, 0, 0}), Bytes(3, 0));  // overridden
    EXPECT_EQ(*d.Record(*host::ParseTag("zzzz"), Key{1, 2, 3}), Bytes({0xFF}));
    EXPECT_EQ(d.RecordCount(), 4u);
}

TEST(DocumentLayout, FramesScreenAndLayers) {
    const Document d = Parse(R"({
      "screen": [800, 600], "layers": {"toggle": true, "visible": [true, false, true, false], "submenuAt": 17},
      "frames": [{"staff": 2, "measure": 5, "layer": 3, "entries": [
        {"position": 3072, "duration": 1024, "flagsA": "0x84000001", "flagsB": 32,
         "notes": [{"displacement": -3, "raiseLower": 1, "flags": "0x02000000"}, {"displacement": 4}]},
        {"noteCount": 20}]}]})");
    EXPECT_EQ(d.screenWidth, 800);
    EXPECT_EQ(d.screenHeight, 600);
    EXPECT_TRUE(d.layers.present);
    EXPECT_TRUE(d.layers.toggle);
    EXPECT_FALSE(d.layers.visible[1]);
    EXPECT_EQ(d.layers.submenuAt, 17);
    // The frame's measure counts as used: measure records 1..5.
    EXPECT_NE(d.Record(host::kTagMeasure, Key{5, 0, 0}), nullptr);
    EXPECT_EQ(d.Record(host::kTagMeasure, Key{6, 0, 0}), nullptr);

    const auto& frames = d.Frames();
    ASSERT_EQ(frames.size(), 1u);
    const auto& entries = frames.begin()->second;
    EXPECT_EQ(frames.begin()->first, (host::FrameKey{2, 5, 3}));
    ASSERT_EQ(entries.size(), 2u);
    EntryRecord expected{};
    expected.position = 3072;
    expected.duration = 1024;
    expected.flagsA = 0x84000001;
    expected.flagsB = 32;
    expected.noteCount = 2;
    expected.notes[0].displacement = -3;
    expected.notes[0].raiseLower = 1;
    expected.notes[0].flags = 0x02000000;
    expected.notes[1].displacement = 4;
    EXPECT_EQ(std::memcmp(&entries[0], &expected, sizeof expected), 0);
    EXPECT_EQ(entries[1].noteCount, 20);  // a damaged count, as a test asked for

    const Document noMenu = Parse(R"({"menu": null})");
    EXPECT_FALSE(noMenu.layers.present);
    const Document empty = Parse("{}");
    EXPECT_EQ(empty.RecordCount(), 0u);
    EXPECT_EQ(empty.screenWidth, 1024);
    EXPECT_EQ(empty.screenHeight, 768);
    EXPECT_TRUE(empty.layers.present);
}

// ---- Builders, keys and tags -----------------------------------------------

TEST(DocumentBuilders, AllocateIdsAndIndexesInCallOrder) {
    Document d;
    d.AddPageText(1, "one");
    d.AddPageText(1, "two");
    d.AddStaff(1, "Flute", "Fl.");
    d.AddMeasureText(1, 1, "m");
    const Bytes* second = d.Record(host::kTagPageTextAssignment, Key{1, 1, 0});
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Int16At(*second, 0), 2);
    const Bytes* staff = d.Record(host::kTagStaff, Key{1, 0, 0});
    ASSERT_NE(staff, nullptr);
    EXPECT_EQ(Int16At(*staff, 30), 3);
    EXPECT_EQ(Int16At(*staff, 32), 4);
    EXPECT_EQ(Int16At(*d.Record(host::kTagMeasureTextAssignment, Key{1, 1, 0}), 0), 5);
    EXPECT_EQ(d.RecordText(host::kTagTextBlockText, Key{4, 0, 0}), "Fl.");
}

TEST(DocumentKeys, FieldsBeyondTheTagsCountAreNotPartOfTheKey) {
    Document d;
    d.SetRecord(host::kTagTextBlockText, Key{5, 77, 77}, Bytes{'x', 0});
    EXPECT_NE(d.Record(host::kTagTextBlockText, Key{5, 0, 0}), nullptr);
    EXPECT_NE(d.Record(host::kTagTextBlockText, Key{5, -1, 3}), nullptr);
    d.SetRecord(host::kTagGroup, Key{0, 1, 0}, Bytes(30, 0));
    EXPECT_EQ(d.Record(host::kTagGroup, Key{0, 1, 7}), nullptr);  // groups read all three
    EXPECT_TRUE(d.EraseRecord(host::kTagTextBlockText, Key{5, 9, 9}));
    EXPECT_EQ(d.RecordCount(), 1u);

    struct {
        std::uint32_t tag;
        int fields;
    } const counts[] = {
        {host::kTagTextBlockText, 1},
        {host::kTagVerseLyrics, 1},
        {host::kTagChorusLyrics, 1},
        {host::kTagSectionLyrics, 1},
        {host::kTagMeasureTextAssignment, 3},
        {host::kTagGroup, 3},
        {host::kTagPageTextAssignment, 2},
        {host::kTagStaff, 2},
        {host::kTagEndingRepeatText, 2},
        {host::kTagMeasure, 2},
        {0x01020304, 3},  // unknown tags keep all three
    };
    for (const auto& c : counts) EXPECT_EQ(Document::KeyFields(c.tag), c.fields) << host::TagName(c.tag);
}

TEST(DocumentKeys, TagsAsTextAndBack) {
    struct {
        const char* text;
        std::optional<std::uint32_t> tag;
        const char* name;  // how the tag is written back
    } const cases[] = {
        {"lbxt", 0x7478626C, "lbxt"},              // four characters in memory order
        {"0x534F5458", 0x534F5458, "XTOS"},        // hex of a printable tag is written as characters
        {"0x4F027054", 0x4F027054, "0x4F027054"},  // a byte that is not printable keeps hex
        {"0x1F", 0x1F, "0x0000001F"},
        {"0x3178", 0x3178, "0x00003178"},
        {"0x42417830", 0x42417830, "0x42417830"},  // spells "0xAB", which would read back as hex
        {"abc", std::nullopt, ""},
        {"0x123456789", std::nullopt, ""},
        {"abcde", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(host::ParseTag(c.text), c.tag) << c.text;
        if (c.tag) {
            EXPECT_EQ(host::TagName(*c.tag), c.name) << c.text;
        }
    }
}

TEST(DocumentKeys, NextKeyIsSignedFieldByField) {
    Document d;
    for (Key k : {Key{0, 1, 0}, Key{1, 0, 0}, Key{-1, 3, 0}, Key{0, 0, 0}})
        d.SetRecord(host::kTagPageTextAssignment, k, Bytes(24, 0));
    std::vector<Key> order;
    Key at{INT16_MIN, INT16_MIN, 0};
    while (auto next = d.NextKey(host::kTagPageTextAssignment, at)) order.push_back(at = *next);
    const std::vector<Key> expected = {{-1, 3, 0}, {0, 0, 0}, {0, 1, 0}, {1, 0, 0}};
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(d.NextKey(host::kTagStaff, Key{0, 0, 0}).has_value());
}

}  // namespace
