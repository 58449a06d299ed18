#include "host/users/dry_run.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "host/document/attribute_names.h"

namespace users {

namespace {

struct TextKind {
    std::uint32_t tag;
    const char* name;
    std::size_t header;  // bytes before the text
};

// Texts are stored by these tags; blocks by text number, the rest by their own keys.
constexpr TextKind kTextKinds[] = {
    {host::kTagTextBlockText, "text block", 0},   {host::kTagTextExpression, "text expression", 12},
    {host::kTagTextRepeatText, "text repeat", 0}, {host::kTagEndingRepeatText, "ending", 0},
    {host::kTagVerseLyrics, "verse", 0},          {host::kTagChorusLyrics, "chorus", 0},
    {host::kTagSectionLyrics, "section", 0},
};

std::string TextOf(const host::Bytes& bytes, std::size_t header) {
    if (bytes.size() < header) return {};
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(header);
    return std::string(begin, std::find(begin, bytes.end(), std::uint8_t{0}));
}

std::string Bits(int word, std::uint32_t was, std::uint32_t now) {
    std::string out;
    if (was == now) return out;  // most entries of a score: nothing to walk the table for
    for (const host::AttributeBit& bit : host::kAttributeBits) {
        if (bit.word != word || ((was ^ now) & bit.mask) == 0) continue;
        out += std::string(out.empty() ? "" : ", ") + bit.name + ((now & bit.mask) != 0 ? " on" : " off");
    }
    return out;
}

void Join(std::string* line, const std::string& part) {
    if (part.empty()) return;
    *line += (line->empty() ? "" : "; ") + part;
}

}  // namespace

std::string Change::Line() const {
    std::string line = what + (place.empty() ? "" : " (" + place + ")") + ": ";
    if (entry) return line + after;
    return line + "\"" + before + "\" -> \"" + after + "\"";
}

std::vector<Change> ListChanges(const host::Document& before, const host::Document& after,
                                const scores::ScoreFile* file) {
    std::vector<Change> changes;
    for (const TextKind& kind : kTextKinds) {
        const auto* was = before.RecordsOf(kind.tag);
        const auto* now = after.RecordsOf(kind.tag);
        if (now == nullptr) continue;
        for (const auto& [key, bytes] : *now) {
            const auto old = was ? was->find(key) : decltype(was->find(key)){};
            const std::string oldText = was && old != was->end() ? TextOf(old->second, kind.header) : "";
            const std::string newText = TextOf(bytes, kind.header);
            if (oldText == newText) continue;
            Change change;
            change.what = std::string(kind.name) + " #" + std::to_string(key[0]);
            change.before = oldText;
            change.after = newText;
            if (file != nullptr) {
                // A verse is placed where its first change falls.
                std::size_t at = 0;
                while (at < oldText.size() && at < newText.size() && oldText[at] == newText[at]) ++at;
                const bool verse = kind.tag == host::kTagVerseLyrics;
                change.place = file->TextPlace(after, kind.tag, key, verse ? static_cast<int>(at) : -1);
            }
            changes.push_back(std::move(change));
        }
    }
    for (const auto& [frame, entries] : after.Frames()) {
        const auto found = before.Frames().find(frame);
        if (found == before.Frames().end()) continue;
        const auto& old = found->second;
        for (std::size_t i = 0; i < entries.size() && i < old.size(); ++i) {
            const EntryRecord& a = old[i];
            const EntryRecord& b = entries[i];
            if (std::memcmp(&a, &b, sizeof(EntryRecord)) == 0) continue;  // most entries of a score
            std::string change;
            Join(&change, Bits(0, a.flagsA, b.flagsA));
            Join(&change, Bits(1, a.flagsB, b.flagsB));
            for (int n = 0; n < std::min<int>(a.noteCount, b.noteCount); ++n) {
                std::string note;
                if (a.notes[n].displacement != b.notes[n].displacement)
                    Join(&note, "displacement " + std::to_string(a.notes[n].displacement) + " -> " +
                                    std::to_string(b.notes[n].displacement));
                if (a.notes[n].raiseLower != b.notes[n].raiseLower)
                    Join(&note, "raise/lower " + std::to_string(a.notes[n].raiseLower) + " -> " +
                                    std::to_string(b.notes[n].raiseLower));
                Join(&note, Bits(2, a.notes[n].flags, b.notes[n].flags));
                if (!note.empty()) Join(&change, "note " + std::to_string(n + 1) + ": " + note);
            }
            if (change.empty()) continue;
            Change c;
            c.entry = true;
            c.what = "staff " + std::to_string(frame.staff) + ", measure " + std::to_string(frame.measure) +
                     ", layer " + std::to_string(frame.layer + 1) + ", position " + std::to_string(b.position);
            if (file != nullptr) c.place = file->EntryPlace(frame, b.position);
            c.after = change;
            changes.push_back(std::move(c));
        }
    }
    return changes;
}

WrittenChanges SplitWritten(const std::vector<Change>& run, const std::vector<Change>& file) {
    std::set<std::string> asked;
    for (const Change& change : run) asked.insert(change.what);
    std::set<std::string> held;
    WrittenChanges split;
    // A writer may change what a reader needs beside a change (a later
    // note's accidental): only the records the run changed are listed.
    for (const Change& change : file) {
        if (asked.count(change.what) == 0) continue;
        held.insert(change.Line());
        split.written.push_back(change);
    }
    for (const Change& change : run)
        if (held.count(change.Line()) == 0) split.withheld.push_back(change);
    return split;
}

std::vector<std::string> DescribeChanges(const host::Document& before, const host::Document& after) {
    std::vector<std::string> lines;
    for (const Change& change : ListChanges(before, after, nullptr)) lines.push_back(change.Line());
    return lines;
}

}  // namespace users
