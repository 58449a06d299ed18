// Reading MuseScore: every text kind of the text command is taken from its
// element (docs/musescore.md has the table), with each copy's runs of
// characters, and laid out into the document as the JSON reader lays out its
// sections. Excerpts (the score's parts) hold copies of the score's texts:
// each copy is found by where it stands and what it says, and is written
// with its original.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string_view>

#include "host/document/score_layout.h"
#include "host/musescore/archive.h"
#include "host/musescore/pitch.h"
#include "host/markup/entry_bits.h"
#include "host/musescore/score.h"
#include "host/markup/lyrics.h"
#include "host/markup/xml_text.h"

namespace musescore {

namespace {

using markup::TextSource;

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype;
constexpr std::size_t kLongest = 32767;

std::int16_t K(int value) { return static_cast<std::int16_t>(value); }

bool Is(pugi::xml_node node, const char* name) { return std::strcmp(node.name(), name) == 0; }

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The same trimming without a copy: numbers are read for every note.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimmedView(const char* text) {
    while (IsBlank(*text)) ++text;
    const char* end = text + std::strlen(text);
    while (end > text && IsBlank(end[-1])) --end;
    return {text, static_cast<std::size_t>(end - text)};
}

// One to six digits; the fallback for anything else.
int DigitsOr(std::string_view text, int fallback) {
    if (text.empty() || text.size() > 6) return fallback;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return fallback;
        value = value * 10 + (c - '0');
    }
    return value;
}

int IntOr(pugi::xml_node element, int fallback) { return DigitsOr(TrimmedView(element.child_value()), fallback); }

// The first element's name, past the declaration, comments and a byte order mark.
std::string RootName(const std::string& bytes) {
    std::size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (;;) {
        at = bytes.find('<', at);
        if (at == std::string::npos) return {};
        if (bytes.compare(at, 4, "<!--") == 0) {
            at = bytes.find("-->", at);
        } else if (bytes.compare(at, 2, "<?") == 0) {
            at = bytes.find("?>", at);
        } else if (bytes.compare(at, 2, "<!") == 0) {
            at = bytes.find('>', at);
        } else {
            std::size_t end = at + 1;
            while (end < bytes.size() && (std::isalnum(static_cast<unsigned char>(bytes[end])) || bytes[end] == '_' ||
                                          bytes[end] == '-' || bytes[end] == ':' || bytes[end] == '.'))
                ++end;
            return bytes.substr(at + 1, end - at - 1);
        }
        if (at == std::string::npos) return {};
    }
}

// Only the formats MuseScore 3 and 4 write are read; an older file is for
// MuseScore to bring up to date.
bool CheckVersion(const std::string& version, std::string* error) {
    if (version == "3.01" || version == "3.02" ||
        (version.size() >= 3 && version.compare(0, 2, "4.") == 0 &&
         std::all_of(version.begin() + 2, version.end(), ::isdigit)))
        return true;
    const std::size_t dot = version.find('.');
    const std::string major = version.substr(0, dot);
    if (!major.empty() && major.size() < 3 && std::all_of(major.begin(), major.end(), ::isdigit) &&
        std::stoi(major) < 3) {
        *error = "a MuseScore " + major + " score (format " + version +
                 "), older than this reader knows: open it in MuseScore 3 or later and save it, then try again";
        return false;
    }
    *error =
        "the MuseScore format version \"" + version + "\" is not one this reader knows (3.01, 3.02 and 4.x are read)";
    return false;
}

const char* KindName(TextSource source) {
    switch (source) {
        case TextSource::PageText:
            return "frame";
        case TextSource::MeasureText:
            return "rehearsal";
        case TextSource::Expression:
            return "expression";
        case TextSource::StaffFull:
            return "long";
        case TextSource::StaffAbbreviated:
            return "short";
        case TextSource::TextRepeat:
            return "repeat";
        case TextSource::Ending:
            return "ending";
        default:
            return "other";
    }
}

int SignedOr(pugi::xml_node element, int fallback) {
    std::string_view text = TrimmedView(element.child_value());
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    const int value = DigitsOr(text, -1);
    if (value < 0) return fallback;
    return negative ? -value : value;
}

// A text element's kind as a musician says it, for places and messages.
std::string Label(const char* element) {
    static const std::pair<const char*, const char*> kLabels[] = {{"StaffText", "staff text"},
                                                                  {"Expression", "expression"},
                                                                  {"SystemText", "system text"},
                                                                  {"Tempo", "tempo text"},
                                                                  {"Jump", "jump"},
                                                                  {"Marker", "marker"}};
    for (const auto& [name, label] : kLabels)
        if (std::strcmp(name, element) == 0) return label;
    return element;
}

// Time in fractions of a whole note, exactly: tuplets make thirds, fifths, ...
struct Fraction {
    long long n = 0;
    long long d = 1;
    static long long Gcd(long long a, long long b) {
        a = a < 0 ? -a : a;
        while (b != 0) {
            const long long t = a % b;
            a = b;
            b = t;
        }
        return a == 0 ? 1 : a;
    }
    Fraction Reduced() const {
        const long long g = Gcd(n, d);
        return d < 0 ? Fraction{-n / g, -d / g} : Fraction{n / g, d / g};
    }
    // A file can ask for any duration, ratio and move: results beyond what
    // 64 bits hold leave the time as it was.
    static bool Fits(__int128 value) {
        return value > -(static_cast<__int128>(1) << 62) && value < (static_cast<__int128>(1) << 62);
    }
    Fraction Plus(const Fraction& o) const {
        const __int128 top = static_cast<__int128>(n) * o.d + static_cast<__int128>(o.n) * d;
        const __int128 bottom = static_cast<__int128>(d) * o.d;
        if (!Fits(top) || !Fits(bottom)) return *this;
        return Fraction{static_cast<long long>(top), static_cast<long long>(bottom)}.Reduced();
    }
    Fraction Times(const Fraction& o) const {
        const __int128 top = static_cast<__int128>(n) * o.n;
        const __int128 bottom = static_cast<__int128>(d) * o.d;
        if (!Fits(top) || !Fits(bottom) || bottom == 0) return *this;
        return Fraction{static_cast<long long>(top), static_cast<long long>(bottom)}.Reduced();
    }
    bool Greater(const Fraction& o) const { return static_cast<__int128>(n) * o.d > static_cast<__int128>(o.n) * d; }
    // 1024 to the quarter, 4096 to the whole.
    std::int32_t Units() const {
        // The same in 64 bits where it cannot overflow: the usual case, and no
        // 128-bit division for each entry.
        if (n > -(1LL << 50) && n < (1LL << 50) && d > -(1LL << 60) && d < (1LL << 60)) {
            const long long units = (n * 4096 + (n >= 0 ? d / 2 : -d / 2)) / d;
            return static_cast<std::int32_t>(std::clamp<long long>(units, -(1LL << 30), 1LL << 30));
        }
        const __int128 units = (static_cast<__int128>(n) * 4096 + (n >= 0 ? d / 2 : -d / 2)) / d;
        return static_cast<std::int32_t>(std::clamp<__int128>(units, -(1LL << 30), 1LL << 30));
    }
};

// "3/8"; the fallback for anything else.
Fraction ParseFraction(const std::string& text, Fraction fallback) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return fallback;
    std::string top = Trimmed(text.substr(0, slash));
    const std::string bottom = Trimmed(text.substr(slash + 1));
    const bool negative = !top.empty() && top[0] == '-';
    if (negative) top.erase(0, 1);
    const auto digits = [](const std::string& t) {
        return !t.empty() && t.size() <= 6 && std::all_of(t.begin(), t.end(), ::isdigit);
    };
    if (!digits(top) || !digits(bottom) || std::stoll(bottom) == 0) return fallback;
    return Fraction{negative ? -std::stoll(top) : std::stoll(top), std::stoll(bottom)}.Reduced();
}

