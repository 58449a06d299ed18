#include "host/musescore/places.h"

#include "host/document/beats.h"

namespace musescore {

namespace {

// "staff 2 (Piano)", as the reader's messages name a staff (0-based here).
std::string StaffName(const Score& score, int staff) {
    std::string name = "staff " + std::to_string(staff + 1);
    if (staff >= 0 && static_cast<std::size_t>(staff) < score.staves.size() &&
        !score.staves[static_cast<std::size_t>(staff)].name.empty())
        name += " (" + score.staves[static_cast<std::size_t>(staff)].name + ")";
    return name;
}

std::string Measures(const Score& score, int first, int last) {
    const int a = score.MeasureNumber(first);
    const int b = score.MeasureNumber(last);
    return a == b ? "measure " + std::to_string(a) : "measures " + std::to_string(a) + "-" + std::to_string(b);
}

}  // namespace

std::string TextPlace(const Score& score, const host::Document& document, std::uint32_t tag, const host::Key& key,
                      int offset) {
    if (tag == host::kTagVerseLyrics) {
        for (const Verse& verse : score.verses) {
            if (verse.number != key[0] || verse.syllables.empty()) continue;
            if (const markup::Syllable* hit = markup::SyllableAt(verse.syllables, offset))
                return StaffName(score, hit->part) + ", " + Measures(score, hit->measure, hit->measure);
            const markup::Syllable& first = verse.syllables.front();
            const markup::Syllable& last = verse.syllables.back();
            if (first.part == last.part)
                return StaffName(score, first.part) + ", " + Measures(score, first.measure, last.measure);
            return StaffName(score, first.part) + " to " + StaffName(score, last.part);
        }
        return {};
    }
    for (const Text& text : score.texts) {
        std::uint32_t t = 0;
        host::Key k{};
        if (!markup::TextRecordOf(document, text.mapped, &t, &k) || t != tag || k != key) continue;
        if (text.mapped.source == markup::TextSource::StaffFull) return "instrument name, " + text.mapped.where;
        if (text.mapped.source == markup::TextSource::StaffAbbreviated)
            return "short instrument name, " + text.mapped.where;
        return text.mapped.where;
    }
    return {};
}

std::string EntryPlace(const Score& score, const host::FrameKey& frame, std::int32_t position) {
    if (frame.staff < 1 || static_cast<std::size_t>(frame.staff) > score.staves.size()) return {};
    std::string place = StaffName(score, frame.staff - 1) + ", measure " +
                        std::to_string(score.MeasureNumber(frame.measure)) + ", " + host::BeatOf(position);
    if (frame.layer > 0) place += ", voice " + std::to_string(frame.layer + 1);
    return place;
}

}  // namespace musescore
