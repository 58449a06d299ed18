// Writing changed note entries back into MuseScore's chords and notes:
// stems, pitches with their spelling and the accidental shown, accidentals
// and their brackets, ties. Each edit is made in the score's chord and in
// every excerpt's copy of it.
#include "host/musescore/frames.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "host/document/attribute_names.h"
#include "host/musescore/pitch.h"
#include "host/markup/entry_bits.h"
#include "host/markup/xml_text.h"

namespace musescore {

namespace {

namespace bits = markup::bits;

// As std::stoi reads it (white space, a sign, digits), without the
// exceptions it throws for the many elements that are absent.
int Number(pugi::xml_node element, int fallback) {
    const char* text = element.child_value();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || value < std::numeric_limits<int>::min() ||
        value > std::numeric_limits<int>::max())
        return fallback;
    return static_cast<int>(value);
}

std::string Trimmed(const char* text) {
    std::string value(text);
    const std::size_t first = value.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return value.substr(first, value.find_last_not_of(" \t\r\n") - first + 1);
}

// An element's place in its file: from its "<" to after its end tag.
struct Extent {
    std::size_t begin = 0;
    std::size_t end = 0;
    Span content;  // empty for an empty element
};

bool Locate(const std::string& xml, pugi::xml_node element, Extent* extent) {
    const std::ptrdiff_t offset = element.offset_debug();
    if (offset <= 0) return false;
    extent->begin = static_cast<std::size_t>(offset) - 1;
    const std::size_t tagEnd = markup::StartTagEnd(xml, static_cast<std::size_t>(offset));
    if (tagEnd == std::string::npos) return false;
    if (xml[tagEnd - 1] == '/') {
        extent->end = tagEnd + 1;
        extent->content = Span{tagEnd, tagEnd};
        return true;
    }
    if (!ElementContent(xml, static_cast<std::size_t>(offset), &extent->content)) return false;
    const std::size_t close = xml.find('>', extent->content.end);
    if (close == std::string::npos) return false;
    extent->end = close + 1;
    return true;
}

// The white space from the line's start to `at`; empty when other text is there.
std::string IndentBefore(const std::string& xml, std::size_t at) {
    std::size_t start = at;
    while (start > 0 && (xml[start - 1] == ' ' || xml[start - 1] == '\t')) --start;
    if (start > 0 && xml[start - 1] != '\n') return {};
    return xml.substr(start, at - start);
}

std::string LineEnd(const std::string& xml, std::size_t at) {
    const std::size_t newline = xml.rfind('\n', at);
    return newline != std::string::npos && newline > 0 && xml[newline - 1] == '\r' ? "\r\n" : "\n";
}

const char* AccidentalName(int alter) {
    switch (alter) {
        case -3:
            return "accidentalTripleFlat";
        case -2:
            return "accidentalDoubleFlat";
        case -1:
            return "accidentalFlat";
        case 0:
            return "accidentalNatural";
        case 1:
            return "accidentalSharp";
        case 2:
            return "accidentalDoubleSharp";
        case 3:
            return "accidentalTripleSharp";
        default:
            return nullptr;
    }
}

// A fraction of the whole note, reduced; false when it does not fit.
bool Reduced(__int128 n, __int128 d, long long* numerator, long long* denominator) {
    if (d < 0) n = -n, d = -d;
    __int128 a = n < 0 ? -n : n;
    __int128 b = d;
    while (b != 0) {
        const __int128 t = a % b;
        a = b;
        b = t;
    }
    if (a == 0) a = 1;
    n /= a;
    d /= a;
    constexpr __int128 kMost = std::numeric_limits<long long>::max();
    if (d == 0 || n > kMost || -n > kMost || d > kMost) return false;
    *numerator = static_cast<long long>(n);
    *denominator = static_cast<long long>(d);
    return true;
}

class Writer {
public:
    Writer(const Score& score, const host::Document& document, std::vector<EntryEdit>* edits)
        : score_(score), document_(document), edits_(*edits) {}

