// Note entries from MusicXML: one frame for each staff, measure and layer,
// the notes' elements remembered so that a change is written into them.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/musicxml/score.h"

namespace musicxml {

struct PartStaves {
    pugi::xml_node part;
    int index = 0;       // into Score::parts
    int firstStaff = 1;  // the document's number of the part's first staff
    int staves = 1;
};

// What the text reader takes from the measures, handed to it as the frames
// walk them, so that the score's notes are walked once.
class MeasureVisitor {
public:
    virtual ~MeasureVisitor() = default;
    // A measure starts; false leaves the rest of the part unread.
    virtual bool Measure(const PartStaves& part, int ordinal) = 0;
    virtual void Lyric(pugi::xml_node lyric, const PartStaves& part, int ordinal) = 0;
    // Every child of the measure but notes, attributes, backups and forwards.
    virtual void Other(pugi::xml_node item, const PartStaves& part, int ordinal) = 0;
};

// Fills the document's frames and score->entries; what cannot be read as
// it stands (overfull measures, a fifth voice) goes to score->notes. The
// parts' count of <note> elements bounds the entries.
void ReadFrames(const std::vector<PartStaves>& parts, std::size_t notes, MeasureVisitor* visitor,
                host::Document* document, Score* score);

// Entry attribute bits with a MusicXML meaning (flag word A, then B), and
// note bits; see docs/musicxml.md.
namespace bits {
constexpr std::uint32_t kNote = 0x40000000;
constexpr std::uint32_t kVoice2 = 0x10000000;
constexpr std::uint32_t kChord = 0x04000000;
constexpr std::uint32_t kGrace = 0x00800000;
constexpr std::uint32_t kArticulation = 0x00200000;
constexpr std::uint32_t kLyrics = 0x00100000;
constexpr std::uint32_t kTuplet = 0x00080000;
constexpr std::uint32_t kBeamBeat = 0x00000800;
constexpr std::uint32_t kSecondaryBeam = 0x00000400;
constexpr std::uint32_t kFreezeStem = 0x00000100;
constexpr std::uint32_t kUpDown = 0x00000001;
constexpr std::uint16_t kSlur = 0x0020;
constexpr std::uint16_t kSlashGrace = 0x0100;
constexpr std::uint32_t kTieStart = 0x40000000;
constexpr std::uint32_t kTieEnd = 0x20000000;
constexpr std::uint32_t kCrossNote = 0x10000000;
constexpr std::uint32_t kAccidental = 0x01000000;
constexpr std::uint32_t kAccidentalParentheses = 0x00800000;
}  // namespace bits

// A <note> element is one of its entry's notes (a note record) when it has
// a <pitch>, with or without a step: the reader and the writer both count
// an entry's notes by this, so that the nth note record is the nth such
// element.
inline bool HasNoteRecord(pugi::xml_node note) { return static_cast<bool>(note.child("pitch")); }

// Edits for the entries the plug-in changed: stems, pitches and the
// accidentals that go with them, ties; a change without a MusicXML form is
// counted in *unwritten by attribute name.
struct EntryEdit {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string raw;  // markup, already escaped
    int rank = 1000;  // insertions at one place go in the schema's order, before a change there
};
// The entry's note elements with their children located in the score's
// Xml(), found on first use: the reader keeps only their nodes.
const std::vector<NoteXml>& LocatedNotes(const std::string& xml, const EntrySource& entry);
void EntryEdits(const Score& score, const host::Document& document, std::vector<EntryEdit>* edits,
                std::vector<std::string>* warnings);

}  // namespace musicxml
