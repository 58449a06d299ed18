// Writing a document back: what the plug-in changed shows in the sections the
// user wrote, and reading the result gives every record and frame byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "host/document/document.h"

namespace {

using host::Bytes;
using host::Document;
using host::Key;

const char* kScore = R"({
  "screen": [800, 600],
  "layers": {"toggle": true, "visible": [true, false, true, true]},
  "pageTexts": [{"page": 0, "text": "^font(Times)Sonata"}, {"page": 0, "text": "Credits"}, {"page": 3, "text": "p3"}],
  "measureTexts": [{"staff": 1, "measure": 2, "text": "dolce"}, {"staff": 2, "measure": 1, "text": "pizz."}],
  "expressions": [{"number": 1, "text": "Allegro"}, {"number": 2, "text": "cresc."}],
  "staves": [{"number": 1, "full": "Violin", "abbreviated": "Vln."}, {"number": 2, "full": "Cello", "abbreviated": "Vc."}],
  "staffSystems": 1,
  "groups": [{"system": 0, "number": 1, "full": "Strings", "abbreviated": "Str."}],
  "textRepeats": [{"number": 1, "text": "D.C. al Fine"}],
  "endings": [{"measure": 4, "text": "1."}],
  "lyrics": {"verse": [{"number": 1, "text": "Glo-ry"}], "section": [{"number": 5, "text": "Amen"}]},
  "frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
      {"position": 0, "duration": 1024, "flagsA": "0xC4000001", "notes": [{"displacement": 2}, {"displacement": 4}]}]}]
})";

Document Load(const std::string& json) {
    Document d;
    std::string error;
    EXPECT_TRUE(Document::FromJson(json, &d, &error)) << error;
    return d;
}

std::string Describe(std::uint32_t tag, const Key& key) {
    return host::TagName(tag) + " [" + std::to_string(key[0]) + ", " + std::to_string(key[1]) + ", " +
           std::to_string(key[2]) + "]";
}

// Same records byte for byte, same frames, same window.
void ExpectSame(const Document& got, const Document& expected, const std::string& json) {
    for (const auto& [tag, byKey] : expected.AllRecords())
        for (const auto& [key, bytes] : byKey) {
            const Bytes* other = got.Record(tag, key);
            EXPECT_TRUE(other && *other == bytes) << Describe(tag, key) << (other ? " differs" : " is missing");
        }
    EXPECT_EQ(got.RecordCount(), expected.RecordCount()) << json;
    ASSERT_EQ(got.Frames().size(), expected.Frames().size());
    for (const auto& [key, entries] : expected.Frames()) {
        const auto found = got.Frames().find(key);
        ASSERT_NE(found, got.Frames().end());
        ASSERT_EQ(found->second.size(), entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i)
            EXPECT_EQ(std::memcmp(&found->second[i], &entries[i], sizeof(EntryRecord)), 0)
                << "frame " << key.staff << " " << key.measure << " " << key.layer << " entry " << i;
    }
    EXPECT_EQ(got.screenWidth, expected.screenWidth);
    EXPECT_EQ(got.screenHeight, expected.screenHeight);
    EXPECT_EQ(got.layers.present, expected.layers.present);
    if (!expected.layers.present) return;  // no menu bar, no layer items
    EXPECT_EQ(got.layers.toggle, expected.layers.toggle);
    EXPECT_EQ(std::memcmp(got.layers.visible, expected.layers.visible, sizeof got.layers.visible), 0);
    EXPECT_EQ(got.layers.submenuAt, expected.layers.submenuAt);
}

// Writes, reads back, compares; the second writing must equal the first.
std::string RoundTrip(const Document& d) {
    const std::string json = d.ToJson();
    Document back;
    std::string error;
    EXPECT_TRUE(Document::FromJson(json, &back, &error)) << error << "\n" << json;
    ExpectSame(back, d, json);
    EXPECT_EQ(back.ToJson(), json);
    return json;
}

