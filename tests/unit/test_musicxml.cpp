// MusicXML scores: every text kind read from its element and written back
// into the file's own bytes, lyrics split back into syllables, and every
// kind of damaged file refused with a message.
#include <gtest/gtest.h>
#include <zip.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/markup/encoding.h"
#include "host/markup/lyrics.h"
#include "host/musicxml/score.h"
#include "shell/host_records.h"

namespace {

using host::Document;
using host::Key;

std::string ReadTestFile(const std::string& name) {
    std::ifstream in(std::string(ORVO_SOURCE_DIR) + "/tests/musicxml/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string& AllKinds() {
    static const std::string text = ReadTestFile("all_kinds.musicxml");
    return text;
}

// A ZIP archive in memory, members in the order given.
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

std::string Container(const std::string& rootPath) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<container><rootfiles><rootfile full-path=\"" + rootPath +
           "\" media-type=\"application/vnd.recordare.musicxml+xml\"/></rootfiles></container>\n";
}

std::string Mxl(const std::string& score) {
    return MakeArchive({{"mimetype", "application/vnd.recordare.musicxml"},
                        {"META-INF/container.xml", Container("score.musicxml")},
                        {"score.musicxml", score}});
}

std::string Utf16(const std::string& utf8, markup::Encoding encoding, bool mark) {
    std::string out;
    EXPECT_TRUE(markup::EncodeFromUtf8(utf8, {encoding, mark}, &out));
    return out;
}

struct Read {
    bool ok = false;
    Document document;
    musicxml::Score score;
    std::string error;
};

Read ReadBytes(const std::string& bytes, musicxml::ReadOptions options = {}) {
    Read read;
    read.ok = musicxml::ReadScore(bytes, options, &read.document, &read.score, &read.error);
    return read;
}

std::string Write(const Read& read, std::vector<std::string>* warnings = nullptr) {
    std::vector<std::string> ignored;
    std::string out;
    std::string error;
    EXPECT_TRUE(musicxml::WriteScore(read.score, read.document, &out, warnings ? warnings : &ignored, &error)) << error;
    return out;
}

std::int16_t Int16At(const host::Bytes& bytes, std::size_t offset) {
    return static_cast<std::int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// The text behind a record that names a text block at `offset`.
std::string BlockText(const Document& d, std::uint32_t tag, Key key, std::size_t offset) {
    const host::Bytes* record = d.Record(tag, key);
    if (!record) return "<no record>";
    const host::Bytes* block = d.Record(host::kTagTextBlock, {Int16At(*record, offset), 0, 0});
    if (!block) return "<no block>";
    return d.RecordText(host::kTagTextBlockText, {Int16At(*block, 0), 0, 0}).value_or("<no text>");
}

void SetBlockText(Document& d, std::uint32_t tag, Key key, std::size_t offset, const std::string& text) {
    const host::Bytes* block = d.Record(host::kTagTextBlock, {Int16At(*d.Record(tag, key), offset), 0, 0});
    host::Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    d.SetRecord(host::kTagTextBlockText, {Int16At(*block, 0), 0, 0}, bytes);
}

void SetText(Document& d, std::uint32_t tag, Key key, const std::string& text, std::size_t header = 0) {
    host::Bytes bytes(header, 0);
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
    d.SetRecord(tag, key, bytes);
}

// Each place a text kind is held in the document, as the plug-in reads it.
struct Place {
    const char* what;
    std::uint32_t tag;
    Key key;
    int offset;  // text block id at this offset; -1: the record is the text, -12: after a 12-byte header
    const char* text;
    const char* element;  // as it stands in the file
};

const Place kPlaces[] = {
    {"page text, page 1", host::kTagPageTextAssignment, {1, 0, 0}, 0, "Kleine Suite", "\"24\">Kleine Suite<"},
    {"second page text, page 1",
     host::kTagPageTextAssignment,
     {1, 1, 0},
     0,
     "Bach & Söhne ^(arr.)",
     ">Bach &amp; Söhne ^(arr.)<"},
    {"page text, page 2", host::kTagPageTextAssignment, {2, 0, 0}, 0, "Kleine Suite, page 2", ">Kleine Suite, page 2<"},
    {"rehearsal mark, staff 1", host::kTagMeasureTextAssignment, {1, 1, 0}, 0, "A", ">A<"},
    // the piano's second staff: the third staff of the score
    {"rehearsal mark, staff 3", host::kTagMeasureTextAssignment, {3, 1, 0}, 0, "B", ">B<"},
    {"words", host::kTagTextExpression, {1, 0, 0}, -12, "dolce <sempre>", ">dolce &lt;sempre&gt;<"},
    {"full staff name", host::kTagStaff, {1, 0, 0}, 30, "Flöte", ">Flöte<"},
    {"abbreviated staff name", host::kTagStaff, {1, 0, 0}, 32, "Fl.", ">Fl.<"},
    {"full group name", host::kTagGroup, {0, 1, 0}, 4, "Holzbläser", ">Holzbläser<"},
    {"abbreviated group name", host::kTagGroup, {0, 1, 0}, 22, "Hbl.", ">Hbl.<"},
    {"jump with its sound", host::kTagTextRepeatText, {1, 0, 0}, -1, "D.S. al Coda", ">D.S. al Coda<"},
    {"Fine by its words", host::kTagTextRepeatText, {2, 0, 0}, -1, "Fine", ">Fine<"},
    {"ending", host::kTagEndingRepeatText, {2, 0, 0}, -1, "1.", ">1.<"},
};

std::string TextAt(const Document& d, const Place& place) {
    if (place.offset >= 0) return BlockText(d, place.tag, place.key, static_cast<std::size_t>(place.offset));
    return d.RecordText(place.tag, place.key).value_or("<no record>");
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(MusicXmlRead, EveryTextKindComesFromItsElement) {
    const Read read = ReadBytes(AllKinds());
    ASSERT_TRUE(read.ok) << read.error;
    for (const Place& place : kPlaces) EXPECT_EQ(TextAt(read.document, place), place.text) << place.what;
    // Every staff of a part carries the part's names.
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {2, 0, 0}, 30), "Klavier");
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {3, 0, 0}, 32), "Kl.");
    EXPECT_EQ(read.document.Record(host::kTagStaff, {4, 0, 0}), nullptr);
    // Verses across both parts, as a person types them: hyphens inside a
    // word, spaces between words and around an elision; carets as they are.
    EXPECT_EQ(read.document.RecordText(host::kTagVerseLyrics, {1, 0, 0}), "Glo-ry to God a^men");
    EXPECT_EQ(read.document.RecordText(host::kTagVerseLyrics, {2, 0, 0}), "Sing we all");
    EXPECT_EQ(read.document.Record(host::kTagMeasure, {3, 0, 0}) != nullptr, true);
    EXPECT_EQ(read.document.Record(host::kTagMeasure, {4, 0, 0}), nullptr);
}