// A chord's or rest's written value, dots included (a measure rest lasts its
// <duration>, or the measure).
Fraction DurationOf(std::string_view type, int dots, pugi::xml_node length, const Fraction& measure) {
    if (type == "measure") return ParseFraction(length.child_value(), measure);
    static const std::pair<const char*, Fraction> kTypes[] = {
        {"quarter", {1, 4}}, {"eighth", {1, 8}},  {"16th", {1, 16}},    {"half", {1, 2}},  {"whole", {1, 1}},
        {"32nd", {1, 32}},   {"64th", {1, 64}},   {"128th", {1, 128}},  {"breve", {2, 1}}, {"long", {4, 1}},
        {"256th", {1, 256}}, {"512th", {1, 512}}, {"1024th", {1, 1024}}};
    Fraction base{1, 4};
    for (const auto& [name, value] : kTypes) {
        if (type == name) {
            base = value;
            break;
        }
    }
    dots = std::clamp(dots, 0, 4);
    return dots == 0 ? base : base.Times(Fraction{(1LL << (dots + 1)) - 1, 1LL << dots});
}

std::array<std::int8_t, 7> KeyAlterations(int fifths) {
    static constexpr int kSharps[7] = {3, 0, 4, 1, 5, 2, 6};  // F C G D A E B
    std::array<std::int8_t, 7> key{};
    for (int i = 0; i < fifths && i < 7; ++i) key[static_cast<std::size_t>(kSharps[i])] = 1;
    for (int i = 0; i < -fifths && i < 7; ++i) key[static_cast<std::size_t>(kSharps[6 - i])] = -1;
    return key;
}

// A note as written: a transposing instrument's <tpc2> (or its <tpc> moved
// by the transposition) and its pitch less the transposition.
// What the reader takes from a <Note>: the first child of each name, and
// its tie spanners' ends, found in one pass over its children.
struct NoteXml {
    pugi::xml_node pitch, tpc, tpc2, accidental;
    bool tieStart = false;
    bool tieEnd = false;
};

NoteXml ReadNote(pugi::xml_node note) {
    NoteXml read;
    for (pugi::xml_node child = note.first_child(); child; child = child.next_sibling()) {
        const char* name = child.name();
        switch (name[0]) {
            case 'p':
                if (!read.pitch && std::strcmp(name, "pitch") == 0) read.pitch = child;
                break;
            case 't':
                if (std::strcmp(name, "tpc") == 0) {
                    if (!read.tpc) read.tpc = child;
                } else if (!read.tpc2 && std::strcmp(name, "tpc2") == 0) {
                    read.tpc2 = child;
                }
                break;
            case 'A':
                if (!read.accidental && std::strcmp(name, "Accidental") == 0) read.accidental = child;
                break;
            case 'S':
                if (std::strcmp(name, "Spanner") == 0 && std::strcmp(child.attribute("type").value(), "Tie") == 0) {
                    if (child.child("next")) read.tieStart = true;
                    if (child.child("prev")) read.tieEnd = true;
                }
                break;
            default:
                break;
        }
    }
    return read;
}

pitch::Spelling SpellingOf(const NoteXml& note, int chromatic, int diatonic) {
    const int sounding = IntOr(note.pitch, 60);
    const int tpc = note.tpc ? SignedOr(note.tpc, -100) : -100;
    if (chromatic == 0 && diatonic == 0) return pitch::Spell(sounding, tpc);
    const int written = note.tpc2 ? SignedOr(note.tpc2, -100) : tpc - pitch::TpcShift(chromatic, diatonic);
    return pitch::Spell(sounding - chromatic, written);
}

struct StaffState {
    Fraction time{4, 4};
    int fifths = 0;
    // The instrument's transposition from the measure's start, and the one
    // an instrument change in the measure brings from its place on.
    int chromatic = 0;
    int diatonic = 0;
    bool changing = false;
    Fraction changeAt;
    int newChromatic = 0;
    int newDiatonic = 0;
};

struct Voice {
    int layer = 0;  // -1: the measure's own elements
    Fraction length{4, 4};
    Fraction tick{0, 1};
    std::vector<Fraction> tuplets;  // normal / actual, outermost first
    std::map<std::string, Fraction> tupletsById;
    int entries = 0;
};

// The staves of one <Score> (the score's or an excerpt's).
struct StaffInfo {
    int part = 0;         // into the walked score's parts
    int scoreStaff = -1;  // the score's staff it shows (0-based); -1 when not known
};

class Reader {
public:
    Reader(Score* score, host::ScoreLayout* layout) : score_(*score), layout_(*layout) {}

