// Walking a MuseScore score's markup: the reader's own values (numbers,
// fractions, durations, keys, notes as written) and the walk over the score
// and its excerpts, which reader_texts.cpp (texts, names, verses) and
// reader_music.cpp (measures, chords, rests, syllables) carry out.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <string_view>

#include "host/document/score_layout.h"
#include "host/markup/entry_bits.h"
#include "host/markup/lyrics.h"
#include "host/markup/xml_text.h"
#include "host/musescore/pitch.h"
#include "host/musescore/score.h"

namespace musescore::walk {

using markup::TextSource;

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype;
constexpr std::size_t kLongest = markup::kLongestText;

inline std::int16_t K(int value) { return static_cast<std::int16_t>(value); }

inline bool Is(pugi::xml_node node, const char* name) { return std::strcmp(node.name(), name) == 0; }

inline std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The same trimming without a copy: numbers are read for every note.
inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline std::string_view TrimmedView(const char* text) {
    while (IsBlank(*text)) ++text;
    const char* end = text + std::strlen(text);
    while (end > text && IsBlank(end[-1])) --end;
    return {text, static_cast<std::size_t>(end - text)};
}

// One to six digits; the fallback for anything else.
inline int DigitsOr(std::string_view text, int fallback) {
    if (text.empty() || text.size() > 6) return fallback;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return fallback;
        value = value * 10 + (c - '0');
    }
    return value;
}

inline int IntOr(pugi::xml_node element, int fallback) {
    return DigitsOr(TrimmedView(element.child_value()), fallback);
}

// The first element's name, past the declaration, comments and a byte order mark.
inline std::string RootName(const std::string& bytes) {
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
inline bool CheckVersion(const std::string& version, std::string* error) {
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

inline const char* KindName(TextSource source) {
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

inline int SignedOr(pugi::xml_node element, int fallback) {
    std::string_view text = TrimmedView(element.child_value());
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    const int value = DigitsOr(text, -1);
    if (value < 0) return fallback;
    return negative ? -value : value;
}

// A text element's kind as a musician says it, for places and messages.
inline std::string Label(const char* element) {
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
inline Fraction ParseFraction(const std::string& text, Fraction fallback) {
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
inline Fraction DurationOf(std::string_view type, int dots, pugi::xml_node length, const Fraction& measure) {
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

inline std::array<std::int8_t, 7> KeyAlterations(int fifths) {
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

inline NoteXml ReadNote(pugi::xml_node note) {
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

inline pitch::Spelling SpellingOf(const NoteXml& note, int chromatic, int diatonic) {
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

    bool Walk(pugi::xml_node root, int member, bool excerpt, const std::string& name, std::string* error);

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
                                       markup::TooLongForSearch(verse.original.size()));
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
    bool RunsOf(pugi::xml_node element, Copy* copy, std::string* plain, const std::string& where);

    // A text met in the walk. In the score it becomes a text of its own, keyed
    // by its kind; in an excerpt, a copy of the score's text that has the same
    // link (kind, place, text).
    void Found(TextSource source, pugi::xml_node element, const std::string& link, const std::string& where,
               int staff = -1, int measure = 0);

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
    void Names(pugi::xml_node part, int index, const std::vector<StaffInfo>& staves);

    void FrameTexts(pugi::xml_node frame, int depth = 0);

    bool StaffMusic(pugi::xml_node staffElement, int staffIndex, std::string* error);

    bool Measure(pugi::xml_node measureElement, int staff, int measure, bool picture, StaffState* state,
                 std::string* error);

    // System texts (tempo, system text, rehearsal marks, jumps, markers,
    // voltas) stand over the top staff of the score and of each excerpt: their
    // copies are linked by measure alone.
    bool Element(pugi::xml_node element, int staff, int measure, Voice* voice, StaffState* state, bool picture,
                 std::string* error);

    // A chord or rest: an entry of the frame in the score; in an excerpt, a
    // copy of the score's entry at the same place with the same pitches.
    bool Entry(pugi::xml_node element, int staff, int measure, Voice* voice, const StaffState& state,
               std::string* error);

    void Lyric(pugi::xml_node lyric, int staff, int measure, int voice, int entry);
};

}  // namespace musescore::walk
