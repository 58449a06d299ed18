// MusicXML as real files have it: 8-bit encodings read and written back in
// their own encoding, new texts that read back exactly, the score header's
// texts, shown part names, and verses written back by where each change fell.
#include <gtest/gtest.h>
#include <zip.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "host/markup/encoding.h"
#include "host/markup/lyrics.h"
#include "host/musicxml/score.h"
#include "host/markup/xml_text.h"
#include "shell/host_records.h"

namespace {

using host::Document;
using host::Key;
using markup::Encoding;

struct Read {
    bool ok = false;
    Document document;
    musicxml::Score score;
    std::string error;
};

Read ReadBytes(const std::string& bytes) {
    Read read;
    read.ok = musicxml::ReadScore(bytes, {}, &read.document, &read.score, &read.error);
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

void SetText(Document& d, std::uint32_t tag, Key key, const std::string& text) {
    host::Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    d.SetRecord(tag, key, bytes);
}

std::string Encoded(const std::string& utf8, Encoding encoding) {
    std::string out;
    EXPECT_TRUE(markup::EncodeFromUtf8(utf8, {encoding, false}, &out)) << utf8;
    return out;
}

std::string Mxl(const std::string& score) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    zip_source_keep(source);
    const std::string container =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<container><rootfiles><rootfile full-path=\"score.xml\"/>"
        "</rootfiles></container>\n";
    const std::pair<const char*, const std::string*> members[] = {{"META-INF/container.xml", &container},
                                                                  {"score.xml", &score}};
    for (const auto& [name, bytes] : members)
        zip_file_add(archive, name, zip_source_buffer(archive, bytes->data(), bytes->size(), 0), ZIP_FL_ENC_UTF_8);
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

// A small score with a non-ASCII text of every kind, declared as `name`.
std::string EightBitScore(const std::string& name, const std::string& credit) {
    return "<?xml version=\"1.0\" encoding=\"" + name +
           "\"?>\n"
           "<score-partwise version=\"4.0\">\n"
           "  <credit page=\"1\"><credit-words>" +
           credit +
           "</credit-words></credit>\n"
           "  <part-list><score-part id=\"P1\"><part-name>Flügelhorn</part-name></score-part></part-list>\n"
           "  <part id=\"P1\"><measure number=\"1\"><attributes><divisions>1</divisions></attributes>\n"
           "    <note><pitch><step>C</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type>"
           "<lyric number=\"1\"><syllabic>begin</syllabic><text>é</text></lyric></note>\n"
           "    <note><pitch><step>D</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type>"
           "<lyric number=\"1\"><syllabic>end</syllabic><text>té</text></lyric></note>\n"
           "  </measure></part>\n"
           "</score-partwise>\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(MusicXmlEncodings, EightBitFilesAreReadAsUtf8AndWrittenBackInTheirEncoding) {
    const struct {
        const char* name;
        Encoding encoding;
        const char* credit;
    } kinds[] = {
        {"ISO-8859-1", Encoding::Latin1, "© 2020 Müller"},
        {"windows-1252", Encoding::Windows1252, "© 2020 Müller, 3 €"},
    };
    for (const auto& kind : kinds) {
        const std::string utf8 = EightBitScore(kind.name, kind.credit);
        const std::string file = Encoded(utf8, kind.encoding);
        ASSERT_EQ(file.find("\xC3"), std::string::npos) << "one byte a character";
        for (const bool compressed : {false, true}) {
            const std::string bytes = compressed ? Mxl(file) : file;
            Read read = ReadBytes(bytes);
            ASSERT_TRUE(read.ok) << kind.name << ": " << read.error;
            // The plug-in sees UTF-8.
            EXPECT_EQ(BlockText(read.document, host::kTagPageTextAssignment, {1, 0, 0}, 0), kind.credit);
            EXPECT_EQ(BlockText(read.document, host::kTagStaff, {1, 0, 0}, 30), "Flügelhorn");
            EXPECT_EQ(read.document.RecordText(host::kTagVerseLyrics, {1, 0, 0}), "é-té");
            EXPECT_TRUE(Write(read) == bytes) << kind.name << ": nothing changed, the same bytes";

            // Changes in every kind: the new characters in the file's encoding,
            // one outside it as a reference; every other byte as it was.
            SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 30, "Flügel Ω");
            SetBlockText(read.document, host::kTagPageTextAssignment, {1, 0, 0}, 0, std::string(kind.credit) + " — ½");
            SetText(read.document, host::kTagVerseLyrics, {1, 0, 0}, "É-té");
            const std::string out = Write(read);
            std::string expected = Replaced(utf8, "Flügelhorn", "Flügel &#x3A9;");
            expected =
                Replaced(expected, std::string(kind.credit) + "<",
                         std::string(kind.credit) + (kind.encoding == Encoding::Latin1 ? " &#x2014; ½<" : " — ½<"));
            expected = Replaced(expected, "<text>é</text>", "<text>É</text>");
            if (!compressed) {
                EXPECT_TRUE(out == Encoded(expected, kind.encoding)) << kind.name << "\n" << out;
            }
            const Read again = ReadBytes(out);
            ASSERT_TRUE(again.ok) << again.error;
            EXPECT_EQ(again.score.encoding.encoding, kind.encoding);
            EXPECT_EQ(BlockText(again.document, host::kTagStaff, {1, 0, 0}, 30), "Flügel Ω");
            EXPECT_EQ(BlockText(again.document, host::kTagPageTextAssignment, {1, 0, 0}, 0),
                      std::string(kind.credit) + " — ½");
            EXPECT_EQ(again.document.RecordText(host::kTagVerseLyrics, {1, 0, 0}), "É-té");
        }
    }
}

// The bytes Windows-1252 leaves undefined come back as they were, next to a change.
TEST(MusicXmlEncodings, UndefinedWindows1252BytesAreKept) {
    const std::string file = Replaced(Encoded(EightBitScore("windows-1252", "x"), Encoding::Windows1252), ">x<",
                                      ">\x81\x8D\x8F\x90\x9D \x80<");
    Read read = ReadBytes(file);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(BlockText(read.document, host::kTagPageTextAssignment, {1, 0, 0}, 0),
              "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D €");
    EXPECT_TRUE(Write(read) == file);
    SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 30, "Horn \xC2\x81");
    EXPECT_TRUE(Write(read) == Replaced(file, "Fl\xFCgelhorn", "Horn &#x81;"));
}