    void Entry(const EntrySource& entry, const EntryRecord& now) {
        const EntryRecord& was = entry.original;
        const std::uint32_t changedA = was.flagsA ^ now.flagsA;
        const std::uint32_t changedB = static_cast<std::uint32_t>(was.flagsB ^ now.flagsB);
        std::uint32_t writtenA = 0;
        if ((changedA & (bits::kFreezeStem | bits::kUpDown)) != 0 && (now.flagsA & bits::kNote) != 0) {
            const bool frozen = (now.flagsA & bits::kFreezeStem) != 0;
            // Up/Down alone on a free stem has no MuseScore form.
            const char* direction = frozen ? ((now.flagsA & bits::kUpDown) != 0 ? "up" : "down") : nullptr;
            if ((frozen || (changedA & bits::kFreezeStem) != 0) && BeamAgrees(entry, direction)) {
                writtenA |= bits::kFreezeStem | bits::kUpDown;
                for (const ChordXml& chord : entry.chords) Stem(chord, direction);
            }
        }
        Count(0, changedA & ~writtenA);
        Count(1, changedB);
        if (was.position != now.position) ++unwritten_["Position"];
        if (was.duration != now.duration) ++unwritten_["Duration"];
        if (was.noteCount != now.noteCount) ++unwritten_["Notes in the entry"];
        const int notes = std::min<int>(was.noteCount, now.noteCount);
        for (int n = 0; n < notes; ++n) Note(entry, n, was.notes[n], now.notes[n], now);
    }

    const std::map<std::string, int>& Unwritten() const { return unwritten_; }

private:
    const Score& score_;
    const host::Document& document_;
    std::vector<EntryEdit>& edits_;
    // Entries by frame and index, made when a tie first needs it.
    mutable std::map<std::pair<host::FrameKey, std::uint32_t>, std::size_t> places_;
    const std::map<std::pair<host::FrameKey, std::uint32_t>, std::size_t>& Places() const {
        if (places_.empty())
            for (std::size_t i = 0; i < score_.entries.size(); ++i)
                places_[{score_.entries[i].frame, score_.entries[i].index}] = i;
        return places_;
    }
    std::map<std::string, int> unwritten_;
    std::map<std::pair<int, std::ptrdiff_t>, std::string> beams_;  // beam -> the direction this run gave it

    void Count(int word, std::uint32_t changed) {
        if (changed == 0) return;
        for (const host::AttributeBit& bit : host::kAttributeBits)
            if (bit.word == word && (changed & bit.mask) != 0) ++unwritten_[bit.name];
    }

    const std::string& Xml(int member) const { return score_.Xml(member); }

    void Edit(int member, std::size_t begin, std::size_t end, std::string markup) {
        edits_.push_back({member, begin, end, std::move(markup)});
    }

    // Takes an element out with its line.
    void Remove(int member, const Extent& extent) {
        const std::string& xml = Xml(member);
        const std::string indent = IndentBefore(xml, extent.begin);
        std::size_t begin = extent.begin;
        if (begin > indent.size() && xml[begin - indent.size() - 1] == '\n') {
            begin -= indent.size() + 1;
            if (begin > 0 && xml[begin - 1] == '\r') --begin;
        }
        Edit(member, begin, extent.end, "");
    }

    // New markup on a line of its own before `before`, indented as it is.
    void InsertBefore(int member, std::size_t before, const std::string& markup) {
        const std::string& xml = Xml(member);
        Edit(member, before, before, markup + LineEnd(xml, before) + IndentBefore(xml, before));
    }

    static bool Is(pugi::xml_node node, const char* name) { return std::strcmp(node.name(), name) == 0; }

    // What a chord or rest is to a beam: beamable, and whether it starts one
    // (BeamMode begin), refuses one (no, a value of a quarter or more) or
    // is a grace note, whose beams are their own.
    enum class BeamRole { Joins, Begins, Breaks };
    static BeamRole RoleOf(pugi::xml_node entry) {
        static const char* const kUnbeamable[] = {"quarter", "half", "whole", "breve", "long", "measure"};
        const std::string type = Trimmed(entry.child_value("durationType"));
        if (std::find(std::begin(kUnbeamable), std::end(kUnbeamable), type) != std::end(kUnbeamable))
            return BeamRole::Breaks;
        for (pugi::xml_node child : entry.children()) {
            const char* name = child.name();
            if (std::strcmp(name, "acciaccatura") == 0 || std::strcmp(name, "appoggiatura") == 0 ||
                std::strncmp(name, "grace", 5) == 0)
                return BeamRole::Breaks;
        }
        const std::string mode = Trimmed(entry.child_value("BeamMode"));
        if (mode == "no") return BeamRole::Breaks;
        return mode == "begin" ? BeamRole::Begins : BeamRole::Joins;
    }