TEST(MusicXmlWrite, NothingChangedWritesTheSameBytes) {
    const std::string plain = AllKinds();
    // a Windows file: line ends and a byte order mark stay as they were
    std::string crlf = "\xEF\xBB\xBF";
    for (char c : plain) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::pair<const char*, std::string> files[] = {
        {"UTF-8", plain},
        {"UTF-8 with a mark and CRLF", crlf},
        {"UTF-16 little endian", Utf16(plain, markup::Encoding::Utf16LittleEndian, true)},
        {"UTF-16 big endian", Utf16(plain, markup::Encoding::Utf16BigEndian, true)},
        {".mxl", Mxl(plain)},
    };
    for (const auto& [what, bytes] : files) {
        const Read read = ReadBytes(bytes);
        ASSERT_TRUE(read.ok) << what << ": " << read.error;
        EXPECT_EQ(TextAt(read.document, kPlaces[1]), kPlaces[1].text) << what;
        EXPECT_TRUE(Write(read) == bytes) << what;
    }
}

TEST(MusicXmlWrite, EachChangedTextIsSplicedIntoItsElementOnly) {
    for (const Place& place : kPlaces) {
        Read read = ReadBytes(AllKinds());
        ASSERT_TRUE(read.ok);
        const std::string changed = "neu & <anders> ^(x) é";
        if (place.offset >= 0)
            SetBlockText(read.document, place.tag, place.key, static_cast<std::size_t>(place.offset), changed);
        else
            SetText(read.document, place.tag, place.key, changed, place.offset == -12 ? 12 : 0);
        const std::string out = Write(read);
        // The file as it was, with this one element's content replaced.
        std::string expected = AllKinds();
        const std::string element = place.element;
        const std::size_t at = expected.find(element);
        ASSERT_NE(at, std::string::npos) << place.what;
        const std::size_t inner = element.find('>') + 1;
        expected.replace(at + inner, element.size() - inner - 1, "neu &amp; &lt;anders&gt; ^(x) é");
        if (place.tag == host::kTagEndingRepeatText) {
            // every part's copy of the ending
            const std::size_t second = expected.find(element, at + 1);
            ASSERT_NE(second, std::string::npos);
            expected.replace(second + 1, element.size() - 2, "neu &amp; &lt;anders&gt; ^(x) é");
        }
        EXPECT_EQ(out, expected) << place.what;
        const Read again = ReadBytes(out);
        ASSERT_TRUE(again.ok) << place.what << ": " << again.error;
        // Words without a sound are a repeat by what they say; new words read as an expression.
        if (std::string(place.what) != "Fine by its words") {
            EXPECT_EQ(TextAt(again.document, place), changed) << place.what;
        }
    }
}

TEST(MusicXmlWrite, ChangesInsideCompressedAndUtf16ScoresStayInTheirForm) {
    const std::string kinds[] = {Mxl(AllKinds()), Utf16(AllKinds(), markup::Encoding::Utf16BigEndian, true)};
    for (const std::string& bytes : kinds) {
        Read read = ReadBytes(bytes);
        ASSERT_TRUE(read.ok) << read.error;
        SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 30, "Querflöte");
        const std::string out = Write(read);
        EXPECT_EQ(out.compare(0, 2, bytes, 0, 2), 0) << "the same container or byte order mark";
        const Read again = ReadBytes(out);
        ASSERT_TRUE(again.ok) << again.error;
        EXPECT_EQ(BlockText(again.document, host::kTagStaff, {1, 0, 0}, 30), "Querflöte");
        EXPECT_EQ(again.score.Xml().size(), read.score.Xml().size() + std::string("Quer").size());
    }
}

TEST(MusicXmlWrite, StavesOfOnePartShareItsName) {
    Read read = ReadBytes(AllKinds());
    ASSERT_TRUE(read.ok);
    SetBlockText(read.document, host::kTagStaff, {2, 0, 0}, 30, "Piano");
    SetBlockText(read.document, host::kTagStaff, {3, 0, 0}, 30, "Piano");
    std::vector<std::string> warnings;
    std::string out = Write(read, &warnings);
    EXPECT_EQ(Count(out, "<part-name>Piano</part-name>"), 1u);
    EXPECT_TRUE(warnings.empty());
    // Two different names for one element: the first is written, the other reported.
    SetBlockText(read.document, host::kTagStaff, {3, 0, 0}, 30, "Flügel");
    out = Write(read, &warnings);
    EXPECT_EQ(Count(out, "<part-name>Piano</part-name>"), 1u);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Flügel"), std::string::npos) << warnings[0];
}