TEST(MusicXmlEncodings, TheDeclarationDecidesAndBytesMustFollowIt) {
    // US-ASCII is read as it is, and a new "é" goes in as a reference.
    const std::string ascii = Replaced(EightBitScore("US-ASCII", "(c) 2020"), "Flügelhorn", "Horn");
    Read read = ReadBytes(Replaced(Replaced(ascii, "é</text>", "e</text>"), "té<", "te<"));
    ASSERT_TRUE(read.ok) << read.error;
    SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 30, "Hörn");
    EXPECT_NE(Write(read).find("<part-name>H&#xF6;rn</part-name>"), std::string::npos);

    // A Latin-1 declaration over UTF-8 bytes is still Latin-1: two characters for each "é".
    const std::string utf8Bytes = EightBitScore("ISO-8859-1", "x");
    read = ReadBytes(utf8Bytes);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.document.RecordText(host::kTagVerseLyrics, {1, 0, 0}), "Ã©-tÃ©");
    SetBlockText(read.document, host::kTagPageTextAssignment, {1, 0, 0}, 0, "y");
    EXPECT_EQ(Write(read), Replaced(utf8Bytes, ">x<", ">y<"));

    const std::string latin1 = Encoded(EightBitScore("ISO-8859-1", "x"), Encoding::Latin1);
    const struct {
        const char* what;
        std::string bytes;
        const char* message;
    } refused[] = {
        {"UTF-8 declared over Latin-1 bytes", Replaced(latin1, "ISO-8859-1", "UTF-8"),
         "not valid UTF-8 at line 4, column 47 (byte 0xFC)"},
        {"no declaration over Latin-1 bytes", latin1.substr(latin1.find('\n') + 1),
         "without an encoding declaration is UTF-8"},
        {"US-ASCII over Latin-1 bytes", Replaced(latin1, "ISO-8859-1", "US-ASCII"),
         "the byte 0xFC at line 4, column 47 is not US-ASCII"},
        {"UTF-8 bytes declaring UTF-16", EightBitScore("UTF-16", "x"), "but is 8-bit text"},
        {"another encoding", EightBitScore("ISO-8859-2", "x"),
         "\"ISO-8859-2\", which is not read; the encodings read are UTF-8, UTF-16, ISO-8859-1 (Latin-1), "
         "Windows-1252 and US-ASCII"},
        {"UTF-16 declaring Latin-1", Encoded(EightBitScore("ISO-8859-1", "x"), Encoding::Utf16BigEndian),
         "is UTF-16 text but declares"},
        {"inside an archive", Mxl(Replaced(latin1, "ISO-8859-1", "UTF-8")), "score.xml: not valid UTF-8"},
    };
    for (const auto& c : refused) {
        const Read bad = ReadBytes(c.bytes);
        EXPECT_FALSE(bad.ok) << c.what;
        EXPECT_NE(bad.error.find(c.message), std::string::npos) << c.what << ": got " << bad.error;
    }
    // UTF-32 by its zero bytes, before UTF-16 is guessed.
    std::string utf32;
    for (char c : std::string("<a/>")) utf32 += std::string(1, c) + std::string(3, '\0');
    EXPECT_NE(ReadBytes(utf32).error.find("UTF-32"), std::string::npos);
    std::string bigEndian = std::string(3, '\0') + "<";
    EXPECT_TRUE(musicxml::LooksLikeMusicXml(bigEndian + std::string(3, '\0') + "a"));
    EXPECT_NE(ReadBytes(bigEndian).error.find("UTF-32"), std::string::npos);
}

