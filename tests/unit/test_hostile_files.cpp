// Odd and hostile MusicXML files: nothing is changed that was not asked
// for, nothing crashes, and what cannot be read as it stands is refused or
// left out with a note. Large inputs are made here, not kept in the tree.
#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <utility>
#include <vector>

#include "host/users/entries_command.h"
#include "host/musicxml/frames.h"
#include "host/musicxml/score.h"
#include "host/markup/xml_text.h"

namespace {

struct Read {
    bool ok = false;
    host::Document document;
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

const markup::MappedText* Find(const musicxml::Score& score, const std::string& original) {
    for (const auto& text : score.texts)
        if (text.original == original) return &text;
    return nullptr;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

[[maybe_unused]] std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A score of one part; `head` goes before the part list, `music` into its first measure.
std::string Score(const std::string& head, const std::string& music = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<score-partwise version=\"4.0\">" + head +
           "<part-list><score-part id=\"P1\"><part-name>Flute</part-name></score-part></part-list>"
           "<part id=\"P1\"><measure number=\"1\"><attributes><divisions>1</divisions></attributes>" +
           music + "</measure></part></score-partwise>\n";
}

std::string Credit(const std::string& words, int page = 1) {
    return "<credit page=\"" + std::to_string(page) + "\"><credit-words>" + words + "</credit-words></credit>";
}

// ---- Text blocks are numbered with 16 bits ----

TEST(HostileCounts, TextsPastTheLastTextBlockNumberAreLeftOutNotRenumbered) {
    // 66,000 credits on 66 pages and a staff name: 466 more than there are text block numbers.
    std::string credits;
    for (int i = 1; i <= 66000; ++i) credits += Credit("c" + std::to_string(i), (i - 1) / 1000 + 1);
    const std::string file = Score(credits);
    Read read = ReadBytes(file);
    ASSERT_TRUE(read.ok) << read.error;
    // Every text the search sees reads as it stands in the file.
    for (const auto& text : read.score.texts) ASSERT_EQ(markup::CurrentText(read.document, text), text.original);
    EXPECT_EQ(read.score.texts.size(), 65535u);
    EXPECT_EQ(Find(read.score, "c65536"), nullptr);
    ASSERT_FALSE(read.score.notes.empty());
    EXPECT_TRUE(Contains(read.score.notes.back(), "466 of them")) << read.score.notes.back();
    // A search that changes nothing writes the file as it was.
    EXPECT_EQ(Write(read), file);
    // One change changes that credit only.
    const markup::MappedText* first = Find(read.score, "c1");
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(markup::SetCurrentText(&read.document, *first, "A"));
    const std::string out = Write(read);
    EXPECT_EQ(out.size() + 1, file.size());
    EXPECT_TRUE(Contains(out, "<credit-words>A</credit-words>"));
    EXPECT_TRUE(Contains(out, "<credit-words>c66000</credit-words>"));
}

// ---- .mxl archives of every layout ----

struct Member {
    std::string name;
    std::string bytes;
    bool stored = false;
};

std::string MakeArchive(const std::vector<Member>& members) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    zip_source_keep(source);
    for (const Member& member : members) {
        zip_source_t* data = zip_source_buffer(archive, member.bytes.data(), member.bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, member.name.c_str(), data, ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 member.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
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

// Each member's name, compression and unpacked bytes, in order.
std::vector<Member> Unpack(const std::string& bytes) {
    std::vector<Member> members;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) {
        zip_source_free(source);
        zip_error_fini(&error);
        return members;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        Member member{stat.name, std::string(static_cast<std::size_t>(stat.size), '\0'),
                      stat.comp_method == ZIP_CM_STORE};
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        zip_fread(file, member.bytes.data(), stat.size);
        zip_fclose(file);
        members.push_back(member);
    }
    zip_discard(archive);
    zip_error_fini(&error);
    return members;
}

std::string Container(const std::string& rootPath) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<container><rootfiles><rootfile full-path=\"" + rootPath +
           "\"/></rootfiles></container>\n";
}

std::string Picture() {
    std::string picture;
    for (int i = 0; i < 4096; ++i) picture.push_back(static_cast<char>((i * 7919) >> 3));
    return picture;
}

TEST(HostileArchives, TheScoreIsRewrittenWhereverItLiesStoredOrDeflated) {
    const std::string score = Score(Credit("Kleine Suite"));
    for (int place = 0; place < 3; ++place) {
        for (const bool stored : {false, true}) {
            SCOPED_TRACE("score at " + std::to_string(place) + (stored ? ", stored" : ", deflated"));
            std::vector<Member> members = {{"META-INF/container.xml", Container("music/score.xml"), stored},
                                           {"pictures/cover.png", Picture(), true},
                                           {"pictures/back.png", Picture() + "x", false}};
            members.insert(members.begin() + (place == 0   ? 0
                                              : place == 1 ? 2
                                                           : 3),
                           Member{"music/score.xml", score, stored});
            const std::string archive = MakeArchive(members);
            Read read = ReadBytes(archive);
            ASSERT_TRUE(read.ok) << read.error;
            EXPECT_EQ(Write(read), archive);
            const markup::MappedText* credit = Find(read.score, "Kleine Suite");
            ASSERT_NE(credit, nullptr);
            ASSERT_TRUE(markup::SetCurrentText(&read.document, *credit, "Große Suite"));
            const std::vector<Member> written = Unpack(Write(read));
            ASSERT_EQ(written.size(), members.size());
            for (std::size_t i = 0; i < members.size(); ++i) {
                EXPECT_EQ(written[i].name, members[i].name);
                if (members[i].name == "music/score.xml") {
                    EXPECT_TRUE(Contains(written[i].bytes, ">Große Suite<"));
                    EXPECT_FALSE(written[i].stored);
                } else {
                    EXPECT_EQ(written[i].bytes, members[i].bytes) << members[i].name;
                    EXPECT_EQ(written[i].stored, members[i].stored) << members[i].name;
                }
            }
        }
    }
}

TEST(HostileArchives, ADamagedMemberIsRefusedWhenReadNotWhenWritten) {
    const std::string picture = Picture();
    std::string archive = MakeArchive({{"META-INF/container.xml", Container("score.xml")},
                                       {"pictures/cover.png", picture, true},
                                       {"score.xml", Score(Credit("Kleine Suite"))}});
    archive[archive.find(picture.substr(0, 64)) + 100] ^= 1;  // the stored picture no longer has its checksum
    const Read read = ReadBytes(archive);
    EXPECT_FALSE(read.ok);
    EXPECT_TRUE(Contains(read.error, "pictures/cover.png")) << read.error;
}

TEST(HostileArchives, TwoMembersOfOneNameAreRefusedWithAMessage) {
    const std::string score = Score(Credit("Kleine Suite"));
    std::string archive =
        MakeArchive({{"META-INF/container.xml", Container("score.xml")}, {"score.xml", score}, {"score.xmm", score}});
    // The same name twice: the directory's last name is made the first one's.
    for (std::size_t at = archive.find("score.xmm"); at != std::string::npos; at = archive.find("score.xmm", at))
        archive[at + 8] = 'l';
    const Read read = ReadBytes(archive);
    EXPECT_FALSE(read.ok);
    EXPECT_TRUE(Contains(read.error, "two members of one name")) << read.error;
}

// ---- Comments, CDATA and processing instructions ----

TEST(HostileMarkup, ACommentThatSeemsToCloseWhereItOpensStaysOneComment) {
    // "<!-->" and "<!--->" open a comment that ends at the next "-->"; what
    // lies between, "</b>" too, is the comment's.
    for (const std::string comment : {"<!--> a</b> -->", "<!---> a</b> -->", "<![CDATA[]]>", "<?pi a</b> ?>"}) {
        SCOPED_TRACE(comment);
        const Read read = ReadBytes(Score(Credit("Kleine" + comment + "Suite")));
        ASSERT_TRUE(read.ok) << read.error;
        const markup::MappedText* credit = Find(read.score, "KleineSuite");
        ASSERT_NE(credit, nullptr);
        Read changed = ReadBytes(Score(Credit("Kleine" + comment + "Suite")));
        ASSERT_TRUE(markup::SetCurrentText(&changed.document, *credit, "KLEINESuite"));
        const std::string out = Write(changed);
        EXPECT_TRUE(Contains(out, "KLEINE" + comment + "Suite")) << out;
        const Read again = ReadBytes(out);
        ASSERT_TRUE(again.ok) << again.error;
        EXPECT_NE(Find(again.score, "KLEINESuite"), nullptr);
    }
    // A note's children are found past such a comment, and an edit lands in the note.
    Read read = ReadBytes(
        Score("", "<note><!--> <x> --><pitch><step>C</step><octave>4</octave></pitch><duration>1</duration></note>"));
    ASSERT_TRUE(read.ok) << read.error;
    std::vector<EntryRecord>* frame = read.document.Frame({1, 1, 0});
    ASSERT_NE(frame, nullptr);
    (*frame)[0].notes[0].displacement = 1;  // C4 to D4
    const std::string out = Write(read);
    EXPECT_TRUE(Contains(out, "<!--> <x> --><pitch><step>D</step>")) << out;
}

// ---- Not well-formed is refused ----

TEST(HostileMarkup, WhatXmlCallsNotWellFormedIsRefusedWithLineAndColumn) {
    struct Case {
        std::string file;
        const char* says;
    };
    const std::string whole = Score(Credit("Kleine Suite"));
    const Case cases[] = {
        {Score(Credit("Kleine&#0;Suite")), "&#0; names no character"},
        {Score(Credit("Kleine&#1;Suite")), "&#1; names no character"},
        {Score(Credit("Kleine&#xD800;Suite")), "&#xD800; names no character"},
        {Score(Credit("Kleine&#x110000;Suite")), "&#x110000; names no character"},
        {Score(Credit("Kleine&#xFFFE;Suite")), "&#xFFFE; names no character"},
        {Score(Credit("Kleine&#99999999999999999999;Suite")), "names no character"},
        {Score(Credit("Kleine&nbsp;Suite")), "&nbsp; is not declared"},
        {Score(Credit("Kleine\x01Suite")), "control character 1"},
        {whole + "Suite", "text after the root element"},
        {whole + "<score-partwise/>", "an element after the root element"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        const Read read = ReadBytes(c.file);
        EXPECT_FALSE(read.ok);
        EXPECT_TRUE(Contains(read.error, "not well-formed XML at line ")) << read.error;
        EXPECT_TRUE(Contains(read.error, c.says)) << read.error;
    }
    // What XML allows is read: references to characters it has, comments
    // and PIs after the root, an entity a DTD may declare.
    EXPECT_TRUE(ReadBytes(Score(Credit("&#x10FFFF;&#9;&amp;&quot;"))).ok);
    EXPECT_TRUE(ReadBytes(whole + "<!-- done --><?pi x?>\n").ok);
    const std::string doctype =
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\">";
    std::string declared = Score(Credit("Kleine&nbsp;Suite"));
    declared.insert(declared.find("<score-partwise"), doctype);
    const Read read = ReadBytes(declared);
    EXPECT_TRUE(read.ok) << read.error;
}

// ---- What did not change in a changed element stays as it was ----

// The credit's element in the file after "was" (the text as read) becomes "now".
std::string CreditAfter(const std::string& credit, const std::string& was, const std::string& now,
                        const std::string& doctype = "") {
    std::string file = Score(Credit(credit));
    file.insert(file.find("<score-partwise"), doctype);
    Read read = ReadBytes(file);
    EXPECT_TRUE(read.ok) << read.error;
    const markup::MappedText* text = Find(read.score, was);
    if (text == nullptr) return "<not read as " + was + ">";
    EXPECT_TRUE(markup::SetCurrentText(&read.document, *text, now));
    const std::string out = Write(read);
    EXPECT_TRUE(ReadBytes(out).ok);
    const std::size_t begin = out.find("<credit-words>") + 14;
    return out.substr(begin, out.find("</credit-words>") - begin);
}

TEST(HostileMarkup, ReferencesCommentsAndPisOutsideTheChangeAreKept) {
    const std::string dtd =
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\">";
    EXPECT_EQ(CreditAfter("Kleine&nbsp;Suite", "Kleine&nbsp;Suite", "KLEINE&nbsp;Suite", dtd), "KLEINE&nbsp;Suite");
    EXPECT_EQ(CreditAfter("Kleine<!-- c --> Suite<?pi x?>!", "Kleine Suite!", "Kleine Welt!"),
              "Kleine<!-- c --> Welt<?pi x?>!");
    EXPECT_EQ(CreditAfter("&#75;leine &amp; Suite", "Kleine & Suite", "Kleine & Welt"), "&#75;leine &amp; Welt");
    EXPECT_EQ(CreditAfter("<![CDATA[<Kleine>]]> Suite", "<Kleine> Suite", "<Kleine> Welt"),
              "<![CDATA[<Kleine>]]> Welt");
    // A reference inside the change is written anew, as the new text says.
    EXPECT_EQ(CreditAfter("Kleine&#32;Suite", "Kleine Suite", "Kleine_Suite"), "Kleine_Suite");
    EXPECT_EQ(CreditAfter("Kl&#xE9;ine", "Kléine", "Klèine"), "Klèine");
    EXPECT_EQ(CreditAfter("Kleine<!--c-->", "Kleine", "Kleine Suite"), "Kleine<!--c--> Suite");
    // Line ends read as "\n" are kept as written.
    EXPECT_EQ(CreditAfter("Kleine\r\nSuite", "Kleine\nSuite", "Grosse\nSuite"), "Grosse\r\nSuite");
}

// ---- Reader and writer count the same notes ----

TEST(HostileNotes, AChordNoteWithoutAStepIsTheNoteItsChangeGoesTo) {
    Read read = ReadBytes(Score("",
                                "<note><pitch><octave>4</octave></pitch><duration>1</duration></note>"
                                "<note><chord/><pitch><step>E</step><octave>4</octave></pitch><duration>1</duration>"
                                "</note>"));
    ASSERT_TRUE(read.ok) << read.error;
    std::vector<EntryRecord>* frame = read.document.Frame({1, 1, 0});
    ASSERT_NE(frame, nullptr);
    const std::int16_t notes = (*frame)[0].noteCount;
    ASSERT_EQ(notes, 2);
    (*frame)[0].notes[0].flags |= markup::bits::kTieStart;
    const std::string out = Write(read);
    const std::size_t second = out.find("<note><chord/>");
    const std::size_t tie = out.find("<tie type=\"start\"/>");
    ASSERT_NE(tie, std::string::npos) << out;
    EXPECT_LT(tie, second) << out;
}

TEST(HostileNotes, AChordInAFifthVoiceTakesNoTimeOfItsOwn) {
    std::string music;
    for (int voice = 1; voice <= 4; ++voice)
        music += "<note><pitch><step>C</step><octave>4</octave></pitch><duration>1</duration><voice>" +
                 std::to_string(voice) + "</voice></note><backup><duration>1</duration></backup>";
    music +=
        "<note><pitch><step>C</step><octave>5</octave></pitch><duration>1</duration><voice>5</voice></note>"
        "<note><chord/><pitch><step>E</step><octave>5</octave></pitch><duration>1</duration><voice>5</voice></note>"
        "<note><pitch><step>D</step><octave>4</octave></pitch><duration>1</duration><voice>1</voice></note>";
    const Read read = ReadBytes(Score("", music));
    ASSERT_TRUE(read.ok) << read.error;
    const std::vector<EntryRecord>* frame = const_cast<host::Document&>(read.document).Frame({1, 1, 0});
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->size(), 2u);
    const std::int32_t position = (*frame)[1].position;  // the records are packed
    EXPECT_EQ(position, 1024);                           // a quarter after the first, not two
}

TEST(HostileNotes, HugeDurationsAreHeldToWholeNumbersNotOverflowed) {
    // Sums of these overflowed a 64-bit number (the sanitizer build stops there).
    std::string music;
    for (int i = 0; i < 4; ++i)
        music += "<note><pitch><step>C</step><octave>4</octave></pitch><duration>9e18</duration></note>";
    music += "<forward><duration>9e18</duration></forward><backup><duration>-9e18</duration></backup>";
    const Read read = ReadBytes(Score("<!-- -->",
                                      "</measure><measure number=\"2\"><attributes><divisions>9e18"
                                      "</divisions><time><beats>9e18</beats><beat-type>1</beat-type>"
                                      "</time></attributes>" +
                                          music));
    ASSERT_TRUE(read.ok) << read.error;
    const std::vector<EntryRecord>* frame = const_cast<host::Document&>(read.document).Frame({1, 2, 0});
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size(), 4u);
}

TEST(HostileNotes, WhatIsLeftOutOfTheSearchIsSaid) {
    const auto said = [](const Read& read, const std::string& part) {
        for (const std::string& note : read.score.notes)
            if (Contains(note, part)) return true;
        return false;
    };
    std::string file = Score("");
    const std::string part = "<part id=\"P1\"><measure number=\"1\"/></part>";
    file.insert(file.find("</score-partwise>"), part + "<part id=\"P9\"><measure number=\"1\"/></part>");
    const Read read = ReadBytes(file);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(said(read, "a second <part> of id \"P1\"")) << read.score.notes.size();
    EXPECT_TRUE(said(read, "<part id=\"P9\"> has no <score-part>"));

    // 1001 verses: the last has no verse number left.
    std::string lyrics;
    for (int verse = 1; verse <= 1001; ++verse)
        lyrics += "<lyric number=\"v" + std::to_string(verse) + "\"><text>la</text></lyric>";
    const Read verses = ReadBytes(
        Score("", "<note><pitch><step>C</step><octave>4</octave></pitch><duration>1</duration>" + lyrics + "</note>"));
    ASSERT_TRUE(verses.ok) << verses.error;
    EXPECT_EQ(verses.score.verses.size(), 1000u);
    EXPECT_TRUE(said(verses, "more than 1000 verses: lyric number \"v1001\""));
}

// ---- Staff numbers are 16-bit ----

TEST(HostileCounts, TheWholeScoreRegionStopsAtTheLastStaffNumber) {
    // 514 parts of 64 staves: 32,896 staves, 129 more than a staff number reaches.
    std::string parts;
    std::string music;
    for (int p = 1; p <= 514; ++p) {
        const std::string id = "P" + std::to_string(p);
        parts += "<score-part id=\"" + id + "\"><part-name>" + id + "</part-name></score-part>";
        music += "<part id=\"" + id +
                 "\"><measure number=\"1\"><attributes><divisions>1</divisions><staves>64</staves></attributes>"
                 "<note><pitch><step>C</step><octave>4</octave></pitch><duration>1</duration><staff>64</staff>"
                 "</note></measure></part>";
    }
    const Read read =
        ReadBytes("<score-partwise version=\"4.0\"><part-list>" + parts + "</part-list>" + music + "</score-partwise>");
    ASSERT_TRUE(read.ok) << read.error;
    const RegionRecord region = users::WholeDocumentRegion(read.document);
    EXPECT_EQ(region.firstStaff, 1);
    EXPECT_EQ(region.lastStaff, 32767);
    // Part 512 ends on staff 32,768: its notes, and those after it, are not read.
    EXPECT_NE(const_cast<host::Document&>(read.document).Frame({511 * 64, 1, 0}), nullptr);
    EXPECT_EQ(read.score.entries.size(), 511u);
    bool said = false;
    for (const std::string& note : read.score.notes) said = said || Contains(note, "32767 staves");
    EXPECT_TRUE(said);
}

}  // namespace