    // The <Beam> a chord stands under. MuseScore writes a beam just before
    // its first chord; the chords after it join it until one that starts
    // another or cannot be beamed.
    static pugi::xml_node BeamOf(pugi::xml_node chord) {
        for (pugi::xml_node at = chord; at; at = at.previous_sibling()) {
            if (at != chord && Is(at, "Beam")) return at;
            if (!Is(at, "Chord") && !Is(at, "Rest")) continue;
            const BeamRole role = RoleOf(at);
            if (role == BeamRole::Breaks) return {};
            if (role == BeamRole::Begins) {
                pugi::xml_node before = at.previous_sibling();
                while (before && before.type() != pugi::node_element) before = before.previous_sibling();
                return before && Is(before, "Beam") ? before : pugi::xml_node();
            }
        }
        return {};
    }

    // A beam with a direction of its own turns all its stems that way, and
    // one placed by hand (its <Fragment>s) holds them where it was put; so
    // a stem frozen (or freed) under it takes the beam along: its direction
    // becomes the new one, and a place set for another direction goes.
    // Chords of one beam asking for different directions cannot all be had:
    // the first decides. False when the entry's chords cannot have `direction`.
    bool BeamAgrees(const EntrySource& entry, const char* direction) {
        const std::string wanted = direction != nullptr ? direction : "";
        const auto ruling = [](pugi::xml_node beam) { return beam.child("StemDirection") || beam.child("Fragment"); };
        for (const ChordXml& chord : entry.chords) {
            const pugi::xml_node beam = BeamOf(chord.chord);
            if (!ruling(beam)) continue;
            const auto done = beams_.find({chord.member, beam.offset_debug()});
            if (done != beams_.end() && done->second != wanted) return false;
        }
        for (const ChordXml& chord : entry.chords) {
            const pugi::xml_node beam = BeamOf(chord.chord);
            if (!ruling(beam) || !beams_.emplace(std::make_pair(chord.member, beam.offset_debug()), wanted).second)
                continue;
            const pugi::xml_node stem = beam.child("StemDirection");
            if (stem && Trimmed(stem.child_value()) == wanted) continue;
            Extent extent;
            if (stem && Locate(Xml(chord.member), stem, &extent)) {
                if (direction == nullptr)
                    Remove(chord.member, extent);
                else
                    Edit(chord.member, extent.content.begin, extent.content.end, direction);
            }
            if (direction == nullptr) continue;  // a free stem goes where the beam was put
            for (pugi::xml_node fragment : beam.children("Fragment"))
                if (Locate(Xml(chord.member), fragment, &extent)) Remove(chord.member, extent);
        }
        return true;
    }

    void Stem(const ChordXml& chord, const char* direction) {
        const std::string& xml = Xml(chord.member);
        // The first <StemDirection> takes the direction; any other (MuseScore
        // would take the last) goes.
        bool written = false;
        for (pugi::xml_node stem : chord.chord.children("StemDirection")) {
            Extent extent;
            if (!Locate(xml, stem, &extent)) continue;
            if (direction == nullptr || written)
                Remove(chord.member, extent);
            else if (extent.content.end > extent.content.begin)
                Edit(chord.member, extent.content.begin, extent.content.end, direction);
            else
                Edit(chord.member, extent.begin, extent.end,
                     std::string("<StemDirection>") + direction + "</StemDirection>");
            written = true;
        }
        if (written || direction == nullptr) return;
        // MuseScore writes the stem's direction just before the chord's notes.
        Extent note;
        if (!Locate(xml, chord.chord.child("Note"), &note)) return;
        InsertBefore(chord.member, note.begin, std::string("<StemDirection>") + direction + "</StemDirection>");
    }

    // The alteration a reader assumes for a note at this place: the last
    // earlier note on its line in the staff's measure, as the score now
    // stands, else the key signature.
    int Assumed(const EntrySource& entry, const EntryRecord& now, int displacement) const {
        int best = -1;
        int alter = entry.key[static_cast<std::size_t>(pitch::Mod(displacement, 7))];
        for (int layer = 0; layer < 4; ++layer) {
            const auto& frames = document_.Frames();
            const auto frame = frames.find({entry.frame.staff, entry.frame.measure, layer});
            if (frame == frames.end()) continue;
            for (std::size_t i = 0; i < frame->second.size(); ++i) {
                const EntryRecord& other = frame->second[i];
                const bool earlier = other.position < now.position ||
                                     (layer == entry.frame.layer && other.position == now.position && i < entry.index);
                if (!earlier || other.position < best) continue;
                for (int n = 0; n < other.noteCount && n < kMaxNotesPerEntry; ++n) {
                    if (other.notes[n].displacement == displacement) {
                        best = other.position;
                        alter = other.notes[n].raiseLower;
                    }
                }
            }
        }
        return alter;
    }

