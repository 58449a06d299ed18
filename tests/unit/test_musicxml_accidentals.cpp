// After a pitch change the rest of the measure must still read as written:
// judged by a reader of our own that honours <accidental> the way engravers
// do, not by our writer's rule.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "host/musicxml/score.h"
#include "shell/host_records.h"

namespace {

struct Pitch {
    const char* step;
    int alter;
    const char* accidental;  // "" for none
    const char* tie = "";    // "start", "stop" or ""
};

// One part, key of `fifths`, one measure a list, each note a quarter.
std::string ScoreOf(int fifths, const std::vector<std::vector<Pitch>>& measures) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<score-partwise version=\"4.0\"><part-list>"
        "<score-part id=\"P1\"><part-name>Voice</part-name></score-part></part-list><part id=\"P1\">\n";
    int number = 1;
    for (const auto& notes : measures) {
        xml += "<measure number=\"" + std::to_string(number) + "\">\n";
        if (number++ == 1)
            xml += "<attributes><divisions>1</divisions><key><fifths>" + std::to_string(fifths) +
                   "</fifths></key><time><beats>" + std::to_string(notes.size()) +
                   "</beats><beat-type>4</beat-type></time></attributes>\n";
        for (const Pitch& p : notes) {
            xml += "<note><pitch><step>" + std::string(p.step) + "</step>";
            if (p.alter != 0) xml += "<alter>" + std::to_string(p.alter) + "</alter>";
            xml += "<octave>4</octave></pitch><duration>1</duration>";
            if (*p.tie) xml += "<tie type=\"" + std::string(p.tie) + "\"/>";
            xml += "<type>quarter</type>";
            if (*p.accidental) xml += "<accidental>" + std::string(p.accidental) + "</accidental>";
            xml += "</note>\n";
        }
        xml += "</measure>\n";
    }
    return xml + "</part></score-partwise>\n";
}

int SignValue(const std::string& sign) {
    static const std::map<std::string, int> kSigns = {
        {"flat-flat", -2}, {"flat", -1}, {"natural", 0}, {"sharp", 1}, {"double-sharp", 2}};
    const auto found = kSigns.find(sign);
    return found == kSigns.end() ? 99 : found->second;
}

// Each note as a reader takes it: its accidental's sign; else the last
// earlier note of its step and octave in the measure; else the key. A note
// tied over the bar line keeps its tied alteration and sets nothing.
// Returns a line for every note whose <alter> says otherwise.
std::vector<std::string> MisreadNotes(const std::string& xml) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(xml.c_str()));
    const int fifths = doc.select_node("//fifths").node().text().as_int();
    const std::string sharps = "FCGDAEB";
    std::vector<std::string> wrong;
    int number = 0;
    for (const pugi::xpath_node& m : doc.select_nodes("//measure")) {
        ++number;
        std::map<std::string, int> carried;
        int index = 0;
        for (pugi::xml_node note : m.node().children("note")) {
            ++index;
            const std::string step = note.child("pitch").child_value("step");
            const std::string octave = note.child("pitch").child_value("octave");
            const int alter = note.child("pitch").child("alter").text().as_int(0);
            const std::string tie = note.child("tie").attribute("type").value();
            const std::string key = step + octave;
            int read = 0;
            const std::size_t at = sharps.find(step[0]);
            if (fifths > 0 && static_cast<int>(at) < fifths) read = 1;
            if (fifths < 0 && static_cast<int>(6 - at) < -fifths) read = -1;
            const bool tiedOver = tie == "stop" && carried.count(key) == 0;
            if (note.child("accidental")) {
                read = SignValue(note.child_value("accidental"));
                carried[key] = read;
            } else if (tiedOver) {
                read = alter;
            } else if (carried.count(key) != 0) {
                read = carried[key];
            }
            if (read != alter)
                wrong.push_back("measure " + std::to_string(number) + " note " + std::to_string(index) + " " + key +
                                ": alter " + std::to_string(alter) + " read as " + std::to_string(read));
        }
    }
    return wrong;
}

int AccidentalCount(const std::string& xml) {
    int count = 0;
    for (std::size_t at = xml.find("<accidental>"); at != std::string::npos; at = xml.find("<accidental>", at + 1))
        ++count;
    return count;
}

struct Case {
    const char* what;
    int fifths;
    std::vector<std::vector<Pitch>> measures;
    // note index in measure 1 -> new displacement (from C4) and alteration
    std::vector<std::tuple<int, int, int>> changes;
    int accidentalsAfter;  // in the written score
};

