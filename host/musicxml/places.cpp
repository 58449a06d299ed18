#include "host/musicxml/places.h"

#include <algorithm>
#include <map>

#include "host/document/beats.h"
#include "host/markup/lyrics.h"

namespace musicxml {

namespace {

std::string PartName(const Score& score, int part) {
    if (part < 0 || static_cast<std::size_t>(part) >= score.parts.size()) return "part " + std::to_string(part + 1);
    const Part& p = score.parts[static_cast<std::size_t>(part)];
    return "part \"" + (p.name.empty() ? p.id : p.name) + "\"";
}

// A measure as the score prints it: its number attribute ("12a"), else
// its place in the part.
std::string Printed(pugi::xml_node measure, int ordinal) {
    const char* number = measure ? measure.attribute("number").value() : "";
    return *number != 0 ? std::string(number) : std::to_string(ordinal);
}

std::string PrintedMeasure(const Score& score, int part, int ordinal) {
    for (const EntrySource& entry : score.entries)
        if (entry.part == part && entry.frame.measure == ordinal && entry.first)
            return Printed(entry.first.parent(), ordinal);
    return std::to_string(ordinal);
}

// "measure 3" or "measures 3-4".
std::string Measures(const Score& score, int part, int first, int last) {
    if (first == last) return "measure " + PrintedMeasure(score, part, first);
    return "measures " + PrintedMeasure(score, part, first) + "-" + PrintedMeasure(score, part, last);
}

}  // namespace

std::string TextPlace(const Score& score, const host::Document& document, std::uint32_t tag, const host::Key& key,
                      int offset) {
    if (tag == host::kTagVerseLyrics) {
        for (const Verse& verse : score.verses) {
            if (verse.number != key[0] || verse.syllables.empty()) continue;
            if (const Syllable* hit = markup::SyllableAt(verse.syllables, offset))
                return PartName(score, hit->part) + ", " + Measures(score, hit->part, hit->measure, hit->measure);
            const Syllable& first = verse.syllables.front();
            const Syllable& last = verse.syllables.back();
            if (first.part == last.part)
                return PartName(score, first.part) + ", " + Measures(score, first.part, first.measure, last.measure);
            return PartName(score, first.part) + " to " + PartName(score, last.part);
        }
        return {};
    }
    for (const MappedText& text : score.texts) {
        std::uint32_t t = 0;
        host::Key k{};
        if (markup::TextRecordOf(document, text, &t, &k) && t == tag && k == key)
            return std::string(TextKindName(text.source)) + ", " + text.where;
    }
    return {};
}

std::string EntryPlace(const Score& score, const host::FrameKey& frame, std::int32_t position) {
    // A part's staves are numbered from its first; "staff 2" only where it has several.
    int part = -1;
    const EntrySource* here = nullptr;
    std::map<int, std::pair<int, int>> staves;  // part -> first, last staff
    for (const EntrySource& entry : score.entries) {
        if (here == nullptr && entry.frame == frame) here = &entry;
        auto [it, fresh] = staves.try_emplace(entry.part, entry.frame.staff, entry.frame.staff);
        if (!fresh) {
            it->second.first = std::min(it->second.first, static_cast<int>(entry.frame.staff));
            it->second.second = std::max(it->second.second, static_cast<int>(entry.frame.staff));
        }
        if (entry.frame.staff == frame.staff) part = entry.part;
    }
    if (part < 0) return {};
    std::string place = PartName(score, part);
    const auto [first, last] = staves[part];
    if (last > first) place += ", staff " + std::to_string(frame.staff - first + 1);
    const pugi::xml_node measure = here != nullptr && here->first ? here->first.parent() : pugi::xml_node();
    place += ", measure " + Printed(measure, frame.measure) + ", " + host::BeatOf(position);
    if (frame.layer > 0) place += ", voice " + std::to_string(frame.layer + 1);
    return place;
}

}  // namespace musicxml