TEST(MusicXmlLyrics, AVerseGoesBackToTheSameNotes) {
    Read read = ReadBytes(AllKinds());
    ASSERT_TRUE(read.ok);
    SetText(read.document, host::kTagVerseLyrics, {1, 0, 0}, "Eh-re sei Gott A^men");
    SetText(read.document, host::kTagVerseLyrics, {2, 0, 0}, "Sing you all");
    std::vector<std::string> warnings;
    const std::string out = Write(read, &warnings);
    EXPECT_TRUE(warnings.empty());
    for (const char* part :
         {"<syllabic>begin</syllabic><text>Eh</text>", "<syllabic>end</syllabic><text>re</text><extend/>",
          "<text>sei</text>", "<text>Gott</text>", "<text>A^men</text>",
          "<text>you</text><elision>‿</elision><syllabic>single</syllabic><text>all</text>"})
        EXPECT_NE(out.find(part), std::string::npos) << part;
    EXPECT_EQ(out.size(), AllKinds().size() + 1 - 1 + 1 - 1 + 1 + 1);  // ehre/glory, sei/to, gott/god, you/we
}

TEST(MusicXmlLyrics, AVerseWhoseSyllableBoundariesChangedIsNotWritten) {
    const struct {
        const char* verse;
        const char* part;  // the part the warning names
    } cases[] = {
        {"Glo-ry to God-a^men", "\"Klavier\" (P2)"},  // a word run on into the next part
        {"Glory to God a^men", "\"Flöte\" (P1), measure 1"},
        {"Glo-ry to God", "\"Klavier\" (P2)"},
    };
    for (const auto& c : cases) {
        Read read = ReadBytes(AllKinds());
        ASSERT_TRUE(read.ok);
        SetText(read.document, host::kTagVerseLyrics, {1, 0, 0}, c.verse);
        SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 30, "Flute");  // still written
        std::vector<std::string> warnings;
        const std::string out = Write(read, &warnings);
        ASSERT_EQ(warnings.size(), 1u) << c.verse;
        EXPECT_NE(warnings[0].find("verse 1"), std::string::npos) << warnings[0];
        EXPECT_NE(warnings[0].find(c.part), std::string::npos) << warnings[0];
        EXPECT_NE(warnings[0].find("not written back"), std::string::npos) << warnings[0];
        std::string expected = AllKinds();
        expected.replace(expected.find(">Flöte<") + 1, std::string("Flöte").size(), "Flute");
        EXPECT_EQ(out, expected) << c.verse;
    }
}

TEST(MusicXmlLyrics, JoinAndSplitAsAPersonTypes) {
    std::vector<markup::Syllable> syllables(4);
    syllables[0].text = "Hal", syllables[0].hyphenAfter = true;
    syllables[1].text = "le", syllables[1].hyphenAfter = true;
    syllables[2].text = "lu", syllables[2].hyphenAfter = true;
    syllables[3].text = "ja", syllables[3].part = 1;  // a word never runs into the next part
    EXPECT_EQ(markup::JoinVerse(syllables), "Hal-le-lu ja");
    EXPECT_EQ(markup::SplitVerse("Hal-le-lu ja"), (std::vector<std::string>{"Hal", "le", "lu", "ja"}));
    EXPECT_EQ(markup::SplitVerse("a--b").size(), 3u);
    EXPECT_EQ(markup::SplitVerse(""), std::vector<std::string>{""});
}

TEST(MusicXmlWrite, ATextThatCannotBeXmlIsReportedNotWritten) {
    Read read = ReadBytes(AllKinds());
    ASSERT_TRUE(read.ok);
    SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 32, "Fl\x01");
    SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 30, "Fl\xC3");
    std::vector<std::string> warnings;
    EXPECT_EQ(Write(read, &warnings), AllKinds());
    EXPECT_EQ(warnings.size(), 2u);
}

std::string Score(const std::string& inside) { return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + inside + "\n"; }
const char kMinimal[] =
    "<score-partwise version=\"3.1\"><part-list><score-part id=\"P1\"><part-name>Oboe</part-name></score-part>"
    "</part-list><part id=\"P1\"><measure number=\"1\"/></part></score-partwise>";

