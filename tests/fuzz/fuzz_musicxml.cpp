// The MusicXML reader and writer over random files. A score it accepts is
// written back byte for byte when nothing changed; with one text and one
// syllable changed it must read again, with the new texts where the old
// ones stood and every other mapped text as it was. A plain score is then
// packed into an .mxl of several members (its place among them, and stored
// or deflated, as the input picks) and goes through the same, the other
// members copied as they were.
#include <zip.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/markup/encoding.h"
#include "host/markup/lyrics.h"
#include "host/musicxml/frames.h"
#include "host/musicxml/score.h"

namespace {

// Small limits keep an archive that claims much from costing much.
musicxml::ReadOptions Options() {
    musicxml::ReadOptions options;
    options.limits.memberBytes = 1 << 20;
    options.limits.totalBytes = 4 << 20;
    options.limits.members = 64;
    return options;
}

const markup::MappedText* At(const musicxml::Score& score, std::size_t begin) {
    for (const auto& text : score.texts)
        if (!text.spans.empty() && text.spans[0].begin == begin) return &text;
    return nullptr;
}

struct Member {
    std::string name;
    std::string bytes;
    bool stored = false;
};

std::string Pack(const std::vector<Member>& members) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    zip_source_keep(source);
    for (const Member& member : members) {
        zip_source_t* data = zip_source_buffer(archive, member.bytes.data(), member.bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, member.name.c_str(), data, 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 member.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    zip_close(archive);
    std::string out;
    zip_stat_t stat;
    if (zip_source_open(source) == 0 && zip_source_stat(source, &stat) == 0) {
        out.resize(static_cast<std::size_t>(stat.size));
        zip_source_read(source, out.data(), stat.size);
        zip_source_close(source);
    }
    zip_source_free(source);
    zip_error_fini(&error);
    return out;
}

// Every member's name, method and unpacked bytes, in order.
std::vector<Member> Unpack(const std::string& bytes) {
    std::vector<Member> members;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    zip_error_fini(&error);
    if (archive == nullptr) {
        zip_source_free(source);
        fuzz::Fail("archive", "the written archive cannot be opened");
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        Member member{stat.name, std::string(static_cast<std::size_t>(stat.size), '\0'), stat.comp_method == 0};
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (file == nullptr || zip_fread(file, member.bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
            fuzz::Fail("archive", "a written member cannot be unpacked: " + member.name);
        zip_fclose(file);
        members.push_back(std::move(member));
    }
    zip_discard(archive);
    return members;
}

// Reads, writes unchanged, changes and reads again; the changed output, or
// empty when the input is refused.
std::string Check(const std::string& bytes, const std::uint8_t* data, std::size_t size);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string out = Check(bytes, data, size);
    if (out.empty() || markup::IsZipArchive(bytes) || size < 4) return 0;
    // As the score of an archive: after the container, between members or last.
    const std::uint8_t pick = data[size - 1];
    std::vector<Member> members = {{"META-INF/container.xml",
                                    "<container><rootfiles><rootfile full-path=\"music/score.xml\"/></rootfiles>"
                                    "</container>",
                                    (pick & 8) != 0},
                                   {"pictures/a.png", bytes.substr(0, size / 2), true},
                                   {"pictures/b.png", bytes.substr(size / 2), false}};
    const std::size_t place = (pick & 3) % 4;
    members.insert(members.begin() + static_cast<std::ptrdiff_t>(place),
                   Member{"music/score.xml", bytes, (pick & 4) != 0});
    const std::string archive = Pack(members);
    const std::string changed = Check(archive, data, size);
    if (changed.empty()) fuzz::Fail("archive", "a score read alone is refused in an archive");
    const std::vector<Member> written = Unpack(changed);
    if (written.size() != members.size()) fuzz::Fail("archive", "members lost or added");
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (written[i].name != members[i].name) fuzz::Fail("archive", "member order changed");
        if (members[i].name == "music/score.xml") {
            if (written[i].bytes != out) fuzz::Fail("archive", "the score differs from the plain score's write");
        } else if (written[i].bytes != members[i].bytes || written[i].stored != members[i].stored) {
            fuzz::Fail("archive", "another member changed: " + members[i].name);
        }
    }
    return 0;
}

namespace {

std::string Check(const std::string& bytes, const std::uint8_t* data, std::size_t size) {
    host::Document document;
    musicxml::Score score;
    std::string error;
    if (!musicxml::ReadScore(bytes, Options(), &document, &score, &error)) {
        if (error.empty()) fuzz::Fail("ReadScore", "refused without saying why");
        return {};
    }
    std::string out;
    std::vector<std::string> warnings;
    if (!musicxml::WriteScore(score, document, &out, &warnings, &error)) fuzz::Fail("WriteScore", error);
    if (out != bytes) fuzz::Fail("no-op write", "the bytes differ");
    if (!warnings.empty()) fuzz::Fail("no-op write", "warned: " + warnings[0]);

    // One text changed (the one the input's first byte picks) and the first
    // syllable of the first verse that has one.
    const std::string added = " & <ü>";
    const markup::MappedText* changed = nullptr;
    if (!score.texts.empty()) {
        changed = &score.texts[static_cast<std::size_t>(data[0]) % score.texts.size()];
        if (!markup::SetCurrentText(&document, *changed, changed->original + added))
            fuzz::Fail("SetCurrentText", "no record for a mapped text");
    }
    const musicxml::Verse* verse = nullptr;
    for (const auto& v : score.verses)
        if (!v.syllables.empty() && v.syllables[0].span.end != 0 &&
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
    // And a scan's change to one entry: its stem turned over, its first note
    // a step up, and as the input picks, its beams broken or joined, its
    // first note's accidental and tie changed.
    const musicxml::EntrySource* entry = nullptr;
    bool beamsChanged = false;
    if (!score.entries.empty()) {
        entry = &score.entries[static_cast<std::size_t>(size > 1 ? data[1] : 0) % score.entries.size()];
        std::vector<EntryRecord>* frame = document.Frame(entry->frame);
        if (frame == nullptr || entry->index >= frame->size()) fuzz::Fail("frames", "an entry without its frame");
        EntryRecord& record = (*frame)[entry->index];
        record.flagsA ^= 0x00000101u;
        const std::uint8_t pick = size > 2 ? data[2] : 0;
        beamsChanged = (pick & 3) != 0;
        if ((pick & 1) != 0) record.flagsA ^= 0x00000800u;  // Beam/Beat
        if ((pick & 2) != 0) record.flagsA ^= 0x00000400u;  // Sec Beam
        if (record.noteCount > 0) {
            record.notes[0].displacement = static_cast<std::int16_t>(record.notes[0].displacement + 1);
            if ((pick & 4) != 0) record.notes[0].raiseLower = static_cast<std::int16_t>((pick >> 4) % 5 - 2);
            if ((pick & 8) != 0) record.notes[0].flags ^= 0x40800000u;  // Tie Start, (Accidental)
            // And a later note of a chord: its tie end and its pitch, so that
            // the writer must find the same note the reader counted.
            const int n = (size > 3 ? data[3] : 0) % record.noteCount;
            if ((pick & 0x40) != 0 && n > 0) {
                record.notes[n].flags ^= 0x20000000u;  // Tie End
                record.notes[n].displacement = static_cast<std::int16_t>(record.notes[n].displacement - 1);
            }
        }
    }
    warnings.clear();
    if (!musicxml::WriteScore(score, document, &out, &warnings, &error)) fuzz::Fail("WriteScore", error);

    host::Document again;
    musicxml::Score reread;
    if (!musicxml::ReadScore(out, Options(), &again, &reread, &error))
        fuzz::Fail("read again", "own output refused: " + error);
    // Every entry but the changed one reads as it did.
    if (reread.entries.size() != score.entries.size()) fuzz::Fail("read again", "the number of entries changed");
    for (std::size_t i = 0; i < score.entries.size(); ++i) {
        const musicxml::EntrySource& was = score.entries[i];
        if (entry != nullptr && was.frame == entry->frame && was.index == entry->index) continue;
        const musicxml::EntrySource* now = nullptr;
        for (const auto& candidate : reread.entries)
            if (candidate.frame == was.frame && candidate.index == was.index) now = &candidate;
        if (now == nullptr) fuzz::Fail("read again", "an entry that was not changed is gone");
        // Breaking or joining beams changes the neighbours' beams too, so
        // their reading of where beams break may follow.
        EntryRecord expected = was.original;
        EntryRecord got = now->original;
        if (beamsChanged) {
            expected.flagsA &= ~0x00000C00u;
            got.flagsA &= ~0x00000C00u;
        }
        // A new pitch may give the later notes of its staff's measure the
        // accidental a reader now needs; nothing else of them changes.
        if (entry != nullptr && was.frame.staff == entry->frame.staff && was.frame.measure == entry->frame.measure) {
            for (int n = 0; n < kMaxNotesPerEntry; ++n) {
                expected.notes[n].flags &= ~0x01000000u;
                got.notes[n].flags &= ~0x01000000u;
            }
        }
        if (std::memcmp(&got, &expected, sizeof(EntryRecord)) != 0)
            fuzz::Fail("read again", "an entry that was not changed reads otherwise");
    }
    // Spans before the first change keep their offsets; a text found there
    // reads as it was, or as changed.
    for (const auto& text : score.texts) {
        if (text.spans.empty() || (changed && text.spans[0].begin > changed->spans[0].begin)) continue;
        if (verse && text.spans[0].begin > verse->syllables[0].span.begin) continue;
        if (entry && entry->first && text.spans[0].begin > musicxml::LocatedNotes(score.Xml(), *entry)[0].begin)
            continue;
        const markup::MappedText* now = At(reread, text.spans[0].begin);
        if (now == nullptr) fuzz::Fail("read again", "a text before the change moved: " + text.original);
        // Two staves of a part share its name's element.
        // A text that is not UTF-8 as read stays as it was, with a warning.
        const bool same =
            changed && text.spans[0].begin == changed->spans[0].begin && markup::IsXmlText(changed->original + added);
        const std::string expected = same ? changed->original + added : text.original;
        if (now->original != expected)
            fuzz::Fail("read again", "\"" + now->original + "\" where \"" + expected + "\" was written");
    }
    return out;
}

}  // namespace