TEST(MusicXmlNewText, ReadsBackAsExactlyTheTextWritten) {
    EXPECT_EQ(markup::EscapeContent("a\r\nb\tc & <d> \xC2\x85 é Ω", Encoding::Utf8),
              "a&#xD;\nb\tc &amp; &lt;d&gt; &#x85; é Ω");
    EXPECT_EQ(markup::EscapeContent("é € Ω \xF0\x9D\x84\x9E", Encoding::Latin1), "é &#x20AC; &#x3A9; &#x1D11E;");
    EXPECT_EQ(markup::EscapeContent("é € \xC2\x81", Encoding::Windows1252), "é € &#x81;");
    EXPECT_EQ(markup::EscapeContent("é", Encoding::Ascii), "&#xE9;");

    // A line-broken part name as exporters write it: after "a" -> "A" it
    // still has its carriage returns, and the tabs and references elsewhere
    // read back as they were.
    const std::string score =
        "<score-partwise><part-list><score-part id=\"P1\">"
        "<part-name>Long&#xd;\nStaff&#xd;\nName</part-name>"
        "<part-abbreviation>a\t&#x41;&amp;b</part-abbreviation></score-part></part-list>"
        "<part id=\"P1\"><measure/></part></score-partwise>";
    for (const Encoding encoding : {Encoding::Utf8, Encoding::Utf16LittleEndian}) {
        Read read = ReadBytes(Encoded(score, encoding));
        ASSERT_TRUE(read.ok) << read.error;
        EXPECT_EQ(BlockText(read.document, host::kTagStaff, {1, 0, 0}, 30), "Long\r\nStaff\r\nName");
        EXPECT_EQ(BlockText(read.document, host::kTagStaff, {1, 0, 0}, 32), "a\tA&b");
        SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 30, "Long\r\nStAff\r\nNAme\r");
        SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 32, "A\tA&b\r\n");
        const Read again = ReadBytes(Write(read));
        ASSERT_TRUE(again.ok) << again.error;
        EXPECT_EQ(BlockText(again.document, host::kTagStaff, {1, 0, 0}, 30), "Long\r\nStAff\r\nNAme\r");
        EXPECT_EQ(BlockText(again.document, host::kTagStaff, {1, 0, 0}, 32), "A\tA&b\r\n");
    }
}