    bool Walk(pugi::xml_node root, int member, bool excerpt, const std::string& name, std::string* error) {
        member_ = member;
        excerpt_ = excerpt;
        excerptName_ = name;
        std::vector<StaffInfo> staves;
        std::map<std::string, int> staffById;
        std::vector<pugi::xml_node> parts;
        for (pugi::xml_node part : root.children("Part")) {
            parts.push_back(part);
            const int firstOfPart = static_cast<int>(staves.size());
            for (pugi::xml_node staff : part.children("Staff")) {
                StaffInfo info;
                info.part = static_cast<int>(parts.size()) - 1;
                const std::string id = staff.attribute("id").value();
                if (!excerpt) {
                    info.scoreStaff = static_cast<int>(staves.size());
                } else if (const int linked = IntOr(staff.child("linkedTo"), 0);
                           linked > 0 && scoreStaffById_.count(std::to_string(linked)) > 0) {
                    info.scoreStaff = scoreStaffById_[std::to_string(linked)];
                } else {
                    // Without <linkedTo>: the staff of the score's part of the same
                    // track name, in the order of the part's staves.
                    const std::string track = Trimmed(part.child_value("trackName"));
                    const int nth = static_cast<int>(staves.size()) - firstOfPart;
                    for (std::size_t s = 0, seen = 0; s < score_.staves.size(); ++s) {
                        const std::string& other = scoreTracks_[static_cast<std::size_t>(score_.staves[s].part)];
                        if (!track.empty() && other == track && static_cast<int>(seen++) == nth) {
                            info.scoreStaff = static_cast<int>(s);
                            break;
                        }
                    }
                }
                staffById[id] = static_cast<int>(staves.size());
                staves.push_back(info);
            }
        }
        if (!excerpt) {
            for (std::size_t i = 0; i < parts.size(); ++i) {
                score_.parts.push_back(Trimmed(parts[i].child("Instrument").child_value("longName")));
                scoreTracks_.push_back(Trimmed(parts[i].child_value("trackName")));
            }
            for (const StaffInfo& info : staves) {
                const pugi::xml_node instrument = parts[static_cast<std::size_t>(info.part)].child("Instrument");
                // No instrument sounds more than a few octaves from what is written.
                score_.staves.push_back({info.part, score_.parts[static_cast<std::size_t>(info.part)],
                                         std::clamp(SignedOr(instrument.child("transposeChromatic"), 0), -48, 48),
                                         std::clamp(SignedOr(instrument.child("transposeDiatonic"), 0), -28, 28)});
            }
            scoreStaffById_ = staffById;
        }
        staves_ = &staves;

        // The parts' names: each staff of a part shows them.
        for (std::size_t p = 0; p < parts.size(); ++p) Names(parts[p], static_cast<int>(p), staves);

        std::vector<pugi::xml_node> metaTags;
        for (pugi::xml_node item : root.children()) {
            if (Is(item, "metaTag")) {
                metaTags.push_back(item);
            } else if (Is(item, "Staff")) {
                const std::string id = item.attribute("id").value();
                const auto found = staffById.find(id);
                if (found == staffById.end()) {
                    *error = Prefix(Where(-1, 0)) + "<Staff id=\"" + id + "\"> belongs to no <Part>; refused";
                    return false;
                }
                if (!StaffMusic(item, found->second, error)) return false;
            }
        }
        // The score's metadata after the frames' texts, as page texts.
        for (pugi::xml_node tag : metaTags) {
            const std::string name = tag.attribute("name").value();
            Found(TextSource::PageText, tag, std::string("meta|") + name, "meta tag \"" + name + "\"");
        }
        for (pugi::xml_node nested : root.children("Score")) {
            if (excerpt) continue;  // excerpts do not nest
            const std::string excerptName = nested.child_value("name");
            if (!Walk(nested, member, true, excerptName.empty() ? "excerpt" : excerptName, error)) return false;
            member_ = member;
            excerpt_ = false;
            staves_ = &staves;
        }
        return true;
    }

    // Each frame's count of entries read; the frames are laid into the
    // document from the entries, each at its size.
    std::map<host::FrameKey, std::uint32_t> frameSizes_;
    bool hasExcerpts = false;  // set before the walk: the excerpts' chords are then linked

    // Verses from the syllables met, numbered by <no> + 1.
    void Verses() {
        for (auto& [number, verse] : verses_) {
            if (number > 1000) {
                score_.notes.push_back("verse " + std::to_string(number) + ": beyond the 1000 verses searched");
                continue;
            }
            verse.number = number;
            verse.original = markup::JoinVerse(verse.syllables);
            if (verse.original.size() > kLongest) {
                score_.notes.push_back("verse " + std::to_string(number) + ": " +
                                       std::to_string(verse.original.size()) + " bytes, more than the " +
                                       std::to_string(kLongest) + " the text command handles; it is not searched");
                continue;
            }
            layout_.lyrics[0].push_back({number, verse.original});
            score_.verses.push_back(std::move(verse));
        }
        if (unlinked_ > 0)
            score_.notes.push_back(
                std::to_string(unlinked_) +
                " text(s) of excerpts have no original in the score and are not searched: " + unlinkedList_);
    }

private:
    Score& score_;
    host::ScoreLayout& layout_;
    int member_ = 0;
    bool excerpt_ = false;
    std::string excerptName_;
    const std::vector<StaffInfo>* staves_ = nullptr;
    std::map<std::string, int> scoreStaffById_;
    std::vector<std::string> scoreTracks_;                              // each score part's track name
    std::map<std::string, std::size_t> linkIndex_;                      // link key -> index in score_.texts
    std::map<std::string, std::pair<int, std::size_t>> syllableIndex_;  // link key -> verse, syllable
    std::map<int, Verse> verses_;
    std::map<std::pair<int, int>, int> measureTextIndex_;
    std::map<int, std::size_t> endingAt_;
    int pageIndex_ = 0;
    // staff, measure, layer, entry -> the score's entry and its pitches
    std::map<std::array<int, 4>, std::pair<std::size_t, std::vector<int>>> chordIndex_;
    std::vector<NoteXml> notes_;          // the chord being read
    std::vector<pugi::xml_node> lyrics_;  // and its syllables
    host::FrameKey lastFrame_;
    std::uint32_t* frameSize_ = nullptr;  // lastFrame_'s count
    std::set<int> overfull_;
    int number_ = 0;  // MuseScore's count of the top staff's measures so far
    std::set<int> manyNotes_;
    bool saidSpelling_ = false;
    int unlinked_ = 0;
    std::string unlinkedList_;  // the first few, for the note

