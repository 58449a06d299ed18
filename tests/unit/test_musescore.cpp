// MuseScore scores: every text kind read from its element and written back
// into its character runs (formatting kept), in the score and in each
// excerpt's copy, lyrics split back into syllables, MuseScore 4 archives
// with excerpts as members, the demos unchanged byte for byte, and damaged
// or unknown files refused with a message.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/musescore/places.h"
#include "host/musescore/rich_text.h"
#include "host/musescore/score.h"
#include "shell/host_records.h"

namespace {

using host::Document;
using host::Key;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TestFile(const std::string& name) {
    return ReadFile(std::string(ORVO_SOURCE_DIR) + "/tests/musescore/files/" + name);
}

const std::string& AllKinds() {
    static const std::string text = TestFile("all_kinds.mscx");
    return text;
}

std::string MakeArchive(const std::vector<std::pair<std::string, std::string>>& members) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    zip_source_keep(source);
    for (const auto& [name, bytes] : members) {
        zip_source_t* member = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        zip_file_add(archive, name.c_str(), member, ZIP_FL_ENC_UTF_8);
    }
    zip_close(archive);
    zip_source_open(source);
    zip_stat_t stat;
    zip_source_stat(source, &stat);
    std::string out(static_cast<std::size_t>(stat.size), '\0');
    zip_source_read(source, out.data(), stat.size);
    zip_source_close(source);
    zip_source_free(source);
    zip_error_fini(&error);
    return out;
}

// A member of an archive, unpacked.
std::string Member(const std::string& archiveBytes, const std::string& name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archiveBytes.data(), archiveBytes.size(), 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    std::string out;
    if (archive != nullptr) {
        zip_file_t* file = zip_fopen(archive, name.c_str(), 0);
        if (file != nullptr) {
            char buffer[4096];
            zip_int64_t got = 0;
            while ((got = zip_fread(file, buffer, sizeof buffer)) > 0)
                out.append(buffer, static_cast<std::size_t>(got));
            zip_fclose(file);
        } else {
            out = "<no member>";
        }
        zip_discard(archive);
    }
    zip_error_fini(&error);
    return out;
}

std::string Container(const std::string& rootPath) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<container>\n  <rootfiles>\n    <rootfile full-path=\"" +
           rootPath + "\"/>\n  </rootfiles>\n</container>\n";
}

struct Read {
    bool ok = false;
    Document document;
    musescore::Score score;
    std::string error;
};

Read ReadBytes(const std::string& bytes) {
    Read read;
    read.ok = musescore::ReadScore(bytes, {}, &read.document, &read.score, &read.error);
    return read;
}

std::string Write(const Read& read, std::vector<std::string>* warnings = nullptr) {
    std::vector<std::string> ignored;
    std::string out;
    std::string error;
    EXPECT_TRUE(musescore::WriteScore(read.score, read.document, &out, warnings ? warnings : &ignored, &error))
        << error;
    return out;
}