Bytes Text(const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

bool Contains(const std::string& json, const std::string& part) { return json.find(part) != std::string::npos; }

struct ChangeCase {
    const char* what;
    std::function<void(Document&)> change;
    const char* shown;  // in the written document
    bool raw;           // whether a "records" section is needed
};

TEST(DocumentRoundTrip, ChangedDocumentsComeBackByteForByte) {
    const ChangeCase cases[] = {
        {"nothing changed: semantic sections only", [](Document&) {}, R"("text": "Credits")", false},
        {"the plug-in replaced a staff name: shown in its staff",
         [](Document& d) {
             d.SetRecord(host::kTagTextBlockText, Key{6, 0, 0}, Text("Violino"));
         },
         R"({"number": 1, "full": "Violino", "abbreviated": "Vln."})", false},
        {"a replaced expression keeps its place",
         [](Document& d) {
             Bytes record(12, 0);
             const Bytes text = Text("Allegro vivace");
             record.insert(record.end(), text.begin(), text.end());
             d.SetRecord(host::kTagTextExpression, Key{1, 0, 0}, record);
         },
         R"({"number": 1, "text": "Allegro vivace"})", false},
        {"a changed expression header travels as \"header\"",
         [](Document& d) {
             (*const_cast<Bytes*>(d.Record(host::kTagTextExpression, Key{2, 0, 0})))[0] = 0xAB;
         },
         R"("header": "AB00 0000 0000 0000 0000 0000")", false},
        {"a text with bytes after its zero needs a raw record",
         [](Document& d) {
             d.SetRecord(host::kTagTextRepeatText, Key{1, 0, 0}, Bytes{'D', 0, 'x', 'y'});
         },
         R"({"tag": "TRso", "key": [1, 0], "hex": "4400 7879"})", true},
        {"8-bit text that is not UTF-8: readable, and exact as hex",
         [](Document& d) {
             d.SetRecord(host::kTagVerseLyrics, Key{1, 0, 0}, Bytes{'C', 'a', 'f', 0xE9, 0});
         },
         R"({"tag": "evxt", "key": [1], "hex": "4361 66E9 00"})", true},
        {"UTF-8 text is written as it is",
         [](Document& d) {
             d.SetRecord(host::kTagTextBlockText, Key{1, 0, 0}, Text("Caf\xC3\xA9"));
         },
         "\"text\": \"Caf\xC3\xA9\"", false},
        {"every byte value in a raw record",
         [](Document& d) {
             Bytes all;
             for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
             d.SetRecord(0x01020304, Key{-1, 2, -3}, all);
         },
         R"("tag": "0x01020304", "key": [-1, 2, -3], "hex": "0001 0203)", true},
        {"an empty record and a zero-filled one",
         [](Document& d) {
             d.SetRecord(host::kTagTextBlockText, Key{40, 0, 0}, Bytes{});
             d.SetRecord(*host::ParseTag("abcd"), Key{1, 0, 0}, Bytes(5, 0));
         },
         R"({"tag": "abcd", "key": [1, 0, 0], "size": 5})", true},
        {"a staff pointing at another block is written raw",
         [](Document& d) {
             Bytes staff(36, 0);
             staff[30] = 1;  // the first page text's block
             staff[32] = 99;
             d.SetRecord(host::kTagStaff, Key{3, 0, 0}, staff);
         },
         R"({"tag": "SIOS", "key": [3, 0], "hex")", true},
        {"a gap in the page text indexes",
         [](Document& d) {
             d.EraseRecord(host::kTagPageTextAssignment, Key{0, 0, 0});
         },
         R"({"tag": "0x4F027054", "key": [0, 1], "hex": "0200)", true},
        {"a text block without its text: later blocks shift, all is still kept",
         [](Document& d) {
             d.EraseRecord(host::kTagTextBlockText, Key{2, 0, 0});
         },
         R"("records")", true},
        {"a gap in the measure records",
         [](Document& d) {
             d.EraseRecord(host::kTagMeasure, Key{2, 0, 0});
         },
         R"("measures": 1)", true},
        {"an expression shorter than its header",
         [](Document& d) {
             d.SetRecord(host::kTagTextExpression, Key{2, 0, 0}, Bytes{1, 2, 3});
         },
         R"({"tag": "TDOS", "key": [2, 0], "hex": "0102 03"})", true},
        {"a text repeat without its text",
         [](Document& d) {
             d.EraseRecord(host::kTagTextRepeatText, Key{1, 0, 0});
         },
         R"({"tag": "SROS", "key": [1, 0], "size": 16})", true},
        {"a text with no zero at all",
         [](Document& d) {
             d.SetRecord(host::kTagEndingRepeatText, Key{4, 0, 0}, Bytes{'1', '.'});
         },
         R"({"tag": "TEso", "key": [4, 0], "hex": "312E"})", true},
        {"no menu bar, another screen",
         [](Document& d) {
             d.layers.present = false;
             d.screenWidth = 640;
         },
         R"("menu": null)", false},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.what);
        Document d = Load(kScore);
        c.change(d);
        const std::string json = RoundTrip(d);
        EXPECT_TRUE(Contains(json, c.shown)) << "expected " << c.shown << " in\n" << json;
        EXPECT_EQ(Contains(json, "\"records\""), c.raw) << json;
    }
}

