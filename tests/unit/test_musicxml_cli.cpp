// veldune-host on MusicXML files: the text command over real elements,
// outputs in the input's form, batches, and writes that never lose a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "host/cli/host_main.h"
#include "host_program.h"
#include "host/scores/score_file.h"
#include "host/users/dry_run.h"

namespace {

namespace fs = std::filesystem;

using testing_host::Contains;
using testing_host::Outcome;

class MusicXmlProgram : public testing_host::HostProgramTest {
protected:
    MusicXmlProgram() : HostProgramTest("veldune_mxl_") {}
    void SetUp() override {
        HostProgramTest::SetUp();
        original_ = Read(std::string(ORVO_SOURCE_DIR) + "/tests/musicxml/all_kinds.musicxml");
        score_ = Write("score.musicxml", original_);
    }

    std::string original_;
    std::string score_;
};

TEST_F(MusicXmlProgram, ASearchThatChangesNothingWritesTheFileAgain) {
    Outcome outcome = Run({score_, "--output", In("out.musicxml"), "text", "--search", "e", "--elements", "all"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(Contains(outcome.out, "instance(s) found")) << outcome.out;
    EXPECT_TRUE(Read(In("out.musicxml")) == original_);
}

TEST_F(MusicXmlProgram, ReplacementsAcrossEveryKindReachTheFile) {
    // "l" stands in page texts, words, staff and group names, repeats and lyrics.
    Outcome outcome = Run({score_, "--output", In("out.musicxml"), "text", "--search", "l", "--replace", "L",
                           "--elements", "all", "--all", "--case", "--yes"});
    ASSERT_EQ(outcome.status, 0) << outcome.err << outcome.out;
    const std::string out = Read(In("out.musicxml"));
    for (const char* part :
         {">KLeine Suite</credit-words>", ">doLce &lt;sempre&gt;</words>", "<part-name>FLöte</part-name>",
          "<part-abbreviation>FL.</part-abbreviation>", "<group-name>HoLzbLäser</group-name>",
          "<part-name>KLavier</part-name>", "<words>D.S. aL Coda</words>", "<text>GLo</text>", "<text>aLL</text>",
          "<work-title>KLeine Suite</work-title>"})
        EXPECT_TRUE(Contains(out, part)) << part;
    EXPECT_EQ(out.size(), original_.size());
}

TEST_F(MusicXmlProgram, ACaretIsKeptAndFoundWithSearchTags) {
    // "^(arr.)" reads as a formatting tag: hidden from match starts unless tags take part.
    Outcome hidden = Run({score_, "text", "--search", "arr", "--elements", "page"});
    EXPECT_EQ(hidden.status, 0) << hidden.err;
    EXPECT_TRUE(Contains(hidden.out, "0 instance(s) found")) << hidden.out;
    Outcome shown =
        Run({score_, "--output", In("out.musicxml"), "text", "--search", "arr", "--tags", "--elements", "page"});
    EXPECT_TRUE(Contains(shown.out, "Bach & Söhne ^(arr.)")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "1 instance(s) found")) << shown.out;
    EXPECT_TRUE(Read(In("out.musicxml")) == original_);
}

TEST_F(MusicXmlProgram, ABatchGoesOnPastABadFile) {
    const std::string broken = Write("broken.musicxml", "<score-partwise><part-list>");
    const std::string json = Write("doc.json", R"({"staves": [{"number": 1, "full": "Flute", "abbreviated": "Fl."}]})");
    Outcome outcome = Run({score_, broken, json, "--output-dir", In("out"), "text", "--search", "Fl", "--replace",
                           "Pic", "--elements", "staff", "--all"});
    EXPECT_EQ(outcome.status, 2) << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, "broken.musicxml: not well-formed XML at line 1")) << outcome.err;
    EXPECT_TRUE(Contains(Read(In("out/score.musicxml")), "<part-name>Picöte</part-name>"));
    EXPECT_TRUE(Contains(Read(In("out/doc.json")), "\"Picute\""));
    EXPECT_FALSE(fs::exists(In("out/broken.musicxml")));
    // The summary: one row a file with its counts and result.
    EXPECT_TRUE(Contains(outcome.out, "file")) << outcome.out;
    const std::size_t row = outcome.out.find(score_ + "  ");
    ASSERT_NE(row, std::string::npos) << outcome.out;
    std::istringstream cells(outcome.out.substr(row + score_.size()));
    std::string found, replaced, warnings, result;
    cells >> found >> replaced >> warnings >> result;
    EXPECT_EQ(found + " " + replaced + " " + warnings + " " + result, "2 2 0 ok") << outcome.out;
    EXPECT_TRUE(Contains(outcome.out, broken)) << outcome.out;
}