TEST(MusicXmlRead, DamagedFilesAreRefusedWithAMessage) {
    std::string encrypted =
        MakeArchive({{"META-INF/container.xml", Container("score.musicxml")}, {"score.musicxml", Score(kMinimal)}});
    // Mark every member as encrypted, in its local header and the directory.
    for (std::size_t at = encrypted.find("PK\x03\x04"); at != std::string::npos;
         at = encrypted.find("PK\x03\x04", at + 4))
        encrypted[at + 6] = static_cast<char>(encrypted[at + 6] | 1);
    for (std::size_t at = encrypted.find("PK\x01\x02"); at != std::string::npos;
         at = encrypted.find("PK\x01\x02", at + 4))
        encrypted[at + 8] = static_cast<char>(encrypted[at + 8] | 1);

    musicxml::ReadOptions small;
    small.limits.memberBytes = 4096;
    small.limits.totalBytes = 6000;
    const std::string big(5000, ' ');
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
        musicxml::ReadOptions options;
    };
    const Case cases[] = {
        {"not XML", "Hello, world", "not well-formed XML at line 1, column 1", {}},
        {"not well-formed",
         Score("<score-partwise>\n  <part-list>\n    <score-part id=\"P1\"></part-list>"),
         "line 4, column 27: Start-end tags mismatch",
         {}},
        {"not MusicXML", Score("<html><body/></html>"), "the root element is <html>", {}},
        {"timewise", Score("<score-timewise version=\"3.1\"><part-list/></score-timewise>"), "timewise", {}},
        {"no part list", Score("<score-partwise/>"), "no <part-list>", {}},
        {"entities of its own",
         Score("<!DOCTYPE score-partwise [<!ENTITY lol \"lol\">]>\n" + std::string(kMinimal)),
         "declares entities",
         {}},
        {"another encoding",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-5\"?>\n" + std::string(kMinimal),
         "which is not read; the encodings read are",
         {}},
        {"UTF-16 broken in a character", std::string("\xFF\xFE<\0a", 5), "middle of a character", {}},
        {"no container", MakeArchive({{"score.musicxml", Score(kMinimal)}}), "without META-INF/container.xml", {}},
        {"no rootfile",
         MakeArchive({{"META-INF/container.xml", "<container><rootfiles/></container>"}}),
         "names no rootfile",
         {}},
        {"rootfile outside",
         MakeArchive({{"META-INF/container.xml", Container("../../etc/passwd")}}),
         "leaves the archive",
         {}},
        {"rootfile missing",
         MakeArchive({{"META-INF/container.xml", Container("score.musicxml")}}),
         "is not in the archive",
         {}},
        {"member too large",
         MakeArchive({{"META-INF/container.xml", Container("s.xml")}, {"s.xml", Score(kMinimal) + big}}),
         "s.xml unpacks to more than", small},
        {"all members too large",
         MakeArchive({{"META-INF/container.xml", Container("s.xml")},
                      {"a", big.substr(0, 4000)},
                      {"s.xml", Score(kMinimal) + big.substr(0, 3000)}}),
         "the archive unpacks to more than", small},
        {"encrypted", encrypted, "encrypted", {}},
        {"a broken archive", std::string("PK\x03\x04", 4) + "garbage", "not a readable .mxl archive", {}},
    };
    for (const Case& c : cases) {
        const Read read = ReadBytes(c.bytes, c.options);
        EXPECT_FALSE(read.ok) << c.what;
        EXPECT_NE(read.error.find(c.message), std::string::npos) << c.what << ": got " << read.error;
        EXPECT_EQ(read.document.RecordCount(), 0u) << c.what;
    }
    // The usual DOCTYPE is read as normal, and so is UTF-16 without a mark.
    EXPECT_TRUE(ReadBytes(AllKinds()).ok);
    const Read unmarked = ReadBytes(Utf16(Score(kMinimal), markup::Encoding::Utf16LittleEndian, false));
    ASSERT_TRUE(unmarked.ok) << unmarked.error;
    EXPECT_EQ(BlockText(unmarked.document, host::kTagStaff, {1, 0, 0}, 30), "Oboe");
}

TEST(MusicXmlRead, ContentDecidesTheFormat) {
    EXPECT_TRUE(musicxml::LooksLikeMusicXml(AllKinds()));
    EXPECT_TRUE(musicxml::LooksLikeMusicXml(Mxl(AllKinds())));
    EXPECT_TRUE(musicxml::LooksLikeMusicXml(Utf16(kMinimal, markup::Encoding::Utf16BigEndian, false)));
    EXPECT_TRUE(musicxml::LooksLikeMusicXml("\xEF\xBB\xBF  <score-partwise/>"));
    EXPECT_FALSE(musicxml::LooksLikeMusicXml("{\"measures\": 2}"));
    EXPECT_FALSE(musicxml::LooksLikeMusicXml(""));
}

}  // namespace

namespace {

// The plug-in's lengths and offsets are 16-bit: a longer text stays out of
// the search, with a note, instead of reaching the plug-in.
TEST(MusicXmlRead, TextsTooLongForThePlugInAreLeftOutWithANote) {
    const std::string longName(40000, 'x');
    std::string lyrics;
    for (int i = 0; i < 7000; ++i)
        lyrics += "<note><rest/><duration>1</duration><lyric><text>abcd</text></lyric></note>";
    const std::string score = "<score-partwise><part-list><score-part id=\"P1\"><part-name>" + longName +
                              "</part-name><part-abbreviation>Ob.</part-abbreviation></score-part></part-list>"
                              "<part id=\"P1\"><measure><attributes><divisions>1</divisions></attributes>" +
                              lyrics + "</measure></part></score-partwise>";
    const Read read = ReadBytes(score);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {1, 0, 0}, 30), "");
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {1, 0, 0}, 32), "Ob.");
    EXPECT_EQ(read.document.Record(host::kTagVerseLyrics, {1, 0, 0}), nullptr);
    ASSERT_EQ(read.score.notes.size(), 2u);
    EXPECT_NE(read.score.notes[0].find("40000 bytes"), std::string::npos) << read.score.notes[0];
    EXPECT_NE(read.score.notes[1].find("verse 1: 34999 bytes"), std::string::npos) << read.score.notes[1];
    EXPECT_EQ(Write(read), score);
}

}  // namespace

