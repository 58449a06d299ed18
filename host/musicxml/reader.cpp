// Reading MusicXML: every text kind of the text command is taken from its
// element (docs/musicxml.md has the table), with the element's location in
// the file, and laid out into the document as the JSON reader lays out its
// sections.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>
#include <pugixml.hpp>

#include "host/document/score_layout.h"
#include "host/musicxml/frames.h"
#include "host/markup/lyrics.h"
#include "host/musicxml/score.h"
#include "host/markup/xml_text.h"

namespace musicxml {

namespace {

constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_ws_pcdata_single;

std::int16_t K(int value) { return static_cast<std::int16_t>(value); }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// An element's text: its character data, with CDATA sections, as parsed.
std::string ElementText(pugi::xml_node element) {
    std::string text;
    for (pugi::xml_node child : element.children())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    return text;
}

int IntOr(pugi::xml_node element, int fallback) {
    const std::string text = Trimmed(ElementText(element));
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), ::isdigit)) return fallback;
    return std::stoi(text);
}

int IntAttributeOr(pugi::xml_attribute attribute, int fallback) {
    const std::string text = Trimmed(attribute.value());
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), ::isdigit)) return fallback;
    return std::stoi(text);
}

// A direction that says where to go on: its playback says so, it carries a
// segno or coda sign, or its words read as a jump or an end.
bool IsRepeatDirection(pugi::xml_node direction) {
    const pugi::xml_node sound = direction.child("sound");
    for (const char* meaning : {"dacapo", "dalsegno", "fine", "tocoda", "coda", "segno"})
        if (sound.attribute(meaning)) return true;
    for (pugi::xml_node type : direction.children("direction-type"))
        if (type.child("segno") || type.child("coda")) return true;
    return false;
}

bool IsRepeatWords(const std::string& words) {
    const std::string text = Lower(Trimmed(words));
    for (const char* start : {"d.c.", "d.s.", "d. c.", "d. s.", "da capo", "dal segno", "to coda", "fine"})
        if (text.rfind(start, 0) == 0) return true;
    return text == "coda" || text == "segno";
}

class Reader : public MeasureVisitor {
public:
    std::vector<PartStaves> partStaves;  // in score order, for the frames
    std::size_t noteCount = 0;           // <note> elements in the parts

    Reader(Score* score, host::ScoreLayout* layout) : score_(*score), layout_(*layout) {}

    bool Run(pugi::xml_node root, std::string* error) {
        const pugi::xml_node partList = root.child("part-list");
        if (!partList) {
            *error = "not a MusicXML score: <score-partwise> has no <part-list>";
            return false;
        }
        Credits(root);
        Header(root);
        std::map<std::string, pugi::xml_node> parts;
        for (pugi::xml_node part : root.children("part"))
            if (!parts.emplace(part.attribute("id").value(), part).second)
                score_.notes.push_back("a second <part> of id \"" + std::string(part.attribute("id").value()) +
                                       "\"; only the first is read");
        int staff = 1;
        int group = 1;
        std::set<std::string> readParts;
        for (pugi::xml_node item : partList.children()) {
            if (std::string(item.name()) == "part-group") {
                if (std::string(item.attribute("type").value()) == "start") Group(item, &group);
                continue;
            }
            if (std::string(item.name()) != "score-part") continue;
            const std::string id = item.attribute("id").value();
            score_.parts.push_back({id, ElementText(item.child("part-name"))});
            const auto found = parts.find(id);
            pugi::xml_node part = found == parts.end() ? pugi::xml_node() : found->second;
            // Two score-parts of one id would read the same music twice, and a
            // change to one copy would show in the other.
            if (part && !readParts.insert(id).second) {
                score_.notes.push_back("part id " + id + " is listed twice; its music is read for the first only");
                part = pugi::xml_node();
            }
            const int staves = StaffCount(part);
            for (int s = 0; s < staves; ++s)
                if (Fits(staff + s, "staves")) Staff(item, staff + s);
            // Staff numbers are 16-bit: a part that reaches past the last one
            // is not searched for notes (the staves' note says so).
            if (part && staff + staves - 1 <= static_cast<int>(kLongest)) {
                partStaves.push_back({part, static_cast<int>(score_.parts.size()) - 1, staff, staves});
            } else if (part) {
                Fits(staff + staves - 1, "staves");
            }
            staff += staves;
        }
        ShownNames(partList, staff);
        std::set<std::string> listed;
        for (const Part& part : score_.parts) listed.insert(part.id);
        for (const auto& [id, part] : parts)
            if (listed.count(id) == 0)
                score_.notes.push_back("<part id=\"" + id + "\"> has no <score-part> in the part list; it is not read");
        return true;
    }