TEST(DocumentRoundTrip, NonUtf8TextStaysInItsSection) {
    Document d = Load(kScore);
    d.SetRecord(host::kTagTextBlockText, Key{6, 0, 0}, Bytes{'V', 'i', 'o', 'l', 'o', 'n', 0xE9, 0});
    const std::string json = RoundTrip(d);
    // Shown byte for byte as Latin-1 where the user wrote it...
    EXPECT_TRUE(Contains(json, "\"full\": \"Violon\xC3\xA9\"")) << json;
    // ...and the exact bytes follow.
    EXPECT_TRUE(Contains(json, R"({"tag": "lbxt", "key": [6], "hex": "5669 6F6C 6F6E E900"})")) << json;
}

TEST(DocumentRoundTrip, FrameBytesTheFieldsDoNotName) {
    Document d = Load(kScore);
    EntryRecord plain{};
    plain.position = -5;
    plain.duration = 2147483647;
    plain.flagsA = 0xFFFFFFFF;
    plain.flagsB = 0xFFFF;
    EntryRecord unusedBytes = plain;
    unusedBytes.unused0[3] = 0x11;
    unusedBytes.unused144[1] = 0x22;
    EntryRecord beyondCount{};
    beyondCount.noteCount = 1;
    beyondCount.notes[0].unused4[0] = 0x33;
    beyondCount.notes[5].displacement = 9;  // a note past the count
    EntryRecord damagedHigh{};
    damagedHigh.noteCount = 20;
    damagedHigh.notes[2].flags = 0x02000000;
    EntryRecord damagedLow{};
    damagedLow.noteCount = -1;
    d.SetFrame({1, 2, 0}, {plain, unusedBytes, beyondCount, damagedHigh, damagedLow});
    d.SetFrame({2, 2, 3}, {});
    const std::string json = RoundTrip(d);
    EXPECT_TRUE(Contains(json, R"("noteCount": 20)")) << json;
    EXPECT_TRUE(Contains(json, R"("flagsA": "0xFFFFFFFF", "flagsB": "0xFFFF")")) << json;
    EXPECT_TRUE(Contains(json, R"({"staff": 2, "measure": 2, "layer": 3, "entries": []})")) << json;
}

TEST(DocumentRoundTrip, BuiltInCallOrderStillComesBack) {
    // Builders allocate in call order, which need not be the file's order.
    Document d;
    d.AddStaff(2, "Cello", "Vc.");
    d.AddPageText(0, "Title");
    d.AddGroup(1, 1, "Strings", "Str.");
    d.AddStaff(1, "Violin", "Vln.");
    d.SetMeasureCount(3);
    RoundTrip(d);
}

TEST(DocumentRoundTrip, SaveWritesWhatLoadReads) {
    const Document d = Load(kScore);
    const std::string path = ::testing::TempDir() + "orvo_saved_document.json";
    std::string error;
    ASSERT_TRUE(d.Save(path, &error)) << error;
    Document back;
    ASSERT_TRUE(Document::Load(path, &back, &error)) << error;
    ExpectSame(back, d, path);
    std::remove(path.c_str());
    EXPECT_FALSE(d.Save("/nonexistent-directory/x.json", &error));
    EXPECT_EQ(error, "/nonexistent-directory/x.json: cannot be written");
}

// The documents that ship: they load, and come back unchanged.
TEST(DocumentRoundTrip, ShippedDocuments) {
    for (const char* file : {"/tests/documents/basic.json", "/examples/demo.json"}) {
        SCOPED_TRACE(file);
        Document d;
        std::string error;
        ASSERT_TRUE(Document::Load(std::string(ORVO_SOURCE_DIR) + file, &d, &error)) << error;
        const std::string json = RoundTrip(d);
        EXPECT_FALSE(Contains(json, "\"records\"")) << "everything should be semantic";
    }
}

TEST(DocumentRoundTrip, DemoHoldsQuarterChordsWithUpStems) {
    Document d;
    std::string error;
    ASSERT_TRUE(Document::Load(std::string(ORVO_SOURCE_DIR) + "/examples/demo.json", &d, &error)) << error;
    int found = 0;
    for (const auto& [key, entries] : d.Frames())
        for (const EntryRecord& e : entries)
            found += (e.flagsA & 0x04000000) && (e.flagsA & 0x00000001) && e.duration == 1024;
    EXPECT_GE(found, 20);  // the search the user guide walks through
}

}  // namespace