    void Unlinked(const std::string& where, const std::string& text) {
        if (++unlinked_ <= 5) unlinkedList_ += (unlinked_ > 1 ? "; " : "") + where + " \"" + text + "\"";
        if (unlinked_ == 6) unlinkedList_ += "; ...";
    }

    // "excerpt "Flute", staff 2 (Flute), measure 3", for messages.
    std::string Where(int staff, int measure) const {
        std::string where = excerpt_ ? "excerpt \"" + excerptName_ + "\"" : std::string();
        const auto add = [&where](const std::string& part) { where += (where.empty() ? "" : ", ") + part; };
        if (staff >= 0) {
            std::string text = "staff " + std::to_string(staff + 1);
            if (static_cast<std::size_t>(staff) < score_.staves.size() &&
                !score_.staves[static_cast<std::size_t>(staff)].name.empty())
                text += " (" + score_.staves[static_cast<std::size_t>(staff)].name + ")";
            add(text);
        }
        if (measure > 0) add("measure " + std::to_string(score_.MeasureNumber(measure)));
        return where;
    }

    static std::string Prefix(const std::string& where) { return where.empty() ? where : where + ": "; }

    // The element's runs; false (with a note) when it has no text to search.
    bool RunsOf(pugi::xml_node element, Copy* copy, std::string* plain, const std::string& where) {
        if (!element) return false;
        const std::ptrdiff_t offset = element.offset_debug();
        Span span;
        const std::string& xml = score_.Xml(member_);
        if (offset < 0 || !ElementContent(xml, static_cast<std::size_t>(offset), &span)) return false;
        copy->member = member_;
        if (!ReadRuns(xml, span, &copy->runs)) {
            score_.notes.push_back(Prefix(where) + "a text holding markup that is not formatting; it is not searched");
            return false;
        }
        *plain = PlainText(copy->runs);
        if (plain->size() > kLongest) {
            score_.notes.push_back(Prefix(where) + "a text of " + std::to_string(plain->size()) +
                                   " bytes, more than the " + std::to_string(kLongest) +
                                   " the text command handles; it is not searched");
            return false;
        }
        return !plain->empty();
    }

    // A text met in the walk. In the score it becomes a text of its own, keyed
    // by its kind; in an excerpt, a copy of the score's text that has the same
    // link (kind, place, text).
    void Found(TextSource source, pugi::xml_node element, const std::string& link, const std::string& where,
               int staff = -1, int measure = 0) {
        Copy copy;
        std::string plain;
        const std::string place = Where(staff, measure);
        if (!RunsOf(element, &copy, &plain, place)) return;
        const std::string key = link + "|" + plain;
        if (excerpt_) {
            if (const auto found = linkIndex_.find(key); found != linkIndex_.end()) {
                score_.texts[found->second].copies.push_back(std::move(copy));
                return;
            }
            if (source != TextSource::PageText) {
                Unlinked(place, plain);
                return;
            }
        }
        // Several staves of a part show its names: one text each, one element.
        Text text;
        text.mapped.source = source;
        text.mapped.original = plain;
        text.mapped.where = place.empty() ? where : where + ", " + place;
        text.copies.push_back(std::move(copy));
        switch (source) {
            case TextSource::PageText:
                text.mapped.key = {1, K(pageIndex_++), 0};
                layout_.pageTexts.push_back({1, plain});
                break;
            case TextSource::MeasureText: {
                const int index = measureTextIndex_[{staff + 1, measure}]++;
                text.mapped.key = {K(staff + 1), K(measure), K(index)};
                layout_.measureTexts.push_back({staff + 1, measure, plain});
                break;
            }
            case TextSource::Expression: {
                const int number = static_cast<int>(layout_.expressions.size()) + 1;
                text.mapped.key = {K(number), 0, 0};
                layout_.expressions.push_back({number, plain, host::Bytes(12, 0)});
                break;
            }
            case TextSource::TextRepeat: {
                const int number = static_cast<int>(layout_.textRepeats.size()) + 1;
                text.mapped.key = {K(number), 0, 0};
                layout_.textRepeats.push_back({number, plain});
                break;
            }
            case TextSource::Ending: {
                // One ending record a measure: a copy that reads the same goes with it.
                if (const auto found = endingAt_.find(measure); found != endingAt_.end()) {
                    Text& first = score_.texts[found->second];
                    if (first.mapped.original == plain) first.copies.push_back(std::move(text.copies.back()));
                    return;
                }
                endingAt_[measure] = score_.texts.size();
                text.mapped.key = {K(measure), 0, 0};
                layout_.endings.push_back({measure, plain});
                break;
            }
            default:
                return;
        }
        if (!excerpt_) linkIndex_.emplace(key, score_.texts.size());
        score_.texts.push_back(std::move(text));
    }

    bool Fits(int value, const char* what) {
        if (value <= static_cast<int>(kLongest)) return true;
        const std::string note =
            std::string("more than ") + std::to_string(kLongest) + " " + what + ": the rest are not searched";
        if (std::find(score_.notes.begin(), score_.notes.end(), note) == score_.notes.end())
            score_.notes.push_back(note);
        return false;
    }

