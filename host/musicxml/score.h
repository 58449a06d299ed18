// A MusicXML score as the host holds it: the file's own bytes, and for
// every text the plug-in can see, where it came from and what it said, so
// that the writer changes only what the plug-in changed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "host/document/document.h"
#include "host/document/pieces.h"
#include "host/markup/archive.h"
#include "host/markup/encoding.h"
#include "host/markup/lyrics.h"
#include "host/markup/mapped_text.h"

namespace musicxml {

// What MusicXML shares with the other XML score formats, as its own.
using markup::ArchiveLimits;
using markup::Encoding;
using markup::MappedText;
using markup::Span;
using markup::Syllable;
using markup::TextEncoding;
using markup::TextSource;
using markup::VerseWrites;

struct Verse {
    int number = 0;
    std::string label;  // the lyric's number attribute as written
    std::string original;
    std::vector<Syllable> syllables;
};

// A child element of a <note> (or of its <pitch>), as it stands in the file.
// Its name and type are the parsed tree's (Score::tree), which outlives it.
struct Child {
    std::string_view name;
    std::size_t begin = 0;  // at its "<"
    std::size_t end = 0;    // after its end tag
    Span content;           // empty for an empty element
    std::string_view type;  // its type attribute (ties, slurs), if any
    int number = 1;         // its number attribute (beams, slurs)
};

// A <note> as it stands in the file, located by LocatedNotes when the
// writer needs it: the reader keeps only an entry's first node.
struct NoteXml {
    pugi::xml_node node;    // in Score::tree
    std::size_t begin = 0;  // the <note> element
    std::size_t end = 0;    // where its end tag starts
    std::vector<Child> children;
    std::vector<Child> pitch;          // step, alter, octave
    std::vector<Child> tied;           // the <tied> elements of its <notations>
    std::vector<Child> articulations;  // the <articulations> of its <notations>
    std::vector<Child> slurs;          // the <slur> elements of its <notations>
    std::string accidental;            // the <accidental> value, if any
};

// A frame entry read from MusicXML: its place, what it read as, and the
// note elements it came from (a rest's one element, or a chord's notes).
struct EntrySource {
    EntryRecord original{};
    host::FrameKey frame;
    std::uint32_t index = 0;  // in the frame
    // The entry's first <note>; a chord's other notes are the <note>
    // elements that follow it, noteElements in all.
    pugi::xml_node first;
    std::uint32_t noteElements = 0;
    int part = 0;                      // index into Score::parts
    std::array<std::int8_t, 7> key{};  // the key signature's alteration of C, D, ... B here
    // The first note's beams, a bit for each level (1 in bit 0): present,
    // and joined to the entry before or after.
    std::uint8_t beamLevels = 0;
    std::uint8_t beamLeft = 0;
    std::uint8_t beamRight = 0;
    // Located on first use (LocatedNotes): a read locates no note, a write
    // the few its edits look at. Null until then, to keep the many small.
    mutable std::unique_ptr<std::vector<NoteXml>> elements;
};

struct Part {
    std::string id;
    std::string name;
};

struct Score {
    std::string file;  // the bytes as read: a run that changes nothing writes them again
    bool compressed = false;
    std::string rootPath;  // .mxl: the score's path in the archive
    TextEncoding encoding;
    std::string xml;  // the score's text as UTF-8 when it is not the file itself
    // UTF-8 and US-ASCII files are their own UTF-8 text.
    bool SelfDecoded() const { return encoding.encoding == Encoding::Utf8 || encoding.encoding == Encoding::Ascii; }
    const std::string& Xml() const { return compressed || !SelfDecoded() ? xml : file; }
    std::vector<Part> parts;
    std::vector<MappedText> texts;
    std::vector<Verse> verses;
    // A frame's entries follow each other in their order, and the frames of
    // a staff's measure each other.
    std::vector<EntrySource> entries;
    std::vector<std::string> notes;                  // what the reader left out of the search, for the user
    std::vector<std::string> entryNotes;             // what the note reader met, for note entry runs
    std::shared_ptr<const pugi::xml_document> tree;  // the parsed Xml(), for the notes' nodes
};

struct ReadOptions {
    ArchiveLimits limits;
};

// Content sniffing: a ZIP archive, or text whose first markup is "<"
// (UTF-8 or UTF-16, with or without a byte order mark).
bool LooksLikeMusicXml(const std::string& bytes);

// Fills an empty document with the score's texts, laid out as the JSON
// reader lays out its sections. False with *error (naming line and column
// where there is one) when the file is refused; then nothing is filled.
bool ReadScore(std::string bytes, const ReadOptions& options, host::Document* document, Score* score,
               std::string* error);

// The file's bytes with the texts the document now holds spliced in.
// Changes that cannot be written back go to *warnings; the rest is written.
// A verse is written back by where each of its writes fell; without them
// (or when they do not lead to the document's text), by the one change
// from the verse read to the verse now.
bool WriteScore(const Score& score, const host::Document& document, std::string* out,
                std::vector<std::string>* warnings, std::string* error, const VerseWrites* verseWrites = nullptr);
// The same as pieces of the score's own text (which they point into) and
// the changes.
bool WriteScore(const Score& score, const host::Document& document, host::Pieces* out,
                std::vector<std::string>* warnings, std::string* error, const VerseWrites* verseWrites = nullptr);

// As a musician names the kind: "page text", "rehearsal mark", ...
const char* TextKindName(TextSource source);

}  // namespace musicxml
