// The host's records that the plug-in reads by position: the selected region,
// the note entry frame and its entries and notes. Exact memory images.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "records are little-endian memory images");

#pragma pack(push, 1)

// One note of an entry.
struct NoteRecord {
    std::int16_t displacement;
    std::int16_t raiseLower;
    std::uint8_t unused4[2];
    std::uint32_t flags;  // note attribute bits
};
static_assert(offsetof(NoteRecord, displacement) == 0);
static_assert(offsetof(NoteRecord, raiseLower) == 2);
static_assert(offsetof(NoteRecord, unused4) == 4);
static_assert(offsetof(NoteRecord, flags) == 6);
static_assert(sizeof(NoteRecord) == 10);

constexpr int kMaxNotesPerEntry = 12;

// One note entry of a frame.
struct EntryRecord {
    std::uint8_t unused0[8];
    std::uint32_t flagsA;  // entry attribute bits, attribute rows 0-27
    std::uint16_t flagsB;  // further entry attribute bits, rows 28-33
    std::int16_t noteCount;
    NoteRecord notes[kMaxNotesPerEntry];
    std::int32_t position;
    std::int32_t duration;
    std::uint8_t unused144[2];
};
static_assert(offsetof(EntryRecord, unused0) == 0);
static_assert(offsetof(EntryRecord, flagsA) == 8);
static_assert(offsetof(EntryRecord, flagsB) == 12);
static_assert(offsetof(EntryRecord, noteCount) == 14);
static_assert(offsetof(EntryRecord, notes) == 16);
static_assert(offsetof(EntryRecord, position) == 136);
static_assert(offsetof(EntryRecord, duration) == 140);
static_assert(offsetof(EntryRecord, unused144) == 144);
static_assert(sizeof(EntryRecord) == 146);

// The region the user selected; the host passes it with the command.
struct RegionRecord {
    std::uint16_t frameSelector;
    std::int16_t firstStaff;
    std::int16_t firstMeasure;
    std::int32_t startPosition;
    std::uint16_t unused10;
    std::int16_t lastStaff;
    std::int16_t lastMeasure;
    std::int32_t endPosition;
};
static_assert(offsetof(RegionRecord, frameSelector) == 0);
static_assert(offsetof(RegionRecord, firstStaff) == 2);
static_assert(offsetof(RegionRecord, firstMeasure) == 4);
static_assert(offsetof(RegionRecord, startPosition) == 6);
static_assert(offsetof(RegionRecord, unused10) == 10);
static_assert(offsetof(RegionRecord, lastStaff) == 12);
static_assert(offsetof(RegionRecord, lastMeasure) == 14);
static_assert(offsetof(RegionRecord, endPosition) == 16);
static_assert(sizeof(RegionRecord) == 20);

// A frame of note entries as the host lends it out. The pointer sits at 14;
// on 32-bit the count is at 18, on 64-bit the widened pointer moves it to 22.
struct TgfFrame {
    std::uint8_t head[14];
    EntryRecord* entries;
    std::int16_t count;
};
static_assert(offsetof(TgfFrame, head) == 0);
static_assert(offsetof(TgfFrame, entries) == 14);
static_assert(offsetof(TgfFrame, count) == 14 + sizeof(void*));
static_assert(sizeof(void*) != 4 || offsetof(TgfFrame, count) == 18);
static_assert(sizeof(TgfFrame) == 16 + sizeof(void*));

#pragma pack(pop)