    // The measures' texts come as the frames walk them; then the verses
    // are put together.
    bool Measure(const PartStaves&, int ordinal) override {
        if (!Fits(ordinal, "measures in a part")) return false;
        layout_.measures = std::max(layout_.measures, ordinal);
        return true;
    }

    void Lyric(pugi::xml_node lyric, const PartStaves& part, int ordinal) override {
        std::string label = lyric.attribute("number").value();
        if (label.empty()) label = "1";
        bool hyphenAfter = false;
        for (pugi::xml_node item : lyric.children()) {
            const std::string name = item.name();
            if (name == "syllabic") {
                const std::string syllabic = Trimmed(ElementText(item));
                hyphenAfter = syllabic == "begin" || syllabic == "middle";
            } else if (name == "text") {
                Syllable syllable;
                syllable.text = ElementText(item);
                syllable.hyphenAfter = hyphenAfter;
                syllable.part = part.index;
                syllable.measure = ordinal;
                // An empty syllable cannot take a new text: a verse with
                // one is read, but left as it is.
                if (!Locate(item, &syllable.span)) syllable.span = Span{};
                if (verses_.find(label) == verses_.end()) verseLabels_.push_back(label);
                verses_[label].push_back(syllable);
                hyphenAfter = false;
            } else if (name == "elision") {
                hyphenAfter = false;
            }
        }
    }

    void Other(pugi::xml_node item, const PartStaves& part, int ordinal) override {
        const char* name = item.name();
        if (std::strcmp(name, "direction") == 0) {
            const int staff = std::clamp(IntOr(item.child("staff"), 1), 1, part.staves);
            if (!Fits(part.firstStaff + staff - 1, "staves")) return;
            Direction(item, part.firstStaff + staff - 1, ordinal, Where(part.index, item.parent(), ordinal));
        } else if (std::strcmp(name, "barline") == 0) {
            Ending(item.child("ending"), ordinal, Where(part.index, item.parent(), ordinal));
        }
    }

private:
    Score& score_;
    host::ScoreLayout& layout_;
    static constexpr std::size_t kLongest = markup::kLongestText;
    std::set<std::string> tooMany_;
    std::map<int, int> pageIndex_;
    std::map<std::pair<int, int>, int> measureTextIndex_;
    std::map<int, std::size_t> endingAt_;  // measure -> index in score_.texts
    std::vector<std::string> verseLabels_;
    std::map<std::string, std::vector<Syllable>> verses_;

    bool Locate(pugi::xml_node element, Span* span) const {
        const std::ptrdiff_t offset = element.offset_debug();
        return offset >= 0 && markup::ContentSpan(score_.Xml(), static_cast<std::size_t>(offset), span);
    }

    // Records the element as the source of a text; an absent or empty one
    // has nothing the plug-in could change. The plug-in's lengths and
    // offsets are 16-bit: a longer text is left out of the search (and so
    // never written), with a note.
    std::string Map(TextSource source, host::Key key, pugi::xml_node element, const std::string& where) {
        if (!element) return {};
        std::string text = ElementText(element);
        if (text.size() > kLongest) {
            score_.notes.push_back(where + ": a text of " + markup::TooLongForSearch(text.size()));
            return {};
        }
        Span span;
        if (!text.empty() && Locate(element, &span)) score_.texts.push_back({source, key, text, {span}, where});
        return text;
    }

    // Keys are 16-bit numbers: what lies beyond them is not searched, said once a kind.
    bool Fits(int value, const char* what) {
        if (value <= static_cast<int>(kLongest)) return true;
        if (tooMany_.insert(what).second)
            score_.notes.push_back(std::string("more than ") + std::to_string(kLongest) + " " + what +
                                   ": the rest are not searched");
        return false;
    }

    std::string Where(int part, pugi::xml_node measure, int ordinal) const {
        std::string where = "part \"" + score_.parts[static_cast<std::size_t>(part)].name + "\" (" +
                            score_.parts[static_cast<std::size_t>(part)].id + ")";
        if (measure) {
            const std::string number = measure.attribute("number").value();
            where += ", measure " + (number.empty() ? std::to_string(ordinal) : number);
        }
        return where;
    }

