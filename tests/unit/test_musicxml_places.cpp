// Places as a musician says them: the part, its staff where it has two, the
// measure as printed, the beat.
#include <gtest/gtest.h>

#include <string>

#include "host/musicxml/places.h"
#include "host/musicxml/score.h"

namespace {

TEST(MusicXmlPlaces, NotesAndVersesAreNamedByPartMeasureAndBeat) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<score-partwise version="4.0"><part-list><score-part id="P1"><part-name>Voice</part-name></score-part>
<score-part id="P2"><part-name>Piano</part-name></score-part></part-list>
<part id="P1"><measure number="12a"><attributes><divisions>2</divisions></attributes>
<note><pitch><step>C</step><octave>4</octave></pitch><duration>3</duration><lyric><syllabic>begin</syllabic><text>Ma</text></lyric></note>
<note><pitch><step>D</step><octave>4</octave></pitch><duration>1</duration><lyric><syllabic>end</syllabic><text>ri</text></lyric></note>
</measure><measure number="13"><note><pitch><step>E</step><octave>4</octave></pitch><duration>4</duration><lyric><text>a</text></lyric></note></measure></part>
<part id="P2"><measure number="12a"><attributes><divisions>2</divisions><staves>2</staves></attributes>
<note><pitch><step>C</step><octave>3</octave></pitch><duration>4</duration><staff>2</staff></note></measure>
<measure number="13"><note><rest/><duration>4</duration><staff>1</staff></note></measure></part></score-partwise>
)";
    host::Document document;
    musicxml::Score score;
    std::string error;
    ASSERT_TRUE(musicxml::ReadScore(xml, {}, &document, &score, &error)) << error;
    EXPECT_EQ(musicxml::EntryPlace(score, {1, 1, 0}, 1536), "part \"Voice\", measure 12a, beat 2.5");
    EXPECT_EQ(musicxml::EntryPlace(score, {3, 1, 0}, 0), "part \"Piano\", staff 2, measure 12a, beat 1");
    EXPECT_EQ(musicxml::EntryPlace(score, {2, 2, 0}, 0), "part \"Piano\", staff 1, measure 13, beat 1");
    // "Ma-ri a": a byte of "ri" lies in measure 12a, the "a" in 13.
    EXPECT_EQ(musicxml::TextPlace(score, document, host::kTagVerseLyrics, {1, 0, 0}, 4), "part \"Voice\", measure 12a");
    EXPECT_EQ(musicxml::TextPlace(score, document, host::kTagVerseLyrics, {1, 0, 0}, 6), "part \"Voice\", measure 13");
    EXPECT_EQ(musicxml::TextPlace(score, document, host::kTagVerseLyrics, {1, 0, 0}, -1),
              "part \"Voice\", measures 12a-13");
}

}  // namespace
