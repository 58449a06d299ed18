// The record store, the semantic builders and the note entry frames.
#include "host/document/document.h"

#include "host/document/text_codec.h"

#include <algorithm>
#include <cstdio>

namespace host {

namespace {

constexpr std::uint32_t kKnownTwoFieldTags[] = {
    kTagPageTextAssignment, kTagTextExpression,   kTagStaff,     kTagTextRepeat, kTagTextRepeatText,
    kTagEndingRepeat,       kTagEndingRepeatText, kTagTextBlock, kTagMeasure,    kTagStaffSystem,
};

// Fields the host does not read for a tag are held as 0, so that a key the
// plug-in passes with stale trailing fields finds the record.
Key Normalised(std::uint32_t tag, Key key) {
    for (int i = Document::KeyFields(tag); i < 3; ++i) key[i] = 0;
    return key;
}

void PutInt16(Bytes& bytes, std::size_t offset, int value) {
    const auto v = static_cast<std::uint16_t>(value);
    bytes[offset] = static_cast<std::uint8_t>(v & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

Bytes TextBytes(const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

std::int16_t K(int value) { return static_cast<std::int16_t>(value); }

std::uint32_t LyricsTag(LyricsKind kind) {
    switch (kind) {
        case LyricsKind::Verse:
            return kTagVerseLyrics;
        case LyricsKind::Chorus:
            return kTagChorusLyrics;
        case LyricsKind::Section:
            return kTagSectionLyrics;
    }
    return kTagVerseLyrics;
}

}  // namespace

std::optional<std::uint32_t> ParseTag(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return ParseHexNumber(text);
    if (text.size() != 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(text[static_cast<std::size_t>(i)]);
    return value;
}

std::string TagName(std::uint32_t tag) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((tag >> (8 * i)) & 0xFF);
        if (c < 0x20 || c > 0x7E) break;
        name.push_back(c);
    }
    // A name that reads as hex ("0x1F") would parse back as a number.
    if (name.size() == 4 && *ParseTag(name) == tag) return name;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(tag));
    return hex;
}

int Document::KeyFields(std::uint32_t tag) {
    switch (tag) {
        case kTagTextBlockText:
        case kTagVerseLyrics:
        case kTagChorusLyrics:
        case kTagSectionLyrics:
            return 1;
        case kTagMeasureTextAssignment:
        case kTagGroup:
            return 3;
        default:
            break;
    }
    for (std::uint32_t known : kKnownTwoFieldTags)
        if (tag == known) return 2;
    return 3;
}

const Bytes* Document::Record(std::uint32_t tag, const Key& key) const {
    const auto byTag = records_.find(tag);
    if (byTag == records_.end()) return nullptr;
    const auto found = byTag->second.find(Normalised(tag, key));
    return found == byTag->second.end() ? nullptr : &found->second;
}

void Document::SetRecord(std::uint32_t tag, const Key& key, Bytes bytes) {
    records_[tag][Normalised(tag, key)] = std::move(bytes);
}

bool Document::EraseRecord(std::uint32_t tag, const Key& key) {
    const auto byTag = records_.find(tag);
    if (byTag == records_.end()) return false;
    const bool erased = byTag->second.erase(Normalised(tag, key)) > 0;
    if (byTag->second.empty()) records_.erase(byTag);
    return erased;
}

std::optional<Key> Document::NextKey(std::uint32_t tag, const Key& after) const {
    const auto byTag = records_.find(tag);
    if (byTag == records_.end()) return std::nullopt;
    // std::array compares field by field as signed numbers: the host's order.
    const auto next = byTag->second.upper_bound(Normalised(tag, after));
    if (next == byTag->second.end()) return std::nullopt;
    return next->first;
}

std::size_t Document::RecordCount() const {
    std::size_t count = 0;
    for (const auto& [tag, byKey] : records_) count += byKey.size();
    return count;
}

std::optional<std::string> Document::RecordText(std::uint32_t tag, const Key& key) const {
    const Bytes* bytes = Record(tag, key);
    if (!bytes) return std::nullopt;
    std::size_t start = 0;
    if (tag == kTagTextExpression) {
        start = 12;  // the expression's text follows its header
        if (bytes->size() < start) return std::nullopt;
    }
    const auto begin = bytes->begin() + static_cast<std::ptrdiff_t>(start);
    return std::string(begin, std::find(begin, bytes->end(), std::uint8_t{0}));
}

const std::map<Key, Bytes>* Document::RecordsOf(std::uint32_t tag) const {
    const auto byTag = records_.find(tag);
    return byTag == records_.end() ? nullptr : &byTag->second;
}

const std::map<std::uint32_t, std::map<Key, Bytes>>& Document::AllRecords() const { return records_; }

std::int16_t Document::AddTextBlock(const std::string& text) {
    if (nextBlockId_ > kMaxTextBlocks || nextTextNumber_ > kMaxTextBlocks) {
        nextBlockId_ = kMaxTextBlocks + 1;
        return 0;
    }
    const std::int16_t id = K(nextBlockId_++);
    const std::int16_t number = K(nextTextNumber_++);
    Bytes block(48, 0);
    PutInt16(block, 0, number);
    SetRecord(kTagTextBlock, Key{id, 0, 0}, std::move(block));
    SetRecord(kTagTextBlockText, Key{number, 0, 0}, TextBytes(text));
    return id;
}

void Document::AddPageText(int page, const std::string& text) {
    std::int16_t index = 0;
    while (Record(kTagPageTextAssignment, Key{K(page), index, 0})) ++index;
    Bytes assignment(24, 0);
    PutInt16(assignment, 0, AddTextBlock(text));
    SetRecord(kTagPageTextAssignment, Key{K(page), index, 0}, std::move(assignment));
}

void Document::AddMeasureText(int staff, int measure, const std::string& text) {
    std::int16_t index = 0;
    while (Record(kTagMeasureTextAssignment, Key{K(staff), K(measure), index})) ++index;
    Bytes assignment(10, 0);
    PutInt16(assignment, 0, AddTextBlock(text));
    SetRecord(kTagMeasureTextAssignment, Key{K(staff), K(measure), index}, std::move(assignment));
}

void Document::AddExpression(int number, const std::string& text) { AddExpression(number, text, Bytes{}); }

void Document::AddExpression(int number, const std::string& text, const Bytes& header) {
    Bytes record(12, 0);
    std::copy_n(header.begin(), std::min<std::size_t>(header.size(), 12), record.begin());
    const Bytes body = TextBytes(text);
    record.insert(record.end(), body.begin(), body.end());
    SetRecord(kTagTextExpression, Key{K(number), 0, 0}, std::move(record));
}

void Document::AddStaff(int number, const std::string& full, const std::string& abbreviated) {
    Bytes staff(36, 0);
    PutInt16(staff, 30, AddTextBlock(full));
    PutInt16(staff, 32, AddTextBlock(abbreviated));
    SetRecord(kTagStaff, Key{K(number), 0, 0}, std::move(staff));
}

void Document::AddGroup(int system, int number, const std::string& full, const std::string& abbreviated) {
    Bytes group(30, 0);
    PutInt16(group, 4, AddTextBlock(full));
    PutInt16(group, 22, AddTextBlock(abbreviated));
    SetRecord(kTagGroup, Key{K(system), K(number), 0}, std::move(group));
}

void Document::AddTextRepeat(int number, const std::string& text) {
    SetRecord(kTagTextRepeat, Key{K(number), 0, 0}, Bytes(16, 0));
    SetRecord(kTagTextRepeatText, Key{K(number), 0, 0}, TextBytes(text));
}

void Document::AddEnding(int measure, const std::string& text) {
    SetRecord(kTagEndingRepeat, Key{K(measure), 0, 0}, Bytes(28, 0));
    SetRecord(kTagEndingRepeatText, Key{K(measure), 0, 0}, TextBytes(text));
}

void Document::AddLyrics(LyricsKind kind, int number, const std::string& text) {
    SetRecord(LyricsTag(kind), Key{K(number), 0, 0}, TextBytes(text));
}

void Document::SetMeasureCount(int measures) {
    records_.erase(kTagMeasure);
    for (int m = 1; m <= measures; ++m) SetRecord(kTagMeasure, Key{K(m), 0, 0}, Bytes(12, 0));
}

void Document::SetStaffSystemCount(int staffSystems) {
    records_.erase(kTagStaffSystem);
    for (int s = 1; s <= staffSystems; ++s) SetRecord(kTagStaffSystem, Key{K(s), 0, 0}, Bytes(20, 0));
}

std::vector<EntryRecord>* Document::Frame(const FrameKey& key) {
    const auto found = frames_.find(key);
    return found == frames_.end() ? nullptr : &found->second;
}

void Document::SetFrame(const FrameKey& key, std::vector<EntryRecord> entries) { frames_[key] = std::move(entries); }

const std::map<FrameKey, std::vector<EntryRecord>>& Document::Frames() const { return frames_; }

}  // namespace host
