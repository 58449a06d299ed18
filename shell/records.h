// The plug-in's three settings records and the host's menu item record.
// Exact memory images: they are stored in the registry byte for byte.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "records are little-endian memory images");

constexpr int kEntryAttributeCount = 34;
constexpr int kNoteAttributeCount = 10;
constexpr std::int16_t kNotPlaced = -32768;  // dialog position pair: keep the template's place

#pragma pack(push, 1)

// One set of note entry criteria (search side or replace side).
struct CriteriaRecord {
    std::int16_t entrySlots[kEntryAttributeCount];  // tri-state: 0 ignore, 1 off, 2 on
    std::int16_t durationSwitch;
    std::int16_t durationValue;
    std::int16_t positionSwitch;
    std::int16_t positionValue;
    std::int16_t noteSlots[kNoteAttributeCount];
    std::int16_t displacementSwitch;
    std::int16_t displacementValue;
    std::int16_t raiseLowerSwitch;
    std::int16_t raiseLowerValue;
    std::int16_t booleanSwitch;  // 1 AND, 0 OR; read from the search side
    std::int16_t noteSpecific;   // nonzero: scan note by note; read from the replace side
    std::int16_t dialogLeft;
    std::int16_t dialogTop;
};
static_assert(offsetof(CriteriaRecord, entrySlots) == 0);
static_assert(offsetof(CriteriaRecord, durationSwitch) == 68);
static_assert(offsetof(CriteriaRecord, durationValue) == 70);
static_assert(offsetof(CriteriaRecord, positionSwitch) == 72);
static_assert(offsetof(CriteriaRecord, positionValue) == 74);
static_assert(offsetof(CriteriaRecord, noteSlots) == 76);
static_assert(offsetof(CriteriaRecord, displacementSwitch) == 96);
static_assert(offsetof(CriteriaRecord, displacementValue) == 98);
static_assert(offsetof(CriteriaRecord, raiseLowerSwitch) == 100);
static_assert(offsetof(CriteriaRecord, raiseLowerValue) == 102);
static_assert(offsetof(CriteriaRecord, booleanSwitch) == 104);
static_assert(offsetof(CriteriaRecord, noteSpecific) == 106);
static_assert(offsetof(CriteriaRecord, dialogLeft) == 108);
static_assert(offsetof(CriteriaRecord, dialogTop) == 110);
static_assert(sizeof(CriteriaRecord) == 112);

constexpr int kPrefsStringSize = 51;  // 50 characters and the terminating zero
constexpr int kElementSwitchCount = 8;

// The text command's options.
struct TextSearchPrefs {
    char searchString[kPrefsStringSize];
    char replaceString[kPrefsStringSize];
    std::int16_t replaceSwitch;
    std::int16_t caseSensitive;
    std::int16_t searchTags;
    std::int16_t elementSwitch[kElementSwitchCount];  // kinds 0-6, then lyrics (kinds 7-9)
    std::int16_t setupLeft;
    std::int16_t setupTop;
    std::int16_t resultsLeft;
    std::int16_t resultsTop;
};
static_assert(offsetof(TextSearchPrefs, searchString) == 0);
static_assert(offsetof(TextSearchPrefs, replaceString) == 51);
static_assert(offsetof(TextSearchPrefs, replaceSwitch) == 102);
static_assert(offsetof(TextSearchPrefs, caseSensitive) == 104);
static_assert(offsetof(TextSearchPrefs, searchTags) == 106);
static_assert(offsetof(TextSearchPrefs, elementSwitch) == 108);
static_assert(offsetof(TextSearchPrefs, setupLeft) == 124);
static_assert(offsetof(TextSearchPrefs, setupTop) == 126);
static_assert(offsetof(TextSearchPrefs, resultsLeft) == 128);
static_assert(offsetof(TextSearchPrefs, resultsTop) == 130);
static_assert(sizeof(TextSearchPrefs) == 132);

constexpr int kMenuFieldSize = 64;

// Filled by VelduneExtensionEnumerate; owned by the host.
struct MenuItemRecord {
    char menuText[kMenuFieldSize];
    char name[kMenuFieldSize];
    char fullName[kMenuFieldSize];
    std::int16_t reserved192;
    std::int16_t reserved194;
};
static_assert(offsetof(MenuItemRecord, menuText) == 0);
static_assert(offsetof(MenuItemRecord, name) == 64);
static_assert(offsetof(MenuItemRecord, fullName) == 128);
static_assert(offsetof(MenuItemRecord, reserved192) == 192);
static_assert(offsetof(MenuItemRecord, reserved194) == 194);
static_assert(sizeof(MenuItemRecord) == 196);

#pragma pack(pop)