namespace {

// Voices, chords, a backup, a grace note and a tuplet into frames and positions.
TEST(MusicXmlFrames, NotesBecomeEntriesInTimeOrderByStaffAndVoice) {
    const std::string score = Score(R"(<score-partwise><part-list><score-part id="P1"><part-name>Piano</part-name>
</score-part></part-list><part id="P1"><measure number="0" implicit="yes">
<attributes><divisions>2</divisions><staves>2</staves></attributes>
<note><pitch><step>C</step><octave>4</octave></pitch><duration>2</duration><voice>1</voice><stem>up</stem></note>
<note><chord/><pitch><step>E</step><octave>4</octave></pitch><duration>2</duration><voice>1</voice><stem>up</stem></note>
<note><grace slash="yes"/><pitch><step>D</step><octave>4</octave></pitch><voice>1</voice></note>
<note><pitch><step>G</step><alter>1</alter><octave>4</octave></pitch><duration>1</duration><tie type="start"/>
 <voice>1</voice><accidental parentheses="yes">sharp</accidental>
 <time-modification><actual-notes>3</actual-notes><normal-notes>2</normal-notes></time-modification>
 <notations><slur type="start"/><articulations><staccato/></articulations></notations><lyric><text>la</text></lyric></note>
<backup><duration>3</duration></backup>
<note><rest/><duration>2</duration><voice>2</voice><staff>1</staff></note>
<note><pitch><step>F</step><octave>3</octave></pitch><duration>1</duration><voice>5</voice><staff>2</staff>
 <stem>down</stem></note>
</measure><measure number="12a"><note><rest/><duration>4</duration></note></measure></part></score-partwise>)");
    Read read = ReadBytes(score);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.score.notes.empty()) << read.score.notes[0];
    const std::vector<EntryRecord>* upper = read.document.Frame({1, 1, 0});
    ASSERT_NE(upper, nullptr);
    ASSERT_EQ(upper->size(), 3u);
    const EntryRecord& chord = (*upper)[0];
    EXPECT_EQ(+chord.position, 0);
    EXPECT_EQ(+chord.duration, 1024);
    // note, chord, stem frozen up, no beam from before (Beam/Beat)
    EXPECT_EQ(+chord.flagsA, 0x40000000u | 0x04000000u | 0x00000100u | 0x00000001u | 0x00000800u);
    ASSERT_EQ(+chord.noteCount, 2);
    EXPECT_EQ(+chord.notes[0].displacement, 0);
    EXPECT_EQ(+chord.notes[1].displacement, 2);
    const EntryRecord& grace = (*upper)[1];
    EXPECT_EQ(+grace.position, 1024);
    EXPECT_EQ(+grace.duration, 0);
    EXPECT_EQ(+grace.flagsA, 0x40000000u | 0x00800000u | 0x00000800u);
    EXPECT_EQ(+grace.flagsB, 0x0100u);  // slash grace
    const EntryRecord& tuplet = (*upper)[2];
    EXPECT_EQ(+tuplet.position, 1024);
    EXPECT_EQ(+tuplet.duration, 512);
    // note, tuplet, articulation, lyrics; slur in word B
    EXPECT_EQ(+tuplet.flagsA, 0x40000000u | 0x00080000u | 0x00200000u | 0x00100000u | 0x00000800u);
    EXPECT_EQ(+tuplet.flagsB, 0x0020u);
    EXPECT_EQ(+tuplet.notes[0].displacement, 4);
    EXPECT_EQ(+tuplet.notes[0].raiseLower, 1);
    EXPECT_EQ(+tuplet.notes[0].flags, 0x40000000u | 0x01000000u | 0x00800000u);  // tie start, accidental in parentheses
    const std::vector<EntryRecord>* second = read.document.Frame({1, 1, 1});
    ASSERT_TRUE(second && second->size() == 1u);
    EXPECT_EQ(+(*second)[0].flagsA, 0x10000000u | 0x00000800u);  // a rest of the staff's second voice
    EXPECT_EQ(+(*second)[0].noteCount, 0);
    EXPECT_EQ(+(*second)[0].duration, 1024);
    const std::vector<EntryRecord>* lower = read.document.Frame({2, 1, 0});
    ASSERT_TRUE(lower && lower->size() == 1u);
    EXPECT_EQ(+(*lower)[0].notes[0].displacement, -4);
    EXPECT_EQ(+(*lower)[0].flagsA, 0x40000000u | 0x00000100u | 0x00000800u);  // stem frozen down
    // Measures by their order in the part, whatever their numbers say.
    ASSERT_NE(read.document.Frame({1, 2, 0}), nullptr);
    EXPECT_EQ(+(*read.document.Frame({1, 2, 0}))[0].duration, 2048);
}

}  // namespace

namespace {

const char kEntriesScore[] = R"(<score-partwise><part-list><score-part id="P1"><part-name>Oboe</part-name></score-part>
</part-list><part id="P1"><measure number="1"><attributes><divisions>1</divisions></attributes>
    <note>
      <pitch><step>B</step><octave>4</octave></pitch>
      <duration>1</duration>
      <type>quarter</type>
      <stem>up</stem>
    </note>
    <note>
      <pitch>
        <step>F</step>
        <alter>1</alter>
        <octave>4</octave>
      </pitch>
      <duration>1</duration>
      <tie type="start"/>
      <type>quarter</type>
      <accidental>sharp</accidental>
      <staff>1</staff>
      <notations>
        <tied type="start"/>
      </notations>
    </note>
</measure></part></score-partwise>)";

EntryRecord& EntryAt(Document& d, int index) { return (*d.Frame({1, 1, 0}))[static_cast<std::size_t>(index)]; }

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct EditCase {
    const char* what;
    void (*change)(Document&);
    std::vector<std::pair<std::string, std::string>> edits;  // the input with these replacements
    const char* warning;                                     // part of the one warning, or ""
    bool readsBackAsChanged = true;                          // false where the change reaches another entry too
};

// Each change is written as the edits say, and what was written reads back
// as the change (a new pitch may gain or lose its accidental).
void ExpectWritten(const std::string& score, const std::vector<EditCase>& cases, int entries) {
    for (const EditCase& c : cases) {
        Read read = ReadBytes(score);
        ASSERT_TRUE(read.ok) << read.error;
        c.change(read.document);
        std::vector<std::string> warnings;
        const std::string out = Write(read, &warnings);
        std::string expected = score;
        for (const auto& [from, to] : c.edits) expected = Replaced(expected, from, to);
        EXPECT_EQ(out, expected) << c.what;
        if (*c.warning != 0) {
            ASSERT_EQ(warnings.size(), 1u) << c.what;
            EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
            continue;
        }
        EXPECT_TRUE(warnings.empty()) << c.what << ": " << warnings[0];
        if (!c.readsBackAsChanged) continue;
        Read again = ReadBytes(out);
        ASSERT_TRUE(again.ok) << c.what << ": " << again.error;
        for (int i = 0; i < entries; ++i) {
            const EntryRecord& got = EntryAt(again.document, i);
            const EntryRecord& want = EntryAt(read.document, i);
            EXPECT_EQ(+got.flagsA, +want.flagsA) << c.what << ", entry " << i;
            EXPECT_EQ(+got.flagsB, +want.flagsB) << c.what << ", entry " << i;
            for (int n = 0; n < want.noteCount; ++n) {
                EXPECT_EQ(+got.notes[n].displacement, +want.notes[n].displacement) << c.what;
                EXPECT_EQ(+got.notes[n].raiseLower, +want.notes[n].raiseLower) << c.what;
                EXPECT_EQ(+got.notes[n].flags & ~0x01000000u, want.notes[n].flags & ~0x01000000u) << c.what;
            }
        }
    }
}