    void Note(const EntrySource& entry, int n, const NoteRecord& was, const NoteRecord& now,
              const EntryRecord& nowEntry) {
        const std::uint32_t accidentalBits = bits::kAccidental | bits::kAccidentalParentheses;
        const std::uint32_t tieBits = bits::kTieStart | bits::kTieEnd;
        const bool pitchChanged = was.displacement != now.displacement || was.raiseLower != now.raiseLower;
        const std::uint32_t changed = was.flags ^ now.flags;
        Count(2, changed & ~(accidentalBits | tieBits));
        std::optional<int> newPitch;
        int newTpc = 0;
        int newTpc2 = 0;
        if (pitchChanged) {
            const int step = pitch::Mod(now.displacement, 7);
            const int written = pitch::MidiOf(now.displacement, now.raiseLower);
            newTpc2 = pitch::TpcOf(step, now.raiseLower);
            newTpc = newTpc2 + pitch::TpcShift(entry.chromatic, entry.diatonic);
            const int sounding = written + entry.chromatic;
            if (sounding < 0 || sounding > 127 || !pitch::ValidTpc(newTpc) || !pitch::ValidTpc(newTpc2) ||
                now.raiseLower < -2 || now.raiseLower > 2 || !PitchWritable(entry, n)) {
                ++unwritten_[was.displacement != now.displacement ? "Displacement" : "Raise/Lower"];
            } else {
                newPitch = sounding;
            }
        }
        // The accidental: as the Accidental bits now say when they changed,
        // else as a reader expects it where the pitch changed.
        const int alter = newPitch ? now.raiseLower : was.raiseLower;
        bool shown = (was.flags & bits::kAccidental) != 0;
        bool bracket = (was.flags & bits::kAccidentalParentheses) != 0;
        bool user = false;
        bool accidentalChanged = false;
        if ((changed & accidentalBits) != 0) {
            shown = (now.flags & bits::kAccidental) != 0;
            bracket = (now.flags & bits::kAccidentalParentheses) != 0;
            if (bracket && !shown) {
                ++unwritten_["(Accidental)"];
                bracket = false;
            }
            user = shown;
            accidentalChanged = true;
        } else if (newPitch) {
            shown = alter != Assumed(entry, nowEntry, now.displacement);
            accidentalChanged = true;
        }
        if (accidentalChanged && shown && AccidentalName(alter) == nullptr) {
            ++unwritten_["Accidental"];
            accidentalChanged = false;
        }
        for (const ChordXml& chord : entry.chords) {
            std::vector<pugi::xml_node> notes;
            for (pugi::xml_node note : chord.chord.children("Note")) notes.push_back(note);
            if (static_cast<std::size_t>(n) >= notes.size()) continue;
            const pugi::xml_node note = notes[static_cast<std::size_t>(n)];
            if (newPitch) Pitch(chord.member, note, *newPitch, newTpc, newTpc2);
            if (accidentalChanged) Accidental(chord.member, note, shown, alter, bracket, user);
        }
        if ((changed & bits::kTieStart) != 0) Tie(entry, n, (now.flags & bits::kTieStart) != 0, true);
        if ((changed & bits::kTieEnd) != 0) Tie(entry, n, (now.flags & bits::kTieEnd) != 0, false);
    }

    // A note's pitch can be written where each copy has a <pitch> and its
    // spelling elements can be found: a note without <tpc> is spelled from
    // its pitch, so the spelling is added after it.
    bool PitchWritable(const EntrySource& entry, int n) const {
        for (const ChordXml& chord : entry.chords) {
            const pugi::xml_node note = NthNote(chord.chord, n);
            if (!note) continue;
            Extent extent;
            if (!note.child("pitch") || !Locate(Xml(chord.member), note.child("pitch"), &extent)) return false;
            for (const char* name : {"tpc", "tpc2"})
                if (note.child(name) && !Locate(Xml(chord.member), note.child(name), &extent)) return false;
        }
        return true;
    }