TEST(MusicXmlAccidentals, LaterNotesOfTheMeasureStillReadRight) {
    const std::vector<Case> cases = {
        {"B-flats respelled as A-sharp, A, A-sharp: the middle A gets its natural",
         0,
         {{{"B", -1, "flat"}, {"B", -1, ""}, {"B", -1, ""}}},
         {{0, 5, 1}, {1, 5, 0}, {2, 5, 1}},
         3},
        {"the first of three B-flats made A-sharp: the next B-flat shows its flat again",
         0,
         {{{"B", -1, "flat"}, {"B", -1, ""}, {"B", -1, ""}}},
         {{0, 5, 1}},
         2},
        {"C made C-sharp: the C after it needs a natural",
         0,
         {{{"C", 0, ""}, {"D", 0, ""}, {"C", 0, ""}}},
         {{0, 0, 1}},
         2},
        {"C-sharp made D: the C-sharp after it needs its sharp",
         0,
         {{{"C", 1, "sharp"}, {"E", 0, ""}, {"C", 1, ""}}},
         {{0, 1, 0}},
         1},
        {"F-sharp in G major made F: the later F-sharp of the key needs its sharp",
         1,
         {{{"F", 1, ""}, {"A", 0, ""}, {"F", 1, ""}}},
         {{0, 3, 0}},
         2},
        {"a natural made G in G major: the F-sharps after it keep their signs",
         1,
         {{{"F", 1, ""}, {"F", 0, "natural"}, {"F", 1, "sharp"}, {"F", 1, ""}}},
         {{1, 4, 0}},
         1},
        {"a cautionary accidental that is still right stays",
         0,
         {{{"C", 1, "sharp"}, {"C", 0, "natural"}, {"C", 0, "natural"}}},
         {{0, 1, 0}},
         2},
    };
    for (const Case& c : cases) {
        const std::string score = ScoreOf(c.fifths, c.measures);
        ASSERT_TRUE(MisreadNotes(score).empty()) << c.what << ": the input itself misreads";
        host::Document document;
        musicxml::Score parsed;
        std::string error;
        ASSERT_TRUE(musicxml::ReadScore(score, {}, &document, &parsed, &error)) << error;
        std::vector<EntryRecord>& entries = *document.Frame({1, 1, 0});
        for (const auto& [index, displacement, alter] : c.changes) {
            entries[static_cast<std::size_t>(index)].notes[0].displacement = static_cast<std::int16_t>(displacement);
            entries[static_cast<std::size_t>(index)].notes[0].raiseLower = static_cast<std::int16_t>(alter);
        }
        std::string out;
        std::vector<std::string> warnings;
        ASSERT_TRUE(musicxml::WriteScore(parsed, document, &out, &warnings, &error)) << error;
        for (const std::string& line : MisreadNotes(out)) ADD_FAILURE() << c.what << ": " << line << "\n" << out;
        EXPECT_EQ(AccidentalCount(out), c.accidentalsAfter) << c.what << "\n" << out;
        EXPECT_TRUE(warnings.empty()) << c.what;
    }
}

// A note tied over the bar line reads its alteration from the tie: it gets
// no sign, and the notes after it go by their own.
TEST(MusicXmlAccidentals, TiesOverTheBarLineAreLeftAsTheyAre) {
    const std::string score = ScoreOf(
        0, {{{"D", 0, ""}, {"C", 1, "sharp", "start"}}, {{"C", 1, "", "stop"}, {"E", 0, ""}, {"C", 1, "sharp"}}});
    ASSERT_TRUE(MisreadNotes(score).empty());
    host::Document document;
    musicxml::Score parsed;
    std::string error;
    ASSERT_TRUE(musicxml::ReadScore(score, {}, &document, &parsed, &error)) << error;
    // E in measure 2 made C natural: the tied C-sharp before it sets no
    // alteration, so the C needs no sign; the tied note stays without one,
    // and the last C-sharp keeps its own.
    std::vector<EntryRecord>& entries = *document.Frame({1, 2, 0});
    entries[1].notes[0].displacement = 0;
    std::string out;
    std::vector<std::string> warnings;
    ASSERT_TRUE(musicxml::WriteScore(parsed, document, &out, &warnings, &error)) << error;
    EXPECT_TRUE(MisreadNotes(out).empty()) << out;
    EXPECT_EQ(AccidentalCount(out), 2) << out;
    EXPECT_NE(out.find("<tie type=\"stop\"/><type>quarter</type></note>"), std::string::npos) << out;
}

}  // namespace
