// Note entries from MusicXML: one frame for each staff, measure and layer,
// the notes' elements remembered so that a change is written into them.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/markup/entry_bits.h"
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

// The entry attribute bits, in MusicXML code as bits::.
namespace bits = markup::bits;

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