    void Pitch(int member, pugi::xml_node note, int midi, int tpc, int tpc2) {
        const std::string& xml = Xml(member);
        const std::pair<const char*, int> values[] = {{"pitch", midi}, {"tpc", tpc}, {"tpc2", tpc2}};
        for (const auto& [name, value] : values) {
            // The whole element, made only where one is written.
            const auto element = [&, name = name, value = value] {
                return std::string("<") + name + ">" + std::to_string(value) + "</" + name + ">";
            };
            Extent extent;
            const pugi::xml_node existing = note.child(name);
            if (!existing) {
                // Without <tpc2> a reader derives it from <tpc>.
                if (std::strcmp(name, "tpc") != 0 || !Locate(xml, note.child("pitch"), &extent)) continue;
                const std::string indent = IndentBefore(xml, extent.begin);
                Edit(member, extent.end, extent.end,
                     indent.empty() ? element() : LineEnd(xml, extent.begin) + indent + element());
            } else if (Locate(xml, existing, &extent)) {
                if (extent.content.end > extent.content.begin)
                    Edit(member, extent.content.begin, extent.content.end, std::to_string(value));
                else
                    Edit(member, extent.begin, extent.end, element());
            }
        }
    }

    void Accidental(int member, pugi::xml_node note, bool shown, int alter, bool bracket, bool user) {
        const std::string& xml = Xml(member);
        Extent existing;
        const bool has = note.child("Accidental") && Locate(xml, note.child("Accidental"), &existing);
        if (!shown) {
            if (has) Remove(member, existing);
            return;
        }
        // MuseScore 3 closes an element at its children's indentation, 4 at its own.
        Extent first;
        pugi::xml_node firstChild = note.first_child();
        while (firstChild && firstChild.type() != pugi::node_element) firstChild = firstChild.next_sibling();
        Extent whole;
        if (!firstChild || !Locate(xml, firstChild, &first) || !Locate(xml, note, &whole)) return;
        const std::string indent = IndentBefore(xml, first.begin);
        const std::string noteClose = IndentBefore(xml, whole.content.end);
        const std::string inner = indent + "  ";
        const std::string close = noteClose == indent ? inner : indent;
        const std::string eol = LineEnd(xml, first.begin);
        std::string markup = "<Accidental>" + eol;
        if (bracket) markup += inner + "<bracket>1</bracket>" + eol;
        if (user) markup += inner + "<role>1</role>" + eol;
        markup += inner + "<subtype>" + AccidentalName(alter) + "</subtype>" + eol + close + "</Accidental>";
        if (has) {
            // An accidental the user placed stays the user's.
            if (!user && Number(note.child("Accidental").child("role"), 0) == 1)
                markup.insert(markup.find(inner + "<subtype>"), inner + "<role>1</role>" + eol);
            Edit(member, existing.begin, existing.end, markup);
        } else {
            InsertBefore(member, first.begin, markup);
        }
    }

    // The Tie spanner of a note that goes on (next) or comes from (prev).
    static pugi::xml_node TieSpanner(pugi::xml_node note, const char* side) {
        for (pugi::xml_node spanner : note.children("Spanner"))
            if (std::strcmp(spanner.attribute("type").value(), "Tie") == 0 && spanner.child(side)) return spanner;
        return {};
    }

    // The entry a tie reaches: its location's measures and fractions on from this one.
    const EntrySource* Partner(const EntrySource& entry, pugi::xml_node spanner, const char* side) const {
        const pugi::xml_node location = spanner.child(side).child("location");
        const int measures = Number(location.child("measures"), 0);
        std::string fractions = location.child_value("fractions");
        long long n = 0;
        long long d = 1;
        if (const std::size_t slash = fractions.find('/'); slash != std::string::npos) {
            try {
                n = std::stoll(fractions.substr(0, slash));
                d = std::stoll(fractions.substr(slash + 1));
            } catch (...) {
                return nullptr;
            }
            if (d == 0) return nullptr;
        }
        // A tie may go on into another voice of the staff.
        const host::FrameKey frame{entry.frame.staff, entry.frame.measure + measures,
                                   entry.frame.layer + Number(location.child("voices"), 0)};
        // There: this entry's start and the fraction, compared as fractions.
        const __int128 thereN =
            static_cast<__int128>(entry.startNumerator) * d + static_cast<__int128>(n) * entry.startDenominator;
        const __int128 thereD = static_cast<__int128>(entry.startDenominator) * d;
        for (std::uint32_t i = 0;; ++i) {
            const auto found = Places().find({frame, i});
            if (found == Places().end()) return nullptr;
            const EntrySource& other = score_.entries[found->second];
            if (static_cast<__int128>(other.startNumerator) * thereD == thereN * other.startDenominator &&
                (other.original.flagsA & bits::kGrace) == 0)
                return &other;
        }
    }

