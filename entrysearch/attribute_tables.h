// The constant tables that bind each attribute check box of the criteria
// dialog to a CriteriaRecord slot and a flag bit of the host's entries and
// notes. The dialog, the matcher and the tests all read them.
#pragma once

#include <cstdint>
#include <cstring>

#include "shell/records.h"

struct EntryAttributeRow {
    std::int16_t controlId;
    std::int32_t slotOffset;  // byte offset into the CriteriaRecord
    std::uint32_t maskA;      // bit(s) in flag word A; 0 when the bit lies in flag word B
    std::uint16_t maskB;      // bit(s) in flag word B
    std::int16_t dangerous;   // 0 or 1
    std::int16_t searchOnly;  // 0 or 1: never applied, disabled on the replace page
};

struct NoteAttributeRow {
    std::int16_t controlId;
    std::int32_t slotOffset;
    std::uint32_t mask;  // bit(s) in the note flag word
    std::int16_t dangerous;
    std::int16_t searchOnly;
};

extern const EntryAttributeRow EntryAttributeTable[kEntryAttributeCount];
extern const NoteAttributeRow NoteAttributeTable[kNoteAttributeCount];

// The tri-state slot a row's offset points at, by byte copy: the offset
// comes from a table and the record is packed. An offset outside the record
// reads 0 and writes nothing. Inline: the scan reads a slot per row per entry.
inline bool SlotInRecord(std::int32_t slotOffset) {
    return slotOffset >= 0 && slotOffset <= static_cast<std::int32_t>(sizeof(CriteriaRecord) - sizeof(std::int16_t));
}

inline std::int16_t SlotAt(const CriteriaRecord* record, std::int32_t slotOffset) {
    std::int16_t value = 0;
    if (!SlotInRecord(slotOffset)) return 0;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(record) + slotOffset, sizeof(value));
    return value;
}

inline void SetSlotAt(CriteriaRecord* record, std::int32_t slotOffset, std::int16_t value) {
    if (!SlotInRecord(slotOffset)) return;
    std::memcpy(reinterpret_cast<unsigned char*>(record) + slotOffset, &value, sizeof(value));
}
