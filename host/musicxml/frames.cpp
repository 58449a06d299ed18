// Note entries from MusicXML. Time is counted in the part's <divisions>
// and turned into 1024 units to the quarter; voices of a staff become its
// layers in the order they first appear.
#include "host/musicxml/frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <set>

#include "host/document/attribute_names.h"
#include "host/musicxml/xml_text.h"

namespace musicxml {

namespace {

constexpr int kUnitsPerQuarter = 1024;
constexpr int kLayers = 4;

std::string Text(pugi::xml_node element) {
    std::string text;
    for (pugi::xml_node child : element.children())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

long long Number(pugi::xml_node element, long long fallback) {
    const std::string text = Text(element);
    if (text.empty() || text.size() > 9) return fallback;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == nullptr || *end != 0 || !std::isfinite(value)) return fallback;
    return static_cast<long long>(std::llround(value));
}

// An element's extent in the file: from its "<" to after its end tag.
bool ElementExtent(const std::string& xml, pugi::xml_node element, Child* child) {
    const std::ptrdiff_t offset = element.offset_debug();
    if (offset <= 0) return false;
    child->name = element.name();
    child->begin = static_cast<std::size_t>(offset) - 1;
    if (ContentSpan(xml, static_cast<std::size_t>(offset), &child->content)) {
        const std::size_t close = xml.find('>', child->content.end);
        if (close == std::string::npos) return false;
        child->end = close + 1;
        return true;
    }
    child->content = Span{};
    // An empty element, or one with elements inside: its end is found from
    // its last child, or its own "/>".
    const std::size_t tagEnd = xml.find('>', static_cast<std::size_t>(offset));
    if (tagEnd == std::string::npos) return false;
    if (xml[tagEnd - 1] == '/') {
        child->end = tagEnd + 1;
        return true;
    }
    const std::string endTag = "</" + child->name;
    std::size_t from = tagEnd;
    if (pugi::xml_node last = element.last_child(); last && last.offset_debug() > 0)
        from = static_cast<std::size_t>(last.offset_debug());
    const std::size_t at = xml.find(endTag, from);
    if (at == std::string::npos) return false;
    const std::size_t close = xml.find('>', at);
    if (close == std::string::npos) return false;
    child->end = close + 1;
    return true;
}

int StepIndex(const std::string& step) {
    static const char kSteps[] = "CDEFGAB";
    if (step.size() != 1) return -1;
    const char* at = std::strchr(kSteps, step[0]);
    return at == nullptr || *at == 0 ? -1 : static_cast<int>(at - kSteps);
}

class FrameReader {
public:
    FrameReader(host::Document* document, Score* score) : document_(*document), score_(*score) {}