// Syllables as a verse has them: "Glo-ry" in one word, "arrow down" and
// "ppp-x" holding a space and a hyphen of their own, "la" in another part.
std::vector<markup::Syllable> Syllables() {
    std::vector<markup::Syllable> syllables(5);
    const char* texts[] = {"Glo", "ry", "arrow down", "ppp-x", "la"};
    for (std::size_t i = 0; i < syllables.size(); ++i) syllables[i].text = texts[i];
    syllables[0].hyphenAfter = true;
    syllables[3].hyphenAfter = true;  // a hyphen into the next part is a space
    syllables[4].part = 1;
    return syllables;
}

TEST(MusicXmlLyrics, AChangeGoesWhereItFell) {
    const std::vector<markup::Syllable> syllables = Syllables();
    const std::string verse = "Glo-ry arrow down ppp-x la";
    ASSERT_EQ(markup::JoinVerse(syllables), verse);
    const struct {
        const char* what;
        const char* after;
        std::vector<std::string> texts;  // empty: refused
        std::size_t at;
    } cases[] = {
        {"at the start", "Hlo-ry arrow down ppp-x la", {"Hlo", "ry", "arrow down", "ppp-x", "la"}, 0},
        {"at the end", "Glo-ry arrow down ppp-x lala", {"Glo", "ry", "arrow down", "ppp-x", "lala"}, 4},
        {"inside a syllable with a space", "Glo-ry arrow dOwn ppp-x la", {"Glo", "ry", "arrow dOwn", "ppp-x", "la"}, 2},
        {"inside a syllable with a hyphen",
         "Glo-ry arrow down PPP-X la",
         {"Glo", "ry", "arrow down", "PPP-X", "la"},
         3},
        {"a new space typed", "G lo-ry arrow down ppp-x la", {"G lo", "ry", "arrow down", "ppp-x", "la"}, 0},
        {"added at a syllable's end", "Glo-ry! arrow down ppp-x la", {"Glo", "ry!", "arrow down", "ppp-x", "la"}, 1},
        {"added at a syllable's start", "Glo-ry (arrow down ppp-x la", {"Glo", "ry", "(arrow down", "ppp-x", "la"}, 2},
        {"across a hyphen kept", "GlO-Ry arrow down ppp-x la", {"GlO", "Ry", "arrow down", "ppp-x", "la"}, 0},
        {"across a space kept, longer",
         "Glo-rye arrrow down ppp-x la",
         {"Glo", "rye", "arrrow down", "ppp-x", "la"},
         2},
        {"across a space and a syllable's own",
         "Glo-ry arrow DOWN PPP-x la",
         {"Glo", "ry", "arrow DOWN", "PPP-x", "la"},
         2},
        {"across parts", "Glo-ry arrow down ppp-X LA", {"Glo", "ry", "arrow down", "ppp-X", "LA"}, 3},
        {"across every syllable", "GLO-RY ARROW DOWN PPP-X LA", {"GLO", "RY", "ARROW DOWN", "PPP-X", "LA"}, 0},
        {"a hyphen taken away", "Glory arrow down ppp-x la", {}, 1},
        {"a hyphen made a space", "Glo ry arrow down ppp-x la", {}, 1},
        {"a space made a hyphen", "Glo-ry-arrow down ppp-x la", {}, 2},
        {"a word taken away", "Glo-ry arrow down ppp-x", {}, 4},
        {"spaces changed across syllables", "Glo-ry arrow-down ppp x la", {}, 2},
    };
    for (const auto& c : cases) {
        std::vector<std::string> texts;
        for (const auto& syllable : syllables) texts.push_back(syllable.text);
        const std::vector<std::string> before = texts;
        std::size_t at = 99;
        std::string why;
        const bool placed = markup::ApplyVerseChange(syllables, verse, c.after, &texts, &at, &why);
        EXPECT_EQ(placed, !c.texts.empty()) << c.what << ": " << why;
        EXPECT_EQ(texts, c.texts.empty() ? before : c.texts) << c.what;
        EXPECT_EQ(at, c.at) << c.what;
    }
    // The same change read from either end lands on different notes: refused.
    std::vector<markup::Syllable> two(2);
    two[0].text = two[1].text = "a";
    std::vector<std::string> texts = {"a", "a"};
    std::size_t at = 0;
    std::string why;
    EXPECT_FALSE(markup::ApplyVerseChange(two, "a a", "a a a", &texts, &at, &why));
    EXPECT_NE(why.find("more than one note"), std::string::npos) << why;
    EXPECT_EQ(texts, (std::vector<std::string>{"a", "a"}));
}