    // The next (or previous) entry of the layer, over a bar line too.
    const EntrySource* Neighbour(const EntrySource& entry, bool next) const {
        if (next) {
            if (const auto found = Places().find({entry.frame, entry.index + 1}); found != Places().end())
                return &score_.entries[found->second];
            const auto found = Places().find({{entry.frame.staff, entry.frame.measure + 1, entry.frame.layer}, 0});
            return found == Places().end() ? nullptr : &score_.entries[found->second];
        }
        if (entry.index > 0) return &score_.entries[Places().at({entry.frame, entry.index - 1})];
        const host::FrameKey before{entry.frame.staff, entry.frame.measure - 1, entry.frame.layer};
        const EntrySource* last = nullptr;
        for (std::uint32_t i = 0;; ++i) {
            const auto found = Places().find({before, i});
            if (found == Places().end()) return last;
            last = &score_.entries[found->second];
        }
    }

    static pugi::xml_node NoteOfPitch(pugi::xml_node chord, int midi) {
        for (pugi::xml_node note : chord.children("Note"))
            if (Number(note.child("pitch"), -1) == midi) return note;
        return {};
    }

    static pugi::xml_node NthNote(pugi::xml_node chord, int n) {
        for (pugi::xml_node note : chord.children("Note"))
            if (n-- == 0) return note;
        return {};
    }

    // The chord of `entry` in the same file as `like`.
    static pugi::xml_node ChordIn(const EntrySource& entry, int member, std::size_t copy) {
        std::size_t seen = 0;
        for (const ChordXml& chord : entry.chords)
            if (chord.member == member && seen++ == copy) return chord.chord;
        return {};
    }

    // A tie on (start: to the next entry's note of the same pitch) or off
    // (both of its ends), in the score and in each excerpt's copy.
    void Tie(const EntrySource& entry, int n, bool on, bool start) {
        const char* here = start ? "next" : "prev";
        const char* there = start ? "prev" : "next";
        const char* name = start ? "Tie Start" : "Tie End";
        const pugi::xml_node note = NthNote(entry.chords.front().chord, n);
        const int midi = Number(note.child("pitch"), -1);
        if (!on) {
            const pugi::xml_node spanner = TieSpanner(note, here);
            const EntrySource* partner = spanner ? Partner(entry, spanner, here) : nullptr;
            if (!spanner) return;
            std::map<int, std::size_t> copies;  // member -> copies seen
            for (const ChordXml& chord : entry.chords) {
                const std::size_t copy = copies[chord.member]++;
                const pugi::xml_node own = NthNote(chord.chord, n);
                Extent extent;
                if (const pugi::xml_node tie = TieSpanner(own, here); tie && Locate(Xml(chord.member), tie, &extent))
                    Remove(chord.member, extent);
                const pugi::xml_node other = partner ? ChordIn(*partner, chord.member, copy) : pugi::xml_node();
                if (const pugi::xml_node end = TieSpanner(NoteOfPitch(other, midi), there);
                    end && Locate(Xml(chord.member), end, &extent))
                    Remove(chord.member, extent);
            }
            return;
        }
        if (TieSpanner(note, here)) return;
        const EntrySource* partner = Neighbour(entry, start);
        // A grace note's tie has no form MuseScore reads back: it writes them empty.
        const auto grace = [](const EntrySource& e) { return (e.original.flagsA & bits::kGrace) != 0; };
        if (partner == nullptr || grace(entry) || grace(*partner) ||
            !NoteOfPitch(partner->chords.front().chord, midi) ||
            TieSpanner(NoteOfPitch(partner->chords.front().chord, midi), there)) {
            ++unwritten_[name];
            return;
        }
        const EntrySource& first = start ? entry : *partner;
        const EntrySource& second = start ? *partner : entry;
        const int measures = second.frame.measure - first.frame.measure;
        // The fractions are counted from the start's place in its measure.
        long long offsetN = 0;
        long long offsetD = 1;
        if (!Reduced(static_cast<__int128>(second.startNumerator) * first.startDenominator -
                         static_cast<__int128>(first.startNumerator) * second.startDenominator,
                     static_cast<__int128>(first.startDenominator) * second.startDenominator, &offsetN, &offsetD)) {
            ++unwritten_[name];
            return;
        }
        std::map<int, std::size_t> copies;
        for (const ChordXml& chord : entry.chords) {
            const std::size_t copy = copies[chord.member]++;
            const pugi::xml_node own = NthNote(chord.chord, n);
            const pugi::xml_node other = NoteOfPitch(ChordIn(*partner, chord.member, copy), midi);
            if (!own || !other) continue;
            TieMarkup(chord.member, own, here, start ? measures : -measures, start ? offsetN : -offsetN, offsetD);
            TieMarkup(chord.member, other, there, start ? -measures : measures, start ? -offsetN : offsetN, offsetD);
        }
    }

