// Reading and setting a mapped text in the records that hold it.
#include "host/markup/mapped_text.h"

#include <optional>

namespace markup {

std::string TooLongForSearch(std::size_t bytes) {
    return std::to_string(bytes) + " bytes, more than the " + std::to_string(kLongestText) +
           " the text command handles; it is not searched";
}

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

bool TextRecordOf(const host::Document& document, const MappedText& text, std::uint32_t* tag, host::Key* key) {
    const auto storage = StorageOf(document, text);
    if (!storage) return false;
    *tag = storage->tag;
    *key = storage->key;
    return true;
}

}  // namespace markup