    void Credits(pugi::xml_node root) {
        for (pugi::xml_node credit : root.children("credit")) {
            const int page = IntAttributeOr(credit.attribute("page"), 1);
            for (pugi::xml_node words : credit.children("credit-words")) {
                const int index = pageIndex_[page]++;
                if (!Fits(page, "pages") || !Fits(index + 1, "credits on a page")) continue;
                const std::string text =
                    Map(TextSource::PageText, {K(page), K(index), 0}, words, "credit on page " + std::to_string(page));
                layout_.pageTexts.push_back({page, text});
            }
        }
    }

    // The score's title, numbers, creators and rights: what a reader shows
    // as its title, composer and copyright, and builds the title from when
    // there are no credits. Page texts of all pages (page 0), after any
    // credit there, in this order.
    void Header(pugi::xml_node root) {
        const pugi::xml_node work = root.child("work");
        const pugi::xml_node identification = root.child("identification");
        std::vector<std::pair<pugi::xml_node, std::string>> items = {
            {work.child("work-title"), "work title"},
            {work.child("work-number"), "work number"},
            {root.child("movement-title"), "movement title"},
            {root.child("movement-number"), "movement number"},
        };
        for (pugi::xml_node creator : identification.children("creator")) {
            const std::string type = creator.attribute("type").value();
            items.emplace_back(creator, type.empty() ? "creator" : "creator (" + type + ")");
        }
        for (pugi::xml_node rights : identification.children("rights")) items.emplace_back(rights, "rights");
        for (const auto& [element, what] : items) {
            if (!element) continue;
            const int index = pageIndex_[0]++;
            if (!Fits(index + 1, "credits on a page")) continue;
            layout_.pageTexts.push_back({0, Map(TextSource::PageText, {0, K(index), 0}, element, what)});
        }
    }

    // A part's name as readers show it: the <display-text> pieces of its
    // <part-name-display> and <part-abbreviation-display>. They follow the
    // score's staves as staves of their own, the n-th pieces of a part's two
    // displays sharing one.
    void ShownNames(pugi::xml_node partList, int staff) {
        for (pugi::xml_node scorePart : partList.children("score-part")) {
            std::vector<pugi::xml_node> full;
            std::vector<pugi::xml_node> abbreviated;
            for (pugi::xml_node text : scorePart.child("part-name-display").children("display-text"))
                full.push_back(text);
            for (pugi::xml_node text : scorePart.child("part-abbreviation-display").children("display-text"))
                abbreviated.push_back(text);
            const std::string where = "part " + std::string(scorePart.attribute("id").value()) + ", as shown";
            for (std::size_t i = 0; i < std::max(full.size(), abbreviated.size()); ++i, ++staff) {
                if (!Fits(staff, "staves")) return;
                host::ScoreLayout::Names names;
                names.number = staff;
                if (i < full.size()) names.full = Map(TextSource::StaffFull, {K(staff), 0, 0}, full[i], where);
                if (i < abbreviated.size())
                    names.abbreviated = Map(TextSource::StaffAbbreviated, {K(staff), 0, 0}, abbreviated[i], where);
                layout_.staves.push_back(names);
            }
        }
    }

    void Group(pugi::xml_node partGroup, int* number) {
        const pugi::xml_node full = partGroup.child("group-name");
        const pugi::xml_node abbreviated = partGroup.child("group-abbreviation");
        if ((!full && !abbreviated) || !Fits(*number, "part groups")) return;
        const std::string where = "group " + std::string(partGroup.attribute("number").value());
        host::ScoreLayout::Names names;
        names.system = 0;
        names.number = *number;
        names.full = Map(TextSource::GroupFull, {0, K(*number), 0}, full, where);
        names.abbreviated = Map(TextSource::GroupAbbreviated, {0, K(*number), 0}, abbreviated, where);
        layout_.groups.push_back(names);
        ++*number;
    }

    // The part's staves; its notes are counted on the way, for the frames.
    int StaffCount(pugi::xml_node part) {
        int staves = 1;
        for (pugi::xml_node measure : part.children("measure")) {
            for (pugi::xml_node item = measure.first_child(); item; item = item.next_sibling()) {
                const char* name = item.name();
                if (name[0] == 'n' && std::strcmp(name, "note") == 0)
                    ++noteCount;
                else if (std::strcmp(name, "attributes") == 0)
                    staves = std::max(staves, std::min(IntOr(item.child("staves"), 1), 64));
            }
        }
        return staves;
    }