    // Long and short instrument names, for every staff of the part. A track
    // name that reads as the long name is the same name and changes with it.
    void Names(pugi::xml_node part, int index, const std::vector<StaffInfo>& staves) {
        const pugi::xml_node instrument = part.child("Instrument");
        std::vector<int> own;
        for (std::size_t s = 0; s < staves.size(); ++s)
            if (staves[s].part == index) own.push_back(static_cast<int>(s));
        const auto names = [&](TextSource source, const char* element) {
            for (int s : own) {
                const int staff = excerpt_ ? staves[static_cast<std::size_t>(s)].scoreStaff : s;
                if (staff < 0 || !Fits(staff + 1, "staves")) continue;
                const std::string link = std::string(KindName(source)) + "|" + std::to_string(staff);
                Copy copy;
                std::string plain;
                const std::string where = Where(staff, 0);
                if (!RunsOf(instrument.child(element), &copy, &plain, where)) continue;
                const std::string key = link + "|" + plain;
                std::vector<Copy> copies{std::move(copy)};
                if (source == TextSource::StaffFull) {
                    for (pugi::xml_node track : {part.child("trackName"), instrument.child("trackName")}) {
                        Copy trackCopy;
                        std::string trackText;
                        if (RunsOf(track, &trackCopy, &trackText, where) && trackText == plain)
                            copies.push_back(std::move(trackCopy));
                    }
                }
                if (excerpt_) {
                    const auto found = linkIndex_.find(key);
                    if (found == linkIndex_.end()) {
                        Unlinked(where, plain);
                        continue;
                    }
                    // Each staff of the score's part has the same copies: add them to all.
                    for (auto& [otherKey, at] : linkIndex_)
                        if (otherKey.rfind(std::string(KindName(source)) + "|", 0) == 0 &&
                            score_.texts[at].copies.front().runs.front().begin ==
                                score_.texts[found->second].copies.front().runs.front().begin)
                            for (const Copy& c : copies) score_.texts[at].copies.push_back(c);
                    continue;
                }
                Text text;
                text.mapped.source = source;
                text.mapped.key = {K(staff + 1), 0, 0};
                text.mapped.original = plain;
                text.mapped.where = where;
                text.copies = std::move(copies);
                linkIndex_.emplace(key, score_.texts.size());
                score_.texts.push_back(std::move(text));
            }
        };
        names(TextSource::StaffFull, "longName");
        names(TextSource::StaffAbbreviated, "shortName");
        if (!excerpt_) {
            for (int s : own) {
                host::ScoreLayout::Names layoutNames;
                layoutNames.number = s + 1;
                for (const Text& text : score_.texts) {
                    if (text.mapped.key[0] != s + 1) continue;
                    if (text.mapped.source == TextSource::StaffFull) layoutNames.full = text.mapped.original;
                    if (text.mapped.source == TextSource::StaffAbbreviated)
                        layoutNames.abbreviated = text.mapped.original;
                }
                layout_.staves.push_back(layoutNames);
            }
        }
    }

    void FrameTexts(pugi::xml_node frame, int depth = 0) {
        if (depth > 8) return;  // frames inside frames go a level or two deep, not more
        for (pugi::xml_node item : frame.children()) {
            if (Is(item, "Text")) {
                const std::string style = Trimmed(item.child_value("style"));
                Found(TextSource::PageText, item.child("text"), "frame|" + style,
                      "frame text" + (style.empty() ? std::string() : " (" + style + ")"));
            } else if (Is(item, "VBox") || Is(item, "HBox") || Is(item, "TBox")) {
                FrameTexts(item, depth + 1);  // a frame inside a frame
            }
        }
    }

    bool StaffMusic(pugi::xml_node staffElement, int staffIndex, std::string* error) {
        const StaffInfo& info = (*staves_)[static_cast<std::size_t>(staffIndex)];
        const int staff = info.scoreStaff;
        if (!excerpt_ && !Fits(staff + 1, "staves")) return true;
        StaffState state;
        if (staff >= 0 && static_cast<std::size_t>(staff) < score_.staves.size()) {
            state.chromatic = score_.staves[static_cast<std::size_t>(staff)].chromatic;
            state.diatonic = score_.staves[static_cast<std::size_t>(staff)].diatonic;
        }
        int ordinal = 0;
        for (pugi::xml_node item : staffElement.children()) {
            if (Is(item, "VBox") || Is(item, "HBox") || Is(item, "TBox")) {
                FrameTexts(item);
                continue;
            }
            if (!Is(item, "Measure")) continue;
            // A multimeasure rest is the excerpt's picture of the measures it
            // covers, written after the first of them; its texts are copies
            // of theirs.
            const bool picture = static_cast<bool>(item.child("multiMeasureRest"));
            const int measure = picture ? std::max(ordinal, 1) : ++ordinal;
            if (!Fits(measure, "measures in a staff")) return true;
            if (!excerpt_) layout_.measures = std::max(layout_.measures, measure);
            // MuseScore numbers its measures from the top staff's: an irregular
            // measure is not counted (it shares the next one's number; a pickup
            // before any counted measure is 0, as MuseScore exports it), and
            // <noOffset> moves the count.
            if (!excerpt_ && !picture && staff == 0) {
                number_ += SignedOr(item.child("noOffset"), 0);
                const bool counted = IntOr(item.child("irregular"), 0) == 0;
                score_.measureNumbers.push_back(!counted && number_ == 0 ? 0 : number_ + 1);
                if (counted) ++number_;
            }
            if (!Measure(item, staff, measure, picture, &state, error)) return false;
        }
        return true;
    }

    bool Measure(pugi::xml_node measureElement, int staff, int measure, bool picture, StaffState* state,
                 std::string* error) {
        int layer = 0;
        const Fraction nominal = state->time;
        Fraction length = nominal;
        if (const pugi::xml_attribute len = measureElement.attribute("len"))
            length = ParseFraction(len.value(), nominal);
        for (pugi::xml_node item : measureElement.children()) {
            if (Is(item, "voice")) {
                if (layer >= 4) {
                    *error = Prefix(Where(staff, measure)) +
                             "a fifth <voice>: a staff has four voices in MuseScore; refused";
                    return false;
                }
                Voice voice;
                voice.layer = layer;
                voice.length = length;
                for (pugi::xml_node element : item.children())
                    if (!Element(element, staff, measure, &voice, state, picture, error)) return false;
                // The time signature is often in the first voice only: the
                // measure's length follows it.
                if (layer == 0 && !measureElement.attribute("len")) length = state->time;
                if (!excerpt_ && !picture && voice.tick.Greater(length) && overfull_.insert(staff).second)
                    score_.notes.push_back(Prefix(Where(staff, measure)) + "voice " + std::to_string(layer + 1) +
                                           " lasts longer than the measure; read as it stands");
                ++layer;
            } else {
                Voice voice;
                voice.layer = -1;
                if (!Element(item, staff, measure, &voice, state, picture, error)) return false;
            }
        }
        if (state->changing) {
            state->chromatic = state->newChromatic;
            state->diatonic = state->newDiatonic;
            state->changing = false;
        }
        return true;
    }