    void Read(const PartStaves& part) {
        long long divisions = 0;
        int ordinal = 0;
        std::map<int, std::vector<std::string>> voices;  // staff -> voices in the order they appear
        const musicxml::Part& name = score_.parts[static_cast<std::size_t>(part.index)];
        bool saidNoDivisions = false;
        bool saidLength = false;
        long long beats = 0;  // of the time signature, 0 while none is known
        long long beatType = 0;
        if (!part.part.child("measure"))
            score_.notes.push_back("part \"" + name.name + "\" (" + name.id + ") has no measures");
        for (pugi::xml_node measure : part.part.children("measure")) {
            ++ordinal;
            if (ordinal > 32767) break;
            const std::string number = measure.attribute("number").value();
            where_ = "part \"" + name.name + "\" (" + name.id + "), measure " +
                     (number.empty() ? std::to_string(ordinal) : number);
            long long time = 0;
            long long reached = 0;
            long long start = 0;          // of the last note that was not a chord note
            EntrySource* last = nullptr;  // deques keep it valid as entries are added
            bool saidBackup = false;
            std::map<std::pair<int, int>, std::deque<EntrySource>> measureEntries;  // (staff, layer)
            for (pugi::xml_node item : measure.children()) {
                const char* kind = item.name();
                if (std::strcmp(kind, "attributes") == 0) {
                    if (pugi::xml_node d = item.child("divisions")) divisions = std::max(0LL, Number(d, 0));
                    if (pugi::xml_node t = item.child("time")) {
                        beats = std::max(0LL, Number(t.child("beats"), 0));  // "3+2" is not checked
                        beatType = std::max(0LL, Number(t.child("beat-type"), 0));
                    }
                } else if (std::strcmp(kind, "backup") == 0) {
                    time -= Number(item.child("duration"), 0);
                    if (time < 0) {
                        if (!saidBackup)
                            score_.notes.push_back(where_ + ": <backup> goes back past the measure's start");
                        saidBackup = true;
                        time = 0;
                    }
                    last = nullptr;
                } else if (std::strcmp(kind, "forward") == 0) {
                    time += std::max(0LL, Number(item.child("duration"), 0));
                    reached = std::max(reached, time);
                    last = nullptr;
                } else if (std::strcmp(kind, "note") == 0) {
                    if (divisions <= 0) {
                        if (!saidNoDivisions)
                            score_.notes.push_back(where_ + ": no <divisions> before the first note; " + name.id +
                                                   "'s notes are read as a quarter a division");
                        saidNoDivisions = true;
                        divisions = 1;
                    }
                    const bool grace = static_cast<bool>(item.child("grace"));
                    const bool chord = static_cast<bool>(item.child("chord"));
                    const long long duration = grace ? 0 : std::max(0LL, Number(item.child("duration"), 0));
                    const int staff = std::clamp(static_cast<int>(Number(item.child("staff"), 1)), 1, part.staves);
                    NoteXml xml;
                    if (!Locate(item, &xml)) continue;
                    if (chord && last != nullptr) {
                        AddNote(item, staff != last->frame.staff - part.firstStaff + 1, std::move(xml), last);
                        continue;
                    }
                    start = time;
                    if (!grace) time += duration;
                    reached = std::max(reached, time);
                    std::string voice = Text(item.child("voice"));
                    if (voice.empty()) voice = "1";
                    auto& order = voices[staff];
                    auto found = std::find(order.begin(), order.end(), voice);
                    if (found == order.end()) {
                        order.push_back(voice);
                        found = order.end() - 1;
                    }
                    const int layer = static_cast<int>(found - order.begin());
                    if (layer >= kLayers) {
                        if (fifth_.insert(part.index * 64 + staff).second)
                            score_.notes.push_back(where_ + ": staff " + std::to_string(staff) +
                                                   " has a fifth voice (" + voice + "); its notes are not searchable");
                        last = nullptr;
                        continue;
                    }
                    auto& list = measureEntries[{part.firstStaff + staff - 1, layer}];
                    list.emplace_back();
                    EntrySource& entry = list.back();
                    entry.frame = {part.firstStaff + staff - 1, ordinal, layer};
                    entry.where = where_;
                    EntryRecord& record = entry.original;
                    record.position = Units(start, divisions);
                    record.duration = Units(duration, divisions);
                    if (layer == 1) record.flagsA |= bits::kVoice2;
                    if (grace) {
                        record.flagsA |= bits::kGrace;
                        if (std::string(item.child("grace").attribute("slash").value()) == "yes")
                            record.flagsB |= bits::kSlashGrace;
                    }
                    if (item.child("time-modification")) record.flagsA |= bits::kTuplet;
                    if (pugi::xml_node stem = item.child("stem")) {
                        const std::string direction = Text(stem);
                        if (direction == "up" || direction == "down") record.flagsA |= bits::kFreezeStem;
                        if (direction == "up") record.flagsA |= bits::kUpDown;
                    }
                    AddNote(item, false, std::move(xml), &entry);
                    last = &entry;
                }
            }
            // A measure that does not add up is read as it stands, and said
            // once a part; a pickup (implicit="yes") may be short.
            if (beats > 0 && beatType > 0 && divisions > 0 && !saidLength) {
                const long long expected = beats * 4 * divisions / beatType;
                const bool implicit = std::string(measure.attribute("implicit").value()) == "yes";
                if (reached > expected || (reached < expected && !implicit && reached > 0)) {
                    score_.notes.push_back(where_ + ": the notes last " + std::to_string(Units(reached, divisions)) +
                                           " units where the time signature gives " +
                                           std::to_string(Units(expected, divisions)) +
                                           "; read as they stand (said once a part)");
                    saidLength = true;
                }
            }
            // Entries in time order within each layer (backups make them come
            // out of order in the file), then into the document.
            for (auto& [staffLayer, list] : measureEntries) {
                std::stable_sort(list.begin(), list.end(), [](const EntrySource& a, const EntrySource& b) {
                    return a.original.position < b.original.position;
                });
                std::vector<EntryRecord> records;
                for (std::size_t i = 0; i < list.size(); ++i) {
                    list[i].index = i;
                    records.push_back(list[i].original);
                    score_.entries.push_back(std::move(list[i]));
                }
                document_.SetFrame(score_.entries.back().frame, std::move(records));
            }
        }
    }

private:
    host::Document& document_;
    Score& score_;
    std::string where_;
    std::set<int> fifth_;
    bool saidTooManyNotes_ = false;