    // Every staff of a part shows the part's names.
    void Staff(pugi::xml_node scorePart, int number) {
        const std::string where = "part " + std::string(scorePart.attribute("id").value());
        host::ScoreLayout::Names names;
        names.number = number;
        names.full = Map(TextSource::StaffFull, {K(number), 0, 0}, scorePart.child("part-name"), where);
        names.abbreviated =
            Map(TextSource::StaffAbbreviated, {K(number), 0, 0}, scorePart.child("part-abbreviation"), where);
        layout_.staves.push_back(names);
    }

    void Direction(pugi::xml_node direction, int staff, int measure, const std::string& where) {
        const bool repeat = IsRepeatDirection(direction);
        for (pugi::xml_node type : direction.children("direction-type")) {
            for (pugi::xml_node item : type.children()) {
                const std::string name = item.name();
                if (name == "rehearsal") {
                    const int index = measureTextIndex_[{staff, measure}]++;
                    if (!Fits(index + 1, "rehearsal marks in one measure")) continue;
                    const std::string text =
                        Map(TextSource::MeasureText, {K(staff), K(measure), K(index)}, item, where);
                    layout_.measureTexts.push_back({staff, measure, text});
                } else if (name == "words" && (repeat || IsRepeatWords(ElementText(item)))) {
                    const int number = static_cast<int>(layout_.textRepeats.size()) + 1;
                    if (!Fits(number, "text repeats")) continue;
                    layout_.textRepeats.push_back(
                        {number, Map(TextSource::TextRepeat, {K(number), 0, 0}, item, where)});
                } else if (name == "words") {
                    const int number = static_cast<int>(layout_.expressions.size()) + 1;
                    if (!Fits(number, "text expressions")) continue;
                    const std::string text = Map(TextSource::Expression, {K(number), 0, 0}, item, where);
                    layout_.expressions.push_back({number, text, host::Bytes(12, 0)});
                }
            }
        }
    }

    // One ending record a measure: the parts repeat the same ending, and a
    // change to it is written to each copy that read the same.
    void Ending(pugi::xml_node ending, int measure, const std::string& where) {
        if (!ending || std::string(ending.attribute("type").value()) != "start") return;
        const std::string text = ElementText(ending);
        const auto found = endingAt_.find(measure);
        if (found != endingAt_.end()) {
            MappedText& first = score_.texts[found->second];
            Span span;
            if (first.original == text && Locate(ending, &span)) first.spans.push_back(span);
            return;
        }
        for (const auto& existing : layout_.endings)
            if (existing.number == measure) return;  // an empty first one: nothing to share
        const std::size_t before = score_.texts.size();
        layout_.endings.push_back({measure, Map(TextSource::Ending, {K(measure), 0, 0}, ending, where)});
        if (score_.texts.size() > before) endingAt_[measure] = before;
    }

    static int VerseNumber(const std::string& label) {
        const std::string text = Trimmed(label);
        if (text.empty() || text.size() > 4 || !std::all_of(text.begin(), text.end(), ::isdigit)) return 0;
        const int number = std::stoi(text);
        return number <= 1000 ? number : 0;
    }

public:
    // Numbered verses keep their number (1 to 1000, the blocks the lyrics
    // walk visits); others take the lowest free numbers.
    void Verses() {
        std::set<int> taken;
        for (const std::string& label : verseLabels_)
            if (const int number = VerseNumber(label); number > 0) taken.insert(number);
        std::set<int> used;
        int next = 1;
        for (const std::string& label : verseLabels_) {
            int number = VerseNumber(label);
            if (number == 0 || used.count(number) > 0) {
                while (next <= 1000 && (taken.count(next) > 0 || used.count(next) > 0)) ++next;
                if (next > 1000) {
                    score_.notes.push_back("more than 1000 verses: lyric number \"" + label +
                                           "\" and those after it are not searched");
                    break;
                }
                number = next;
            }
            used.insert(number);
            Verse verse;
            verse.number = number;
            verse.label = label;
            verse.syllables = std::move(verses_[label]);
            verse.original = markup::JoinVerse(verse.syllables);
            if (verse.original.size() > kLongest) {
                score_.notes.push_back("verse " + std::to_string(number) + ": " +
                                       markup::TooLongForSearch(verse.original.size()));
                continue;
            }
            layout_.lyrics[0].push_back({number, verse.original});
            score_.verses.push_back(std::move(verse));
        }
    }
};

