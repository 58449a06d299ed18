// The MuseScore reader and writer over random files. A score it accepts is
// written back byte for byte when nothing changed; with one text, one
// syllable and one entry changed it must read again, with the new text in
// every text that showed the old one, the entry as changed where it was
// written, and every other text and entry as it was.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/musescore/score.h"
#include "host/markup/encoding.h"
#include "host/markup/lyrics.h"

namespace {

musescore::ReadOptions Options() {
    musescore::ReadOptions options;
    options.limits.memberBytes = 1 << 20;
    options.limits.totalBytes = 4 << 20;
    options.limits.members = 64;
    return options;
}

// The element a text's first copy stands in: staves of one part share it.
std::pair<int, std::size_t> Element(const musescore::Text& text) {
    const musescore::Copy& copy = text.copies.front();
    return {copy.member, copy.runs.empty() ? 0 : copy.runs.front().begin};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    host::Document document;
    musescore::Score score;
    std::string error;
    if (!musescore::ReadScore(bytes, Options(), &document, &score, &error)) {
        if (error.empty()) fuzz::Fail("ReadScore", "refused without saying why");
        return 0;
    }
    std::string out;
    std::vector<std::string> warnings;
    if (!musescore::WriteScore(score, document, &out, &warnings, &error)) fuzz::Fail("WriteScore", error);
    if (out != bytes) fuzz::Fail("no-op write", "the bytes differ");
    if (!warnings.empty()) fuzz::Fail("no-op write", "warned: " + warnings[0]);

    const std::string added = " & <ü>";
    const musescore::Text* changed = nullptr;
    if (!score.texts.empty()) {
        changed = &score.texts[static_cast<std::size_t>(data[0]) % score.texts.size()];
        if (!markup::SetCurrentText(&document, changed->mapped, changed->mapped.original + added))
            fuzz::Fail("SetCurrentText", "no record for a mapped text");
    }
    // The first syllable of the first verse that can take a change.
    const musescore::Verse* verse = nullptr;
    for (const auto& v : score.verses)
        if (!v.syllables.empty() && !v.copies[0].empty() &&
            markup::SplitVerse(v.original).size() == v.syllables.size()) {
            verse = &v;
            break;
        }
    if (verse != nullptr) {
        const std::string text =
            verse->syllables[0].text + "x" + verse->original.substr(verse->syllables[0].text.size());
        host::Bytes record(text.begin(), text.end());
        record.push_back(0);
        document.SetRecord(host::kTagVerseLyrics, {static_cast<std::int16_t>(verse->number), 0, 0}, record);
    }
    // One entry: its stem frozen or freed, its first note a step up.
    const musescore::EntrySource* entry = nullptr;
    EntryRecord changedEntry{};
    if (!score.entries.empty()) {
        entry = &score.entries[static_cast<std::size_t>(size > 1 ? data[1] : 0) % score.entries.size()];
        std::vector<EntryRecord>* frame = document.Frame(entry->frame);
        if (frame == nullptr || entry->index >= frame->size()) fuzz::Fail("frames", "an entry without its frame");
        EntryRecord& record = (*frame)[entry->index];
        if ((record.flagsA & 0x40000000u) != 0) record.flagsA ^= 0x00000100u;
        if (record.noteCount > 0)
            record.notes[0].displacement = static_cast<std::int16_t>(record.notes[0].displacement + 1);
        changedEntry = record;
    }
    warnings.clear();
    if (!musescore::WriteScore(score, document, &out, &warnings, &error)) fuzz::Fail("WriteScore", error);

    host::Document again;
    musescore::Score reread;
    if (!musescore::ReadScore(out, Options(), &again, &reread, &error))
        fuzz::Fail("read again", "own output refused: " + error);
    if (reread.texts.size() != score.texts.size()) fuzz::Fail("read again", "the number of texts changed");
    const bool writable = changed && markup::IsXmlText(changed->mapped.original + added);
    for (std::size_t i = 0; i < score.texts.size(); ++i) {
        const musescore::Text& was = score.texts[i];
        const bool same = writable && Element(was) == Element(*changed);
        const std::string expected = same ? changed->mapped.original + added : was.mapped.original;
        // A text that reads the same as the changed one may have been linked to it differently.
        if (reread.texts[i].mapped.original != expected && was.mapped.original != changed->mapped.original)
            fuzz::Fail("read again",
                       "\"" + reread.texts[i].mapped.original + "\" where \"" + expected + "\" was written");
    }
    if (reread.entries.size() != score.entries.size()) fuzz::Fail("read again", "the number of entries changed");
    bool pitchWritten = true;
    for (const std::string& warning : warnings)
        if (warning.find("Displacement") != std::string::npos || warning.find("Up/Down") != std::string::npos ||
            warning.find("overlap") != std::string::npos)
            pitchWritten = false;
    for (std::size_t i = 0; i < score.entries.size(); ++i) {
        const musescore::EntrySource& was = score.entries[i];
        const musescore::EntrySource& now = reread.entries[i];
        if (was.frame != now.frame || was.index != now.index) fuzz::Fail("read again", "an entry moved");
        const bool isChanged = entry != nullptr && was.frame == entry->frame && was.index == entry->index;
        if (isChanged && !pitchWritten) continue;
        EntryRecord expected = isChanged ? changedEntry : was.original;
        EntryRecord got = now.original;
        // A free stem has no direction of its own.
        if ((expected.flagsA & 0x00000100u) == 0) {
            expected.flagsA &= ~0x00000001u;
            got.flagsA &= ~0x00000001u;
        }
        // A note a step up may show an accidental now, or no longer.
        for (int n = 0; n < kMaxNotesPerEntry; ++n) {
            expected.notes[n].flags &= ~0x01800000u;
            got.notes[n].flags &= ~0x01800000u;
        }
        if (std::memcmp(&got, &expected, sizeof(EntryRecord)) != 0)
            fuzz::Fail("read again", std::string(isChanged ? "the changed entry" : "an entry") + " of staff " +
                                         std::to_string(was.frame.staff) + ", measure " +
                                         std::to_string(was.frame.measure) + " reads otherwise (flags " +
                                         std::to_string(got.flagsA) + " for " + std::to_string(expected.flagsA) +
                                         ", first note " + std::to_string(got.notes[0].displacement) + " for " +
                                         std::to_string(expected.notes[0].displacement) + ")");
    }
    return 0;
}