    static std::int32_t Units(long long divisionsCount, long long divisions) {
        const long long units = (divisionsCount * kUnitsPerQuarter + divisions / 2) / divisions;
        return static_cast<std::int32_t>(std::clamp<long long>(units, 0, 0x7FFFFFFF));
    }

    bool Locate(pugi::xml_node note, NoteXml* xml) const {
        Child whole;
        if (!ElementExtent(score_.Xml(), note, &whole)) return false;
        xml->begin = whole.begin;
        xml->end = score_.Xml().rfind("</", whole.end);
        xml->children.reserve(10);  // one allocation for the usual note
        xml->pitch.reserve(3);
        for (pugi::xml_node child : note.children()) {
            if (child.type() != pugi::node_element) continue;
            Child located;
            if (!ElementExtent(score_.Xml(), child, &located)) return false;
            if (located.name == "tie") located.type = child.attribute("type").value();
            xml->children.push_back(located);
        }
        for (pugi::xml_node notations : note.children("notations")) {
            for (pugi::xml_node tied : notations.children("tied")) {
                Child located;
                if (!ElementExtent(score_.Xml(), tied, &located)) return false;
                located.type = tied.attribute("type").value();
                xml->tied.push_back(located);
            }
        }
        for (pugi::xml_node child : note.child("pitch").children()) {
            if (child.type() != pugi::node_element) continue;
            Child located;
            if (!ElementExtent(score_.Xml(), child, &located)) return false;
            xml->pitch.push_back(located);
        }
        xml->accidental = Text(note.child("accidental"));
        return true;
    }

    void AddNote(pugi::xml_node note, bool crossStaff, NoteXml xml, EntrySource* entry) {
        EntryRecord& record = entry->original;
        entry->elements.push_back(std::move(xml));
        if (note.child("lyric")) record.flagsA |= bits::kLyrics;
        for (pugi::xml_node notations : note.children("notations")) {
            if (notations.child("articulations")) record.flagsA |= bits::kArticulation;
            if (notations.child("slur")) record.flagsB |= bits::kSlur;
        }
        const pugi::xml_node pitch = note.child("pitch");
        if (!pitch) return;  // a rest, or an unpitched note: no note record
        record.flagsA |= bits::kNote;
        if (record.noteCount >= kMaxNotesPerEntry) {
            if (!saidTooManyNotes_)
                score_.notes.push_back(entry->where +
                                       ": a chord of more than 12 notes; the rest are not searchable "
                                       "and are written back as they are");
            saidTooManyNotes_ = true;
            return;
        }
        NoteRecord& n = record.notes[record.noteCount++];
        const int step = StepIndex(Text(pitch.child("step")));
        const long long octave = Number(pitch.child("octave"), 4);
        n.displacement =
            static_cast<std::int16_t>(std::clamp<long long>((octave - 4) * 7 + std::max(step, 0), -32768, 32767));
        n.raiseLower = static_cast<std::int16_t>(std::clamp<long long>(Number(pitch.child("alter"), 0), -32768, 32767));
        for (pugi::xml_node tie : note.children("tie")) {
            const std::string type = tie.attribute("type").value();
            if (type == "start") n.flags |= bits::kTieStart;
            if (type == "stop") n.flags |= bits::kTieEnd;
        }
        if (crossStaff) n.flags |= bits::kCrossNote;
        if (pugi::xml_node accidental = note.child("accidental")) {
            n.flags |= bits::kAccidental;
            if (std::string(accidental.attribute("parentheses").value()) == "yes")
                n.flags |= bits::kAccidentalParentheses;
        }
        if (record.noteCount > 1) record.flagsA |= bits::kChord;
    }
};

}  // namespace

void ReadFrames(const std::vector<PartStaves>& parts, host::Document* document, Score* score) {
    FrameReader reader(document, score);
    for (const PartStaves& part : parts) reader.Read(part);
}

}  // namespace musicxml

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
