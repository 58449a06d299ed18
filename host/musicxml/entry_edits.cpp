// What a changed entry writes into its notes: the edits are spliced into the
// file by the writer, so everything the plug-in did not change stays as it was.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "host/document/attribute_names.h"
#include "host/musicxml/frames.h"

namespace musicxml {

namespace {

// Where the schema puts each child of <note>; a new element goes before
// the first child that comes later.
int NoteRank(std::string_view name) {
    static const std::pair<const char*, int> kOrder[] = {
        {"grace", 0},      {"cue", 0},        {"chord", 1},          {"pitch", 2},
        {"unpitched", 2},  {"rest", 2},       {"duration", 3},       {"tie", 4},
        {"instrument", 5}, {"footnote", 6},   {"level", 7},          {"voice", 8},
        {"type", 9},       {"dot", 10},       {"accidental", 11},    {"time-modification", 12},
        {"stem", 13},      {"notehead", 14},  {"notehead-text", 15}, {"staff", 16},
        {"beam", 17},      {"notations", 18}, {"lyric", 19},         {"play", 20},
        {"listen", 21}};
    for (const auto& [element, rank] : kOrder)
        if (name == element) return rank;
    return 100;
}

const Child* Find(const std::vector<Child>& children, const char* name) {
    for (const Child& child : children)
        if (child.name == name) return &child;
    return nullptr;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The whitespace that stands before an element, to give a new one the same indentation.
std::string IndentBefore(const std::string& xml, std::size_t at) {
    std::size_t start = at;
    while (start > 0 &&
           (xml[start - 1] == ' ' || xml[start - 1] == '\t' || xml[start - 1] == '\n' || xml[start - 1] == '\r'))
        --start;
    return xml.substr(start, at - start);
}

class NoteEditor {
public:
    NoteEditor(const std::string& xml, const NoteXml& note, std::vector<EntryEdit>* edits)
        : xml_(xml), note_(note), edits_(*edits) {}

    void SetContent(const Child& child, const std::string& text) {
        edits_.push_back({child.content.begin, child.content.end, text});
    }

    // Removes the element and the whitespace before it.
    void Remove(const Child& child) {
        edits_.push_back({child.begin - IndentBefore(xml_, child.begin).size(), child.end, ""});
    }

    void Replace(const Child& child, const std::string& markup) { edits_.push_back({child.begin, child.end, markup}); }

    // Inserts an element of <note> where the schema's order puts it.
    void Insert(const std::string& name, const std::string& markup) {
        const int rank = NoteRank(name);
        for (const Child& child : note_.children) {
            if (NoteRank(child.name) > rank) {
                edits_.push_back({child.begin, child.begin, markup + IndentBefore(xml_, child.begin), rank});
                return;
            }
        }
        const std::string indent =
            note_.children.empty() ? std::string() : IndentBefore(xml_, note_.children.back().begin);
        const std::size_t at = note_.children.empty() ? note_.end : note_.children.back().end;
        edits_.push_back({at, at, indent + markup, rank});
    }

    // Sets an attribute of the element's start tag, or with an empty value
    // removes it; the other attributes stay as they are.
    void SetAttribute(const Child& child, const std::string& name, const std::string& value) {
        const std::size_t afterName = child.begin + 1 + child.name.size();
        std::size_t at = afterName;
        while (at < xml_.size()) {
            std::size_t nameBegin = at;
            while (nameBegin < xml_.size() && IsSpace(xml_[nameBegin])) ++nameBegin;
            if (nameBegin >= xml_.size() || xml_[nameBegin] == '>' || xml_[nameBegin] == '/') break;
            const std::size_t equals = xml_.find('=', nameBegin);
            if (equals == std::string::npos) break;
            std::size_t nameEnd = equals;
            while (nameEnd > nameBegin && IsSpace(xml_[nameEnd - 1])) --nameEnd;
            std::size_t quote = equals + 1;
            while (quote < xml_.size() && IsSpace(xml_[quote])) ++quote;
            if (quote >= xml_.size() || (xml_[quote] != '"' && xml_[quote] != '\'')) break;
            const std::size_t close = xml_.find(xml_[quote], quote + 1);
            if (close == std::string::npos) break;
            if (xml_.compare(nameBegin, nameEnd - nameBegin, name) == 0) {
                if (value.empty())
                    edits_.push_back({at, close + 1, ""});  // with the space before it
                else
                    edits_.push_back({quote + 1, close, value});
                return;
            }
            at = close + 1;
        }
        if (!value.empty()) edits_.push_back({afterName, afterName, " " + name + "=\"" + value + "\""});
    }

    // Adds or removes ties of each type (stop, start) whose bit changed:
    // the <tie> that sounds and the <tied> that is drawn, so both agree.
    void SetTies(const bool changed[2], const bool on[2]) {
        static const char* const kTypes[2] = {"stop", "start"};
        std::string ties;  // new <tie> elements, stop before start
        std::string tieds;
        const std::string indent = note_.children.empty() ? std::string() : IndentBefore(xml_, note_.children[0].begin);
        const Child* startTie = nullptr;
        for (const Child& child : note_.children)
            if (child.name == "tie" && child.type == "start" && startTie == nullptr) startTie = &child;
        bool stopBeforeStart = false;
        for (int t = 0; t < 2; ++t) {
            if (!changed[t]) continue;
            const std::string type = kTypes[t];
            bool hasTie = false;
            bool hasTied = false;
            for (const Child& child : note_.children)
                if (child.name == "tie" && child.type == type) {
                    hasTie = true;
                    if (!on[t]) Remove(child);
                }
            for (const Child& child : note_.tied)
                if (child.type == type) {
                    hasTied = true;
                    if (!on[t]) Remove(child);
                }
            if (!on[t]) continue;
            if (!hasTie) {
                if (t == 0 && startTie != nullptr)
                    stopBeforeStart = true;
                else
                    ties += (ties.empty() ? "" : indent) + "<tie type=\"" + type + "\"/>";
            }
            if (!hasTied) tieds += "\n<tied type=\"" + type + "\"/>";
        }
        if (stopBeforeStart)
            edits_.push_back({startTie->begin, startTie->begin,
                              "<tie type=\"stop\"/>" + IndentBefore(xml_, startTie->begin), NoteRank("tie")});
        if (!ties.empty()) Insert("tie", ties);
        if (tieds.empty()) return;
        const Child* notations = Find(note_.children, "notations");
        auto joined = [&](const std::string& separator) {
            std::string out;
            std::size_t at = 0;
            while ((at = tieds.find('\n', at)) != std::string::npos) {
                const std::size_t next = tieds.find('\n', at + 1);
                out += separator + tieds.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
                at = next;
            }
            return out;
        };
        if (notations == nullptr) {
            Insert("notations", "<notations>" + joined("") + "</notations>");
        } else if (notations->content.end != 0 || xml_[notations->end - 2] == '/') {
            // <notations/> or one holding only text: written anew.
            Replace(*notations, "<notations>" + joined("") + "</notations>");
        } else {
            // Last in the element (<footnote> and <level> must stay first),
            // indented as its first child is.
            const std::size_t open = xml_.find('>', notations->begin) + 1;
            std::size_t first = open;
            while (first < notations->end && IsSpace(xml_[first])) ++first;
            std::size_t at = xml_.rfind("</", notations->end);
            while (at > open && IsSpace(xml_[at - 1])) --at;
            edits_.push_back({at, at, joined(xml_.substr(open, first - open))});
        }
    }

    // Inserts <alter> into <pitch>, before <octave>.
    void InsertAlter(const std::string& markup) {
        const Child* octave = Find(note_.pitch, "octave");
        if (octave == nullptr) return;
        edits_.push_back({octave->begin, octave->begin, markup + IndentBefore(xml_, octave->begin)});
    }

private:
    const std::string& xml_;
    const NoteXml& note_;
    std::vector<EntryEdit>& edits_;
};

const char* AccidentalFor(int alter) {
    switch (alter) {
        case -3:
            return "triple-flat";
        case -2:
            return "flat-flat";
        case -1:
            return "flat";
        case 0:
            return "natural";
        case 1:
            return "sharp";
        case 2:
            return "double-sharp";
        case 3:
            return "triple-sharp";
        default:
            return nullptr;
    }
}

void CountUnwritten(int word, std::uint32_t changed, std::map<std::string, int>* unwritten) {
    for (const host::AttributeBit& bit : host::kAttributeBits)
        if (bit.word == word && (changed & bit.mask) != 0) ++(*unwritten)[bit.name];
}

// The beam levels a note value has: an eighth one, a 16th two, and so on;
// a quarter or longer none.
int LevelsOfType(const std::string& type) {
    static const char* const kTypes[] = {"eighth", "16th", "32nd", "64th", "128th", "256th", "512th", "1024th"};
    for (int i = 0; i < 8; ++i)
        if (type == kTypes[i]) return i + 1;
    return 0;
}

std::string Trimmed(const std::string& xml, const Span& span) {
    std::size_t begin = span.begin;
    std::size_t end = span.end;
    while (begin < end && IsSpace(xml[begin])) ++begin;
    while (end > begin && IsSpace(xml[end - 1])) --end;
    return xml.substr(begin, end - begin);
}

std::uint8_t LowLevels(int count) { return static_cast<std::uint8_t>((1u << std::clamp(count, 0, 8)) - 1); }

// Beams of an entry, a bit a level (level 1 in bit 0): present, and
// joined to the entry before and the one after.
struct BeamBits {
    std::uint8_t levels = 0;
    std::uint8_t left = 0;
    std::uint8_t right = 0;
    bool operator==(const BeamBits&) const = default;
};

class EntryWriter {
public:
    EntryWriter(const Score& score, const host::Document& document, std::vector<EntryEdit>* edits)
        : score_(score), xml_(score.Xml()), document_(document), edits_(*edits) {}

    const EntryRecord* Current(const EntrySource& entry) const {
        // Entries come frame by frame: the last frame found is usually the one.
        if (!(cachedKey_ == entry.frame) || cached_ == nullptr) {
            const auto found = document_.Frames().find(entry.frame);
            cachedKey_ = entry.frame;
            cached_ = found == document_.Frames().end() ? nullptr : &found->second;
        }
        if (cached_ == nullptr || entry.index >= cached_->size()) return nullptr;
        return &(*cached_)[entry.index];
    }

    void Entry(const EntrySource& entry, const EntryRecord& now) {
        const EntryRecord& was = entry.original;
        const std::uint32_t changedA = now.flagsA ^ was.flagsA;
        const auto changedB = static_cast<std::uint32_t>(now.flagsB ^ was.flagsB);
        const std::uint32_t stemBits = bits::kFreezeStem | bits::kUpDown;
        const std::uint32_t beamBits = bits::kBeamBeat | bits::kSecondaryBeam;
        std::uint32_t writtenA = stemBits | beamBits;
        std::uint32_t writtenB = 0;
        if ((changedA & stemBits) != 0) Stems(entry, now);
        if ((changedA & beamBits) != 0) beamChanges_.push_back(&entry);
        // Articulations can be taken off; which one to put on is not known.
        if ((changedA & bits::kArticulation) != 0 && (now.flagsA & bits::kArticulation) == 0) {
            writtenA |= bits::kArticulation;
            for (const NoteXml& element : Notes(entry)) {
                NoteEditor editor(xml_, element, &edits_);
                for (const Child& articulations : element.articulations) editor.Remove(articulations);
            }
        }
        // A slur is taken off whole, from either end; where to put one on is not known.
        if ((changedB & bits::kSlur) != 0 && (now.flagsB & bits::kSlur) == 0) {
            writtenB |= bits::kSlur;
            for (const NoteXml& element : Notes(entry))
                for (const Child& slur : element.slurs) RemoveSlur(entry.part, slur);
        }
        // A slash on a grace note is an attribute of its <grace>.
        if ((changedB & bits::kSlashGrace) != 0 && Find(Notes(entry)[0].children, "grace") != nullptr) {
            writtenB |= bits::kSlashGrace;
            for (const NoteXml& element : Notes(entry)) {
                const Child* grace = Find(element.children, "grace");
                if (grace != nullptr)
                    NoteEditor(xml_, element, &edits_)
                        .SetAttribute(*grace, "slash", (now.flagsB & bits::kSlashGrace) != 0 ? "yes" : "");
            }
        }
        CountUnwritten(0, changedA & ~writtenA, &unwritten_);
        CountUnwritten(1, changedB & ~writtenB, &unwritten_);
        const int notes = std::min<int>(was.noteCount, now.noteCount);
        for (int n = 0; n < notes; ++n) Note(entry, n, was.notes[n], now.notes[n], now.position);
    }

    void Beams();
    void FollowingAccidentals();

    // Removes the slur and the other elements of the same slur (same
    // number, in the part's order: start, continues, stop).
    void RemoveSlur(int part, const Child& slur) {
        if (slursByPart_.empty()) {
            for (const EntrySource& entry : score_.entries)
                for (const NoteXml& element : Notes(entry))
                    for (const Child& child : element.slurs) slursByPart_[entry.part].push_back(&child);
            for (auto& [index, list] : slursByPart_)
                std::sort(list.begin(), list.end(), [](const Child* a, const Child* b) { return a->begin < b->begin; });
        }
        const std::vector<const Child*>& list = slursByPart_[part];
        const auto at = std::lower_bound(list.begin(), list.end(), &slur,
                                         [](const Child* a, const Child* b) { return a->begin < b->begin; });
        if (at == list.end() || *at != &slur) return;
        // Nesting one number is not allowed, so a start met on the way to
        // the stop (or a stop on the way back) is another slur's, at the same note.
        const std::size_t self = static_cast<std::size_t>(at - list.begin());
        std::vector<const Child*> chain = {&slur};
        for (std::size_t k = self; k-- > 0 && chain.back()->type != "start";) {
            if (list[k]->number != slur.number || list[k]->type == "stop") continue;
            chain.push_back(list[k]);
        }
        for (std::size_t k = self + 1; k < list.size() && slur.type != "stop"; ++k) {
            if (list[k]->number != slur.number || list[k]->type == "start") continue;
            chain.push_back(list[k]);
            if (list[k]->type == "stop") break;
        }
        for (const Child* element : chain)
            if (removedSlurs_.insert(element).second)
                edits_.push_back({element->begin - IndentBefore(xml_, element->begin).size(), element->end, ""});
    }

    const std::map<std::string, int>& Unwritten() const { return unwritten_; }

private:
    const Score& score_;
    const std::string& xml_;
    const host::Document& document_;
    std::vector<EntryEdit>& edits_;
    std::map<std::string, int> unwritten_;
    std::vector<const EntrySource*> beamChanges_;
    struct PitchChange {
        const EntrySource* entry;
        int note;
        int was;  // displacements
        int now;
        std::int32_t position;
    };
    std::vector<PitchChange> pitchChanges_;
    std::map<int, std::vector<const Child*>> slursByPart_;  // in file order, built when needed
    std::set<const Child*> removedSlurs_;
    mutable host::FrameKey cachedKey_;
    mutable const std::vector<EntryRecord>* cached_ = nullptr;
    std::map<host::FrameKey, const EntrySource*> lastInFrame_;  // built when needed

    // The entry's notes with their children located, on first use.
    const std::vector<NoteXml>& Notes(const EntrySource& entry) const { return LocatedNotes(xml_, entry); }

    // The reader puts a frame's entries one after another in their order,
    // and a staff's frames of one measure one after another.
    std::size_t At(const EntrySource& entry) const { return static_cast<std::size_t>(&entry - score_.entries.data()); }

    void Index() {
        if (!lastInFrame_.empty()) return;
        for (const EntrySource& entry : score_.entries) lastInFrame_[entry.frame] = &entry;
    }

    void Stems(const EntrySource& entry, const EntryRecord& now) {
        // Up/Down alone says nothing while the stem is not frozen.
        const bool frozen = (now.flagsA & bits::kFreezeStem) != 0;
        const std::string direction = (now.flagsA & bits::kUpDown) != 0 ? "up" : "down";
        const std::vector<NoteXml>& notes = Notes(entry);
        for (std::size_t e = 0; e < notes.size(); ++e) {
            NoteEditor editor(xml_, notes[e], &edits_);
            const Child* stem = Find(notes[e].children, "stem");
            if (!frozen && stem != nullptr)
                editor.Remove(*stem);
            else if (frozen && stem != nullptr && stem->content.end != 0)
                editor.SetContent(*stem, direction);
            else if (frozen && stem == nullptr && e == 0)
                editor.Insert("stem", "<stem>" + direction + "</stem>");
        }
    }

    // The notes of one step and octave in the entry's staff and measure, as
    // the score now stands: position and alteration, in position order. A
    // note tied over the bar line (the first of them, ending a tie) takes
    // its alteration from the tie and sets none for the notes after it.
    std::vector<std::pair<std::int32_t, int>> SamePitchInMeasure(const EntrySource& entry, int displacement) {
        std::vector<std::tuple<std::int32_t, int, bool>> found;
        const auto sameMeasure = [&](std::size_t at) {
            const host::FrameKey& frame = score_.entries[at].frame;
            return frame.staff == entry.frame.staff && frame.measure == entry.frame.measure;
        };
        std::size_t begin = At(entry);
        while (begin > 0 && sameMeasure(begin - 1)) --begin;
        for (std::size_t at = begin; at < score_.entries.size() && sameMeasure(at); ++at) {
            const EntryRecord* record = Current(score_.entries[at]);
            if (record == nullptr) continue;
            for (int i = 0; i < std::clamp<int>(record->noteCount, 0, kMaxNotesPerEntry); ++i) {
                if (record->notes[i].displacement != displacement) continue;
                // Packed fields: copied, never bound to a reference.
                const std::int32_t position = record->position;
                const int alteration = record->notes[i].raiseLower;
                found.emplace_back(position, alteration, (record->notes[i].flags & bits::kTieEnd) != 0);
            }
        }
        std::stable_sort(found.begin(), found.end(),
                         [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
        std::vector<std::pair<std::int32_t, int>> notes;
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (i == 0 && std::get<2>(found[i])) continue;
            notes.emplace_back(std::get<0>(found[i]), std::get<1>(found[i]));
        }
        return notes;
    }

    // The alteration a reader assumes for a note without an accidental at
    // this place: the last earlier note of that pitch in the staff's
    // measure, as the score now stands, or else the key signature.
    int ExpectedAlteration(const EntrySource& entry, int displacement, std::int32_t position) {
        int alteration = entry.key[static_cast<std::size_t>(((displacement % 7) + 7) % 7)];
        for (const auto& [at, alter] : SamePitchInMeasure(entry, displacement)) {
            if (at >= position) break;
            alteration = alter;
        }
        return alteration;
    }

    // A note ending a tie from the measure before: no earlier note of its
    // pitch in this measure.
    bool TiedOverTheBarLine(const EntrySource& entry, const NoteRecord& note, std::int32_t position) {
        if ((note.flags & bits::kTieEnd) == 0) return false;
        const auto notes = SamePitchInMeasure(entry, note.displacement);
        return notes.empty() || notes.front().first >= position;
    }

    // The n-th pitched note element of the entry (the record's note n).
    const NoteXml* PitchedNote(const EntrySource& entry, int n) const {
        int seen = 0;
        for (const NoteXml& candidate : Notes(entry))
            if (HasNoteRecord(candidate.node) && seen++ == n) return &candidate;
        return nullptr;
    }

    void Note(const EntrySource& entry, int n, const NoteRecord& a, const NoteRecord& b, std::int32_t position) {
        const NoteXml* element = PitchedNote(entry, n);
        if (element == nullptr) return;
        NoteEditor editor(xml_, *element, &edits_);
        const std::uint32_t accidentalBits = bits::kAccidental | bits::kAccidentalParentheses;
        const std::uint32_t tieBits = bits::kTieStart | bits::kTieEnd;
        CountUnwritten(2, (a.flags ^ b.flags) & ~(accidentalBits | tieBits), &unwritten_);
        // The schema gives a cue note no <tie>: its tie changes are reported.
        if (Find(element->children, "cue") != nullptr) {
            CountUnwritten(2, (a.flags ^ b.flags) & tieBits, &unwritten_);
        } else if (((a.flags ^ b.flags) & tieBits) != 0) {
            const bool changed[2] = {((a.flags ^ b.flags) & bits::kTieEnd) != 0,
                                     ((a.flags ^ b.flags) & bits::kTieStart) != 0};
            const bool on[2] = {(b.flags & bits::kTieEnd) != 0, (b.flags & bits::kTieStart) != 0};
            editor.SetTies(changed, on);
        }
        const bool pitchChanged = a.displacement != b.displacement || a.raiseLower != b.raiseLower;
        if (pitchChanged) {
            const int d = b.displacement;
            const int octave = 4 + (d >= 0 ? d / 7 : -((6 - d) / 7));
            const int step = d - (octave - 4) * 7;
            const Child* stepChild = Find(element->pitch, "step");
            const Child* octaveChild = Find(element->pitch, "octave");
            const Child* alterChild = Find(element->pitch, "alter");
            if (stepChild && stepChild->content.end && octaveChild && octaveChild->content.end) {
                editor.SetContent(*stepChild, std::string(1, "CDEFGAB"[step]));
                editor.SetContent(*octaveChild, std::to_string(octave));
                if (b.raiseLower == 0 && alterChild)
                    editor.Remove(*alterChild);
                else if (b.raiseLower != 0 && alterChild && alterChild->content.end)
                    editor.SetContent(*alterChild, std::to_string(b.raiseLower));
                else if (b.raiseLower != 0 && !alterChild)
                    editor.InsertAlter("<alter>" + std::to_string(b.raiseLower) + "</alter>");
            } else {
                ++unwritten_["Displacement"];
                return;
            }
            pitchChanges_.push_back({&entry, n, a.displacement, b.displacement, position});
        }
        // The accidental shown: as the bits say when they changed; a new
        // pitch shows a sign where the key and the measure so far would make
        // a reader assume another alteration, and none where they would not.
        const bool showChanged = ((a.flags ^ b.flags) & bits::kAccidental) != 0;
        const bool parenthesesChanged = ((a.flags ^ b.flags) & bits::kAccidentalParentheses) != 0;
        if (!showChanged && !parenthesesChanged && !pitchChanged) return;
        const Child* accidental = Find(element->children, "accidental");
        bool shown = accidental != nullptr;
        if (showChanged)
            shown = (b.flags & bits::kAccidental) != 0;
        else if (pitchChanged)
            shown = b.raiseLower != ExpectedAlteration(entry, b.displacement, position);
        const bool parentheses = (b.flags & bits::kAccidentalParentheses) != 0;
        const char* sign = AccidentalFor(b.raiseLower);
        if (!shown) {
            if (accidental != nullptr) editor.Remove(*accidental);
            if (parenthesesChanged) ++unwritten_["(Accidental)"];
        } else if (sign == nullptr) {
            ++unwritten_["Accidental"];
        } else if (accidental == nullptr) {
            editor.Insert("accidental", std::string("<accidental") + (parentheses ? " parentheses=\"yes\"" : "") + ">" +
                                            sign + "</accidental>");
        } else if (accidental->content.end == 0) {
            // <accidental/> has no sign to change: written anew.
            editor.Replace(*accidental, std::string("<accidental") + (parentheses ? " parentheses=\"yes\"" : "") + ">" +
                                            sign + "</accidental>");
        } else {
            if (element->accidental != sign) editor.SetContent(*accidental, sign);
            if (parenthesesChanged) editor.SetAttribute(*accidental, "parentheses", parentheses ? "yes" : "");
        }
    }

    const EntrySource* Previous(const EntrySource& entry) {
        if (entry.index > 0) return &score_.entries[At(entry) - 1];
        // A beam may go on over the bar line.
        Index();
        const auto found = lastInFrame_.find({entry.frame.staff, entry.frame.measure - 1, entry.frame.layer});
        return found == lastInFrame_.end() ? nullptr : found->second;
    }

    int Levels(const EntrySource& entry) const {
        int levels = 0;
        if (const Child* type = Find(Notes(entry)[0].children, "type"); type != nullptr && type->content.end != 0)
            levels = LevelsOfType(Trimmed(xml_, type->content));
        for (int level = 8; level > levels; --level)
            if ((entry.beamLevels & (1u << (level - 1))) != 0) levels = level;
        return levels;
    }

    void WriteBeams(const EntrySource& entry, const BeamBits& now);
};

// Beam/Beat breaks the beams before the entry, or joins it to the entry
// before; Sec Beam does the same for the second beam and those after it.
// Both sides of each join change together, so every edit is worked out on
// the beams as they end up before anything is written.
void EntryWriter::Beams() {
    if (beamChanges_.empty()) return;
    std::map<const EntrySource*, BeamBits> beams;
    auto state = [&](const EntrySource* entry) -> BeamBits& {
        return beams.try_emplace(entry, BeamBits{entry->beamLevels, entry->beamLeft, entry->beamRight}).first->second;
    };
    for (const EntrySource* entry : beamChanges_) {
        const EntryRecord& now = *Current(*entry);
        const std::uint32_t changed = now.flagsA ^ entry->original.flagsA;
        const EntrySource* previous = Previous(*entry);
        BeamBits& mine = state(entry);
        if ((now.flagsA & bits::kBeamBeat) != 0) {
            if (previous != nullptr) state(previous).right = 0;
            mine.left = 0;
            if ((changed & bits::kSecondaryBeam) != 0 && (now.flagsA & bits::kSecondaryBeam) != 0)
                ++unwritten_["Sec Beam"];  // no beam to break
            continue;
        }
        const bool graceMatch =
            previous != nullptr && ((previous->original.flagsA ^ entry->original.flagsA) & bits::kGrace) == 0;
        const int levels = Levels(*entry);
        const int previousLevels = previous != nullptr ? Levels(*previous) : 0;
        if (!graceMatch || levels == 0 || previousLevels == 0) {
            // Only notes of an eighth or shorter, grace with grace, are beamed.
            if ((changed & bits::kBeamBeat) != 0) ++unwritten_["Beam/Beat"];
            if ((changed & bits::kSecondaryBeam) != 0) ++unwritten_["Sec Beam"];
            continue;
        }
        BeamBits& before = state(previous);
        before.levels |= LowLevels(previousLevels);
        mine.levels |= LowLevels(levels);
        const std::uint8_t shared = LowLevels(std::min(levels, previousLevels));
        if ((now.flagsA & bits::kSecondaryBeam) != 0) {
            if (shared <= 1 && (changed & bits::kSecondaryBeam) != 0) ++unwritten_["Sec Beam"];
            before.right = static_cast<std::uint8_t>((before.right & ~shared) | 1);
            mine.left = static_cast<std::uint8_t>((mine.left & ~shared) | 1);
        } else {
            before.right |= shared;
            mine.left |= shared;
        }
    }
    for (const auto& [entry, now] : beams)
        if (!(now == BeamBits{entry->beamLevels, entry->beamLeft, entry->beamRight})) WriteBeams(*entry, now);
}

// After a pitch change the rest of the measure must still read as it is:
// each later note of the old or the new step and octave in the staff's
// measure that shows no accidental, and that a reader would now take with
// another alteration, gets the sign of its own. Accidentals already shown
// stay (they are still right, or cautionary), and so do notes tied over the
// bar line.
void EntryWriter::FollowingAccidentals() {
    std::set<std::pair<const EntrySource*, int>> seen;
    for (const PitchChange& change : pitchChanges_) seen.insert({change.entry, change.note});
    for (const PitchChange& change : pitchChanges_) {
        const host::FrameKey& frame = change.entry->frame;
        const auto sameMeasure = [&](std::size_t at) {
            return score_.entries[at].frame.staff == frame.staff && score_.entries[at].frame.measure == frame.measure;
        };
        std::size_t begin = At(*change.entry);
        while (begin > 0 && sameMeasure(begin - 1)) --begin;
        for (std::size_t at = begin; at < score_.entries.size() && sameMeasure(at); ++at) {
            const EntrySource& entry = score_.entries[at];
            const EntryRecord* record = Current(entry);
            if (record == nullptr || !entry.first || record->position <= change.position) continue;
            for (int i = 0; i < std::clamp<int>(record->noteCount, 0, kMaxNotesPerEntry); ++i) {
                const NoteRecord& note = record->notes[i];
                if (note.displacement != change.was && note.displacement != change.now) continue;
                if (!seen.insert({&entry, i}).second) continue;
                if ((note.flags & bits::kAccidental) != 0 || TiedOverTheBarLine(entry, note, record->position))
                    continue;
                if (note.raiseLower == ExpectedAlteration(entry, note.displacement, record->position)) continue;
                const char* sign = AccidentalFor(note.raiseLower);
                const NoteXml* element = PitchedNote(entry, i);
                if (sign == nullptr || element == nullptr || Find(element->children, "accidental") != nullptr) continue;
                NoteEditor(xml_, *element, &edits_)
                    .Insert("accidental", std::string("<accidental>") + sign + "</accidental>");
            }
        }
    }
}

void EntryWriter::WriteBeams(const EntrySource& entry, const BeamBits& now) {
    const BeamBits was{entry.beamLevels, entry.beamLeft, entry.beamRight};
    const bool beamed = ((now.left | now.right) & 1) != 0;
    const int levels = Levels(entry);
    // The notes that carry the entry's beams: usually a chord's first.
    std::vector<const NoteXml*> targets;
    for (const NoteXml& element : Notes(entry))
        if (Find(element.children, "beam") != nullptr) targets.push_back(&element);
    if (targets.empty()) targets.push_back(&Notes(entry)[0]);
    for (const NoteXml* element : targets) {
        NoteEditor editor(xml_, *element, &edits_);
        std::string added;
        const std::string indent =
            element->children.empty() ? std::string() : IndentBefore(xml_, element->children[0].begin);
        for (int level = 1; level <= 8; ++level) {
            const auto bit = static_cast<std::uint8_t>(1u << (level - 1));
            const Child* old = nullptr;
            for (const Child& child : element->children)
                if (child.name == "beam" && child.number == level) old = &child;
            const std::string oldValue = old != nullptr && old->content.end != 0 ? Trimmed(xml_, old->content) : "";
            std::string value;
            const bool left = (now.left & bit) != 0;
            const bool right = (now.right & bit) != 0;
            if (!beamed) {
                value.clear();
            } else if (left || right) {
                value = left && right ? "continue" : left ? "end" : "begin";
            } else if ((now.levels & bit) != 0 && level <= std::max(levels, 1)) {
                // A level joined to neither side is a hook, into the group.
                const bool wasHook = oldValue == "forward hook" || oldValue == "backward hook";
                const bool same = (was.left & bit) == (now.left & bit) && (was.right & bit) == (now.right & bit);
                value = wasHook && same ? oldValue : (now.left & 1) != 0 ? "backward hook" : "forward hook";
            }
            if (old != nullptr && value.empty())
                editor.Remove(*old);
            else if (old != nullptr && value != oldValue && old->content.end != 0)
                editor.SetContent(*old, value);
            else if (old != nullptr && value != oldValue)
                editor.Replace(*old, "<beam number=\"" + std::to_string(level) + "\">" + value + "</beam>");
            else if (old == nullptr && !value.empty())
                added += (added.empty() ? "" : indent) + "<beam number=\"" + std::to_string(level) + "\">" + value +
                         "</beam>";
        }
        if (!added.empty()) editor.Insert("beam", added);
    }
}

}  // namespace

void EntryEdits(const Score& score, const host::Document& document, std::vector<EntryEdit>* edits,
                std::vector<std::string>* warnings) {
    EntryWriter writer(score, document, edits);
    for (const EntrySource& entry : score.entries) {
        const EntryRecord* now = writer.Current(entry);
        if (now == nullptr || !entry.first) continue;
        if (std::memcmp(now, &entry.original, sizeof(EntryRecord)) == 0) continue;
        writer.Entry(entry, *now);
    }
    writer.Beams();
    writer.FollowingAccidentals();
    // Several insertions at one place go in the schema's order.
    std::stable_sort(edits->begin(), edits->end(), [](const EntryEdit& a, const EntryEdit& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.rank < b.rank;
    });
    for (const auto& [name, count] : writer.Unwritten())
        warnings->push_back(std::to_string(count) + " change(s) of " + name +
                            " not written: it has no MusicXML form here");
}

}  // namespace musicxml
