// Writing MuseScore back: a changed text goes into the character runs of
// each copy of it (the score's and its excerpts'), every formatting tag and
// every other byte staying as it was.
#include <algorithm>
#include <map>

#include "host/markup/lyrics.h"
#include "host/markup/splice.h"
#include "host/musescore/archive.h"
#include "host/musescore/frames.h"
#include "host/musescore/score.h"

namespace musescore {

namespace {

using markup::TextSource;

const char* KindName(TextSource source) {
    switch (source) {
        case TextSource::PageText:
            return "page text";
        case TextSource::MeasureText:
            return "rehearsal mark";
        case TextSource::Expression:
            return "text expression";
        case TextSource::StaffFull:
            return "instrument name";
        case TextSource::StaffAbbreviated:
            return "short instrument name";
        case TextSource::TextRepeat:
            return "text repeat";
        case TextSource::Ending:
            return "volta";
        default:
            return "text";
    }
}

class Edits {
public:
    Edits(std::size_t members, std::vector<std::string>* warnings) : edits_(members), warnings_(*warnings) {}

    bool Writable(const std::string& text, const std::string& what) { return markup::Writable(text, what, &warnings_); }

    // A copy takes the new text into its runs. Several staves of a part show
    // one name: the first change of it wins.
    void Copy(const musescore::Copy& copy, const std::string& now, const std::string& what) {
        auto& edits = edits_[static_cast<std::size_t>(copy.member)];
        const std::size_t key = copy.runs.empty() ? 0 : copy.runs.front().begin;
        if (const auto done = written_.find({copy.member, key}); done != written_.end()) {
            if (done->second != now)
                warnings_.push_back(what + ": shares its element with an earlier text that was changed to \"" +
                                    done->second + "\"; \"" + now + "\" is not written");
            return;
        }
        written_[{copy.member, key}] = now;
        for (RunEdit& edit : SpliceRuns(copy.runs, now))
            edits.emplace(edit.begin, std::make_pair(edit.end, std::move(edit.markup)));
    }

    void Markup(int member, std::size_t begin, std::size_t end, std::string markup) {
        edits_[static_cast<std::size_t>(member)].emplace(begin, std::make_pair(end, std::move(markup)));
    }

    bool Changed(std::size_t member) const { return !edits_[member].empty(); }
    bool Empty() const {
        return std::all_of(edits_.begin(), edits_.end(), [](const auto& edits) { return edits.empty(); });
    }

    void Apply(std::size_t member, const std::string& xml, host::Pieces* out) const {
        markup::ApplyEdits(xml, edits_[member], out, &warnings_);
    }

private:
    std::vector<markup::Edits> edits_;  // for each member
    std::map<std::pair<int, std::size_t>, std::string> written_;
    std::vector<std::string>& warnings_;
};

// The verse's writes in order (the last is the text the document holds),
// each placed on the syllables by where it fell, as for MusicXML.
void VerseEdits(const Score& score, const Verse& verse, const std::vector<std::string>& writes, Edits* edits,
                std::vector<std::string>* warnings) {
    const std::string name = "verse " + std::to_string(verse.number);
    const auto refuse = [&](const std::string& why, std::size_t at) {
        const markup::Syllable& syllable = verse.syllables[std::min(at, verse.syllables.size() - 1)];
        std::string where = "staff " + std::to_string(syllable.part + 1);
        if (static_cast<std::size_t>(syllable.part) < score.staves.size())
            where += " (" + score.staves[static_cast<std::size_t>(syllable.part)].name + ")";
        warnings->push_back(name + ", " + where + ", measure " + std::to_string(syllable.measure) + ": " + why +
                            "; the verse is not written back");
    };
    if (verse.syllables.empty()) return;
    std::vector<std::string> texts;
    std::size_t at = 0;
    std::string why;
    if (!markup::ApplyVerseWrites(verse.syllables, verse.original, writes, &texts, &at, &why)) {
        refuse(why, at);
        return;
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == verse.syllables[i].text) continue;
        if (verse.copies[i].empty()) {
            refuse("an empty syllable cannot take a text", i);
            return;
        }
        if (!edits->Writable(texts[i], name)) return;
    }
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (texts[i] != verse.syllables[i].text)
            for (const Copy& copy : verse.copies[i]) edits->Copy(copy, texts[i], name);
}

}  // namespace

bool WriteScore(const Score& score, const host::Document& document, host::Pieces* out,
                std::vector<std::string>* warnings, std::string* error, const markup::VerseWrites* verseWrites) {
    Edits edits(score.members.size(), warnings);
    for (const Text& text : score.texts) {
        const std::string now = markup::CurrentText(document, text.mapped);
        if (now == text.mapped.original) continue;
        const std::string what =
            std::string(KindName(text.mapped.source)) + " \"" + text.mapped.original + "\" (" + text.mapped.where + ")";
        if (!edits.Writable(now, what)) continue;
        for (const Copy& copy : text.copies) edits.Copy(copy, now, what);
    }
    for (const Verse& verse : score.verses) {
        const std::vector<std::string> writes =
            markup::VerseChanges(document, verse.number, verse.original, verseWrites);
        if (!writes.empty()) VerseEdits(score, verse, writes, &edits, warnings);
    }
    std::vector<EntryEdit> entryEdits;
    EntryEdits(score, document, &entryEdits, warnings);
    for (EntryEdit& edit : entryEdits) edits.Markup(edit.member, edit.begin, edit.end, std::move(edit.markup));

    *out = host::Pieces();
    if (edits.Empty()) {
        out->Add(score.file);
        return true;
    }
    if (!score.compressed) {
        edits.Apply(0, score.file, out);
        return true;
    }
    std::vector<std::pair<std::string, std::string>> changed;
    for (std::size_t m = 0; m < score.members.size(); ++m) {
        if (!edits.Changed(m)) continue;
        host::Pieces pieces;
        edits.Apply(m, score.members[m].xml, &pieces);
        changed.emplace_back(score.members[m].path, pieces.Joined());
    }
    std::string archive;
    if (!ReplaceMembers(score.file, changed, &archive, error)) return false;
    out->Own(std::move(archive));
    return true;
}

bool WriteScore(const Score& score, const host::Document& document, std::string* out,
                std::vector<std::string>* warnings, std::string* error, const markup::VerseWrites* verseWrites) {
    host::Pieces pieces;
    if (!WriteScore(score, document, &pieces, warnings, error, verseWrites)) return false;
    *out = pieces.Joined();
    return true;
}

}  // namespace musescore