// What a changed entry writes: stems, pitches with their accidentals, and
// a report of what has no MusicXML form.
TEST(MusicXmlEntries, ChangedEntriesAreWrittenIntoTheirNotes) {
    const std::vector<EditCase> cases = {
        {"stem turned down",
         [](Document& d) { EntryAt(d, 0).flagsA &= ~0x00000001u; },
         {{"<stem>up</stem>", "<stem>down</stem>"}},
         ""},
        {"stem no longer frozen",
         [](Document& d) { EntryAt(d, 0).flagsA &= ~0x00000101u; },
         {{"\n      <stem>up</stem>", ""}},
         ""},
        {"a new stem goes before <staff>",
         [](Document& d) { EntryAt(d, 1).flagsA |= 0x00000101u; },
         {{"<staff>1</staff>", "<stem>up</stem>\n      <staff>1</staff>"}},
         ""},
        {"B4 flattened: <alter> and an accidental",
         [](Document& d) { EntryAt(d, 0).notes[0].raiseLower = -1; },
         {{"<step>B</step><octave>", "<step>B</step><alter>-1</alter><octave>"},
          {"<type>quarter</type>\n      <stem>",
           "<type>quarter</type>\n      <accidental>flat</accidental>\n      <stem>"}},
         ""},
        {"F#4 to G4: no <alter>, and in C major no accidental",
         [](Document& d) {
             EntryAt(d, 1).notes[0].displacement = 4;
             EntryAt(d, 1).notes[0].raiseLower = 0;
         },
         {{"<step>F</step>\n        <alter>1</alter>", "<step>G</step>"},
          {"\n      <accidental>sharp</accidental>", ""}},
         ""},
        {"an octave down",
         [](Document& d) { EntryAt(d, 0).notes[0].displacement = -1; },
         {{"<step>B</step><octave>4</octave>", "<step>B</step><octave>3</octave>"}},
         ""},
        {"accidental in parentheses",
         [](Document& d) { EntryAt(d, 1).notes[0].flags |= 0x00800000u; },
         {{"<accidental>sharp</accidental>", "<accidental parentheses=\"yes\">sharp</accidental>"}},
         ""},
        {"accidental hidden",
         [](Document& d) { EntryAt(d, 1).notes[0].flags &= ~0x01000000u; },
         {{"\n      <accidental>sharp</accidental>", ""}},
         ""},
        {"a tie from B4: <tie> after <duration>, <tied> in new <notations>",
         [](Document& d) { EntryAt(d, 0).notes[0].flags |= 0x40000000u; },
         {{"<duration>1</duration>", "<duration>1</duration>\n      <tie type=\"start\"/>"},
          {"<stem>up</stem>", "<stem>up</stem>\n      <notations><tied type=\"start\"/></notations>"}},
         ""},
        {"the tie from F#4 removed, both its elements",
         [](Document& d) { EntryAt(d, 1).notes[0].flags &= ~0x40000000u; },
         {{"\n      <tie type=\"start\"/>", ""}, {"\n        <tied type=\"start\"/>", ""}},
         ""},
        {"a tie into F#4: the stop before the start, <tied> last in <notations>",
         [](Document& d) { EntryAt(d, 1).notes[0].flags |= 0x20000000u; },
         {{"<tie type=\"start\"/>", "<tie type=\"stop\"/>\n      <tie type=\"start\"/>"},
          {"<tied type=\"start\"/>", "<tied type=\"start\"/>\n        <tied type=\"stop\"/>"}},
         ""},
        {"Perf Data has no MusicXML form",
         [](Document& d) { EntryAt(d, 0).flagsA |= 0x00020000u; },
         {},
         "1 change(s) of Perf Data not written"},
    };
    ExpectWritten(Score(kEntriesScore), cases, 2);
}

}  // namespace

namespace {

// G major: eighths beamed in two and one alone, a grace note, and 16ths
// whose second beam breaks in the middle.
const char kBeamsScore[] = R"(<score-partwise><part-list><score-part id="P1"><part-name>Flute</part-name></score-part>
</part-list><part id="P1"><measure number="1"><attributes><divisions>4</divisions><key><fifths>1</fifths></key>
</attributes>
    <note>
      <pitch><step>F</step><alter>1</alter><octave>4</octave></pitch>
      <duration>2</duration>
      <type>eighth</type>
      <beam number="1">begin</beam>
    </note>
    <note>
      <pitch><step>G</step><octave>4</octave></pitch>
      <duration>2</duration>
      <type>eighth</type>
      <beam number="1">end</beam>
      <notations>
        <slur type="start"/>
      </notations>
    </note>
    <note>
      <pitch><step>A</step><octave>4</octave></pitch>
      <duration>2</duration>
      <type>eighth</type>
    </note>
    <note>
      <pitch><step>B</step><octave>4</octave></pitch>
      <duration>2</duration>
      <type>eighth</type>
      <accidental cautionary="yes">natural</accidental>
      <notations>
        <slur type="stop"/>
        <articulations><staccato/></articulations>
      </notations>
    </note>
    <note>
      <grace/>
      <pitch><step>C</step><octave>5</octave></pitch>
      <type>16th</type>
    </note>
    <note>
      <pitch><step>D</step><octave>5</octave></pitch>
      <duration>1</duration>
      <type>16th</type>
      <beam number="1">begin</beam>
      <beam number="2">begin</beam>
    </note>
    <note>
      <pitch><step>E</step><octave>5</octave></pitch>
      <duration>1</duration>
      <type>16th</type>
      <beam number="1">continue</beam>
      <beam number="2">end</beam>
    </note>
    <note>
      <pitch><step>F</step><alter>1</alter><octave>5</octave></pitch>
      <duration>1</duration>
      <type>16th</type>
      <beam number="1">continue</beam>
      <beam number="2">begin</beam>
    </note>
    <note>
      <pitch><step>G</step><octave>5</octave></pitch>
      <duration>1</duration>
      <type>16th</type>
      <beam number="1">end</beam>
      <beam number="2">end</beam>
    </note>
</measure></part></score-partwise>)";