// Each write is placed by itself: together they may cross syllables in a
// way no single change could be split back.
TEST(MusicXmlLyrics, EveryWriteIsPlacedInTurn) {
    const std::string score =
        "<score-partwise><part-list><score-part id=\"P1\"><part-name>V</part-name></score-part></part-list>"
        "<part id=\"P1\"><measure><attributes><divisions>1</divisions></attributes>"
        "<note><rest/><duration>1</duration><lyric><syllabic>single</syllabic><text>x y</text></lyric></note>"
        "<note><rest/><duration>1</duration><lyric><syllabic>single</syllabic><text>z</text></lyric></note>"
        "</measure></part></score-partwise>";
    Read read = ReadBytes(score);
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_EQ(read.document.RecordText(host::kTagVerseLyrics, {1, 0, 0}), "x y z");
    SetText(read.document, host::kTagVerseLyrics, {1, 0, 0}, "x- y Z");
    const markup::VerseWrites writes = {{1, {"x- y z", "x- y Z"}}};
    std::vector<std::string> warnings;
    std::string out;
    std::string error;
    ASSERT_TRUE(musicxml::WriteScore(read.score, read.document, &out, &warnings, &error, &writes)) << error;
    EXPECT_TRUE(warnings.empty()) << warnings[0];
    EXPECT_NE(out.find("<text>x- y</text>"), std::string::npos) << out;
    EXPECT_NE(out.find("<text>Z</text>"), std::string::npos) << out;
    // Without the writes, the one change from the verse read cannot be split back.
    EXPECT_EQ(Write(read, &warnings), score);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("not written back"), std::string::npos) << warnings[0];
}

const char kHeader[] =
    "<score-partwise version=\"4.0\">\n"
    "  <work><work-number>Op. 2</work-number><work-title>Sonate</work-title></work>\n"
    "  <movement-number>1</movement-number>\n"
    "  <movement-title>Allegro</movement-title>\n"
    "  <identification>\n"
    "    <creator type=\"composer\">Müller</creator>\n"
    "    <creator type=\"lyricist\">Rilke</creator>\n"
    "    <rights>© 2020</rights>\n"
    "    <rights>a <b>marked</b> c</rights>\n"
    "  </identification>\n"
    "  CREDITS<part-list>\n"
    "    <score-part id=\"P1\"><part-name>Clarinet in Bb</part-name>\n"
    "      <part-name-display><display-text>Clarinet in B</display-text><accidental-text>flat</accidental-text>"
    "<display-text> 1</display-text></part-name-display>\n"
    "      <part-abbreviation>Cl.</part-abbreviation>\n"
    "      <part-abbreviation-display><display-text>Cl. B</display-text><accidental-text>flat</accidental-text>"
    "</part-abbreviation-display></score-part>\n"
    "    <score-part id=\"P2\"><part-name>Piano</part-name></score-part>\n"
    "  </part-list>\n"
    "  <part id=\"P1\"><measure number=\"1\"/></part>\n"
    "  <part id=\"P2\"><measure number=\"1\"><attributes><staves>2</staves></attributes></measure></part>\n"
    "</score-partwise>\n";

