// Writing MusicXML back: the texts the plug-in changed are spliced into the
// file's own bytes at the places the reader found them; nothing else moves.
#include <algorithm>
#include <map>

#include "host/musicxml/frames.h"
#include "host/musicxml/lyrics.h"
#include "host/musicxml/score.h"
#include "host/musicxml/xml_text.h"

namespace musicxml {

namespace {

std::int16_t Int16At(const host::Bytes& bytes, std::size_t offset) {
    return static_cast<std::int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// Record -> text block id at `offset` -> text number -> text.
std::optional<std::string> BlockText(const host::Document& document, std::uint32_t tag, const host::Key& key,
                                     std::size_t offset) {
    const host::Bytes* record = document.Record(tag, key);
    if (!record || record->size() < offset + 2) return std::nullopt;
    const host::Bytes* block = document.Record(host::kTagTextBlock, {Int16At(*record, offset), 0, 0});
    if (!block || block->size() < 2) return std::nullopt;
    return document.RecordText(host::kTagTextBlockText, {Int16At(*block, 0), 0, 0});
}

// Where a mapped text's characters are stored: the tag and key of the
// record, and how many header bytes come before them.
struct Storage {
    std::uint32_t tag = 0;
    host::Key key{};
    std::size_t header = 0;
};

std::optional<Storage> StorageOf(const host::Document& document, const MappedText& text) {
    const auto block = [&](std::uint32_t tag, std::size_t offset) -> std::optional<Storage> {
        const host::Bytes* record = document.Record(tag, text.key);
        if (!record || record->size() < offset + 2) return std::nullopt;
        const host::Bytes* block = document.Record(host::kTagTextBlock, {Int16At(*record, offset), 0, 0});
        if (!block || block->size() < 2) return std::nullopt;
        return Storage{host::kTagTextBlockText, {Int16At(*block, 0), 0, 0}, 0};
    };
    switch (text.source) {
        case TextSource::PageText:
            return block(host::kTagPageTextAssignment, 0);
        case TextSource::MeasureText:
            return block(host::kTagMeasureTextAssignment, 0);
        case TextSource::StaffFull:
            return block(host::kTagStaff, 30);
        case TextSource::StaffAbbreviated:
            return block(host::kTagStaff, 32);
        case TextSource::GroupFull:
            return block(host::kTagGroup, 4);
        case TextSource::GroupAbbreviated:
            return block(host::kTagGroup, 22);
        case TextSource::Expression:
            return Storage{host::kTagTextExpression, text.key, 12};
        case TextSource::TextRepeat:
            return Storage{host::kTagTextRepeatText, text.key, 0};
        case TextSource::Ending:
            return Storage{host::kTagEndingRepeatText, text.key, 0};
    }
    return std::nullopt;
}

std::optional<std::string> Current(const host::Document& document, const MappedText& text) {
    switch (text.source) {
        case TextSource::PageText:
            return BlockText(document, host::kTagPageTextAssignment, text.key, 0);
        case TextSource::MeasureText:
            return BlockText(document, host::kTagMeasureTextAssignment, text.key, 0);
        case TextSource::StaffFull:
            return BlockText(document, host::kTagStaff, text.key, 30);
        case TextSource::StaffAbbreviated:
            return BlockText(document, host::kTagStaff, text.key, 32);
        case TextSource::GroupFull:
            return BlockText(document, host::kTagGroup, text.key, 4);
        case TextSource::GroupAbbreviated:
            return BlockText(document, host::kTagGroup, text.key, 22);
        case TextSource::Expression:
            return document.RecordText(host::kTagTextExpression, text.key);
        case TextSource::TextRepeat:
            return document.RecordText(host::kTagTextRepeatText, text.key);
        case TextSource::Ending:
            return document.RecordText(host::kTagEndingRepeatText, text.key);
    }
    return std::nullopt;
}

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

    // A text that would make the file invalid is not written.
    bool Writable(const std::string& text, const std::string& what) {
        if (IsXmlText(text)) return true;
        warnings_.push_back(what + ": the new text is not valid UTF-8 XML text; it is not written");
        return false;
    }

    // Two staves of one part share the part's name: the first change wins.
    // was: the text as read; what did not change is kept as it stands.
    void Add(const Span& span, const std::string& was, const std::string& text, const std::string& what) {
        const std::string markup =
            SpliceContent(std::string_view(xml_).substr(span.begin, span.end - span.begin), was, text, encoding_);
        for (auto [at, last] = edits_.equal_range(span.begin); at != last; ++at) {
            if (at->second.first == span.end) {
                if (at->second.second != markup)
                    warnings_.push_back(what + ": shares its element with an earlier text that was changed to \"" +
                                        text_[span.begin] + "\"; \"" + text + "\" is not written");
                return;
            }
        }
        text_[span.begin] = text;
        edits_.emplace(span.begin, std::make_pair(span.end, markup));
    }

    // Markup for the entries; several insertions at one place keep their order.
    void AddMarkup(const EntryEdit& edit) { edits_.emplace(edit.begin, std::make_pair(edit.end, edit.raw)); }

    bool Empty() const { return edits_.empty(); }

    // The score's text with the edits in place, as pieces of the text and
    // the edits' markup.
    void Apply(const std::string& xml, host::Pieces* out) const {
        const std::string_view text(xml);
        std::size_t copied = 0;
        for (const auto& [begin, edit] : edits_) {
            if (begin < copied) {
                warnings_.push_back("two changes overlap at byte " + std::to_string(begin) +
                                    "; the later is not written");
                continue;
            }
            out->Add(text.substr(copied, begin - copied));
            out->Own(edit.second);
            copied = edit.first;
        }
        out->Add(text.substr(copied));
    }

private:
    const std::string& xml_;
    std::vector<std::string>& warnings_;
    Encoding encoding_;
    std::multimap<std::size_t, std::pair<std::size_t, std::string>> edits_;  // begin -> end, markup
    std::map<std::size_t, std::string> text_;                                // begin -> text, for messages
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
    for (const Syllable& syllable : verse.syllables) texts.push_back(syllable.text);
    std::string before = verse.original;
    for (const std::string& after : writes) {
        std::size_t at = 0;
        std::string why;
        if (!ApplyVerseChange(verse.syllables, before, after, &texts, &at, &why)) {
            refuse(why, at);
            return;
        }
        before = after;
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

std::string CurrentText(const host::Document& document, const MappedText& text) {
    return Current(document, text).value_or(text.original);
}

bool IsStored(const host::Document& document, const MappedText& text) { return Current(document, text).has_value(); }

bool SetCurrentText(host::Document* document, const MappedText& text, const std::string& value) {
    const auto storage = StorageOf(*document, text);
    const host::Bytes* record = storage ? document->Record(storage->tag, storage->key) : nullptr;
    if (!record || record->size() < storage->header) return false;
    host::Bytes bytes(record->begin(), record->begin() + static_cast<std::ptrdiff_t>(storage->header));
    bytes.insert(bytes.end(), value.begin(), value.end());
    bytes.push_back(0);
    document->SetRecord(storage->tag, storage->key, std::move(bytes));
    return true;
}

bool WriteScore(const Score& score, const host::Document& document, host::Pieces* out,
                std::vector<std::string>* warnings, std::string* error, const VerseWrites* verseWrites) {
    Edits edits(score.Xml(), warnings, score.encoding.encoding);
    for (const MappedText& text : score.texts) {
        const std::string now = CurrentText(document, text);
        if (now == text.original) continue;
        const std::string what = std::string(KindName(text.source)) + " \"" + text.original + "\" (" + text.where + ")";
        if (!edits.Writable(now, what)) continue;
        for (const Span& span : text.spans) edits.Add(span, text.original, now, what);
    }
    for (const Verse& verse : score.verses) {
        const std::string now =
            document.RecordText(host::kTagVerseLyrics, {static_cast<std::int16_t>(verse.number), 0, 0})
                .value_or(verse.original);
        if (now == verse.original) continue;
        // Every write the host saw, when they lead to what the document
        // holds; otherwise the one change from the verse read to it.
        const std::vector<std::string>* seen = nullptr;
        if (verseWrites != nullptr) {
            const auto found = verseWrites->find(verse.number);
            if (found != verseWrites->end() && !found->second.empty() && found->second.back() == now)
                seen = &found->second;
        }
        VerseEdits(score, verse, seen != nullptr ? *seen : std::vector<std::string>{now}, &edits, warnings);
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
    if (!EncodeFromUtf8(utf8, score.encoding, &encoded)) {
        *error = "the changed score cannot be written in its encoding";
        return false;
    }
    *out = host::Pieces();
    if (!score.compressed) {
        out->Own(std::move(encoded));
        return true;
    }
    std::string archive;
    if (!ReplaceInArchive(score.file, score.rootPath, encoded, &archive, error)) return false;
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

bool TextRecordOf(const host::Document& document, const MappedText& text, std::uint32_t* tag, host::Key* key) {
    const auto storage = StorageOf(document, text);
    if (!storage) return false;
    *tag = storage->tag;
    *key = storage->key;
    return true;
}

}  // namespace musicxml