TEST(MusicXmlFrames, BeamsReadAsWhereTheyBreak) {
    Read read = ReadBytes(Score(kBeamsScore));
    ASSERT_TRUE(read.ok) << read.error;
    const std::vector<EntryRecord>& frame = *read.document.Frame({1, 1, 0});
    ASSERT_EQ(frame.size(), 9u);
    const char* const expected[] = {"Beam/Beat", "", "Beam/Beat", "Beam/Beat", "Beam/Beat",
                                    "Beam/Beat", "", "Sec Beam",  ""};
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const std::uint32_t beams = frame[i].flagsA & 0x00000C00u;
        const std::string want = expected[i];
        EXPECT_EQ(beams, want == "Beam/Beat" ? 0x800u : want == "Sec Beam" ? 0x400u : 0u) << "entry " << i;
    }
}

// Beams broken and joined (both notes of the join change), accidentals as
// the key and the measure so far have them, attributes kept, the grace
// slash, articulations taken off, and insertions at one place in order.
TEST(MusicXmlEntries, BeamsKeysGraceAndArticulationsAreWritten) {
    const std::vector<EditCase> cases = {
        {"Beam/Beat on breaks the eighths apart",
         [](Document& d) { EntryAt(d, 1).flagsA |= 0x800u; },
         {{"\n      <beam number=\"1\">begin</beam>", ""}, {"\n      <beam number=\"1\">end</beam>", ""}},
         ""},
        {"Beam/Beat off joins A4 to the beam before",
         [](Document& d) { EntryAt(d, 2).flagsA &= ~0x800u; },
         {{"<beam number=\"1\">end</beam>", "<beam number=\"1\">continue</beam>"},
          {"<step>A</step><octave>4</octave></pitch>\n      <duration>2</duration>\n      <type>eighth</type>",
           "<step>A</step><octave>4</octave></pitch>\n      <duration>2</duration>\n      <type>eighth</type>\n"
           "      <beam number=\"1\">end</beam>"}},
         ""},
        {"Sec Beam off joins the second beam of the 16ths",
         [](Document& d) { EntryAt(d, 7).flagsA &= ~0x400u; },
         {{"<beam number=\"1\">continue</beam>\n      <beam number=\"2\">end</beam>",
           "<beam number=\"1\">continue</beam>\n      <beam number=\"2\">continue</beam>"},
          {"<beam number=\"1\">continue</beam>\n      <beam number=\"2\">begin</beam>",
           "<beam number=\"1\">continue</beam>\n      <beam number=\"2\">continue</beam>"}},
         ""},
        {"Sec Beam on leaves hooks into the group",
         [](Document& d) { EntryAt(d, 6).flagsA |= 0x400u; },
         {{"<beam number=\"1\">begin</beam>\n      <beam number=\"2\">begin</beam>",
           "<beam number=\"1\">begin</beam>\n      <beam number=\"2\">forward hook</beam>"},
          {"<beam number=\"1\">continue</beam>\n      <beam number=\"2\">end</beam>",
           "<beam number=\"1\">continue</beam>\n      <beam number=\"2\">backward hook</beam>"}},
         ""},
        {"a grace note and a note are not beamed together",
         [](Document& d) { EntryAt(d, 5).flagsA &= ~0x800u; },
         {},
         "1 change(s) of Beam/Beat not written"},
        {"F#4 in G major made F: a natural sign before the beam",
         [](Document& d) { EntryAt(d, 0).notes[0].raiseLower = 0; },
         {{"<step>F</step><alter>1</alter><octave>4</octave>", "<step>F</step><octave>4</octave>"},
          {"<type>eighth</type>\n      <beam number=\"1\">begin</beam>",
           "<type>eighth</type>\n      <accidental>natural</accidental>\n      <beam number=\"1\">begin</beam>"}},
         ""},
        {"G4 made F#4 after F#4 in G major: no sign",
         [](Document& d) {
             EntryAt(d, 1).notes[0].displacement = 3;
             EntryAt(d, 1).notes[0].raiseLower = 1;
         },
         {{"<step>G</step><octave>4</octave>", "<step>F</step><alter>1</alter><octave>4</octave>"}},
         ""},
        {"after an F natural in the measure, a second F natural needs no sign",
         [](Document& d) {
             EntryAt(d, 0).notes[0].raiseLower = 0;
             EntryAt(d, 2).notes[0].displacement = 3;
         },
         {{"<step>F</step><alter>1</alter><octave>4</octave>", "<step>F</step><octave>4</octave>"},
          {"<type>eighth</type>\n      <beam number=\"1\">begin</beam>",
           "<type>eighth</type>\n      <accidental>natural</accidental>\n      <beam number=\"1\">begin</beam>"},
          {"<step>A</step><octave>4</octave>", "<step>F</step><octave>4</octave>"}},
         ""},
        {"parentheses added, the cautionary attribute kept",
         [](Document& d) { EntryAt(d, 3).notes[0].flags |= 0x00800000u; },
         {{"<accidental cautionary=\"yes\">", "<accidental parentheses=\"yes\" cautionary=\"yes\">"}},
         ""},
        {"a slash on the grace note",
         [](Document& d) { EntryAt(d, 4).flagsB |= 0x0100u; },
         {{"<grace/>", "<grace slash=\"yes\"/>"}},
         ""},
        {"articulations taken off",
         [](Document& d) { EntryAt(d, 3).flagsA &= ~0x00200000u; },
         {{"\n        <articulations><staccato/></articulations>", ""}},
         ""},
        {"articulations cannot be put on: which one is not known",
         [](Document& d) { EntryAt(d, 2).flagsA |= 0x00200000u; },
         {},
         "1 change(s) of Articulation not written"},
        {"the slur taken off at both its ends",
         [](Document& d) {
             EntryAt(d, 1).flagsB &= ~0x0020u;
             EntryAt(d, 3).flagsB &= ~0x0020u;
         },
         {{"\n        <slur type=\"start\"/>", ""}, {"\n        <slur type=\"stop\"/>", ""}},
         ""},
        {"the slur taken off at its end goes whole",
         [](Document& d) { EntryAt(d, 3).flagsB &= ~0x0020u; },
         {{"\n        <slur type=\"start\"/>", ""}, {"\n        <slur type=\"stop\"/>", ""}},
         "",
         false},
        {"a slur cannot be put on: where it ends is not known",
         [](Document& d) { EntryAt(d, 2).flagsB |= 0x0020u; },
         {},
         "1 change(s) of Slur not written"},
        {"an accidental and a stem new at one place, in the schema's order",
         [](Document& d) {
             EntryAt(d, 2).flagsA |= 0x00000101u;
             EntryAt(d, 2).notes[0].raiseLower = -1;
         },
         {{"<step>A</step><octave>4</octave></pitch>\n      <duration>2</duration>\n      <type>eighth</type>",
           "<step>A</step><alter>-1</alter><octave>4</octave></pitch>\n      <duration>2</duration>\n"
           "      <type>eighth</type>\n      <accidental>flat</accidental>\n      <stem>up</stem>"}},
         ""},
    };
    ExpectWritten(Score(kBeamsScore), cases, 9);
}