TEST_F(MusicXmlProgram, WritingOverTheInputNeedsInPlaceAndKeepsTheOriginal) {
    Outcome refused = Run({score_, "--output", score_, "text", "--search", "Fl", "--replace", "X", "--all"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Contains(refused.err, "--in-place")) << refused.err;
    EXPECT_TRUE(Read(score_) == original_);

    const char* const runs[][2] = {{"Fl", "Pic"}, {"Pic", "Alt"}};
    for (const auto& run : runs) {
        Outcome outcome = Run(
            {score_, "--in-place", "text", "--search", run[0], "--replace", run[1], "--elements", "staff", "--all"});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
    }
    EXPECT_TRUE(Contains(Read(score_), "<part-abbreviation>Alt.</part-abbreviation>"));
    // The first original is kept; the second run does not replace it.
    EXPECT_TRUE(Read(score_ + ".orig") == original_);
}

TEST_F(MusicXmlProgram, CompressedScoresStayCompressedAndJsonOutputIsTheDocument) {
    Outcome outcome = Run({score_, "--output", In("out.json"), "text", "--search", "zzz"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(Contains(Read(In("out.json")), "\"full\": \"Flöte\"")) << Read(In("out.json"));
}

TEST_F(MusicXmlProgram, AFailedWriteLeavesTheTargetAsItWas) {
    const std::string target = Write("target.musicxml", "the old file");
    std::string error;
    EXPECT_FALSE(scores::WriteFileAtomically(target, "new contents", &error, true));
    EXPECT_TRUE(Contains(error, "left as it was")) << error;
    EXPECT_EQ(Read(target), "the old file");
    // A target that cannot be replaced (a folder) and a folder that is not there.
    fs::create_directories(In("folder/inside"));
    EXPECT_FALSE(scores::WriteFileAtomically(In("folder"), "x", &error));
    EXPECT_TRUE(fs::is_directory(In("folder/inside")));
    EXPECT_FALSE(scores::WriteFileAtomically(In("none/out.musicxml"), "x", &error));
    // No temporary file is left behind.
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    EXPECT_TRUE(scores::WriteFileAtomically(target, "new contents", &error)) << error;
    EXPECT_EQ(Read(target), "new contents");
}

// Pieces are gathered into large writes: sizes around the gathering's
// size, empty ones and one larger than it all come out whole and in order.
TEST_F(MusicXmlProgram, PiecesAreWrittenWholeAndInOrder) {
    const std::size_t chunk = std::size_t{1} << 20;
    const std::string pieces[] = {std::string(chunk - 1, 'a'), "bc", "", std::string(chunk + 5, 'd'), "e",
                                  std::string(chunk, 'f'),     "g"};
    host::Pieces bytes;
    for (const std::string& piece : pieces) bytes.Add(piece);
    bytes.Own("tail");
    std::string error;
    ASSERT_TRUE(scores::WriteFileAtomically(In("pieces.out"), bytes, &error)) << error;
    const std::string written = Read(In("pieces.out"));
    EXPECT_EQ(written.size(), bytes.Size());
    EXPECT_TRUE(written == bytes.Joined());
    EXPECT_EQ(written.substr(written.size() - 5), "gtail");
}

TEST_F(MusicXmlProgram, DamagedScoresAreRefusedAndNothingIsWritten) {
    const std::string timewise =
        Write("t.musicxml", "<?xml version=\"1.0\"?>\n<score-timewise><part-list/></score-timewise>\n");
    Outcome outcome = Run({timewise, "--output", In("out.musicxml"), "text", "--search", "x"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(Contains(outcome.err, "t.musicxml: a timewise MusicXML score")) << outcome.err;
    EXPECT_FALSE(fs::exists(In("out.musicxml")));
    // Named .mxl but not a ZIP: still the MusicXML reader's word.
    const std::string fake = Write("fake.mxl", "not a score");
    outcome = Run({fake, "text", "--search", "x"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(Contains(outcome.err, "fake.mxl: not well-formed XML")) << outcome.err;
}

TEST_F(MusicXmlProgram, ADryRunSaysWhatWouldChangeAndWritesNothing) {
    const std::string json = Write("doc.json", R"({"staves": [{"number": 1, "full": "Flute", "abbreviated": "Fl."}],
      "frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [{"position": 0, "duration": 1024,
       "flagsA": "0x40000101", "flagsB": "0x0000", "notes": [{"displacement": 0, "raiseLower": 0, "flags": "0x0"}]}]}]})");
    const std::string jsonBefore = Read(json);
    Outcome text = Run({score_, json, "--in-place", "--dry-run", "text", "--search", "Fl", "--replace", "Pic",
                        "--elements", "staff", "--all"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_TRUE(Contains(text.out, "\"Flöte\" -> \"Picöte\"")) << text.out;
    EXPECT_TRUE(Contains(text.out, "\"Flute\" -> \"Picute\"")) << text.out;
    EXPECT_TRUE(Contains(text.out, "dry run: nothing was written")) << text.out;
    Outcome entries = Run({json, "--dry-run", "--output", In("out.json"), "entries", "--find", "Up/Down=on", "--change",
                           "Up/Down=off", "--yes"});
    EXPECT_EQ(entries.status, 0) << entries.err;
    EXPECT_TRUE(Contains(entries.out, "would change staff 1, measure 1, layer 1, position 0 (beat 1): Up/Down off"))
        << entries.out;
    EXPECT_TRUE(Read(score_) == original_);
    EXPECT_EQ(Read(json), jsonBefore);
    EXPECT_FALSE(fs::exists(score_ + ".orig"));
    EXPECT_FALSE(fs::exists(In("out.json")));
}

// Measures by their order in the part: a pickup is measure 1 and "12a" the
// third, so the region picks exactly the entries between its two ends.
TEST_F(MusicXmlProgram, ARegionChangesOnlyTheEntriesInsideIt) {
    const char* const numbers[] = {"0", "1", "12a", "13"};
    auto build = [&](auto down) {
        std::string xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<score-partwise version=\"4.0\"><part-list>"
            "<score-part id=\"P1\"><part-name>Flute</part-name></score-part>"
            "<score-part id=\"P2\"><part-name>Oboe</part-name></score-part></part-list>\n";
        for (int part = 1; part <= 2; ++part) {
            xml += "<part id=\"P" + std::to_string(part) + "\">\n";
            for (int m = 1; m <= 4; ++m) {
                xml += std::string("<measure number=\"") + numbers[m - 1] + "\"" + (m == 1 ? " implicit=\"yes\"" : "") +
                       ">\n";
                if (m == 1)
                    xml +=
                        "<attributes><divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type></time>"
                        "</attributes>\n";
                for (int beat = 0; beat < (m == 1 ? 1 : 4); ++beat)
                    xml += std::string(
                               "<note><pitch><step>C</step><octave>5</octave></pitch><duration>1</duration>"
                               "<stem>") +
                           (down(part, m, beat) ? "down" : "up") + "</stem></note>\n";
                xml += "</measure>\n";
            }
            xml += "</part>\n";
        }
        return xml + "</score-partwise>\n";
    };
    const std::string input = Write("region.musicxml", build([](int, int, int) { return false; }));
    // From staff 1, measure 2 (numbered "1"), beat 2 to staff 2, measure 3 ("12a"), before beat 3.
    Outcome run = Run({input, "--output", In("out.musicxml"), "entries", "--find", "Up/Down=on", "--change",
                       "Up/Down=off", "--region", "1,2,1024,2,3,2048", "--yes"});
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    const std::string expected =
        build([](int, int m, int beat) { return (m == 2 && beat >= 1) || (m == 3 && beat < 2); });
    EXPECT_EQ(Read(In("out.musicxml")), expected) << run.out;
    // A region that ends before it starts, or names a measure past the end, changes nothing.
    Outcome none = Run({input, "--output", In("none.musicxml"), "entries", "--find", "Up/Down=on", "--change",
                        "Up/Down=off", "--region", "1,5,0,2,6,4096", "--yes"});
    EXPECT_EQ(none.status, 0) << none.err;
    if (fs::exists(In("none.musicxml"))) {
        EXPECT_EQ(Read(In("none.musicxml")), Read(input));
    }
}

// Real lyrics hold spaces and hyphens inside a syllable; a replacement goes
// to the syllable each match is in, every match by itself.
TEST_F(MusicXmlProgram, EveryMatchInAVerseGoesToItsOwnSyllable) {
    const auto note = [](const char* syllabic, const char* text) {
        return std::string("<note><rest/><duration>1</duration><lyric number=\"1\"><syllabic>") + syllabic +
               "</syllabic><text>" + text + "</text></lyric></note>\n";
    };
    const std::string score =
        "<score-partwise><part-list><score-part id=\"P1\"><part-name>V</part-name></score-part></part-list>\n"
        "<part id=\"P1\"><measure><attributes><divisions>1</divisions></attributes>\n" +
        note("single", "arrow down") + note("begin", "se") + note("end", "e") + note("single", "ppp cresc") +
        note("single", "e-e") + "</measure></part></score-partwise>\n";
    const std::string in = Write("lyrics.musicxml", score);
    Outcome outcome = Run({in, "--output", In("out.musicxml"), "text", "--search", "e", "--replace", "E", "--elements",
                           "lyrics", "--all", "--case", "--yes"});
    ASSERT_EQ(outcome.status, 0) << outcome.err << outcome.out;
    EXPECT_FALSE(Contains(outcome.err, "warning")) << outcome.err;
    std::string expected = score;
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {">se<", ">sE<"}, {">e<", ">E<"}, {">ppp cresc<", ">ppp crEsc<"}, {">e-e<", ">E-E<"}})
        expected.replace(expected.find(from), from.size(), to);
    EXPECT_EQ(Read(In("out.musicxml")), expected);

    // Across syllables, the hyphen kept: the word "se-e" becomes "Se-E".
    outcome = Run({in, "--output", In("across.musicxml"), "text", "--search", "se-e", "--replace", "Se-E", "--elements",
                   "lyrics", "--all", "--case", "--yes"});
    ASSERT_EQ(outcome.status, 0) << outcome.err << outcome.out;
    std::string across = score;
    across.replace(across.find(">se<"), 4, ">Se<");
    across.replace(across.find(">e<"), 3, ">E<");
    EXPECT_EQ(Read(In("across.musicxml")), across);
}

}  // namespace

namespace {

std::vector<std::tuple<std::string, std::string, std::string>> TextChanges(const std::vector<users::Change>& changes) {
    std::vector<std::tuple<std::string, std::string, std::string>> texts;
    for (const users::Change& change : changes)
        if (!change.entry) texts.emplace_back(change.what, change.before, change.after);
    return texts;
}

}  // namespace

// Matches and changes are placed as a musician says it, and the list of
// changes (printed and in the report) is what the written file holds.
TEST_F(MusicXmlProgram, ChangesAreListedWithTheirPlacesAsWritten) {
    const std::string report = In("report.json");
    Outcome run = Run({score_, "--output", In("out.musicxml"), "--report", report, "text", "--search", "a", "--replace",
                       "A", "--elements", "all", "--all", "--yes"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* place : {"in the score: page text, credit on page 1\n",
                              "text repeat #1 (text repeat, part \"Flöte\" (P1), measure 3): ",
                              "verse #2 (part \"Flöte\", measure 1): \"Sing we all\" -> \"Sing we All\"",
                              "staff name, part P2", "7 texts changed\n", "\nChanged:\n"})
        EXPECT_TRUE(Contains(run.out, place)) << place << "\n" << run.out;

    // The written file, read again, differs from the input in exactly the listed texts.
    host::Document before, after;
    scores::ScoreFile original, written;
    std::string error;
    ASSERT_TRUE(original.Load(score_, &before, &error)) << error;
    ASSERT_TRUE(written.Load(In("out.musicxml"), &after, &error)) << error;
    const auto inFile = TextChanges(users::ListChanges(before, after, nullptr));
    ASSERT_EQ(inFile.size(), 7u);
    const nlohmann::json data = nlohmann::json::parse(Read(report));
    ASSERT_EQ(data["files"].size(), 1u);
    const nlohmann::json& file = data["files"][0];
    EXPECT_EQ(file["written"], In("out.musicxml"));
    EXPECT_EQ(file["replaced"], 9);
    std::vector<std::tuple<std::string, std::string, std::string>> reported;
    for (const nlohmann::json& change : file["changes"]) {
        EXPECT_FALSE(change["place"].get<std::string>().empty()) << change.dump();
        reported.emplace_back(change["what"], change["before"], change["after"]);
    }
    EXPECT_EQ(reported, inFile);

    // Notes: part, the staff of a part with two, measure and beat.
    Outcome entries = Run({score_, "--quiet", "entries", "--find", "Up/Down=off", "--change",
                           "Up/Down=on,Freeze Stem=on", "--yes", "--report", report});
    ASSERT_EQ(entries.status, 0) << entries.err;
    EXPECT_TRUE(Contains(entries.out, "8 entries changed\n")) << entries.out;
    EXPECT_FALSE(Contains(entries.out, "Freeze Stem on")) << "--quiet keeps only the counts\n" << entries.out;
    const nlohmann::json notes = nlohmann::json::parse(Read(report));
    bool secondStaff = false;
    for (const nlohmann::json& change : notes["files"][0]["changes"])
        secondStaff = secondStaff || change["place"] == "part \"Klavier\", staff 2, measure 1, beat 1";
    EXPECT_TRUE(secondStaff) << notes.dump(1);
    EXPECT_TRUE(notes["files"][0]["written"].is_null());
}

// A dry run leaves the stored settings as they were, byte for byte; runs of
// the subcommands do not inherit each other's options unless asked to.
TEST_F(MusicXmlProgram, DryRunsAndSubcommandsLeaveNoTrace) {
    Outcome first = Run({score_, "text", "--search", "Kleine", "--case"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_TRUE(Contains(first.out,
                         "searching: page texts, measure texts, text expressions, staff names, group "
                         "names, text repeats (not: ending repeats, lyrics); case-sensitive\n"))
        << first.out;
    const std::string settings = Read(hive_);
    ASSERT_FALSE(settings.empty());
    Outcome dry = Run({score_, "--dry-run", "text", "--search", "Amen", "--replace", "Ende", "--elements", "lyrics",
                       "--all", "--yes"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_TRUE(Contains(dry.out, "dry run: nothing was written")) << dry.out;
    EXPECT_EQ(Read(hive_), settings) << "a dry run stored settings";

    // Only staff names searched last time: --remember keeps that, a plain
    // run searches a new user's kinds.
    ASSERT_EQ(Run({score_, "text", "--search", "Kleine", "--elements", "staff"}).status, 0);
    Outcome remembered = Run({score_, "text", "--search", "Kleine", "--remember"});
    EXPECT_TRUE(Contains(remembered.out, "searching: staff names (not:")) << remembered.out;
    EXPECT_TRUE(Contains(remembered.out, "0 instance(s) found")) << remembered.out;
    Outcome fresh = Run({score_, "text", "--search", "Kleine"});
    EXPECT_TRUE(Contains(fresh.out, "Kleine Suite, page 2")) << fresh.out;

    // A lyrics word typed without its hyphens is explained.
    Outcome word = Run({score_, "text", "--search", "Glory", "--elements", "lyrics"});
    EXPECT_TRUE(Contains(word.out, "\"Ma-ri-a\"")) << word.out;
}

// Regions by whole staves and measures; positions checked and explained.
TEST_F(MusicXmlProgram, RegionsByMeasuresAndCheckedPositions) {
    struct Case {
        std::vector<std::string> region;
        int status;
        const char* said;
    };
    const Case cases[] = {
        {{"--staves", "2-3", "--measures", "2"}, 0, "region: staves 2-3, measure 2\n"},
        {{"--measures", "1-2"}, 0, "region: staves 1-3, measures 1-2\n"},
        {{"--region", "1,1,0,1,2,0"}, 0, "an end position of 0 is the start of measure 2, so nothing of measure 2"},
        {{"--region", "1,1,-1,1,2,0"}, 2, "--region: \"-1\" is not a position"},
        {{"--region", "2,1,0,1,2,0"}, 2, "the last staff and measure come before the first"},
        {{"--measures", "3-1"}, 2, "--measures: 3-1 ends before it starts"},
        {{"--staves", "0"}, 2, "--staves: \"0\" is not a number from 1"},
        {{"--region", "1,1,0,1,2,0", "--measures", "1"}, 2, "give --region, or --staves and --measures, not both"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {score_,        "--dry-run", "entries",    "--find",
                                         "Up/Down=off", "--change",  "Up/Down=on", "--yes"};
        args.insert(args.end(), c.region.begin(), c.region.end());
        Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, c.status) << c.said << "\n" << outcome.out << outcome.err;
        EXPECT_TRUE(Contains(outcome.out + outcome.err, c.said)) << c.said << "\n" << outcome.out << outcome.err;
    }
}
