// Where the text search stands: current kind, key of the current element,
// the record loaded for it, and the match it holds.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

enum TextElementKind : std::int32_t {
    PageTextBlocks = 0,
    MeasureTextBlocks = 1,
    TextExpressions = 2,
    StaffNames = 3,
    GroupNames = 4,
    TextRepeats = 5,
    EndingRepeats = 6,
    VerseLyrics = 7,
    ChorusLyrics = 8,
    SectionLyrics = 9,
};
constexpr int kTextElementKindCount = 10;

struct TextSearchState {
    std::int32_t currentKind;
    // The host reads the key from &key1 on, as many fields as the tag needs.
    std::int16_t key1;
    std::int16_t key2;
    std::int16_t key3;
    std::uint32_t currentTag;
    std::int32_t recordSize;
    std::uint8_t* recordArea;  // one of the five areas below, or null
    std::int16_t tagsTakePart;
    std::int16_t nameToggle;
    std::int16_t textBlockNumber;
    std::int16_t staffCount;
    std::int16_t measureCount;
    std::int16_t staffSystemCount;
    std::int16_t matchPosition;
    std::int16_t lengthChange;
    char* textCopy;  // owned; the whole text holding the current match
    std::int16_t foundCounter;
    std::int16_t replacedCounter;
    HWND resultsDialog;
    // A match is on the screen and not yet answered. Only then do the match
    // buttons act: their commands can still arrive once the buttons are
    // hidden (Enter, Space or a mnemonic on a control that keeps the focus
    // or the default border), and must not answer a match twice.
    std::int16_t matchAwaitingAnswer;
    // Record areas, one per kind that loads its stepping record.
    std::uint8_t pageTextArea[24];
    std::uint8_t measureTextArea[10];
    std::uint8_t expressionArea[14];
    std::uint8_t staffArea[36];
    std::uint8_t groupArea[30];
};
static_assert(offsetof(TextSearchState, key2) == offsetof(TextSearchState, key1) + 2);
static_assert(offsetof(TextSearchState, key3) == offsetof(TextSearchState, key1) + 4);
