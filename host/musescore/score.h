// A MuseScore score (.mscx, or .mscz: a ZIP archive holding one) as the host
// holds it: the file's own bytes, and for every text the plug-in can see,
// where each copy of it stands (the score's and its excerpts'), so that the
// writer changes only what the plug-in changed. See docs/musescore.md.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/document/pieces.h"
#include "host/markup/archive.h"
#include "host/markup/lyrics.h"
#include "host/markup/mapped_text.h"
#include "host/musescore/rich_text.h"
#include "shell/host_records.h"

namespace musescore {

// One element showing a text: in which of the score's files (0: the score's
// own; MuseScore 4 keeps each excerpt in a file of its own) and its runs.
struct Copy {
    int member = 0;
    std::vector<Run> runs;
};

// A text the plug-in sees, with every copy that shows it: the score's
// element first, then the excerpts' copies kept in step with it.
struct Text {
    markup::MappedText mapped;  // kind, key, original text, where (its spans are unused)
    std::vector<Copy> copies;
};

struct Verse {
    int number = 0;  // <no> + 1
    std::string original;
    // part: the score's staff (0-based); a word does not run on into another.
    std::vector<markup::Syllable> syllables;
    std::vector<std::vector<Copy>> copies;  // for each syllable
};

// A file of the score: the .mscx itself, or a member of the .mscz.
struct Member {
    std::string path;  // in the archive; empty for an .mscx
    std::string xml;   // its text (for an .mscx: empty, the file is the text)
    std::shared_ptr<const pugi::xml_document> tree;
};

struct Staff {
    int part = 0;      // into Score::parts
    std::string name;  // the part's long name, for messages
    // The instrument's transposition: it sounds `chromatic` semitones and
    // `diatonic` steps from what is written (a B-flat trumpet: -2, -1).
    int chromatic = 0;
    int diatonic = 0;
};

// A chord or rest in one of the score's files.
struct ChordXml {
    int member = 0;
    pugi::xml_node chord;
};

// An entry's chords: the score's own held in place (most scores have no
// excerpts, and a score has many entries), the excerpts' copies after it.
class Chords {
public:
    void push_back(const ChordXml& chord) {
        if (size_ == 0)
            first_ = chord;
        else
            more_.push_back(chord);
        ++size_;
    }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    const ChordXml& front() const { return first_; }
    const ChordXml& operator[](std::size_t i) const { return i == 0 ? first_ : more_[i - 1]; }

    class Iterator {
    public:
        Iterator(const Chords* chords, std::size_t at) : chords_(chords), at_(at) {}
        const ChordXml& operator*() const { return (*chords_)[at_]; }
        const ChordXml* operator->() const { return &(*chords_)[at_]; }
        Iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return at_ == other.at_; }

    private:
        const Chords* chords_;
        std::size_t at_;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size_}; }

private:
    ChordXml first_;
    std::vector<ChordXml> more_;
    std::size_t size_ = 0;
};

// A frame entry read from a <Chord> or <Rest>: its place, what it read as,
// and the elements it came from, the score's first, then the excerpts'
// copies, which every change is written to as well.
struct EntrySource {
    EntryRecord original{};
    host::FrameKey frame;
    std::uint32_t index = 0;  // in the frame
    Chords chords;
    std::array<std::int8_t, 7> key{};  // the key signature's alteration of C, D, ... B here
    // Where it starts in its measure, in whole notes, exactly: a tie's
    // location is counted so, and tuplets make thirds and fifths that the
    // position's 1024 to the quarter round.
    long long startNumerator = 0;
    long long startDenominator = 1;
    // The transposition of the instrument it is written for (an instrument
    // change may bring another than the part's).
    int chromatic = 0;
    int diatonic = 0;
};

struct Score {
    std::string file;  // the bytes as read: a run that changes nothing writes them again
    bool compressed = false;
    std::string version;  // the format, "3.01", "4.20", ...
    std::vector<Member> members;
    const std::string& Xml(int member) const {
        return compressed ? members[static_cast<std::size_t>(member)].xml : file;
    }
    std::vector<std::string> parts;  // each part's long name
    std::vector<Staff> staves;       // the score's staves in order
    std::vector<Text> texts;
    std::vector<Verse> verses;
    // A frame's entries follow each other in their order, and the frames of
    // a staff's measure each other.
    std::vector<EntrySource> entries;
    std::vector<std::string> notes;  // what the reader left out of the search, for the user
    // The number MuseScore shows for each measure, from the first: a pickup
    // shares the next measure's, and an offset moves those after it.
    std::vector<int> measureNumbers;
    int MeasureNumber(int ordinal) const {
        return ordinal >= 1 && static_cast<std::size_t>(ordinal) <= measureNumbers.size()
                   ? measureNumbers[static_cast<std::size_t>(ordinal - 1)]
                   : ordinal;
    }
};

struct ReadOptions {
    markup::ArchiveLimits limits;
};

// Content sniffing: markup whose first element is <museScore>, or a ZIP
// archive holding an .mscx.
bool LooksLikeMuseScore(const std::string& bytes);

// Fills an empty document with the score's texts, laid out as the JSON
// reader lays out its sections. False with *error when the file is refused;
// then nothing is filled.
bool ReadScore(std::string bytes, const ReadOptions& options, host::Document* document, Score* score,
               std::string* error);

// The file's bytes with what the document now holds spliced in; changes that
// cannot be written go to *warnings. verseWrites: each verse's writes in
// order, as the run made them, placed one after another (as for MusicXML).
bool WriteScore(const Score& score, const host::Document& document, host::Pieces* out,
                std::vector<std::string>* warnings, std::string* error,
                const markup::VerseWrites* verseWrites = nullptr);
bool WriteScore(const Score& score, const host::Document& document, std::string* out,
                std::vector<std::string>* warnings, std::string* error,
                const markup::VerseWrites* verseWrites = nullptr);

}  // namespace musescore
