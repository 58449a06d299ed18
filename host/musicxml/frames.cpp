// Note entries from MusicXML. Time is counted in the part's <divisions>
// and turned into 1024 units to the quarter; voices of a staff become its
// layers in the order they first appear.
#include "host/musicxml/frames.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <set>

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

// Finds a note's children in the text; every element of the parsed text
// has its start and end tag there.
bool Locate(const std::string& text, NoteXml* xml) {
    const pugi::xml_node note = xml->node;
    Child whole;
    if (!ElementExtent(text, note, &whole)) return false;
    xml->begin = whole.begin;
    xml->end = text.rfind("</", whole.end);
    xml->children.reserve(10);  // one allocation for the usual note
    xml->pitch.reserve(3);
    for (pugi::xml_node child : note.children()) {
        if (child.type() != pugi::node_element) continue;
        Child located;
        if (!ElementExtent(text, child, &located)) return false;
        if (located.name == "tie") located.type = child.attribute("type").value();
        if (located.name == "beam") located.number = child.attribute("number").as_int(1);
        xml->children.push_back(located);
    }
    for (pugi::xml_node notations : note.children("notations")) {
        for (pugi::xml_node tied : notations.children("tied")) {
            Child located;
            if (!ElementExtent(text, tied, &located)) return false;
            located.type = tied.attribute("type").value();
            xml->tied.push_back(located);
        }
        for (pugi::xml_node slur : notations.children("slur")) {
            Child located;
            if (!ElementExtent(text, slur, &located)) return false;
            located.type = slur.attribute("type").value();
            located.number = slur.attribute("number").as_int(1);
            xml->slurs.push_back(located);
        }
        for (pugi::xml_node articulations : notations.children("articulations")) {
            Child located;
            if (!ElementExtent(text, articulations, &located)) return false;
            xml->articulations.push_back(located);
        }
    }
    for (pugi::xml_node child : note.child("pitch").children()) {
        if (child.type() != pugi::node_element) continue;
        Child located;
        if (!ElementExtent(text, child, &located)) return false;
        xml->pitch.push_back(located);
    }
    xml->accidental = Text(note.child("accidental"));
    return true;
}

int StepIndex(const std::string& step) {
    static const char kSteps[] = "CDEFGAB";
    if (step.size() != 1) return -1;
    const char* at = std::strchr(kSteps, step[0]);
    return at == nullptr || *at == 0 ? -1 : static_cast<int>(at - kSteps);
}

// The alteration a key signature gives each step, C to B.
std::array<std::int8_t, 7> KeyAlterations(pugi::xml_node key) {
    std::array<std::int8_t, 7> alters{};
    if (pugi::xml_node fifths = key.child("fifths")) {
        const int count = static_cast<int>(std::clamp(Number(fifths, 0), -7LL, 7LL));
        static const int kSharpOrder[7] = {3, 0, 4, 1, 5, 2, 6};  // F C G D A E B
        for (int i = 0; i < std::abs(count); ++i)
            alters[static_cast<std::size_t>(kSharpOrder[count > 0 ? i : 6 - i])] = count > 0 ? 1 : -1;
        return alters;
    }
    // A key of its own: pairs of <key-step> and <key-alter>.
    int step = -1;
    for (pugi::xml_node child : key.children()) {
        if (std::strcmp(child.name(), "key-step") == 0) {
            step = StepIndex(Text(child));
        } else if (std::strcmp(child.name(), "key-alter") == 0 && step >= 0) {
            alters[static_cast<std::size_t>(step)] = static_cast<std::int8_t>(std::clamp(Number(child, 0), -2LL, 2LL));
            step = -1;
        }
    }
    return alters;
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
        std::map<int, std::array<std::int8_t, 7>> keys;  // by staff; 0 for every staff
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
                    for (pugi::xml_node key : item.children("key")) {
                        const int number = key.attribute("number").as_int(0);
                        if (number <= 0) keys.clear();
                        keys[std::max(number, 0)] = KeyAlterations(key);
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
                    xml.node = item;
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
                    entry.part = part.index;
                    auto key = keys.find(staff);
                    if (key == keys.end()) key = keys.find(0);
                    if (key != keys.end()) entry.key = key->second;
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
                    for (pugi::xml_node beam : item.children("beam")) {
                        const int level = beam.attribute("number").as_int(1);
                        if (level < 1 || level > 8) continue;
                        const auto bit = static_cast<std::uint8_t>(1u << (level - 1));
                        const std::string value = Text(beam);
                        entry.beamLevels |= bit;
                        if (value == "continue" || value == "end") entry.beamLeft |= bit;
                        if (value == "continue" || value == "begin") entry.beamRight |= bit;
                    }
                    // A new beam starts here unless the first beam goes on from the entry before.
                    if ((entry.beamLeft & 1) == 0) record.flagsA |= bits::kBeamBeat;
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
                    // The secondary beams break where both entries have one that is not joined.
                    if (i > 0 && (list[i].beamLeft & 1) != 0 &&
                        (list[i].beamLevels & list[i - 1].beamLevels & 0xFE & ~list[i].beamLeft) != 0)
                        list[i].original.flagsA |= bits::kSecondaryBeam;
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

const std::vector<NoteXml>& LocatedNotes(const std::string& xml, const EntrySource& entry) {
    if (!entry.located) {
        for (NoteXml& note : entry.elements) Locate(xml, &note);
        entry.located = true;
    }
    return entry.elements;
}

void ReadFrames(const std::vector<PartStaves>& parts, host::Document* document, Score* score) {
    FrameReader reader(document, score);
    for (const PartStaves& part : parts) reader.Read(part);
}

}  // namespace musicxml