    void TieMarkup(int member, pugi::xml_node note, const char* side, int measures, long long offset,
                   long long denominator) {
        const std::string& xml = Xml(member);
        Extent pitchExtent;
        Extent whole;
        if (!Locate(xml, note.child("pitch"), &pitchExtent) || !Locate(xml, note, &whole)) return;
        const std::string indent = IndentBefore(xml, pitchExtent.begin);
        const bool oldStyle = IndentBefore(xml, whole.content.end) == indent;
        const std::string eol = LineEnd(xml, pitchExtent.begin);
        const auto in = [&](int levels) { return indent + std::string(static_cast<std::size_t>(2 * levels), ' '); };
        const auto close = [&](int level) { return oldStyle ? in(level + 1) : in(level); };
        std::string markup = "<Spanner type=\"Tie\">" + eol;
        if (std::strcmp(side, "next") == 0) markup += in(1) + "<Tie>" + eol + close(1) + "</Tie>" + eol;
        markup += in(1) + "<" + side + ">" + eol + in(2) + "<location>" + eol;
        if (measures != 0) markup += in(3) + "<measures>" + std::to_string(measures) + "</measures>" + eol;
        if (offset != 0)
            markup += in(3) + "<fractions>" + std::to_string(offset) + "/" + std::to_string(denominator) +
                      "</fractions>" + eol;
        markup += close(2) + "</location>" + eol + close(1) + "</" + side + ">" + eol + close(0) + "</Spanner>";
        InsertBefore(member, pitchExtent.begin, markup);
    }
};

}  // namespace

void EntryEdits(const Score& score, const host::Document& document, std::vector<EntryEdit>* edits,
                std::vector<std::string>* warnings) {
    Writer writer(score, document, edits);
    // The entries are in frame order: each frame is looked up once.
    const auto& frames = document.Frames();
    auto frame = frames.end();
    const host::FrameKey* key = nullptr;
    for (const EntrySource& entry : score.entries) {
        if (key == nullptr || !(*key == entry.frame)) {
            frame = frames.find(entry.frame);
            key = &entry.frame;
        }
        const EntryRecord* now =
            frame == frames.end() || entry.index >= frame->second.size() ? nullptr : &frame->second[entry.index];
        if (now == nullptr || entry.chords.empty()) continue;
        if (std::memcmp(now, &entry.original, sizeof(EntryRecord)) == 0) continue;
        writer.Entry(entry, *now);
    }
    // Insertions at one place keep their order, before a change that starts there.
    // One edit asked for twice (a tie from both its ends) is made once.
    std::set<std::tuple<int, std::size_t, std::size_t, std::string>> seen;
    edits->erase(std::remove_if(
                     edits->begin(), edits->end(),
                     [&seen](const EntryEdit& e) { return !seen.emplace(e.member, e.begin, e.end, e.markup).second; }),
                 edits->end());
    std::stable_sort(edits->begin(), edits->end(), [](const EntryEdit& a, const EntryEdit& b) {
        if (a.member != b.member) return a.member < b.member;
        if (a.begin != b.begin) return a.begin < b.begin;
        return (a.end == a.begin) > (b.end == b.begin);
    });
    for (const auto& [name, count] : writer.Unwritten())
        warnings->push_back(std::to_string(count) + " change(s) of " + name +
                            " not written: it has no MuseScore form here");
}

}  // namespace musescore