// An element may hold, deeper down, one of its own name: its end is the end
// tag after its last child, not the first of that name (the fuzzer found the
// score written broken).
TEST(MusicXmlEntries, AnElementHoldingOneOfItsNameIsTakenOffWhole) {
    const std::string score =
        Score(R"(<score-partwise><part-list><score-part id="P1"><part-name>Oboe</part-name>
</score-part></part-list><part id="P1"><measure number="1"><attributes><divisions>1</divisions></attributes>
<note><pitch><step>C</step><octave>4</octave></pitch><duration>4</duration><type>whole</type><notations><articulations>)"
              R"(<accent/><other-articulation>x<articulations>y</articulations></other-articulation>)"
              R"(</articulations></notations></note>
</measure></part></score-partwise>)");
    const std::vector<EditCase> cases = {
        {"Articulation off",
         [](Document& d) { EntryAt(d, 0).flagsA &= ~0x00200000u; },
         {{"<articulations><accent/><other-articulation>x<articulations>y</articulations></other-articulation>"
           "</articulations>",
           ""}},
         ""},
    };
    ExpectWritten(score, cases, 1);
}

}  // namespace

namespace {

// Measures that do not add up, a backup past the start, no divisions, a
// fifth voice, a part without measures: read as they stand and said once.
TEST(MusicXmlFrames, IrregularMeasuresAreReadAndReported) {
    std::string voices;
    for (int v = 1; v <= 5; ++v)
        voices += "<note><rest/><duration>4</duration><voice>" + std::to_string(v) +
                  "</voice></note><backup><duration>4</duration></backup>";
    const std::string score = Score(
        "<score-partwise><part-list><score-part id=\"P1\"><part-name>A</part-name></score-part>"
        "<score-part id=\"P2\"><part-name>B</part-name></score-part><score-part id=\"P3\"><part-name>C</part-name>"
        "</score-part></part-list>"
        "<part id=\"P1\"><measure number=\"1\"><attributes><divisions>1</divisions><time><beats>4</beats>"
        "<beat-type>4</beat-type></time></attributes><note><rest/><duration>5</duration></note>"
        "<backup><duration>9</duration></backup><note><rest/><duration>1</duration><voice>2</voice></note></measure>"
        "<measure number=\"2\">" +
        voices +
        "</measure></part>"
        "<part id=\"P2\"><measure number=\"1\"><note><pitch><step>C</step><octave>4</octave></pitch>"
        "<duration>1</duration></note></measure></part><part id=\"P3\"/></score-partwise>");
    Read read = ReadBytes(score);
    ASSERT_TRUE(read.ok) << read.error;
    const char* const said[] = {"(P1), measure 1: <backup> goes back past the measure's start",
                                "(P1), measure 1: the notes last 5120 units where the time signature gives 4096",
                                "(P1), measure 2: staff 1 has a fifth voice (5)", "(P2), measure 1: no <divisions>",
                                "\"C\" (P3) has no measures"};
    std::string all;
    for (const std::string& note : read.score.entryNotes) all += note + "\n";
    for (const char* part : said) EXPECT_NE(all.find(part), std::string::npos) << part << "\n" << all;
    EXPECT_EQ(read.score.entryNotes.size(), 5u) << all;
    EXPECT_TRUE(read.score.notes.empty()) << "the note reader's findings are kept apart from the texts'";
    ASSERT_NE(read.document.Frame({1, 1, 1}), nullptr);
    EXPECT_EQ(+(*read.document.Frame({1, 1, 1}))[0].position, 0);  // the backup stopped at the start
    EXPECT_EQ(read.document.Frame({1, 2, 4}), nullptr);            // no fifth layer
    ASSERT_NE(read.document.Frame({1, 2, 3}), nullptr);
    EXPECT_EQ(Write(read), score);
}

}  // namespace
