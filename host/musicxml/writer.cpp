// Writing MusicXML back: the texts the plug-in changed are spliced into the
// file's own bytes at the places the reader found them; nothing else moves.
#include <algorithm>
#include <map>

#include "host/markup/lyrics.h"
#include "host/markup/splice.h"
#include "host/markup/xml_text.h"
#include "host/musicxml/frames.h"
#include "host/musicxml/score.h"

namespace musicxml {

namespace {

const char* KindName(TextSource source) {
    switch (source) {
        case TextSource::PageText:
            return "page text";
        case TextSource::MeasureText:
            return "rehearsal mark";
        case TextSource::Expression:
            return "text expression";
        case TextSource::StaffFull:
            return "staff name";
        case TextSource::StaffAbbreviated:
            return "abbreviated staff name";
        case TextSource::GroupFull:
            return "group name";
        case TextSource::GroupAbbreviated:
            return "abbreviated group name";
        case TextSource::TextRepeat:
            return "text repeat";
        case TextSource::Ending:
            return "ending";
    }
    return "text";
}

class Edits {
public:
    Edits(const std::string& xml, std::vector<std::string>* warnings, Encoding encoding)
        : xml_(xml), warnings_(*warnings), encoding_(encoding) {}

    bool Writable(const std::string& text, const std::string& what) { return markup::Writable(text, what, &warnings_); }

    // Two staves of one part share the part's name: the first change wins.
    // was: the text as read; what did not change is kept as it stands.
    void Add(const Span& span, const std::string& was, const std::string& text, const std::string& what) {
        const std::string written = markup::SpliceContent(
            std::string_view(xml_).substr(span.begin, span.end - span.begin), was, text, encoding_);
        for (auto [at, last] = edits_.equal_range(span.begin); at != last; ++at) {
            if (at->second.first == span.end) {
                if (at->second.second != written)
                    warnings_.push_back(what + ": shares its element with an earlier text that was changed to \"" +
                                        text_[span.begin] + "\"; \"" + text + "\" is not written");
                return;
            }
        }
        text_[span.begin] = text;
        edits_.emplace(span.begin, std::make_pair(span.end, written));
    }

    // Markup for the entries; several insertions at one place keep their order.
    void AddMarkup(const EntryEdit& edit) { edits_.emplace(edit.begin, std::make_pair(edit.end, edit.raw)); }

    bool Empty() const { return edits_.empty(); }

    // The score's text with the edits in place, as pieces of the text and
    // the edits' markup.
    void Apply(const std::string& xml, host::Pieces* out) const { markup::ApplyEdits(xml, edits_, out, &warnings_); }

private:
    const std::string& xml_;
    std::vector<std::string>& warnings_;
    Encoding encoding_;
    markup::Edits edits_;
    std::map<std::size_t, std::string> text_;  // begin -> text, for messages
};

// The verse's writes in order (the last is the text the document holds)
// carried onto the syllables one after another, each by where it fell.
void VerseEdits(const Score& score, const Verse& verse, const std::vector<std::string>& writes, Edits* edits,
                std::vector<std::string>* warnings) {
    std::string name = "verse " + std::to_string(verse.number);
    if (verse.label != std::to_string(verse.number)) name += " (lyric number \"" + verse.label + "\")";
    const auto refuse = [&](const std::string& why, std::size_t at) {
        const Syllable& syllable = verse.syllables[std::min(at, verse.syllables.size() - 1)];
        const Part& part = score.parts[static_cast<std::size_t>(syllable.part)];
        warnings->push_back(name + ", part \"" + part.name + "\" (" + part.id + "), measure " +
                            std::to_string(syllable.measure) + ": " + why + "; the verse is not written back");
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
        const Syllable& syllable = verse.syllables[i];
        if (texts[i] == syllable.text) continue;
        if (syllable.span.end == 0) {
            refuse("an empty syllable cannot take a text", i);
            return;
        }
        if (!edits->Writable(texts[i], name)) return;
    }
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (texts[i] != verse.syllables[i].text)
            edits->Add(verse.syllables[i].span, verse.syllables[i].text, texts[i], name);
}

}  // namespace

bool WriteScore(const Score& score, const host::Document& document, host::Pieces* out,
                std::vector<std::string>* warnings, std::string* error, const VerseWrites* verseWrites) {
    Edits edits(score.Xml(), warnings, score.encoding.encoding);
    for (const MappedText& text : score.texts) {
        const std::string now = markup::CurrentText(document, text);
        if (now == text.original) continue;
        const std::string what = std::string(KindName(text.source)) + " \"" + text.original + "\" (" + text.where + ")";
        if (!edits.Writable(now, what)) continue;
        for (const Span& span : text.spans) edits.Add(span, text.original, now, what);
    }
    for (const Verse& verse : score.verses) {
        const std::vector<std::string> writes =
            markup::VerseChanges(document, verse.number, verse.original, verseWrites);
        if (!writes.empty()) VerseEdits(score, verse, writes, &edits, warnings);
    }
    std::vector<EntryEdit> entryEdits;
    EntryEdits(score, document, &entryEdits, warnings);
    for (const EntryEdit& edit : entryEdits) edits.AddMarkup(edit);
    *out = host::Pieces();
    if (edits.Empty()) {
        out->Add(score.file);
        return true;
    }
    // UTF-8, the usual case, is written from the pieces as they are.
    edits.Apply(score.Xml(), out);
    if (!score.compressed && score.SelfDecoded()) return true;
    const std::string utf8 = out->Joined();
    std::string encoded;
    if (!markup::EncodeFromUtf8(utf8, score.encoding, &encoded)) {
        *error = "the changed score cannot be written in its encoding";
        return false;
    }
    *out = host::Pieces();
    if (!score.compressed) {
        out->Own(std::move(encoded));
        return true;
    }
    std::string archive;
    if (!markup::ReplaceInArchive(score.file, score.rootPath, encoded, &archive, error)) return false;
    out->Own(std::move(archive));
    return true;
}

bool WriteScore(const Score& score, const host::Document& document, std::string* out,
                std::vector<std::string>* warnings, std::string* error, const VerseWrites* verseWrites) {
    host::Pieces pieces;
    if (!WriteScore(score, document, &pieces, warnings, error, verseWrites)) return false;
    *out = pieces.Joined();
    return true;
}

const char* TextKindName(TextSource source) { return KindName(source); }

}  // namespace musicxml