    // System texts (tempo, system text, rehearsal marks, jumps, markers,
    // voltas) stand over the top staff of the score and of each excerpt: their
    // copies are linked by measure alone.
    bool Element(pugi::xml_node element, int staff, int measure, Voice* voice, StaffState* state, bool picture,
                 std::string* error) {
        // The links' places, made only for the texts that need them.
        const auto onStaff = [&] { return std::to_string(staff) + "|" + std::to_string(measure); };
        const auto onSystem = [&] { return std::to_string(measure); };
        const char* name = element.name();
        if (std::strcmp(name, "Chord") == 0 || std::strcmp(name, "Rest") == 0) {
            if (!picture && voice->layer >= 0) {
                // The entry reads the chord's syllables in its pass over the chord.
                if (!Entry(element, staff, measure, voice, *state, error)) return false;
            } else {
                for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
                    if (child.name()[0] == 'L' && Is(child, "Lyrics"))
                        Lyric(child, staff, measure, voice->layer, voice->entries);
            }
            ++voice->entries;
        } else if (std::strcmp(name, "Tuplet") == 0) {
            const long long normal = IntOr(element.child("normalNotes"), 0);
            const long long actual = IntOr(element.child("actualNotes"), 0);
            const Fraction ratio = normal > 0 && actual > 0 ? Fraction{normal, actual} : Fraction{1, 1};
            // The older form names its tuplet by id, and each of its chords names it.
            if (element.attribute("id"))
                voice->tupletsById[element.attribute("id").value()] = ratio;
            else
                voice->tuplets.push_back(ratio);
        } else if (std::strcmp(name, "endTuplet") == 0) {
            if (!voice->tuplets.empty()) voice->tuplets.pop_back();
        } else if (std::strcmp(name, "location") == 0) {
            if (IntOr(element.child("measures"), 0) == 0 && element.child("fractions"))
                voice->tick = voice->tick.Plus(ParseFraction(element.child_value("fractions"), Fraction{0, 1}));
        } else if (std::strcmp(name, "TimeSig") == 0) {
            const long long n = IntOr(element.child("sigN"), 0);
            const long long d = IntOr(element.child("sigD"), 0);
            if (n > 0 && d > 0) state->time = Fraction{n, d};
        } else if (std::strcmp(name, "InstrumentChange") == 0) {
            // Another instrument from here on (a clarinet in A for the one in
            // B-flat): its notes are written for its transposition.
            if (const pugi::xml_node instrument = element.child("Instrument")) {
                state->changing = true;
                state->changeAt = voice->tick;
                state->newChromatic = std::clamp(SignedOr(instrument.child("transposeChromatic"), 0), -48, 48);
                state->newDiatonic = std::clamp(SignedOr(instrument.child("transposeDiatonic"), 0), -28, 28);
            }
        } else if (std::strcmp(name, "KeySig") == 0) {
            // The key as written: MuseScore 3's <accidental>, 4's <actualKey>;
            // 4 leaves that out where it is the concert key moved by the
            // staff's transposition.
            if (pugi::xml_node written =
                    element.child("accidental") ? element.child("accidental") : element.child("actualKey")) {
                state->fifths = std::clamp(SignedOr(written, 0), -7, 7);
            } else if (pugi::xml_node concert = element.child("concertKey")) {
                int fifths = std::clamp(SignedOr(concert, 0), -7, 7);
                const bool changed = state->changing && !state->changeAt.Greater(voice->tick);
                fifths -= pitch::TpcShift(changed ? state->newChromatic : state->chromatic,
                                          changed ? state->newDiatonic : state->diatonic);
                while (fifths > 7) fifths -= 12;
                while (fifths < -7) fifths += 12;
                state->fifths = fifths;
            }
        } else if (std::strcmp(name, "RehearsalMark") == 0) {
            Found(TextSource::MeasureText, element.child("text"), "rehearsal|" + onSystem(), "rehearsal mark", staff,
                  measure);
        } else if (std::strcmp(name, "StaffText") == 0 || std::strcmp(name, "Expression") == 0) {
            Found(TextSource::Expression, element.child("text"), "expression|" + onStaff(), Label(name), staff,
                  measure);
        } else if (std::strcmp(name, "SystemText") == 0 || std::strcmp(name, "Tempo") == 0) {
            Found(TextSource::Expression, element.child("text"), "system|" + onSystem(), Label(name), staff, measure);
        } else if (std::strcmp(name, "Jump") == 0 || std::strcmp(name, "Marker") == 0) {
            Found(TextSource::TextRepeat, element.child("text"), "repeat|" + onSystem(), Label(name), staff, measure);
        } else if (std::strcmp(name, "Spanner") == 0 || std::strcmp(name, "Volta") == 0) {
            const pugi::xml_node volta = std::strcmp(name, "Volta") == 0 ? element : element.child("Volta");
            if (volta)
                Found(TextSource::Ending, volta.child("beginText"), "ending|" + onSystem(), "volta", staff, measure);
        }
        return true;
    }

