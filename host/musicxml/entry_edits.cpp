// What a changed entry writes into its notes: the edits are spliced into the
// file by the writer, so everything the plug-in did not change stays as it was.
#include <cstring>
#include <map>

#include "host/document/attribute_names.h"
#include "host/musicxml/frames.h"

namespace musicxml {

namespace {

// Where the schema puts each child of <note>; a new element goes before
// the first child that comes later.
int NoteRank(const std::string& name) {
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
                edits_.push_back({child.begin, child.begin, markup + IndentBefore(xml_, child.begin)});
                return;
            }
        }
        const std::string indent =
            note_.children.empty() ? std::string() : IndentBefore(xml_, note_.children.back().begin);
        const std::size_t at = note_.children.empty() ? note_.end : note_.children.back().end;
        edits_.push_back({at, at, indent + markup});
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
            edits_.push_back(
                {startTie->begin, startTie->begin, "<tie type=\"stop\"/>" + IndentBefore(xml_, startTie->begin)});
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
        default:
            return nullptr;
    }
}

void CountUnwritten(int word, std::uint32_t changed, std::map<std::string, int>* unwritten) {
    for (const host::AttributeBit& bit : host::kAttributeBits)
        if (bit.word == word && (changed & bit.mask) != 0) ++(*unwritten)[bit.name];
}

}  // namespace

void EntryEdits(const Score& score, const host::Document& document, std::vector<EntryEdit>* edits,
                std::vector<std::string>* warnings) {
    const std::string& xml = score.Xml();
    std::map<std::string, int> unwritten;
    for (const EntrySource& entry : score.entries) {
        const auto found = document.Frames().find(entry.frame);
        const std::vector<EntryRecord>* frame = found == document.Frames().end() ? nullptr : &found->second;
        if (frame == nullptr || entry.index >= frame->size() || entry.elements.empty()) continue;
        const EntryRecord& now = (*frame)[entry.index];
        const EntryRecord& was = entry.original;
        if (std::memcmp(&now, &was, sizeof(EntryRecord)) == 0) continue;
        const std::uint32_t stemBits = bits::kFreezeStem | bits::kUpDown;
        CountUnwritten(0, (now.flagsA ^ was.flagsA) & ~stemBits, &unwritten);
        CountUnwritten(1, static_cast<std::uint32_t>(now.flagsB ^ was.flagsB), &unwritten);

        if (((now.flagsA ^ was.flagsA) & stemBits) != 0) {
            // Up/Down alone says nothing while the stem is not frozen.
            const bool frozen = (now.flagsA & bits::kFreezeStem) != 0;
            const std::string direction = (now.flagsA & bits::kUpDown) != 0 ? "up" : "down";
            for (std::size_t e = 0; e < entry.elements.size(); ++e) {
                NoteEditor editor(xml, entry.elements[e], edits);
                const Child* stem = Find(entry.elements[e].children, "stem");
                if (!frozen && stem != nullptr)
                    editor.Remove(*stem);
                else if (frozen && stem != nullptr && stem->content.end != 0)
                    editor.SetContent(*stem, direction);
                else if (frozen && stem == nullptr && e == 0)
                    editor.Insert("stem", "<stem>" + direction + "</stem>");
            }
        }

        const int notes = std::min<int>(was.noteCount, now.noteCount);
        for (int n = 0; n < notes; ++n) {
            const NoteRecord& a = was.notes[n];
            const NoteRecord& b = now.notes[n];
            // Notes are the entry's pitched elements in order.
            const NoteXml* element = nullptr;
            int seen = 0;
            for (const NoteXml& candidate : entry.elements)
                if (Find(candidate.pitch, "step") && seen++ == n) element = &candidate;
            if (element == nullptr) continue;
            NoteEditor editor(xml, *element, edits);
            const std::uint32_t accidentalBits = bits::kAccidental | bits::kAccidentalParentheses;
            const std::uint32_t tieBits = bits::kTieStart | bits::kTieEnd;
            CountUnwritten(2, (a.flags ^ b.flags) & ~(accidentalBits | tieBits), &unwritten);
            // The schema gives a cue note no <tie>: its tie changes are reported.
            if (Find(element->children, "cue") != nullptr) {
                CountUnwritten(2, (a.flags ^ b.flags) & tieBits, &unwritten);
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
                    ++unwritten["Displacement"];
                }
            }
            // The accidental shown: as the bits say when they changed; a pitch
            // whose alteration changed shows its new sign, as a reader expects.
            const bool showChanged = ((a.flags ^ b.flags) & accidentalBits) != 0;
            const bool alterChanged = a.raiseLower != b.raiseLower;
            if (!showChanged && !alterChanged) continue;
            const Child* accidental = Find(element->children, "accidental");
            const bool shown = showChanged ? (b.flags & bits::kAccidental) != 0 : true;
            const bool parentheses = (b.flags & bits::kAccidentalParentheses) != 0;
            const char* sign = AccidentalFor(b.raiseLower);
            if (!shown) {
                if (accidental != nullptr) editor.Remove(*accidental);
            } else if (sign == nullptr) {
                ++unwritten["Accidental"];
            } else if (accidental == nullptr) {
                editor.Insert("accidental", std::string("<accidental") + (parentheses ? " parentheses=\"yes\"" : "") +
                                                ">" + sign + "</accidental>");
            } else if (showChanged || accidental->content.end == 0) {
                // The start tag changes too: the element is written anew.
                editor.Replace(*accidental, std::string("<accidental") + (parentheses ? " parentheses=\"yes\"" : "") +
                                                ">" + sign + "</accidental>");
            } else if (element->accidental != sign) {
                editor.SetContent(*accidental, sign);
            }
        }
    }
    for (const auto& [name, count] : unwritten)
        warnings->push_back(std::to_string(count) + " change(s) of " + name +
                            " not written: it has no MusicXML form here");
}

}  // namespace musicxml