bool DeclaresEntities(pugi::xml_node document) {
    for (pugi::xml_node child : document.children())
        if (child.type() == pugi::node_doctype && std::string(child.value()).find("<!ENTITY") != std::string::npos)
            return true;
    return false;
}

}  // namespace

bool LooksLikeMusicXml(const std::string& bytes) {
    if (markup::IsZipArchive(bytes)) return true;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) return true;
    // Big-endian UTF-32: markup too, so that it is refused as what it is.
    if (bytes.compare(0, 4, std::string("\0\0\0<", 4)) == 0 || bytes.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0)
        return true;
    if (bytes.size() >= 2 && (bytes[0] == 0 || bytes[1] == 0)) return bytes[0] == '<' || bytes[1] == '<';
    std::size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    at = bytes.find_first_not_of(" \t\r\n", at);
    return at != std::string::npos && bytes[at] == '<';
}

bool ReadScore(std::string bytes, const ReadOptions& options, host::Document* document, Score* score,
               std::string* error) {
    Score read;
    read.file = std::move(bytes);
    const std::string* text = &read.file;
    if (markup::IsZipArchive(read.file)) {
        read.compressed = true;
        if (!markup::ReadArchive(read.file, options.limits, &read.rootPath, &read.xml, error)) return false;
        text = &read.xml;
    }
    std::string decoded;
    if (!markup::DecodeToUtf8(*text, &read.encoding, &decoded, error)) {
        if (read.compressed) *error = read.rootPath + ": " + *error;
        return false;
    }
    if (!read.SelfDecoded()) read.xml = std::move(decoded);
    const std::string& source = read.Xml();

    // Kept with the score: a changed note's children are found in it when written.
    const auto tree = std::make_shared<pugi::xml_document>();
    pugi::xml_document& xml = *tree;
    const pugi::xml_parse_result parsed =
        xml.load_buffer(source.data(), source.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        std::size_t line = 0;
        std::size_t column = 0;
        markup::LineAndColumn(source, static_cast<std::size_t>(parsed.offset), &line, &column);
        *error = (read.compressed ? read.rootPath + ": " : std::string()) + "not well-formed XML at line " +
                 std::to_string(line) + ", column " + std::to_string(column) + ": " + parsed.description();
        return false;
    }
    bool hasDoctype = false;
    for (pugi::xml_node child : xml.children()) hasDoctype = hasDoctype || child.type() == pugi::node_doctype;
    std::size_t offset = 0;
    std::string what;
    if (!markup::CheckWellFormed(source, hasDoctype, &offset, &what)) {
        std::size_t line = 0;
        std::size_t column = 0;
        markup::LineAndColumn(source, offset, &line, &column);
        *error = (read.compressed ? read.rootPath + ": " : std::string()) + "not well-formed XML at line " +
                 std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
        return false;
    }
    if (DeclaresEntities(xml)) {
        *error = "the DOCTYPE declares entities of its own; they are never expanded, so the score is refused";
        return false;
    }
    const pugi::xml_node root = xml.document_element();
    const std::string rootName = root.name();
    if (rootName == "score-timewise") {
        *error = "a timewise MusicXML score: only partwise scores (<score-partwise>) are read";
        return false;
    }
    if (rootName != "score-partwise") {
        *error = "not a MusicXML score: the root element is <" + rootName + ">, not <score-partwise>";
        return false;
    }
    host::ScoreLayout layout;
    Reader reader(&read, &layout);
    if (!reader.Run(root, error)) return false;
    host::Document filled;
    ReadFrames(reader.partStaves, reader.noteCount, &reader, &filled, &read);
    reader.Verses();
    host::LayOut(layout, &filled);
    // Texts past the last 16-bit text block number have no block: they are
    // left out of the search, never given another text's number.
    if (filled.TextBlocksFull()) {
        const auto unkeyed = std::stable_partition(read.texts.begin(), read.texts.end(), [&](const MappedText& text) {
            return markup::IsStored(filled, text);
        });
        if (unkeyed != read.texts.end())
            read.notes.push_back(
                "more than " + std::to_string(host::Document::kMaxTextBlocks) +
                " credits, rehearsal marks, staff and group names: " + std::to_string(read.texts.end() - unkeyed) +
                " of them, such as " + unkeyed->where + ", are not searched");
        read.texts.erase(unkeyed, read.texts.end());
    }
    read.tree = tree;
    *document = std::move(filled);
    *score = std::move(read);
    return true;
}

}  // namespace musicxml