std::int16_t Int16At(const host::Bytes& bytes, std::size_t offset) {
    return static_cast<std::int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

struct Place {
    const char* what;
    std::uint32_t tag;
    Key key;
    int offset;  // text block id at this offset; -1: the record is the text; -12: after a 12-byte header
};

std::string TextAt(const Document& d, const Place& place) {
    if (place.offset < 0) {
        const host::Bytes* record = d.Record(place.tag, place.key);
        if (!record) return "<no record>";
        const std::size_t header = place.offset == -12 ? 12 : 0;
        if (record->size() < header) return "<short record>";
        std::string text(record->begin() + static_cast<std::ptrdiff_t>(header), record->end());
        return text.substr(0, text.find('\0'));
    }
    const host::Bytes* record = d.Record(place.tag, place.key);
    if (!record) return "<no record>";
    const host::Bytes* block =
        d.Record(host::kTagTextBlock, {Int16At(*record, static_cast<std::size_t>(place.offset)), 0, 0});
    if (!block) return "<no block>";
    return d.RecordText(host::kTagTextBlockText, {Int16At(*block, 0), 0, 0}).value_or("<no text>");
}

void SetTextAt(Document& d, const Place& place, const std::string& text) {
    if (place.offset < 0) {
        host::Bytes bytes(place.offset == -12 ? 12 : 0, 0);
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
        d.SetRecord(place.tag, place.key, bytes);
        return;
    }
    const host::Bytes* record = d.Record(place.tag, place.key);
    const host::Bytes* block =
        d.Record(host::kTagTextBlock, {Int16At(*record, static_cast<std::size_t>(place.offset)), 0, 0});
    host::Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    d.SetRecord(host::kTagTextBlockText, {Int16At(*block, 0), 0, 0}, bytes);
}

void SetVerse(Document& d, int verse, const std::string& text) {
    host::Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    d.SetRecord(host::kTagVerseLyrics, {static_cast<std::int16_t>(verse), 0, 0}, bytes);
}

// Every occurrence of `from` replaced by `to`.
std::string ReplacedAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

const Place kTitle{"frame title", host::kTagPageTextAssignment, {1, 0, 0}, 0};
const Place kComposerText{"frame composer", host::kTagPageTextAssignment, {1, 1, 0}, 0};
const Place kComposerTag{"composer meta tag", host::kTagPageTextAssignment, {1, 2, 0}, 0};
const Place kWorkTitle{"workTitle meta tag", host::kTagPageTextAssignment, {1, 3, 0}, 0};
const Place kPartHeader{"excerpt's own header", host::kTagPageTextAssignment, {1, 4, 0}, 0};
const Place kRehearsalA{"rehearsal mark, staff 1", host::kTagMeasureTextAssignment, {1, 1, 0}, 0};
const Place kRehearsalB{"rehearsal mark, staff 3", host::kTagMeasureTextAssignment, {3, 1, 0}, 0};
const Place kTempo{"tempo", host::kTagTextExpression, {1, 0, 0}, -12};
const Place kStaffText{"staff text", host::kTagTextExpression, {2, 0, 0}, -12};
const Place kSystemText{"system text", host::kTagTextExpression, {3, 0, 0}, -12};
const Place kJump{"jump", host::kTagTextRepeatText, {1, 0, 0}, -1};
const Place kMarker{"marker", host::kTagTextRepeatText, {2, 0, 0}, -1};
const Place kVolta{"volta", host::kTagEndingRepeatText, {2, 0, 0}, -1};
const Place kFlute{"long name, staff 1", host::kTagStaff, {1, 0, 0}, 30};
const Place kFluteShort{"short name, staff 1", host::kTagStaff, {1, 0, 0}, 32};
const Place kPiano2{"long name, staff 2", host::kTagStaff, {2, 0, 0}, 30};
const Place kPiano3{"long name, staff 3", host::kTagStaff, {3, 0, 0}, 30};

TEST(MuseScoreRead, EveryTextKindComesFromItsElement) {
    const Read read = ReadBytes(AllKinds());
    ASSERT_TRUE(read.ok) << read.error;
    const std::pair<Place, const char*> expected[] = {
        {kTitle, "Kleine Suite"},
        {kComposerText, "Bach & Söhne"},
        {kComposerTag, "J. S. Bach"},
        {kWorkTitle, "Kleine Suite"},
        {kPartHeader, "Flöte"},
        {kRehearsalA, "A"},
        {kRehearsalB, "B"},
        {kTempo, " = 120 Allegro"},
        {kStaffText, "dolce sempre"},
        {kSystemText, "Fine"},
        {kJump, "D.S. al Coda"},
        {kMarker, "To Coda"},
        {kVolta, "1."},
        {kFlute, "Flöte"},
        {kFluteShort, "Fl."},
        {kPiano2, "Klavier"},
        {kPiano3, "Klavier"},
    };
    for (const auto& [place, text] : expected) EXPECT_EQ(TextAt(read.document, place), text) << place.what;
    // The excerpt's copies are no texts of their own.
    EXPECT_EQ(read.document.Record(host::kTagPageTextAssignment, {1, 5, 0}), nullptr);
    EXPECT_EQ(read.document.Record(host::kTagTextExpression, {4, 0, 0}), nullptr);
    EXPECT_EQ(read.document.Record(host::kTagTextRepeatText, {3, 0, 0}), nullptr);
    EXPECT_EQ(read.document.Record(host::kTagStaff, {4, 0, 0}), nullptr);
    // Verses by <no>, staff by staff; a word does not run on into the next staff.
    EXPECT_EQ(read.document.RecordText(host::kTagVerseLyrics, {1, 0, 0}), "Glo-ry to God");
    EXPECT_EQ(read.document.RecordText(host::kTagVerseLyrics, {2, 0, 0}), "Sing we");
    EXPECT_NE(read.document.Record(host::kTagMeasure, {2, 0, 0}), nullptr);
    EXPECT_EQ(read.document.Record(host::kTagMeasure, {3, 0, 0}), nullptr);
    EXPECT_EQ(read.score.version, "3.02");
}

TEST(MuseScoreWrite, NothingChangedWritesTheSameBytes) {
    std::string crlf;
    for (char c : AllKinds()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::pair<const char*, std::string> files[] = {
        {".mscx", AllKinds()},
        {".mscx with CRLF", crlf},
        {".mscz", MakeArchive({{"META-INF/container.xml", Container("all_kinds.mscx")},
                               {"all_kinds.mscx", AllKinds()},
                               {"Thumbnails/thumbnail.png", std::string("\x89PNG\r\n\x1A\n\0\0", 10)}})},
    };
    for (const auto& [what, bytes] : files) {
        const Read read = ReadBytes(bytes);
        ASSERT_TRUE(read.ok) << what << ": " << read.error;
        EXPECT_EQ(TextAt(read.document, kComposerText), "Bach & Söhne") << what;
        EXPECT_TRUE(Write(read) == bytes) << what;
    }
}

TEST(MuseScoreWrite, EachTextAndItsExcerptCopiesTakeTheChangeFormattingKept) {
    struct Case {
        Place place;
        const char* now;
        std::vector<std::pair<std::string, std::string>> edits;  // in the file: before -> after, every occurrence
    };
    const Case cases[] = {
        // The formatting stays where it was; the excerpt's copy changes too.
        {kTitle, "Kleine Suiten", {{"<b>Kleine</b> Suite<", "<b>Kleine</b> Suiten<"}}},
        {kTitle, "KLEINE Suite", {{"<b>Kleine</b>", "<b>KLEINE</b>"}}},
        // A change across a formatting change that keeps its length: each
        // stretch takes its own characters.
        {kStaffText, "dolCE SEMpre", {{"dolce <i>sempre</i>", "dolCE <i>SEMpre</i>"}}},
        // One that does not: the first stretch takes them all.
        {kStaffText, "dolcissimo", {{"dolce <i>sempre</i>", "dolcissimo<i></i>"}}},
        {kComposerText, "Bach & Sons <1>", {{">Bach &amp; Söhne<", ">Bach &amp; Sons &lt;1&gt;<"}}},
        {kTempo, " = 120 Allegretto", {{" = 120 Allegro<", " = 120 Allegretto<"}}},
        {kWorkTitle, "Große Suite", {{"\"workTitle\">Kleine Suite<", "\"workTitle\">Große Suite<"}}},
        {kRehearsalA, "Z", {{"<text>A</text>", "<text>Z</text>"}}},
        {kRehearsalB, "C", {{"<text>B</text>", "<text>C</text>"}}},
        {kJump, "D.C.", {{"D.S. al Coda", "D.C."}}},
        {kMarker, "Zur Coda", {{">To Coda<", ">Zur Coda<"}}},
        {kVolta, "1.-3.", {{"<beginText>1.</beginText>", "<beginText>1.-3.</beginText>"}}},
        // The track names that read as the long name go with it, in the excerpt too.
        {kFlute, "Flute", {{"Name>Flöte</", "Name>Flute</"}}},
        {kFluteShort, "Fl", {{"<shortName>Fl.</shortName>", "<shortName>Fl</shortName>"}}},
        {kPiano3, "Piano", {{"<longName>Klavier</longName>", "<longName>Piano</longName>"}}},
        // The excerpt's own header is its own text.
        {kPartHeader, "Flauto", {{"<text>Flöte</text>", "<text>Flauto</text>"}}},
    };
    for (const Case& c : cases) {
        Read read = ReadBytes(AllKinds());
        ASSERT_TRUE(read.ok) << read.error;
        SetTextAt(read.document, c.place, c.now);
        std::vector<std::string> warnings;
        const std::string out = Write(read, &warnings);
        EXPECT_TRUE(warnings.empty()) << c.place.what << ": " << warnings.front();
        std::string expected = AllKinds();
        for (const auto& [before, after] : c.edits) expected = ReplacedAll(expected, before, after);
        EXPECT_EQ(out, expected) << c.place.what;
        const Read again = ReadBytes(out);
        ASSERT_TRUE(again.ok) << c.place.what << ": " << again.error;
        EXPECT_EQ(TextAt(again.document, c.place), c.now) << c.place.what;
    }
    // Both copies of the flute's names, and its track names, in score and excerpt.
    Read read = ReadBytes(AllKinds());
    SetTextAt(read.document, kFlute, "Flute");
    EXPECT_EQ(Count(Write(read), ">Flute<"), 6u);
}

TEST(MuseScoreWrite, StavesOfOnePartShareItsName) {
    Read read = ReadBytes(AllKinds());
    ASSERT_TRUE(read.ok);
    SetTextAt(read.document, kPiano2, "Piano");
    SetTextAt(read.document, kPiano3, "Klavier II");
    std::vector<std::string> warnings;
    const std::string out = Write(read, &warnings);
    EXPECT_EQ(Count(out, "<longName>Piano</longName>"), 1u);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Klavier II"), std::string::npos) << warnings[0];
}

TEST(MuseScoreLyrics, VersesGoBackToTheirSyllablesInScoreAndExcerpt) {
    Read read = ReadBytes(AllKinds());
    ASSERT_TRUE(read.ok);
    SetVerse(read.document, 1, "Glo-ria to Gott");
    SetVerse(read.document, 2, "Sing they");
    std::vector<std::string> warnings;
    const std::string out = Write(read, &warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(Count(out, "<text>ria</text>"), 2u);   // score and excerpt
    EXPECT_EQ(Count(out, "<text>Gott</text>"), 1u);  // the piano is not in the excerpt
    EXPECT_EQ(Count(out, "<text>they</text>"), 2u);
    EXPECT_EQ(Count(out, "<syllabic>end</syllabic>"), 2u);
    const Read again = ReadBytes(out);
    EXPECT_EQ(again.document.RecordText(host::kTagVerseLyrics, {1, 0, 0}), "Glo-ria to Gott");

    // A change inside one syllable goes to it, whatever it holds.
    read = ReadBytes(AllKinds());
    SetVerse(read.document, 1, "Glo-ri-a to God");
    warnings.clear();
    EXPECT_EQ(Count(Write(read, &warnings), "<text>ri-a</text>"), 2u);
    EXPECT_TRUE(warnings.empty());
    // One across syllables that loses their hyphen is not written, and says where.
    read = ReadBytes(AllKinds());
    SetVerse(read.document, 1, "Glory to God");
    SetVerse(read.document, 2, "Sing us");
    warnings.clear();
    const std::string refused = Write(read, &warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("verse 1, staff 1 (Flöte), measure 1"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("the verse is not written back"), std::string::npos) << warnings[0];
    EXPECT_EQ(refused, ReplacedAll(AllKinds(), "<text>we</text>", "<text>us</text>"));
}

// MuseScore 4: the score and each excerpt are members of the archive.
std::string Mscz4(const std::string& title, const std::string& staffText, bool linked = true) {
    const auto score = [&](bool excerpt) {
        return std::string(
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<museScore version=\"4.20\">\n"
                   "  <programVersion>4.2.1</programVersion>\n  <Score>\n"
                   "    <metaTag name=\"workTitle\">") +
               title +
               "</metaTag>\n"
               "    <Part id=\"1\">\n      <Staff id=\"1\">\n" +
               (excerpt && linked ? "        <linkedTo>1</linkedTo>\n" : "") +
               "        </Staff>\n      <trackName>Oboe</trackName>\n"
               "      <Instrument id=\"oboe\">\n        <longName>Oboe</longName>\n        <shortName>Ob.</shortName>\n"
               "        <trackName>Oboe</trackName>\n        </Instrument>\n      </Part>\n"
               "    <Staff id=\"1\">\n      <VBox>\n        <Text>\n          <style>title</style>\n          <text>" +
               title +
               "</text>\n          </Text>\n        </VBox>\n      <Measure>\n        <voice>\n"
               "          <Expression>\n            <text><i>" +
               staffText +
               "</i></text>\n            </Expression>\n"
               "          <Chord>\n            <durationType>whole</durationType>\n"
               "            <Lyrics>\n              <text>Ah</text>\n              </Lyrics>\n"
               "            <Note>\n              <pitch>69</pitch>\n              <tpc>17</tpc>\n"
               "              </Note>\n            </Chord>\n          </voice>\n        </Measure>\n      </Staff>\n" +
               (excerpt ? "    <name>Oboe</name>\n" : "") + "    </Score>\n  </museScore>\n";
    };
    return MakeArchive({{"META-INF/container.xml", Container("score.mscx")},
                        {"score.mscx", score(false)},
                        {"Excerpts/Oboe/Oboe.mscx", score(true)},
                        {"Excerpts/Oboe/Oboe.mss", "<museScore version=\"4.20\"><Style/></museScore>\n"},
                        {"audiosettings.json", "{\"activeAudio\": \"MuseSampler\"}\n"},
                        {"Thumbnails/thumbnail.png", std::string("\x89PNG\r\n\x1A\n\0\0", 10)}});
}

TEST(MuseScoreWrite, MuseScore4ExcerptMembersKeepInStep) {
    // An excerpt's staff shows the score's through <linkedTo>, or else by its part's track name.
    for (const bool linked : {true, false}) {
        const std::string bytes = Mscz4("Serenade", "dolce", linked);
        Read read = ReadBytes(bytes);
        ASSERT_TRUE(read.ok) << read.error;
        EXPECT_EQ(read.score.version, "4.20");
        EXPECT_EQ(TextAt(read.document, kTitle), "Serenade");
        EXPECT_EQ(TextAt(read.document, {"workTitle", host::kTagPageTextAssignment, {1, 1, 0}, 0}), "Serenade");
        EXPECT_EQ(read.document.Record(host::kTagPageTextAssignment, {1, 2, 0}), nullptr);
        EXPECT_EQ(TextAt(read.document, kTempo), "dolce");
        EXPECT_EQ(read.document.RecordText(host::kTagVerseLyrics, {1, 0, 0}), "Ah");
        EXPECT_TRUE(Write(read) == bytes);

        SetTextAt(read.document, kTitle, "Nachtmusik");
        SetTextAt(read.document, {"expression", host::kTagTextExpression, {1, 0, 0}, -12}, "cantabile");
        SetTextAt(read.document, kFlute, "Hautbois");
        SetVerse(read.document, 1, "Oh");
        const std::string out = Write(read);
        const Read again = ReadBytes(out);
        ASSERT_TRUE(again.ok) << again.error;
        for (const char* member : {"score.mscx", "Excerpts/Oboe/Oboe.mscx"}) {
            const std::string xml = Member(out, member);
            EXPECT_NE(xml.find("<text>Nachtmusik</text>"), std::string::npos) << member;
            EXPECT_NE(xml.find("\"workTitle\">Serenade<"), std::string::npos) << member;
            EXPECT_NE(xml.find("<text><i>cantabile</i></text>"), std::string::npos) << member;
            EXPECT_EQ(Count(xml, ">Hautbois<"), 3u) << member;
            EXPECT_NE(xml.find("<text>Oh</text>"), std::string::npos) << member;
        }
        // Every other member as it was.
        for (const char* member :
             {"META-INF/container.xml", "Excerpts/Oboe/Oboe.mss", "audiosettings.json", "Thumbnails/thumbnail.png"})
            EXPECT_EQ(Member(out, member), Member(bytes, member)) << member;
    }
}

TEST(MuseScoreRead, DamagedOldAndUnknownFilesAreRefusedWithAMessage) {
    const auto with = [](const std::string& from, const std::string& to) { return ReplacedAll(AllKinds(), from, to); };
    const std::pair<std::string, const char*> cases[] = {
        {with("version=\"3.02\"", "version=\"2.06\""), "a MuseScore 2 score (format 2.06)"},
        {with("version=\"3.02\"", "version=\"2.06\""), "open it in MuseScore 3 or later and save it"},
        {with("version=\"3.02\"", "version=\"1.14\""), "a MuseScore 1 score"},
        {with("version=\"3.02\"", "version=\"5.00\""), "\"5.00\" is not one this reader knows"},
        {with("version=\"3.02\"", "version=\"\""), "\"\" is not one this reader knows"},
        {with("<Staff id=\"3\">\n      <Measure>", "<Staff id=\"9\">\n      <Measure>"),
         "<Staff id=\"9\"> belongs to no <Part>"},
        {with("<text>A</text>", "<text>A</txet>"), "not well-formed XML at line"},
        {with("<museScore version", "<!DOCTYPE museScore [<!ENTITY x \"y\">]>\n<museScore version"),
         "declares entities"},
        {with("<museScore version=\"3.02\">", "<museScore version=\"3.02\"><!-- -->").substr(0, 0) +
             "<?xml version=\"1.0\"?>\n<museScore version=\"3.02\"/>\n",
         "without a <Score>"},
        {MakeArchive({{"META-INF/container.xml", Container("../score.mscx")}, {"score.mscx", AllKinds()}}),
         "leaves the archive"},
        {MakeArchive({{"score.mscx", AllKinds()}}), "without META-INF/container.xml"},
        {MakeArchive({{"META-INF/container.xml", Container("score.mscx")},
                      {"score.mscx", AllKinds()},
                      {"Excerpts/A/A.mscx", with("version=\"3.02\"", "version=\"2.06\"")}}),
         "Excerpts/A/A.mscx: a MuseScore 2 score"},
    };
    for (const auto& [bytes, message] : cases) {
        const Read read = ReadBytes(bytes);
        EXPECT_FALSE(read.ok) << message;
        EXPECT_NE(read.error.find(message), std::string::npos) << read.error;
        EXPECT_EQ(read.error.find(".mxl"), std::string::npos) << read.error;
        EXPECT_EQ(read.document.RecordCount(), 0u) << message;
    }
}

TEST(MuseScoreRead, ContentDecidesTheFormat) {
    EXPECT_TRUE(musescore::LooksLikeMuseScore(AllKinds()));
    EXPECT_TRUE(musescore::LooksLikeMuseScore("\xEF\xBB\xBF<!-- x --><museScore version=\"4.20\"/>"));
    EXPECT_TRUE(musescore::LooksLikeMuseScore(Mscz4("a", "b")));
    EXPECT_FALSE(musescore::LooksLikeMuseScore("<?xml version=\"1.0\"?><score-partwise/>"));
    EXPECT_FALSE(musescore::LooksLikeMuseScore("{\"museScore\": 1}"));
    EXPECT_FALSE(musescore::LooksLikeMuseScore(
        MakeArchive({{"META-INF/container.xml", Container("s.musicxml")}, {"s.musicxml", "<score-partwise/>"}})));
}

TEST(MuseScoreRichText, RunsSkipSymbolsAndSplicesKeepTags) {
    const std::string xml = "<text>a<b>bc</b><sym>x</sym>d&amp;é<font size=\"9\"/></text>";
    musescore::Span span;
    ASSERT_TRUE(musescore::ElementContent(xml, 1, &span));
    std::vector<musescore::Run> runs;
    ASSERT_TRUE(musescore::ReadRuns(xml, span, &runs));
    EXPECT_EQ(musescore::PlainText(runs), "abcd&é");
    const auto spliced = [&](const std::string& now) {
        std::string out = xml;
        const auto edits = musescore::SpliceRuns(runs, now);
        for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit)
            out.replace(edit->begin, edit->end - edit->begin, edit->markup);
        return out;
    };
    EXPECT_EQ(spliced("abcd&é"), xml);
    EXPECT_EQ(spliced("Xabcd&é"), "<text>Xa<b>bc</b><sym>x</sym>d&amp;é<font size=\"9\"/></text>");
    EXPECT_EQ(spliced("abXcd&é"), "<text>a<b>bXc</b><sym>x</sym>d&amp;é<font size=\"9\"/></text>");
    // An insertion at a tag joins the stretch before it.
    EXPECT_EQ(spliced("abcXd&é"), "<text>a<b>bcX</b><sym>x</sym>d&amp;é<font size=\"9\"/></text>");
    EXPECT_EQ(spliced("abcd&éé"), "<text>a<b>bc</b><sym>x</sym>d&amp;éé<font size=\"9\"/></text>");
    EXPECT_EQ(spliced("ABCD&é"), "<text>A<b>BC</b><sym>x</sym>D&amp;é<font size=\"9\"/></text>");
    EXPECT_EQ(spliced("aé"), "<text>a<b></b><sym>x</sym>é<font size=\"9\"/></text>");
    EXPECT_EQ(spliced(""), "<text><b></b><sym>x</sym><font size=\"9\"/></text>");
    // Multibyte characters are never split between stretches.
    EXPECT_EQ(spliced("abcd&è"), "<text>a<b>bc</b><sym>x</sym>d&amp;è<font size=\"9\"/></text>");
    // What is no text is not read as one.
    for (const char* bad : {"<text>a<!-- c -->b</text>", "<text>a&nbsp;b</text>", "<text>a<![CDATA[b]]></text>"}) {
        const std::string other = bad;
        ASSERT_TRUE(musescore::ElementContent(other, 1, &span)) << bad;
        EXPECT_FALSE(musescore::ReadRuns(other, span, &runs)) << bad;
    }
}

const std::string& Notes() {
    static const std::string text = TestFile("notes.mscx");
    return text;
}

std::vector<EntryRecord>& FrameOf(Document& d, int staff, int measure, int layer) {
    static std::vector<EntryRecord> none;
    std::vector<EntryRecord>* frame = d.Frame({staff, measure, layer});
    return frame ? *frame : none;
}

TEST(MuseScoreFrames, ChordsRestsGraceNotesAndTupletsBecomeEntriesInTime) {
    Read read = ReadBytes(Notes());
    ASSERT_TRUE(read.ok) << read.error;
    // The irregular first measure: one quarter, its stem up, tied on.
    const auto& first = FrameOf(read.document, 1, 1, 0);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(+first[0].duration, 1024);
    EXPECT_EQ(+first[0].flagsA, 0x40000000u | 0x100u | 0x1u);
    // A B-flat clarinet's written pitch: concert C4 is D4 (<tpc2> 16).
    EXPECT_EQ(+first[0].notes[0].displacement, 1);
    EXPECT_EQ(+first[0].notes[0].raiseLower, 0);
    EXPECT_EQ(+first[0].notes[0].flags, 0x40000000u);
    const auto& second = FrameOf(read.document, 1, 2, 0);
    ASSERT_EQ(second.size(), 7u);
    const std::int32_t positions[] = {0, 1024, 1024, 1365, 1707, 2048, 3584};
    const std::int32_t durations[] = {1024, 0, 341, 341, 341, 1536, 512};
    for (std::size_t i = 0; i < second.size(); ++i) {
        EXPECT_EQ(+second[i].position, positions[i]) << i;
        EXPECT_EQ(+second[i].duration, durations[i]) << i;
    }
    EXPECT_EQ(+second[0].notes[0].flags, 0x20000000u);  // tied from before
    EXPECT_EQ(+second[1].flagsA, 0x40800000u);          // grace
    EXPECT_EQ(+second[1].flagsB, 0x0100);               // slashed
    EXPECT_EQ(+second[1].notes[0].displacement, 3);     // F sharp 4, written
    EXPECT_EQ(+second[1].notes[0].raiseLower, 1);
    EXPECT_EQ(+second[2].flagsA, 0x40000000u | 0x04000000u | 0x00080000u);  // a chord in a tuplet
    EXPECT_EQ(+second[2].noteCount, 2);
    EXPECT_EQ(+second[2].notes[1].displacement, 4);
    EXPECT_EQ(+second[2].notes[1].flags, 0x01000000u | 0x00800000u);  // an accidental in brackets
    EXPECT_EQ(+second[3].flagsA, 0x00080000u);                        // a rest in the tuplet
    EXPECT_EQ(+second[3].noteCount, 0);
    // The second voice, moved on by its location.
    const auto& voice2 = FrameOf(read.document, 1, 2, 1);
    ASSERT_EQ(voice2.size(), 1u);
    EXPECT_EQ(+voice2[0].position, 2048);
    EXPECT_EQ(+voice2[0].duration, 2048);
    EXPECT_EQ(+voice2[0].flagsA, 0x10000000u);
    // The excerpt's copies go with the entries.
    ASSERT_EQ(read.score.entries.size(), 9u);
    EXPECT_EQ(read.score.entries[0].chords.size(), 2u);
    EXPECT_EQ(read.score.entries[2].chords.size(), 1u);
    EXPECT_TRUE(Write(read) == Notes());
}

TEST(MuseScoreFrames, TheOlderTupletFormNamesItsTupletById) {
    std::string older = Notes();
    older = ReplacedAll(older, "          <Tuplet>\n", "          <Tuplet id=\"1\">\n");
    older = ReplacedAll(older, "          <endTuplet/>\n", "");
    // Each of the tuplet's three entries names it.
    std::size_t at = older.find("<Tuplet id=\"1\">");
    for (int i = 0; i < 3; ++i) {
        at = older.find("<durationType>eighth</durationType>\n", at) + 1;
        older.insert(older.rfind("\n", at) + 1, "            <Tuplet>1</Tuplet>\n");
        at = older.find("</durationType>", at);
    }
    Read read = ReadBytes(older);
    ASSERT_TRUE(read.ok) << read.error;
    const auto& second = FrameOf(read.document, 1, 2, 0);
    ASSERT_EQ(second.size(), 7u);
    EXPECT_EQ(+second[4].position, 1707);
    EXPECT_EQ(second[4].flagsA & 0x00080000u, 0x00080000u);
    EXPECT_EQ(+second[5].position, 2048);
    EXPECT_EQ(second[5].flagsA & 0x00080000u, 0u);
}

TEST(MuseScoreEntries, StemsPitchesAccidentalsAndTiesAreWrittenInScoreAndExcerpt) {
    Read read = ReadBytes(Notes());
    ASSERT_TRUE(read.ok) << read.error;
    auto& first = FrameOf(read.document, 1, 1, 0);
    auto& second = FrameOf(read.document, 1, 2, 0);
    first[0].flagsA &= ~0x100u;               // the stem free again
    first[0].notes[0].flags &= ~0x40000000u;  // the tie off, from its start
    second[5].flagsA |= 0x100u;               // a stem frozen down
    second[5].notes[0].raiseLower = -1;       // E flat, written: a flat shown
    second[5].notes[0].flags |= 0x40000000u;  // tied on to the next E
    second[6].notes[0].displacement = 3;      // F sharp, written: the key's
    second[6].notes[0].raiseLower = 1;
    second[2].notes[1].flags &= ~0x00800000u;  // out of brackets
    std::vector<std::string> warnings;
    const std::string out = Write(read, &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    // Both ends of the tie, in the score and in the excerpt, and the stems.
    EXPECT_EQ(Count(out, "<Spanner type=\"Tie\">"), 2u);
    EXPECT_EQ(Count(out, "<StemDirection>up</StemDirection>"), 0u);
    EXPECT_EQ(Count(out, "<StemDirection>down</StemDirection>"), 1u);
    const std::string flat =
        "          <Chord>\n            <dots>1</dots>\n            <durationType>quarter</durationType>\n"
        "            <StemDirection>down</StemDirection>\n            <Note>\n              <Accidental>\n"
        "                <subtype>accidentalFlat</subtype>\n                </Accidental>\n"
        "              <Spanner type=\"Tie\">\n                <Tie>\n                  </Tie>\n"
        "                <next>\n                  <location>\n                    <fractions>3/8</fractions>\n"
        "                    </location>\n                  </next>\n                </Spanner>\n"
        "              <pitch>61</pitch>\n              <tpc>9</tpc>\n              <tpc2>11</tpc2>\n";
    EXPECT_TRUE(Contains(out, flat)) << out;
    EXPECT_TRUE(Contains(out, "<fractions>-3/8</fractions>"));
    EXPECT_TRUE(Contains(out, "<pitch>64</pitch>\n              <tpc>18</tpc>\n              <tpc2>20</tpc2>"));
    EXPECT_TRUE(
        Contains(out, "<Accidental>\n                <role>1</role>\n                <subtype>accidentalSharp"));
    const Read again = ReadBytes(out);
    ASSERT_TRUE(again.ok) << again.error;
    Document d = again.document;
    EXPECT_EQ(+FrameOf(d, 1, 1, 0)[0].flagsA, 0x40000000u);
    EXPECT_EQ(+FrameOf(d, 1, 1, 0)[0].notes[0].flags, 0u);
    EXPECT_EQ(+FrameOf(d, 1, 2, 0)[0].notes[0].flags, 0u);
    EXPECT_EQ(+FrameOf(d, 1, 2, 0)[5].notes[0].raiseLower, -1);
    EXPECT_EQ(+FrameOf(d, 1, 2, 0)[5].notes[0].flags, 0x41000000u);
    EXPECT_EQ(+FrameOf(d, 1, 2, 0)[6].notes[0].flags, 0x20000000u);
    EXPECT_EQ(+FrameOf(d, 1, 2, 0)[6].notes[0].displacement, 3);
    EXPECT_EQ(+FrameOf(d, 1, 2, 0)[2].notes[1].flags, 0x01000000u);
    EXPECT_EQ(again.document.Frames().size(), read.document.Frames().size());
}

// A note without its spelling elements is spelled from its pitch: a
// respelled note gets its <tpc>, or a flat would read back as a sharp.
TEST(MuseScoreEntries, ARespelledNoteWithoutItsSpellingGetsOne) {
    const std::string spelled = "              <tpc>16</tpc>\n              <tpc2>18</tpc2>\n";
    for (const std::string& instead : {std::string(), std::string("              <tpc/>\n")}) {
        Read read = ReadBytes(ReplacedAll(Notes(), spelled, instead));
        ASSERT_TRUE(read.ok) << read.error;
        auto& second = FrameOf(read.document, 1, 2, 0);
        second[6].notes[0].displacement = 4;  // G flat, written; E flat sounding
        second[6].notes[0].raiseLower = -1;
        std::vector<std::string> warnings;
        const std::string out = Write(read, &warnings);
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        EXPECT_TRUE(Contains(out, "<pitch>64</pitch>\n              <tpc>6</tpc>\n")) << out;
        Read again = ReadBytes(out);
        ASSERT_TRUE(again.ok) << again.error;
        EXPECT_EQ(FrameOf(again.document, 1, 2, 0)[6].notes[0].displacement, 4);
        EXPECT_EQ(FrameOf(again.document, 1, 2, 0)[6].notes[0].raiseLower, -1);
    }
}

// A beam with a direction of its own turns every stem under it that way:
// MuseScore writes it before the beam's first chord, and the chords after
// it join until one that cannot be beamed. A stem changed under it takes
// the beam along, or MuseScore shows it as the beam goes.
std::string Beamed() {
    const auto chord = [](const char* type, int pitch, int tpc, const char* extra = "") {
        return std::string("          <Chord>\n") + extra + "            <durationType>" + type +
               "</durationType>\n            <Note>\n              <pitch>" + std::to_string(pitch) +
               "</pitch>\n              <tpc>" + std::to_string(tpc) +
               "</tpc>\n              </Note>\n            </Chord>\n";
    };
    const auto beam = [](const char* direction) {
        return std::string("          <Beam>\n            <StemDirection>") + direction +
               "</StemDirection>\n            </Beam>\n";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<museScore version=\"3.01\">\n  <Score>\n    <Part>\n"
           "      <Staff id=\"1\">\n        </Staff>\n      <Instrument>\n        <longName>Flute</longName>\n"
           "        </Instrument>\n      </Part>\n    <Staff id=\"1\">\n      <Measure>\n        <voice>\n" +
           beam("up") + chord("eighth", 72, 14) + chord("eighth", 74, 16) + chord("quarter", 76, 18) + beam("down") +
           chord("eighth", 77, 13) + chord("eighth", 79, 15, "            <StemDirection>down</StemDirection>\n") +
           chord("quarter", 81, 17) +
           "          </voice>\n        </Measure>\n      </Staff>\n    </Score>\n"
           "  </museScore>\n";
}

TEST(MuseScoreEntries, AStemUnderABeamWithADirectionTakesTheBeamAlong) {
    const std::string bytes = Beamed();
    Read read = ReadBytes(bytes);
    ASSERT_TRUE(read.ok) << read.error;
    auto& frame = FrameOf(read.document, 1, 1, 0);
    ASSERT_EQ(frame.size(), 6u);
    frame[1].flagsA |= 0x100u;   // the second chord of the beam up frozen down
    frame[2].flagsA |= 0x101u;   // a quarter, beamed with nothing, frozen up
    frame[4].flagsA &= ~0x100u;  // the last chord of the beam down set free
    std::vector<std::string> warnings;
    const std::string out = Write(read, &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    const std::string first =
        "          <Beam>\n            <StemDirection>down</StemDirection>\n            </Beam>\n"
        "          <Chord>\n            <durationType>eighth</durationType>\n"
        "            <Note>\n              <pitch>72</pitch>";
    EXPECT_TRUE(Contains(out, first)) << out;
    EXPECT_TRUE(Contains(out,
                         "<durationType>eighth</durationType>\n            <StemDirection>down</StemDirection>\n"
                         "            <Note>\n              <pitch>74</pitch>"))
        << out;
    EXPECT_TRUE(Contains(out,
                         "<durationType>quarter</durationType>\n            <StemDirection>up</StemDirection>\n"
                         "            <Note>\n              <pitch>76</pitch>"))
        << out;
    // The beam down is free again with its last chord.
    EXPECT_TRUE(Contains(out, "          <Beam>\n            </Beam>\n")) << out;
    EXPECT_EQ(Count(out, "<StemDirection>"), 3u) << out;

    // Two chords of one beam frozen opposite ways: the first decides the
    // beam, the other is reported, not written.
    read = ReadBytes(bytes);
    auto& again = FrameOf(read.document, 1, 1, 0);
    again[0].flagsA |= 0x101u;
    again[1].flagsA |= 0x100u;
    warnings.clear();
    const std::string opposite = Write(read, &warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(Contains(warnings[0], "1 change(s) of Freeze Stem not written")) << warnings[0];
    EXPECT_TRUE(Contains(opposite, "<Beam>\n            <StemDirection>up</StemDirection>")) << opposite;
    EXPECT_EQ(Count(opposite, "<StemDirection>up</StemDirection>"), 2u) << opposite;
    EXPECT_EQ(Count(opposite, "<StemDirection>down</StemDirection>"), 2u) << opposite;
}

// A beam placed by hand (its <Fragment>) holds its stems where it was put:
// a stem frozen under it takes it out of that place, unless the beam's own
// direction already is the one asked for.
TEST(MuseScoreEntries, AStemFrozenUnderABeamPlacedByHandFreesTheBeam) {
    const std::string fragment =
        "            <Fragment>\n              <y1>-0.7</y1>\n              <y2>-0.7</y2>\n"
        "              </Fragment>\n";
    std::string bytes = Beamed();
    bytes = ReplacedAll(bytes, "            <StemDirection>up</StemDirection>\n            </Beam>\n",
                        fragment + "            </Beam>\n");
    bytes = ReplacedAll(bytes, "<StemDirection>down</StemDirection>\n            </Beam>\n",
                        "<StemDirection>down</StemDirection>\n" + fragment + "            </Beam>\n");
    ASSERT_EQ(Count(bytes, "<Fragment>"), 2u);
    Read read = ReadBytes(bytes);
    ASSERT_TRUE(read.ok) << read.error;
    auto& frame = FrameOf(read.document, 1, 1, 0);
    frame[0].flagsA |= 0x100u;  // under the beam placed by hand: frozen down
    frame[3].flagsA |= 0x100u;  // under the beam down placed by hand: down too
    std::vector<std::string> warnings;
    const std::string out = Write(read, &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_TRUE(Contains(out,
                         "          <Beam>\n            </Beam>\n          <Chord>\n"
                         "            <durationType>eighth</durationType>\n"
                         "            <StemDirection>down</StemDirection>\n"))
        << out;
    EXPECT_EQ(Count(out, "<Fragment>"), 1u) << out;
    EXPECT_TRUE(Contains(out, "<StemDirection>down</StemDirection>\n" + fragment)) << out;
}

// MuseScore 4 keeps a key as it sounds (<concertKey>) and, on a staff that
// transposes, as it is written (<actualKey>, else the concert key moved by
// the instrument): a note respelled into the written key shows no accidental.
TEST(MuseScoreEntries, MuseScore4KeysAreReadAsWritten) {
    for (const char* key :
         {"<concertKey>-1</concertKey>\n            <actualKey>1</actualKey>", "<concertKey>-1</concertKey>"}) {
        std::string four = ReplacedAll(Notes(), "<museScore version=\"3.02\">", "<museScore version=\"4.20\">");
        four = ReplacedAll(four, "<accidental>1</accidental>", key);
        Read read = ReadBytes(four);
        ASSERT_TRUE(read.ok) << read.error;
        auto& second = FrameOf(read.document, 1, 2, 0);
        second[6].notes[0].displacement = 6;  // B, written: in G major
        second[6].notes[0].raiseLower = 0;
        std::vector<std::string> warnings;
        const std::string out = Write(read, &warnings);
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        EXPECT_TRUE(Contains(out, "<pitch>69</pitch>\n              <tpc>17</tpc>\n              <tpc2>19</tpc2>"))
            << out;
        EXPECT_FALSE(Contains(out, "accidentalNatural")) << key;
    }
}

// A tie asked for from both its ends is one tie; a grace note's tie has no
// form MuseScore reads back (its own are empty), so it is reported.
TEST(MuseScoreEntries, ATieFromBothEndsIsWrittenOnceAndAGraceNoteIsNotTied) {
    Read read = ReadBytes(Notes());
    ASSERT_TRUE(read.ok) << read.error;
    FrameOf(read.document, 1, 2, 0)[4].notes[0].flags |= 0x40000000u;
    const std::string once = Write(read);
    EXPECT_EQ(Count(once, "<Spanner type=\"Tie\">"), Count(Notes(), "<Spanner type=\"Tie\">") + 2);
    FrameOf(read.document, 1, 2, 0)[5].notes[0].flags |= 0x20000000u;
    std::vector<std::string> warnings;
    EXPECT_EQ(Write(read, &warnings), once);
    EXPECT_TRUE(warnings.empty()) << warnings.front();

    const std::string graced =
        ReplacedAll(Notes(), "<pitch>64</pitch>\n              <tpc>18</tpc>\n              <tpc2>20</tpc2>",
                    "<pitch>62</pitch>\n              <tpc>16</tpc>\n              <tpc2>18</tpc2>");
    read = ReadBytes(graced);
    ASSERT_TRUE(read.ok) << read.error;
    auto& second = FrameOf(read.document, 1, 2, 0);
    ASSERT_NE(second[1].flagsA & 0x00800000u, 0u);
    second[1].notes[0].flags |= 0x40000000u;  // the grace note tied on to the chord's D
    second[2].notes[0].flags |= 0x20000000u;  // and the chord's D tied from it
    warnings.clear();
    EXPECT_TRUE(Write(read, &warnings) == graced);
    std::string all;
    for (const std::string& w : warnings) all += w + "\n";
    EXPECT_TRUE(Contains(all, "1 change(s) of Tie Start not written")) << all;
    EXPECT_TRUE(Contains(all, "1 change(s) of Tie End not written")) << all;
}

// A tie's location is a fraction of the whole note, exactly: in a tuplet the
// 1024 to the quarter are rounded, and MuseScore finds no note at 341/4096.
TEST(MuseScoreEntries, TiesInATupletReachTheirNotesExactly) {
    const std::string chorded =
        ReplacedAll(Notes(), "          <Rest>\n            <durationType>eighth</durationType>\n            </Rest>\n",
                    "          <Chord>\n            <durationType>eighth</durationType>\n            <Note>\n"
                    "              <pitch>62</pitch>\n              <tpc>16</tpc>\n              <tpc2>18</tpc2>\n"
                    "              </Note>\n            </Chord>\n");
    Read read = ReadBytes(chorded);
    ASSERT_TRUE(read.ok) << read.error;
    FrameOf(read.document, 1, 2, 0)[3].notes[0].flags |= 0x40000000u;  // 5/12 on to 1/2... of the tuplet's second
    FrameOf(read.document, 1, 2, 0)[4].notes[0].flags |= 0x40000000u;  // and its third to the dotted quarter
    const std::string tied = Write(read);
    EXPECT_EQ(Count(tied, "<fractions>1/12</fractions>"), 2u) << tied;
    EXPECT_EQ(Count(tied, "<fractions>-1/12</fractions>"), 2u) << tied;
    // Taken off again from their starts, both ends go.
    read = ReadBytes(tied);
    ASSERT_TRUE(read.ok) << read.error;
    FrameOf(read.document, 1, 2, 0)[3].notes[0].flags &= ~0x40000000u;
    FrameOf(read.document, 1, 2, 0)[4].notes[0].flags &= ~0x40000000u;
    EXPECT_TRUE(Write(read) == chorded);
}

// An instrument change (a B-flat clarinet taking up one in A) transposes
// the notes after it as its own instrument does: they are read, and
// respelled, as written for it.
TEST(MuseScoreEntries, NotesAfterAnInstrumentChangeAreWrittenForTheNewInstrument) {
    const std::string last =
        "          <Chord>\n            <durationType>eighth</durationType>\n            <Note>\n"
        "              <pitch>62</pitch>\n              <tpc>16</tpc>\n              <tpc2>18</tpc2>\n"
        "              </Note>\n            </Chord>\n          </voice>\n        <voice>\n";
    std::string changed = Notes();
    const std::size_t at = changed.find(last);
    ASSERT_NE(at, std::string::npos);
    changed.replace(at, last.size(),
                    "          <InstrumentChange>\n            <Instrument>\n"
                    "              <longName>Clarinet in A</longName>\n"
                    "              <transposeDiatonic>-2</transposeDiatonic>\n"
                    "              <transposeChromatic>-3</transposeChromatic>\n              </Instrument>\n"
                    "            <text>To Clarinet in A</text>\n            </InstrumentChange>\n" +
                        ReplacedAll(last, "<tpc2>18</tpc2>", "<tpc2>13</tpc2>"));
    Read read = ReadBytes(changed);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.score.notes.empty()) << read.score.notes.front();
    auto& second = FrameOf(read.document, 1, 2, 0);
    EXPECT_EQ(+second[6].notes[0].displacement, 3);  // concert D is F for the clarinet in A
    EXPECT_EQ(+second[6].notes[0].raiseLower, 0);
    EXPECT_EQ(+second[5].notes[0].displacement, 2);  // and E before the change, for the one in B-flat
    second[6].notes[0].displacement = 4;             // G, written: E sounding
    std::vector<std::string> warnings;
    const std::string out = Write(read, &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_TRUE(Contains(out, "<pitch>64</pitch>\n              <tpc>18</tpc>\n              <tpc2>15</tpc2>")) << out;
}

// A chord with its stem's direction twice (MuseScore takes the last), or
// empty: a change leaves one direction, the new one. Found by fuzz_musescore.
TEST(MuseScoreEntries, AStemDirectionTwiceOrEmptyIsChangedWhole) {
    const std::string up = "            <StemDirection>up</StemDirection>\n";
    for (const std::string& instead : {up + up, std::string("            <StemDirection/>\n") + up}) {
        const std::string twice = ReplacedAll(Notes(), up, instead);
        for (const bool freed : {true, false}) {
            Read read = ReadBytes(twice);
            ASSERT_TRUE(read.ok) << read.error;
            auto& first = FrameOf(read.document, 1, 1, 0);
            ASSERT_EQ(first[0].flagsA & 0x101u, 0x101u);
            first[0].flagsA &= freed ? ~0x101u : ~0x1u;  // free, or frozen down
            const Read again = ReadBytes(Write(read));
            ASSERT_TRUE(again.ok) << again.error;
            Document d = again.document;
            EXPECT_EQ(FrameOf(d, 1, 1, 0)[0].flagsA & 0x101u, freed ? 0u : 0x100u) << instead;
        }
    }
}

TEST(MuseScoreEntries, ChangesWithoutAMuseScoreFormAreReportedNotWritten) {
    Read read = ReadBytes(Notes());
    ASSERT_TRUE(read.ok);
    auto& second = FrameOf(read.document, 1, 2, 0);
    second[0].duration = 2048;
    second[1].flagsA &= ~0x00800000u;         // grace off
    second[3].flagsA ^= 0x00020000u;          // perf data
    second[4].flagsA ^= 0x1u;                 // Up/Down alone, the stem not frozen
    second[6].notes[0].flags |= 0x40000000u;  // a tie to nothing
    std::vector<std::string> warnings;
    EXPECT_TRUE(Write(read, &warnings) == Notes());
    const std::string all = [&] {
        std::string joined;
        for (const std::string& w : warnings) joined += w + "\n";
        return joined;
    }();
    for (const char* part : {"1 change(s) of Duration not written", "1 change(s) of Grace not written",
                             "1 change(s) of Perf Data not written", "1 change(s) of Up/Down not written",
                             "1 change(s) of Tie Start not written"})
        EXPECT_TRUE(Contains(all, part)) << all;
}

// Places as MuseScore shows them: a pickup is measure 0, the measure after
// it 1, and <noOffset> moves the count of those after it.
TEST(MuseScorePlaces, MeasuresAreNumberedAsMuseScoreNumbersThem) {
    Read read = ReadBytes(Notes());
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(musescore::EntryPlace(read.score, {1, 2, 0}, 1024), "staff 1 (Clarinet in B♭), measure 1, beat 2");
    EXPECT_EQ(musescore::EntryPlace(read.score, {1, 1, 1}, 0), "staff 1 (Clarinet in B♭), measure 0, beat 1, voice 2");
    std::string offset = Notes();
    const std::size_t second = offset.find("      <Measure>\n");
    ASSERT_NE(second, std::string::npos);
    offset.insert(second + 16, "        <noOffset>9</noOffset>\n");
    read = ReadBytes(offset);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(musescore::EntryPlace(read.score, {1, 2, 0}, 0), "staff 1 (Clarinet in B♭), measure 10, beat 1");

    read = ReadBytes(AllKinds());
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(musescore::TextPlace(read.score, read.document, kTempo.tag, kTempo.key, 0),
              "tempo text, staff 1 (Flöte), measure 1");
    for (const musescore::Text& text : read.score.texts) {
        std::uint32_t tag = 0;
        Key key{};
        if (text.mapped.source != markup::TextSource::StaffFull || text.mapped.key[0] != 1 ||
            !markup::TextRecordOf(read.document, text.mapped, &tag, &key))
            continue;
        EXPECT_EQ(musescore::TextPlace(read.score, read.document, tag, key, 0), "instrument name, staff 1 (Flöte)");
    }
    EXPECT_EQ(musescore::TextPlace(read.score, read.document, host::kTagVerseLyrics, {2, 0, 0}, 5),
              "staff 1 (Flöte), measure 1");
}

TEST(MuseScoreRead, ChordsWithoutNotesNotesWithoutPitchAndFifthVoicesAreRefused) {
    std::string empty = Notes();
    const std::string grace = "            <acciaccatura/>\n            <durationType>eighth</durationType>\n";
    const std::size_t at = empty.find(grace);
    ASSERT_NE(at, std::string::npos);
    const std::size_t note = empty.find("            <Note>", at);
    const std::size_t noteEnd = empty.find("</Note>\n", note) + 8;
    empty.erase(note, noteEnd - note);
    Read read = ReadBytes(empty);
    EXPECT_FALSE(read.ok);
    EXPECT_TRUE(Contains(read.error, "staff 1 (Clarinet in B♭), measure 1: voice 1, entry 2: a <Chord> without notes"))
        << read.error;
    std::string voices = Notes();
    const std::string voice = "        <voice>\n          <location>";
    std::string extra;
    for (int i = 0; i < 4; ++i) extra += "        <voice>\n          </voice>\n";
    voices.insert(voices.find(voice), extra);
    read = ReadBytes(voices);
    EXPECT_FALSE(read.ok);
    EXPECT_TRUE(Contains(read.error, "a fifth <voice>")) << read.error;
    read = ReadBytes(ReplacedAll(Notes(), "<pitch>64</pitch>", ""));
    EXPECT_FALSE(read.ok);
    EXPECT_TRUE(Contains(read.error, "measure 1: voice 1, entry 2: a <Note> without <pitch>")) << read.error;
}

// Debian's MuseScore 3 demos, read as they are.
std::vector<std::filesystem::path> Demos() {
    std::vector<std::filesystem::path> demos;
    std::error_code error;
    for (const auto& share : std::filesystem::directory_iterator("/usr/share", error)) {
        if (share.path().filename().string().rfind("mscore3-", 0) != 0) continue;
        for (const auto& file : std::filesystem::directory_iterator(share.path() / "demos", error))
            if (file.path().extension() == ".mscx" || file.path().extension() == ".mscz") demos.push_back(file.path());
    }
    return demos;
}

TEST(MuseScoreDemos, EveryDemoReadsAndWritesBackByteForByte) {
    const auto demos = Demos();
    ASSERT_FALSE(demos.empty()) << "MuseScore 3's demos are not installed (Debian: apt-get install musescore3)";
    for (const auto& path : demos) {
        const std::string bytes = ReadFile(path.string());
        ASSERT_TRUE(musescore::LooksLikeMuseScore(bytes)) << path;
        Read read = ReadBytes(bytes);
        ASSERT_TRUE(read.ok) << path << ": " << read.error;
        EXPECT_TRUE(Write(read) == bytes) << path;
        EXPECT_FALSE(read.score.texts.empty()) << path;
        // Every text changed at once: each reads back as changed.
        for (const musescore::Text& text : read.score.texts)
            markup::SetCurrentText(&read.document, text.mapped, text.mapped.original + " (neu)");
        std::vector<std::string> warnings;
        const std::string out = Write(read, &warnings);
        const Read again = ReadBytes(out);
        ASSERT_TRUE(again.ok) << path << ": " << again.error;
        ASSERT_EQ(again.score.texts.size(), read.score.texts.size()) << path;
        for (std::size_t i = 0; i < read.score.texts.size(); ++i)
            EXPECT_EQ(again.score.texts[i].mapped.original, read.score.texts[i].mapped.original + " (neu)")
                << path << ": " << read.score.texts[i].mapped.where;
    }
}

TEST(MuseScoreDemos, EveryNoteRespelledAndEveryStemFrozenReadsBackSo) {
    const auto demos = Demos();
    ASSERT_FALSE(demos.empty()) << "MuseScore 3's demos are not installed (Debian: apt-get install musescore3)";
    for (const auto& path : demos) {
        Read read = ReadBytes(ReadFile(path.string()));
        ASSERT_TRUE(read.ok) << path << ": " << read.error;
        // A step up with the alteration kept (C to D, F sharp to G sharp), stems down.
        std::map<host::FrameKey, std::vector<EntryRecord>> expected;
        for (const auto& [key, entries] : read.document.Frames()) {
            std::vector<EntryRecord> changed = entries;
            for (EntryRecord& entry : changed) {
                if ((entry.flagsA & 0x40000000u) == 0) continue;
                entry.flagsA = (entry.flagsA | 0x100u) & ~0x1u;
                for (int n = 0; n < entry.noteCount; ++n) ++entry.notes[n].displacement;
            }
            expected[key] = changed;
        }
        for (auto& [key, entries] : expected) read.document.SetFrame(key, entries);
        std::vector<std::string> warnings;
        const std::string out = Write(read, &warnings);
        const Read again = ReadBytes(out);
        ASSERT_TRUE(again.ok) << path << ": " << again.error;
        std::size_t wrong = 0;
        for (const auto& [key, entries] : again.document.Frames()) {
            const auto& want = expected[key];
            ASSERT_EQ(entries.size(), want.size()) << path;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].flagsA != want[i].flagsA) ++wrong;
                for (int n = 0; n < entries[i].noteCount; ++n)
                    if (entries[i].notes[n].displacement != want[i].notes[n].displacement ||
                        entries[i].notes[n].raiseLower != want[i].notes[n].raiseLower)
                        ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0u) << path;
    }
}

}  // namespace
