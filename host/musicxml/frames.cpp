// Note entries from MusicXML. Time is counted in the part's <divisions>
// and turned into 1024 units to the quarter; voices of a staff become its
// layers in the order they first appear.
#include "host/musicxml/frames.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "host/markup/xml_text.h"

namespace musicxml {

namespace {

constexpr int kUnitsPerQuarter = 1024;
constexpr int kLayers = 4;

// An element's text with the white space around it taken off. Most hold
// one run of character data, which is read where it lies; *scratch holds
// the joined runs of the others.
std::string_view TextView(pugi::xml_node element, std::string* scratch) {
    std::string_view text;
    // One child: its value, or nothing where it is not character data.
    if (element.first_child().next_sibling().empty()) {
        text = element.child_value();
    } else {
        scratch->clear();
        for (pugi::xml_node child : element.children())
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) *scratch += child.value();
        text = *scratch;
    }
    // Trimmed by hand: the library's search for any of four characters is
    // slow for what runs over every note.
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && space(text[begin])) ++begin;
    while (end > begin && space(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

long long NumberOf(pugi::xml_node element, long long fallback) {
    if (!element) return fallback;
    std::string scratch;
    const std::string_view text = TextView(element, &scratch);
    if (text.empty() || text.size() > 9) return fallback;
    // Durations, staves, octaves and alterations are nearly always whole
    // numbers: read those directly, the rest as decimals.
    long long whole = 0;
    const char* end = text.data() + text.size();
    const std::size_t sign = text[0] == '+' && text.size() > 1 && text[1] != '-' ? 1 : 0;  // strtod takes "+3"
    const auto [stop, failure] = std::from_chars(text.data() + sign, end, whole);
    if (failure == std::errc() && stop == end) return whole;
    char digits[16];
    text.copy(digits, text.size());
    digits[text.size()] = 0;
    char* parsed = nullptr;
    const double value = std::strtod(digits, &parsed);
    if (parsed != digits + text.size() || !std::isfinite(value)) return fallback;
    // No larger than a whole number of nine digits: sums of durations over
    // a measure stay far from overflowing.
    return static_cast<long long>(std::llround(std::clamp(value, -999999999.0, 999999999.0)));
}

// Where nodes start in the text. The parsed names and values lie in the
// library's copy of the text, at the same offsets, so a node's offset is
// its name's (or value's) distance from the copy's start, without the
// library's look-up of the document for every node; anything else is asked.
class Offsets {
public:
    explicit Offsets(pugi::xml_node node) {
        pugi::xml_node root = node.root().first_child();
        while (root && root.type() != pugi::node_element) root = root.next_sibling();
        const std::ptrdiff_t offset = root.offset_debug();
        if (offset > 0) base_ = reinterpret_cast<std::uintptr_t>(root.name()) - static_cast<std::uintptr_t>(offset);
    }

    std::ptrdiff_t operator()(pugi::xml_node node, std::size_t size) const {
        const pugi::xml_node_type type = node.type();
        const char* at = type == pugi::node_element || type == pugi::node_pi ? node.name() : node.value();
        const auto address = reinterpret_cast<std::uintptr_t>(at);
        if (base_ != 0 && address > base_ && address - base_ < size)
            return static_cast<std::ptrdiff_t>(address - base_);
        return node.offset_debug();
    }

private:
    std::uintptr_t base_ = 0;
};

pugi::xml_node LastElementChild(pugi::xml_node element) {
    pugi::xml_node child = element.last_child();
    while (child && child.type() != pugi::node_element) child = child.previous_sibling();
    return child;
}

// An element's extent in the file: from its "<" to after its end tag. The
// end tag is the first tag after the end of its last element child (found
// the same way, down the chain of last children): an element of the same
// name inside it cannot be taken for its end.
bool ElementExtent(const std::string& xml, const Offsets& offsets, pugi::xml_node element, Child* child) {
    const std::ptrdiff_t offset = offsets(element, xml.size());
    if (offset <= 0) return false;
    child->name = element.name();
    child->begin = static_cast<std::size_t>(offset) - 1;
    if (markup::ContentSpan(xml, static_cast<std::size_t>(offset), &child->content)) {
        const std::size_t close = xml.find('>', child->content.end);
        if (close == std::string::npos) return false;
        child->end = close + 1;
        return true;
    }
    child->content = Span{};
    // Down to the innermost last element child, then up again, each end
    // found from the one below.
    pugi::xml_node node = element;
    while (pugi::xml_node last = LastElementChild(node)) node = last;
    std::size_t end = 0;  // of the element below, once known
    for (bool innermost = true;; innermost = false) {
        const std::ptrdiff_t at = offsets(node, xml.size());
        if (at <= 0) return false;
        const std::size_t tagEnd = markup::StartTagEnd(xml, static_cast<std::size_t>(at));
        if (tagEnd == std::string::npos) return false;
        if (xml[tagEnd - 1] == '/') {
            if (!innermost) return false;  // an empty element has no children
            end = tagEnd + 1;
        } else {
            const std::size_t close = markup::NextTag(xml, innermost ? tagEnd + 1 : end);
            const std::string_view name = node.name();
            if (close == std::string::npos || xml.compare(close, 2, "</") != 0 ||
                xml.compare(close + 2, name.size(), name) != 0)
                return false;
            end = xml.find('>', close);
            if (end == std::string::npos) return false;
            ++end;
        }
        if (node == element) break;
        node = node.parent();
    }
    child->end = end;
    return true;
}

// Finds a note's children in the text, in one pass over them; every
// element of the parsed text has its start and end tag there.
bool Locate(const std::string& text, const Offsets& offsets, NoteXml* xml) {
    const pugi::xml_node note = xml->node;
    Child whole;
    if (!ElementExtent(text, offsets, note, &whole)) return false;
    xml->begin = whole.begin;
    xml->end = text.rfind("</", whole.end);
    xml->children.reserve(10);  // one allocation for the usual note
    bool pitchSeen = false;
    bool accidentalSeen = false;
    for (pugi::xml_node child = note.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        Child located;
        if (!ElementExtent(text, offsets, child, &located)) return false;
        if (located.name == "tie") located.type = child.attribute("type").value();
        if (located.name == "beam") located.number = child.attribute("number").as_int(1);
        xml->children.push_back(located);
        if (located.name == "notations") {
            for (pugi::xml_node item = child.first_child(); item; item = item.next_sibling()) {
                const std::string_view name = item.name();
                if (item.type() != pugi::node_element || (name != "tied" && name != "slur" && name != "articulations"))
                    continue;
                Child inner;
                if (!ElementExtent(text, offsets, item, &inner)) return false;
                if (name == "articulations") {
                    xml->articulations.push_back(inner);
                    continue;
                }
                inner.type = item.attribute("type").value();
                if (name == "tied") {
                    xml->tied.push_back(inner);
                } else {
                    inner.number = item.attribute("number").as_int(1);
                    xml->slurs.push_back(inner);
                }
            }
        } else if (located.name == "pitch" && !pitchSeen) {
            pitchSeen = true;
            xml->pitch.reserve(3);
            for (pugi::xml_node item = child.first_child(); item; item = item.next_sibling()) {
                if (item.type() != pugi::node_element) continue;
                Child inner;
                if (!ElementExtent(text, offsets, item, &inner)) return false;
                xml->pitch.push_back(inner);
            }
        } else if (located.name == "accidental" && !accidentalSeen) {
            accidentalSeen = true;
            std::string scratch;
            xml->accidental = std::string(TextView(child, &scratch));
        }
    }
    return true;
}

int StepIndex(std::string_view step) {
    static const char kSteps[] = "CDEFGAB";
    if (step.size() != 1) return -1;
    const char* at = std::strchr(kSteps, step[0]);
    return at == nullptr || *at == 0 ? -1 : static_cast<int>(at - kSteps);
}

// The alteration a key signature gives each step, C to B.
std::array<std::int8_t, 7> KeyAlterations(pugi::xml_node key) {
    std::array<std::int8_t, 7> alters{};
    if (pugi::xml_node fifths = key.child("fifths")) {
        const int count = static_cast<int>(std::clamp(NumberOf(fifths, 0), -7LL, 7LL));
        static const int kSharpOrder[7] = {3, 0, 4, 1, 5, 2, 6};  // F C G D A E B
        for (int i = 0; i < std::abs(count); ++i)
            alters[static_cast<std::size_t>(kSharpOrder[count > 0 ? i : 6 - i])] = count > 0 ? 1 : -1;
        return alters;
    }
    // A key of its own: pairs of <key-step> and <key-alter>.
    int step = -1;
    std::string scratch;
    for (pugi::xml_node child : key.children()) {
        if (std::strcmp(child.name(), "key-step") == 0) {
            step = StepIndex(TextView(child, &scratch));
        } else if (std::strcmp(child.name(), "key-alter") == 0 && step >= 0) {
            alters[static_cast<std::size_t>(step)] =
                static_cast<std::int8_t>(std::clamp(NumberOf(child, 0), -2LL, 2LL));
            step = -1;
        }
    }
    return alters;
}

bool Named(pugi::xml_node node, const char* name) { return std::strcmp(node.name(), name) == 0; }

// What the frames need of a <note>, taken in one pass over its children.
struct NoteFacts {
    pugi::xml_node grace, duration, staff, voice, stem, pitch, accidental;
    pugi::xml_node lyric;  // the first
    bool chord = false, tuplet = false, articulations = false, slur = false;
    bool tieStart = false, tieStop = false;
    std::uint8_t beamLevels = 0, beamLeft = 0, beamRight = 0;

    pugi::xml_node node;

    explicit NoteFacts(pugi::xml_node note) : node(note) {
        std::string scratch;
        for (pugi::xml_node child = note.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) continue;
            const char* name = child.name();
            switch (name[0]) {
                case 'a':
                    if (std::strcmp(name, "accidental") == 0 && !accidental) accidental = child;
                    break;
                case 'b':
                    if (std::strcmp(name, "beam") == 0) Beam(child, &scratch);
                    break;
                case 'c':
                    if (std::strcmp(name, "chord") == 0) chord = true;
                    break;
                case 'd':
                    if (std::strcmp(name, "duration") == 0 && !duration) duration = child;
                    break;
                case 'g':
                    if (std::strcmp(name, "grace") == 0 && !grace) grace = child;
                    break;
                case 'l':
                    if (std::strcmp(name, "lyric") == 0 && !lyric) lyric = child;
                    break;
                case 'n':
                    if (std::strcmp(name, "notations") == 0) Notations(child);
                    break;
                case 'p':
                    if (std::strcmp(name, "pitch") == 0 && !pitch) pitch = child;
                    break;
                case 's':
                    if (std::strcmp(name, "staff") == 0 && !staff) staff = child;
                    if (std::strcmp(name, "stem") == 0 && !stem) stem = child;
                    break;
                case 't':
                    if (std::strcmp(name, "time-modification") == 0) tuplet = true;
                    if (std::strcmp(name, "tie") == 0) {
                        const char* type = child.attribute("type").value();
                        if (std::strcmp(type, "start") == 0) tieStart = true;
                        if (std::strcmp(type, "stop") == 0) tieStop = true;
                    }
                    break;
                case 'v':
                    if (std::strcmp(name, "voice") == 0 && !voice) voice = child;
                    break;
                default:
                    break;
            }
        }
    }

private:
    void Beam(pugi::xml_node beam, std::string* scratch) {
        const int level = beam.attribute("number").as_int(1);
        if (level < 1 || level > 8) return;
        const auto bit = static_cast<std::uint8_t>(1u << (level - 1));
        const std::string_view value = TextView(beam, scratch);
        beamLevels |= bit;
        if (value == "continue" || value == "end") beamLeft |= bit;
        if (value == "continue" || value == "begin") beamRight |= bit;
    }

    void Notations(pugi::xml_node notations) {
        for (pugi::xml_node child = notations.first_child(); child; child = child.next_sibling()) {
            if (Named(child, "articulations")) articulations = true;
            if (Named(child, "slur")) slur = true;
        }
    }
};

class FrameReader {
public:
    FrameReader(MeasureVisitor* visitor, host::Document* document, Score* score)
        : visitor_(*visitor), document_(*document), score_(*score) {}

    void Read(const PartStaves& part) {
        long long divisions = 0;
        int ordinal = 0;
        std::map<int, std::vector<std::string>> voices;  // staff -> voices in the order they appear
        name_ = &score_.parts[static_cast<std::size_t>(part.index)];
        bool saidNoDivisions = false;
        bool saidLength = false;
        long long beats = 0;  // of the time signature, 0 while none is known
        long long beatType = 0;
        std::map<int, std::array<std::int8_t, 7>> keys;  // by staff; 0 for every staff
        std::string scratch;
        if (!part.part.child("measure"))
            score_.entryNotes.push_back("part \"" + name_->name + "\" (" + name_->id + ") has no measures");
        for (pugi::xml_node measure : part.part.children("measure")) {
            ++ordinal;
            if (!visitor_.Measure(part, ordinal) || ordinal > 32767) break;
            measure_ = measure;
            ordinal_ = ordinal;
            long long time = 0;
            long long reached = 0;
            long long start = 0;  // of the last note that was not a chord note
            constexpr std::size_t kNone = ~std::size_t{0};
            constexpr std::size_t kLeftOut = kNone - 1;
            std::size_t last = kNone;  // in score_.entries
            bool saidBackup = false;
            const std::size_t measureBegin = score_.entries.size();
            for (pugi::xml_node item = measure.first_child(); item; item = item.next_sibling()) {
                const char* kind = item.name();
                if (std::strcmp(kind, "note") == 0) {
                    if (divisions <= 0) {
                        if (!saidNoDivisions)
                            score_.entryNotes.push_back(Where() + ": no <divisions> before the first note; " +
                                                        name_->id + "'s notes are read as a quarter a division");
                        saidNoDivisions = true;
                        divisions = 1;
                    }
                    const NoteFacts facts(item);
                    for (pugi::xml_node lyric = facts.lyric; lyric; lyric = lyric.next_sibling("lyric"))
                        visitor_.Lyric(lyric, part, ordinal);
                    const bool grace = static_cast<bool>(facts.grace);
                    const long long duration = grace ? 0 : std::max(0LL, NumberOf(facts.duration, 0));
                    const int staff = std::clamp(static_cast<int>(NumberOf(facts.staff, 1)), 1, part.staves);
                    // A chord note of a note left out is left out with it.
                    if (facts.chord && last == kLeftOut) continue;
                    if (facts.chord && last != kNone) {
                        EntrySource& chord = score_.entries[last];
                        AddNote(facts, staff != chord.frame.staff - part.firstStaff + 1, &chord);
                        continue;
                    }
                    start = time;
                    if (!grace) time += duration;
                    reached = std::max(reached, time);
                    std::string_view voice = facts.voice ? TextView(facts.voice, &scratch) : std::string_view();
                    if (voice.empty()) voice = "1";
                    auto& order = voices[staff];
                    auto found = std::find(order.begin(), order.end(), voice);
                    if (found == order.end()) {
                        order.emplace_back(voice);
                        found = order.end() - 1;
                    }
                    const int layer = static_cast<int>(found - order.begin());
                    if (layer >= kLayers) {
                        if (fifth_.insert(part.index * 64 + staff).second)
                            score_.entryNotes.push_back(Where() + ": staff " + std::to_string(staff) +
                                                        " has a fifth voice (" + std::string(voice) +
                                                        "); its notes are not searchable");
                        last = kLeftOut;
                        continue;
                    }
                    EntrySource& entry = score_.entries.emplace_back();
                    entry.frame = {part.firstStaff + staff - 1, ordinal, layer};
                    entry.first = item;
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
                        if (std::strcmp(facts.grace.attribute("slash").value(), "yes") == 0)
                            record.flagsB |= bits::kSlashGrace;
                    }
                    if (facts.tuplet) record.flagsA |= bits::kTuplet;
                    if (facts.stem) {
                        const std::string_view direction = TextView(facts.stem, &scratch);
                        if (direction == "up" || direction == "down") record.flagsA |= bits::kFreezeStem;
                        if (direction == "up") record.flagsA |= bits::kUpDown;
                    }
                    entry.beamLevels = facts.beamLevels;
                    entry.beamLeft = facts.beamLeft;
                    entry.beamRight = facts.beamRight;
                    // A new beam starts here unless the first beam goes on from the entry before.
                    if ((entry.beamLeft & 1) == 0) record.flagsA |= bits::kBeamBeat;
                    AddNote(facts, false, &entry);
                    last = score_.entries.size() - 1;
                } else if (std::strcmp(kind, "attributes") == 0) {
                    if (pugi::xml_node d = item.child("divisions")) divisions = std::max(0LL, NumberOf(d, 0));
                    if (pugi::xml_node t = item.child("time")) {
                        beats = std::max(0LL, NumberOf(t.child("beats"), 0));  // "3+2" is not checked
                        beatType = std::max(0LL, NumberOf(t.child("beat-type"), 0));
                    }
                    for (pugi::xml_node key : item.children("key")) {
                        const int number = key.attribute("number").as_int(0);
                        if (number <= 0) keys.clear();
                        keys[std::max(number, 0)] = KeyAlterations(key);
                    }
                } else if (std::strcmp(kind, "backup") == 0) {
                    time -= NumberOf(item.child("duration"), 0);
                    if (time < 0) {
                        if (!saidBackup)
                            score_.entryNotes.push_back(Where() + ": <backup> goes back past the measure's start");
                        saidBackup = true;
                        time = 0;
                    }
                    last = kNone;
                } else if (std::strcmp(kind, "forward") == 0) {
                    time += std::max(0LL, NumberOf(item.child("duration"), 0));
                    reached = std::max(reached, time);
                    last = kNone;
                } else {
                    visitor_.Other(item, part, ordinal);
                }
            }
            // A measure that does not add up is read as it stands, and said
            // once a part; a pickup (implicit="yes") may be short.
            if (beats > 0 && beatType > 0 && divisions > 0 && !saidLength) {
                const long long expected = beats * 4 * divisions / beatType;
                const bool implicit = std::string(measure.attribute("implicit").value()) == "yes";
                if (reached > expected || (reached < expected && !implicit && reached > 0)) {
                    score_.entryNotes.push_back(
                        Where() + ": the notes last " + std::to_string(Units(reached, divisions)) +
                        " units where the time signature gives " + std::to_string(Units(expected, divisions)) +
                        "; read as they stand (said once a part)");
                    saidLength = true;
                }
            }
            Flush(measureBegin);
        }
    }

private:
    MeasureVisitor& visitor_;
    host::Document& document_;
    Score& score_;
    const musicxml::Part* name_ = nullptr;
    pugi::xml_node measure_;
    int ordinal_ = 0;
    std::vector<EntrySource> moved_;
    std::set<int> fifth_;
    bool saidTooManyNotes_ = false;

    // For messages, made only when one is given.
    std::string Where() const {
        const std::string number = measure_.attribute("number").value();
        return "part \"" + name_->name + "\" (" + name_->id + "), measure " +
               (number.empty() ? std::to_string(ordinal_) : number);
    }

    // The measure's entries, read in file order from begin on, go into the
    // document: each layer's in time order (backups make them come out of
    // order in the file), layers in order.
    void Flush(std::size_t begin) {
        std::vector<EntrySource>& entries = score_.entries;
        const auto before = [](const EntrySource& x, const EntrySource& y) {
            if (x.frame.staff != y.frame.staff) return x.frame.staff < y.frame.staff;
            if (x.frame.layer != y.frame.layer) return x.frame.layer < y.frame.layer;
            return x.original.position < y.original.position;
        };
        const auto first = entries.begin() + static_cast<std::ptrdiff_t>(begin);
        if (!std::is_sorted(first, entries.end(), before)) {
            moved_.assign(std::make_move_iterator(first), std::make_move_iterator(entries.end()));
            std::stable_sort(moved_.begin(), moved_.end(), before);
            std::move(moved_.begin(), moved_.end(), first);
        }
        std::size_t from = begin;
        while (from < entries.size()) {
            const host::FrameKey frame = entries[from].frame;
            std::size_t to = from;
            while (to < entries.size() && entries[to].frame == frame) ++to;
            std::vector<EntryRecord> records;
            records.reserve(to - from);
            for (std::size_t i = from; i < to; ++i) {
                EntrySource& entry = entries[i];
                entry.index = static_cast<std::uint32_t>(i - from);
                // The secondary beams break where both entries have one that is not joined.
                if (i > from && (entry.beamLeft & 1) != 0 &&
                    (entry.beamLevels & entries[i - 1].beamLevels & 0xFE & ~entry.beamLeft) != 0)
                    entry.original.flagsA |= bits::kSecondaryBeam;
                records.push_back(entry.original);
            }
            document_.SetFrame(frame, std::move(records));
            from = to;
        }
    }

    static std::int32_t Units(long long divisionsCount, long long divisions) {
        // A count this large is far past what a position holds: held there
        // before it is multiplied, so that it cannot overflow.
        constexpr long long kLargest = (1LL << 62) / kUnitsPerQuarter;
        divisionsCount = std::clamp(divisionsCount, -kLargest, kLargest);
        const long long units = (divisionsCount * kUnitsPerQuarter + divisions / 2) / divisions;
        return static_cast<std::int32_t>(std::clamp<long long>(units, 0, 0x7FFFFFFF));
    }

    void AddNote(const NoteFacts& note, bool crossStaff, EntrySource* entry) {
        EntryRecord& record = entry->original;
        ++entry->noteElements;
        if (note.lyric) record.flagsA |= bits::kLyrics;
        if (note.articulations) record.flagsA |= bits::kArticulation;
        if (note.slur) record.flagsB |= bits::kSlur;
        if (!HasNoteRecord(note.node)) return;  // a rest, or an unpitched note
        record.flagsA |= bits::kNote;
        if (record.noteCount >= kMaxNotesPerEntry) {
            if (!saidTooManyNotes_)
                score_.entryNotes.push_back(Where() +
                                            ": a chord of more than 12 notes; the rest are not searchable "
                                            "and are written back as they are");
            saidTooManyNotes_ = true;
            return;
        }
        NoteRecord& n = record.notes[record.noteCount++];
        int step = -1;
        pugi::xml_node stepNode, octaveNode, alterNode;
        for (pugi::xml_node child = note.pitch.first_child(); child; child = child.next_sibling()) {
            if (!stepNode && Named(child, "step")) stepNode = child;
            if (!octaveNode && Named(child, "octave")) octaveNode = child;
            if (!alterNode && Named(child, "alter")) alterNode = child;
        }
        if (stepNode) {
            std::string scratch;
            step = StepIndex(TextView(stepNode, &scratch));
        }
        const long long octave = NumberOf(octaveNode, 4);
        const long long alter = NumberOf(alterNode, 0);
        n.displacement =
            static_cast<std::int16_t>(std::clamp<long long>((octave - 4) * 7 + std::max(step, 0), -32768, 32767));
        n.raiseLower = static_cast<std::int16_t>(std::clamp<long long>(alter, -32768, 32767));
        if (note.tieStart) n.flags |= bits::kTieStart;
        if (note.tieStop) n.flags |= bits::kTieEnd;
        if (crossStaff) n.flags |= bits::kCrossNote;
        if (note.accidental) {
            n.flags |= bits::kAccidental;
            if (std::strcmp(note.accidental.attribute("parentheses").value(), "yes") == 0)
                n.flags |= bits::kAccidentalParentheses;
        }
        if (record.noteCount > 1) record.flagsA |= bits::kChord;
    }
};

}  // namespace

const std::vector<NoteXml>& LocatedNotes(const std::string& xml, const EntrySource& entry) {
    if (!entry.elements) {
        auto elements = std::make_unique<std::vector<NoteXml>>(entry.noteElements);
        pugi::xml_node note = entry.first;
        const Offsets offsets(note);
        for (NoteXml& element : *elements) {
            element.node = note;
            Locate(xml, offsets, &element);
            note = note.next_sibling("note");
        }
        entry.elements = std::move(elements);
    }
    return *entry.elements;
}

void ReadFrames(const std::vector<PartStaves>& parts, std::size_t notes, MeasureVisitor* visitor,
                host::Document* document, Score* score) {
    score->entries.reserve(score->entries.size() + notes);
    FrameReader reader(visitor, document, score);
    for (const PartStaves& part : parts) reader.Read(part);
}

}  // namespace musicxml