    // A chord or rest: an entry of the frame in the score; in an excerpt, a
    // copy of the score's entry at the same place with the same pitches.
    bool Entry(pugi::xml_node element, int staff, int measure, Voice* voice, const StaffState& state,
               std::string* error) {
        const bool chord = Is(element, "Chord");
        // One pass over the chord's children: they are many, and so are chords.
        bool grace = false;
        bool slash = false;
        bool articulation = false;
        bool lyrics = false;
        bool slur = false;
        pugi::xml_node type, dots, length, tupletId, stem, beam;
        std::vector<NoteXml>& notes = notes_;  // kept from chord to chord: no allocation for each
        notes.clear();
        lyrics_.clear();
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
            const char* name = child.name();
            switch (name[0]) {
                case 'N':
                    if (std::strcmp(name, "Note") == 0) notes.push_back(ReadNote(child));
                    break;
                case 'd':
                    if (std::strcmp(name, "durationType") == 0)
                        type = child;
                    else if (std::strcmp(name, "dots") == 0)
                        dots = child;
                    else if (std::strcmp(name, "duration") == 0)
                        length = child;
                    break;
                case 'a':
                    if (std::strcmp(name, "acciaccatura") == 0) grace = slash = true;
                    if (std::strcmp(name, "appoggiatura") == 0) grace = true;
                    break;
                case 'g':
                    if (std::strncmp(name, "grace", 5) == 0) grace = true;
                    break;
                case 'A':
                    if (std::strcmp(name, "Articulation") == 0) articulation = true;
                    break;
                case 'L':
                    if (std::strcmp(name, "Lyrics") == 0) {
                        lyrics = true;
                        lyrics_.push_back(child);
                    }
                    break;
                case 'S':
                    if (std::strcmp(name, "StemDirection") == 0) stem = child;
                    if (std::strcmp(name, "Spanner") == 0 && std::strcmp(child.attribute("type").value(), "Slur") == 0)
                        slur = true;
                    break;
                case 'B':
                    if (std::strcmp(name, "BeamMode") == 0) beam = child;
                    break;
                case 'T':
                    if (std::strcmp(name, "Tuplet") == 0) tupletId = child;
                    break;
                default:
                    break;
            }
        }
        // The chord's syllables first, as for a chord that is no entry.
        for (const pugi::xml_node lyric : lyrics_) Lyric(lyric, staff, measure, voice->layer, voice->entries);
        if (chord && notes.empty()) {
            *error = Prefix(Where(staff, measure)) + "voice " + std::to_string(voice->layer + 1) + ", entry " +
                     std::to_string(voice->entries + 1) + ": a <Chord> without notes; refused";
            return false;
        }
        for (const NoteXml& note : notes) {
            if (!note.pitch) {
                *error = Prefix(Where(staff, measure)) + "voice " + std::to_string(voice->layer + 1) + ", entry " +
                         std::to_string(voice->entries + 1) + ": a <Note> without <pitch>; refused";
                return false;
            }
        }
        Fraction duration = DurationOf(TrimmedView(type.child_value()), IntOr(dots, 0), length, voice->length);
        for (const Fraction& ratio : voice->tuplets) duration = duration.Times(ratio);
        bool inTuplet = !voice->tuplets.empty();
        if (tupletId && !voice->tupletsById.empty()) {
            const auto byId = voice->tupletsById.find(Trimmed(tupletId.child_value()));
            if (byId != voice->tupletsById.end()) {
                duration = duration.Times(byId->second);
                inTuplet = true;
            }
        }
        const Fraction start = voice->tick;
        if (!grace) voice->tick = voice->tick.Plus(duration);
        // Excerpts' chords are found by where they stand: only a score with
        // excerpts needs the index.
        const std::array<int, 4> link{staff, measure, voice->layer, voice->entries};
        std::vector<int> pitches;
        if (hasExcerpts)
            for (const NoteXml& note : notes) pitches.push_back(IntOr(note.pitch, -1000));
        if (excerpt_) {
            const auto found = chordIndex_.find(link);
            if (found != chordIndex_.end() && found->second.second == pitches)
                score_.entries[found->second.first].chords.push_back({member_, element});
            return true;
        }
        if (staff < 0) return true;
        EntrySource& entry = score_.entries.emplace_back();
        entry.frame = {staff + 1, measure, voice->layer};
        entry.chords.push_back({member_, element});
        entry.key = KeyAlterations(state.fifths);
        EntryRecord& record = entry.original;
        record.position = start.Units();
        entry.startNumerator = start.n;
        entry.startDenominator = start.d;
        record.duration = grace ? 0 : duration.Units();
        namespace bits = markup::bits;
        if (chord) record.flagsA |= bits::kNote;
        if (voice->layer == 1) record.flagsA |= bits::kVoice2;
        if (notes.size() > 1) record.flagsA |= bits::kChord;
        if (grace) record.flagsA |= bits::kGrace;
        if (slash) record.flagsB |= bits::kSlashGrace;
        if (inTuplet) record.flagsA |= bits::kTuplet;
        if (articulation) record.flagsA |= bits::kArticulation;
        if (lyrics) record.flagsA |= bits::kLyrics;
        const std::string_view beamMode = TrimmedView(beam.child_value());
        if (beamMode == "begin" || beamMode == "no") record.flagsA |= bits::kBeamBeat;
        const std::string_view direction = TrimmedView(stem.child_value());
        if (direction == "up" || direction == "down") record.flagsA |= bits::kFreezeStem;
        if (direction == "up") record.flagsA |= bits::kUpDown;
        if (slur) record.flagsB |= bits::kSlur;
        const bool changed = state.changing && !state.changeAt.Greater(start);
        entry.chromatic = changed ? state.newChromatic : state.chromatic;
        entry.diatonic = changed ? state.newDiatonic : state.diatonic;
        if (notes.size() > static_cast<std::size_t>(kMaxNotesPerEntry) && manyNotes_.insert(staff).second)
            score_.notes.push_back(Prefix(Where(staff, measure)) + "a chord of more than " +
                                   std::to_string(kMaxNotesPerEntry) + " notes: the others are not searched");
        for (std::size_t n = 0; n < notes.size() && n < static_cast<std::size_t>(kMaxNotesPerEntry); ++n) {
            NoteRecord& out = record.notes[n];
            const pitch::Spelling spelling = SpellingOf(notes[n], entry.chromatic, entry.diatonic);
            if (!spelling.fits && !saidSpelling_) {
                score_.notes.push_back(Prefix(Where(staff, measure)) +
                                       "a spelling (<tpc>) that does not fit the note's pitch; read as the pitch says"
                                       " (said once)");
                saidSpelling_ = true;
            }
            out.displacement = static_cast<std::int16_t>(spelling.displacement);
            out.raiseLower = static_cast<std::int16_t>(spelling.alter);
            if (const pugi::xml_node accidental = notes[n].accidental) {
                out.flags |= bits::kAccidental;
                if (IntOr(accidental.child("bracket"), 0) != 0) out.flags |= bits::kAccidentalParentheses;
            }
            if (notes[n].tieStart) out.flags |= bits::kTieStart;
            if (notes[n].tieEnd) out.flags |= bits::kTieEnd;
            ++record.noteCount;
        }
        // A frame's entries come one after another: its count is looked up
        // when the frame changes, not for each entry.
        if (frameSize_ == nullptr || !(lastFrame_ == entry.frame)) {
            frameSize_ = &frameSizes_[entry.frame];
            lastFrame_ = entry.frame;
        }
        entry.index = (*frameSize_)++;
        if (hasExcerpts) chordIndex_.emplace(link, std::make_pair(score_.entries.size() - 1, std::move(pitches)));
        return true;
    }

    void Lyric(pugi::xml_node lyric, int staff, int measure, int voice, int entry) {
        const int number = IntOr(lyric.child("no"), 0) + 1;
        Copy copy;
        std::string plain;
        const std::string where = Where(staff, measure);
        if (!RunsOf(lyric.child("text"), &copy, &plain, where)) {
            // An empty syllable is kept in its place: the verse stays in step.
            if (excerpt_) return;
            plain.clear();
            copy = Copy{};
        }
        const std::string syllabic = Trimmed(lyric.child_value("syllabic"));
        const std::string link = std::to_string(staff) + "|" + std::to_string(measure) + "|" + std::to_string(voice) +
                                 "|" + std::to_string(entry) + "|" + std::to_string(number);
        if (excerpt_) {
            const auto found = syllableIndex_.find(link);
            if (found == syllableIndex_.end()) {
                Unlinked(where, plain);
                return;
            }
            Verse& verse = verses_[found->second.first];
            if (verse.syllables[found->second.second].text == plain)
                verse.copies[found->second.second].push_back(std::move(copy));
            else
                Unlinked(where, plain);
            return;
        }
        Verse& verse = verses_[number];
        markup::Syllable syllable;
        syllable.text = plain;
        syllable.hyphenAfter = syllabic == "begin" || syllabic == "middle";
        syllable.part = staff;
        syllable.measure = measure;
        syllableIndex_.emplace(link, std::make_pair(number, verse.syllables.size()));
        verse.syllables.push_back(syllable);
        verse.copies.push_back(copy.runs.empty() ? std::vector<Copy>{} : std::vector<Copy>{std::move(copy)});
    }
};