std::string HeaderScore(const std::string& credits) { return Replaced(kHeader, "CREDITS", credits); }

TEST(MusicXmlHeader, TitlesCreatorsAndRightsArePageTextsOfAllPages) {
    const char* const kTexts[] = {"Sonate", "Op. 2", "Allegro", "1", "Müller", "Rilke", "© 2020", "a  c"};
    for (const std::string credits : {"", "<credit page=\"1\"><credit-words>Sonate</credit-words></credit>\n  "}) {
        const std::string score = HeaderScore(credits);
        Read read = ReadBytes(score);
        ASSERT_TRUE(read.ok) << read.error;
        // After the credits, in this order, on page 0: all pages.
        for (std::size_t i = 0; i < std::size(kTexts); ++i)
            EXPECT_EQ(BlockText(read.document, host::kTagPageTextAssignment, {0, static_cast<std::int16_t>(i), 0}, 0),
                      kTexts[i]);
        EXPECT_EQ(read.document.Record(host::kTagPageTextAssignment, {0, 8, 0}), nullptr);
        if (!credits.empty()) {
            EXPECT_EQ(BlockText(read.document, host::kTagPageTextAssignment, {1, 0, 0}, 0), "Sonate");
        }

        for (std::size_t i = 0; i < std::size(kTexts); ++i)
            SetBlockText(read.document, host::kTagPageTextAssignment, {0, static_cast<std::int16_t>(i), 0}, 0,
                         std::string(kTexts[i]) + "!");
        std::vector<std::string> warnings;
        std::string expected = score;
        for (const char* element :
             {">Op. 2<", ">Sonate</work", ">1<", ">Allegro<", ">Müller<", ">Rilke<", ">© 2020<"}) {
            const std::string e = element;
            const std::size_t end = e.find('<', 1);
            expected = Replaced(expected, e, e.substr(0, end) + "!" + e.substr(end));
        }
        EXPECT_EQ(Write(read, &warnings), expected) << "the marked-up rights are left alone";
        EXPECT_TRUE(warnings.empty());
    }
}

TEST(MusicXmlHeader, ShownPartNamesAreStaffNamesAfterTheScoresStaves) {
    Read read = ReadBytes(HeaderScore(""));
    ASSERT_TRUE(read.ok) << read.error;
    // Staves 1 to 3 are the parts' (the piano has two); the clarinet's shown
    // name follows as staves 4 and 5, one for each display text.
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {1, 0, 0}, 30), "Clarinet in Bb");
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {3, 0, 0}, 30), "Piano");
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {4, 0, 0}, 30), "Clarinet in B");
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {4, 0, 0}, 32), "Cl. B");
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {5, 0, 0}, 30), " 1");
    EXPECT_EQ(BlockText(read.document, host::kTagStaff, {5, 0, 0}, 32), "");
    EXPECT_EQ(read.document.Record(host::kTagStaff, {6, 0, 0}), nullptr);

    // Replaced with the hidden name; the accidental between them stays.
    SetBlockText(read.document, host::kTagStaff, {1, 0, 0}, 30, "Klarinette in Bb");
    SetBlockText(read.document, host::kTagStaff, {4, 0, 0}, 30, "Klarinette in B");
    SetBlockText(read.document, host::kTagStaff, {4, 0, 0}, 32, "Kl. B");
    std::string expected = Replaced(HeaderScore(""), ">Clarinet in Bb<", ">Klarinette in Bb<");
    expected = Replaced(expected, ">Clarinet in B<", ">Klarinette in B<");
    expected = Replaced(expected, ">Cl. B<", ">Kl. B<");
    EXPECT_EQ(Write(read), expected);
}

}  // namespace
