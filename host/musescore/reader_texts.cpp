// The walk over a score's texts: frames, meta tags, instrument names and
// each text element, with the excerpts' copies linked to the score's.
#include "host/musescore/walk.h"

namespace musescore::walk {

bool Reader::Walk(pugi::xml_node root, int member, bool excerpt, const std::string& name, std::string* error) {
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

// The element's runs; false (with a note) when it has no text to search.
bool Reader::RunsOf(pugi::xml_node element, Copy* copy, std::string* plain, const std::string& where) {
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
        score_.notes.push_back(Prefix(where) + "a text of " + markup::TooLongForSearch(plain->size()));
        return false;
    }
    return !plain->empty();
}

// A text met in the walk. In the score it becomes a text of its own, keyed
// by its kind; in an excerpt, a copy of the score's text that has the same
// link (kind, place, text).
void Reader::Found(TextSource source, pugi::xml_node element, const std::string& link, const std::string& where,
                   int staff, int measure) {
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

// Long and short instrument names, for every staff of the part. A track
// name that reads as the long name is the same name and changes with it.
void Reader::Names(pugi::xml_node part, int index, const std::vector<StaffInfo>& staves) {
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
                if (text.mapped.source == TextSource::StaffAbbreviated) layoutNames.abbreviated = text.mapped.original;
            }
            layout_.staves.push_back(layoutNames);
        }
    }
}

void Reader::FrameTexts(pugi::xml_node frame, int depth) {
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

}  // namespace musescore::walk