bool ParseMember(const std::string& path, const std::string& xml, std::shared_ptr<pugi::xml_document>* tree,
                 std::string* error) {
    auto document = std::make_shared<pugi::xml_document>();
    const pugi::xml_parse_result parsed =
        document->load_buffer(xml.data(), xml.size(), kParseOptions, pugi::encoding_utf8);
    const std::string prefix = path.empty() ? std::string() : path + ": ";
    if (!parsed) {
        std::size_t line = 0;
        std::size_t column = 0;
        markup::LineAndColumn(xml, static_cast<std::size_t>(parsed.offset), &line, &column);
        *error = prefix + "not well-formed XML at line " + std::to_string(line) + ", column " + std::to_string(column) +
                 ": " + parsed.description();
        return false;
    }
    for (pugi::xml_node child : document->children()) {
        if (child.type() == pugi::node_doctype && std::string(child.value()).find("<!ENTITY") != std::string::npos) {
            *error =
                prefix + "the DOCTYPE declares entities of its own; they are never expanded, so the score is refused";
            return false;
        }
        if (child.type() == pugi::node_declaration) {
            std::string declared = child.attribute("encoding").value();
            for (char& c : declared) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (!declared.empty() && declared != "utf-8" && declared != "utf8") {
                *error = prefix + "the file declares the encoding \"" +
                         std::string(child.attribute("encoding").value()) + "\"; MuseScore files are UTF-8";
                return false;
            }
        }
    }
    const pugi::xml_node root = document->document_element();
    if (!Is(root, "museScore")) {
        *error = prefix + "not a MuseScore score: the root element is <" + std::string(root.name()) + ">";
        return false;
    }
    if (!root.child("Score")) {
        *error = prefix + "a MuseScore file without a <Score>";
        return false;
    }
    *tree = std::move(document);
    return true;
}

}  // namespace

bool LooksLikeMuseScore(const std::string& bytes) {
    if (markup::IsZipArchive(bytes)) return ArchiveHoldsScore(bytes);
    return RootName(bytes) == "museScore";
}

bool ReadScore(std::string bytes, const ReadOptions& options, host::Document* document, Score* score,
               std::string* error) {
    Score read;
    read.file = std::move(bytes);
    if (markup::IsZipArchive(read.file)) {
        read.compressed = true;
        std::vector<std::pair<std::string, std::string>> members;
        if (!ReadScoreArchive(read.file, options.limits, &members, error)) return false;
        for (auto& [path, xml] : members) read.members.push_back({path, std::move(xml), nullptr});
    } else {
        read.members.push_back({});
    }
    for (std::size_t m = 0; m < read.members.size(); ++m) {
        std::shared_ptr<pugi::xml_document> tree;
        if (!ParseMember(read.members[m].path, read.Xml(static_cast<int>(m)), &tree, error)) return false;
        const std::string version = tree->document_element().attribute("version").value();
        if (!CheckVersion(version, error)) {
            if (!read.members[m].path.empty()) *error = read.members[m].path + ": " + *error;
            return false;
        }
        if (m == 0) read.version = version;
        read.members[m].tree = std::move(tree);
    }
    host::ScoreLayout layout;
    // A capacity hint: MuseScore spends well over a hundred bytes on a chord
    // or rest, and what is reserved beyond the entries read is never touched.
    std::size_t markup = 0;
    for (std::size_t m = 0; m < read.members.size(); ++m) markup += read.Xml(static_cast<int>(m)).size();
    // At most a million: where memory is committed as it is reserved, a huge
    // file does not claim more than it may need.
    read.entries.reserve(std::min<std::size_t>(markup / 128, std::size_t{1} << 20));
    Reader reader(&read, &layout);
    reader.hasExcerpts = read.members.size() > 1 ||
                         static_cast<bool>(read.members[0].tree->document_element().child("Score").child("Score"));
    for (std::size_t m = 0; m < read.members.size(); ++m) {
        const pugi::xml_node root = read.members[m].tree->document_element().child("Score");
        std::string name = root.child_value("name");
        if (name.empty()) name = read.members[m].path;
        if (!reader.Walk(root, static_cast<int>(m), m > 0, name, error)) {
            if (!read.members[m].path.empty()) *error = read.members[m].path + ": " + *error;
            return false;
        }
    }
    reader.Verses();
    host::Document filled;
    host::LayOut(layout, &filled);
    // The frames' order: staff, measure, layer, as the document keeps them.
    const auto inOrder = [](const EntrySource& a, const EntrySource& b) {
        return a.frame != b.frame ? a.frame < b.frame : a.index < b.index;
    };
    if (!std::is_sorted(read.entries.begin(), read.entries.end(), inOrder))
        std::stable_sort(read.entries.begin(), read.entries.end(), inOrder);
    // Each frame is its entries as read, in order.
    for (std::size_t first = 0; first < read.entries.size();) {
        std::size_t end = first + 1;
        while (end < read.entries.size() && read.entries[end].frame == read.entries[first].frame) ++end;
        std::vector<EntryRecord> frame;
        frame.reserve(end - first);
        for (std::size_t i = first; i < end; ++i) frame.push_back(read.entries[i].original);
        filled.SetFrame(read.entries[first].frame, std::move(frame));
        first = end;
    }
    *document = std::move(filled);
    *score = std::move(read);
    return true;
}

}  // namespace musescore
