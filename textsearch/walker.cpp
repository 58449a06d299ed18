// The walk over the stored texts: kind after kind, element after element,
// each element's text handed to the matcher from its start.
#include "textsearch/walker.h"

#include <cstring>

#include "shell/host_services.h"
#include "shell/plugin_state.h"
#include "shell/text_alloc.h"
#include "textsearch/matcher.h"
#include "textsearch/text_tags.h"

namespace {

// Lyrics blocks above this number are never visited.
constexpr std::int16_t kLastLyricsBlock = 1000;
constexpr std::int16_t kLastKey = 32767;
constexpr std::uint32_t kTextBlockRecordBytes = 48;
// A reported size this large cannot be held with its extra terminator.
constexpr std::uint32_t kLargestRecord = 0x7FFFFFFE;

struct KindSetup {
    std::uint32_t tag;
    std::int32_t recordSize;
    std::int16_t key1, key2, key3;
    std::int16_t tagsTakePart;
};

// Indexed by TextElementKind. Key fields a kind does not use are cleared so
// a run never depends on what the previous kind left behind.
constexpr KindSetup kKindSetup[kTextElementKindCount] = {
    {kTagPageTextAssignment, 24, 0, 0, 0, 1},
    {kTagMeasureTextAssignment, 10, 1, 1, 0, 1},
    {kTagTextExpression, 14, 0, 0, 0, 0},
    {kTagStaff, 36, 0, 0, 0, 1},
    {kTagGroup, 30, 0, 1, 0, 1},
    {kTagTextRepeat, 16, 1, 0, 0, 0},
    {kTagEndingRepeat, 28, 1, 0, 0, 0},
    {kTagVerseLyrics, 0, 1, 0, 0, 1},
    {kTagChorusLyrics, 0, 1, 0, 0, 1},
    {kTagSectionLyrics, 0, 1, 0, 0, 1},
};

std::uint8_t* AreaOfKind(std::int32_t kind) {
    TextSearchState& s = g_plugin.text;
    switch (kind) {
        case PageTextBlocks:
            return s.pageTextArea;
        case MeasureTextBlocks:
            return s.measureTextArea;
        case TextExpressions:
            return s.expressionArea;
        case StaffNames:
            return s.staffArea;
        case GroupNames:
            return s.groupArea;
        default:
            return nullptr;  // kinds 5 to 9 only probe
    }
}

std::int16_t ReadInt16(const std::uint8_t* bytes, std::size_t offset) {
    std::int16_t value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

// Loads the current element's stepping record into the kind's area (or only
// probes when there is none); `size` receives the stored size. Every load
// offers the area's full size: a size the host reported for an earlier probe
// is no capacity. The area is cleared first so that a record shorter than
// it cannot leave the previous element's ids behind.
std::int16_t LoadCurrent(std::uint32_t* size = nullptr) {
    TextSearchState& s = g_plugin.text;
    if (s.recordArea != nullptr) std::memset(s.recordArea, 0, static_cast<std::size_t>(s.recordSize));
    std::uint32_t capacity = static_cast<std::uint32_t>(s.recordSize);
    const std::int16_t found = HS_LoadEData(s.currentTag, &s.key1, s.recordArea, &capacity);
    if (size != nullptr) *size = capacity;
    return found;
}

// The whole record in a fresh heap block with one zero byte more than the
// record holds, so a text stored without its terminator still ends inside
// the block. Null when the record is missing or memory runs out.
char* LoadWholeRecord(std::uint32_t tag, std::int16_t* key, std::uint32_t* loadedSize) {
    std::uint32_t size = 0;
    if (!HS_LoadEData(tag, key, nullptr, &size) || size > kLargestRecord) return nullptr;
    const std::size_t bytes = static_cast<std::size_t>(size) + 1;
    char* buffer = AllocText(bytes);
    if (buffer == nullptr) return nullptr;
    std::memset(buffer, 0, bytes);
    std::uint32_t got = size;
    if (!HS_LoadEData(tag, key, buffer, &got)) {
        FreeText(buffer);
        return nullptr;
    }
    *loadedSize = got < size ? got : size;
    return buffer;
}

// Matches a heap text and releases it; the matcher keeps its own copy.
std::int16_t MatchAndRelease(char* text) {
    if (text == nullptr) return 0;
    const std::int16_t found = MatchText(text, 0);
    FreeText(text);
    return found;
}

// Block kinds: element id -> TextBlockRecord -> TextBlockText.
std::int16_t MatchTextBlock(std::int16_t id) {
    std::uint8_t block[kTextBlockRecordBytes] = {};
    std::int16_t key[3] = {id, 0, 0};
    std::uint32_t size = kTextBlockRecordBytes;
    if (!HS_LoadEData(kTagTextBlock, key, block, &size)) return 0;
    return MatchAndRelease(LoadTextBlockText(ReadInt16(block, 0)));
}

// Staff and group names: the full name on the first read of an element,
// the abbreviated name on the second.
std::int16_t MatchName(std::size_t fullOffset, std::size_t abbreviatedOffset) {
    TextSearchState& s = g_plugin.text;
    std::size_t offset;
    if (s.nameToggle == 0) {
        s.nameToggle = 1;
        offset = fullOffset;
    } else {
        s.nameToggle = 0;
        offset = abbreviatedOffset;
    }
    return MatchTextBlock(ReadInt16(AreaOfKind(s.currentKind), offset));
}

std::int16_t MatchExpression() {
    TextSearchState& s = g_plugin.text;
    std::uint32_t size = 0;
    char* record = LoadWholeRecord(kTagTextExpression, &s.key1, &size);
    if (record == nullptr) return 0;
    // A record shorter than its header holds no text at all.
    std::int16_t found = 0;
    if (size >= kExpressionHeaderBytes) found = MatchText(record + kExpressionHeaderBytes, 0);
    FreeText(record);
    return found;
}

std::int16_t MatchWholeRecordText(std::uint32_t tag) {
    std::uint32_t size = 0;
    return MatchAndRelease(LoadWholeRecord(tag, &g_plugin.text.key1, &size));
}

// One more than `key`, or false when the key is already the last one.
bool Advance(std::int16_t* key) {
    if (*key >= kLastKey) return false;
    ++*key;
    return true;
}

std::int16_t StepMeasureText() {
    TextSearchState& s = g_plugin.text;
    if (Advance(&s.key3) && LoadCurrent()) return 1;
    for (;;) {
        s.key3 = 0;
        if (s.key1 < s.staffCount) {
            ++s.key1;
        } else {
            s.key1 = 1;
            // Compared before storing so the last measure number cannot wrap.
            if (s.key2 >= s.measureCount) return 0;
            ++s.key2;
        }
        if (LoadCurrent()) return 1;
    }
}

std::int16_t StepGroup() {
    TextSearchState& s = g_plugin.text;
    if (s.nameToggle == 1) return 1;
    if (Advance(&s.key2) && LoadCurrent()) return 1;
    for (;;) {
        s.key2 = 1;
        if (s.key1 >= s.staffSystemCount) return 0;
        ++s.key1;
        if (LoadCurrent()) return 1;
    }
}

// Ending repeats and lyrics pass over missing numbers up to a last one.
std::int16_t StepOverGaps(std::int16_t last) {
    TextSearchState& s = g_plugin.text;
    while (s.key1 < last) {
        ++s.key1;
        if (LoadCurrent()) return 1;
    }
    return 0;
}

}  // namespace

bool KindEnabled(std::int32_t kind) {
    if (kind < 0 || kind >= kTextElementKindCount) return false;
    const int switchIndex = kind < VerseLyrics ? kind : VerseLyrics;
    return g_plugin.prefs.elementSwitch[switchIndex] != 0;
}

std::int16_t NextEnabledKind() {
    for (std::int32_t kind = g_plugin.text.currentKind + 1; kind < kTextElementKindCount; ++kind) {
        if (KindEnabled(kind)) {
            g_plugin.text.currentKind = kind;
            return 1;
        }
    }
    return 0;
}

std::int16_t StartKind() {
    TextSearchState& s = g_plugin.text;
    if (s.currentKind < 0 || s.currentKind >= kTextElementKindCount) return 0;
    const KindSetup& setup = kKindSetup[s.currentKind];
    s.currentTag = setup.tag;
    s.recordSize = setup.recordSize;
    s.recordArea = AreaOfKind(s.currentKind);
    s.key1 = setup.key1;
    s.key2 = setup.key2;
    s.key3 = setup.key3;
    s.tagsTakePart = setup.tagsTakePart;
    switch (s.currentKind) {
        case MeasureTextBlocks:
            s.staffCount = CountRecords(kTagStaff, 36);
            s.measureCount = CountRecords(kTagMeasure, 12);
            break;
        case StaffNames:
            s.nameToggle = 0;
            break;
        case GroupNames:
            s.nameToggle = 0;
            s.staffSystemCount = CountRecords(kTagStaffSystem, 20);
            break;
        case EndingRepeats:
            s.measureCount = CountRecords(kTagMeasure, 12);
            break;
        default:
            break;
    }

    std::uint32_t size = 0;
    const bool exists = LoadCurrent(&size) != 0 && size != 0;
    if (!exists && !StepElement()) {
        // No element at all: the next enabled kind has searched by itself.
        return NextEnabledKind() ? StartKind() : 0;
    }
    if (SearchFromElement()) return 1;
    return NextEnabledKind() ? StartKind() : 0;
}

std::int16_t StepElement() {
    TextSearchState& s = g_plugin.text;
    switch (s.currentKind) {
        case PageTextBlocks:
            // The host's order decides which block follows.
            std::memset(s.pageTextArea, 0, sizeof s.pageTextArea);
            return HS_NextEData(s.currentTag, &s.key1, s.recordArea, static_cast<std::uint32_t>(s.recordSize)) ? 1 : 0;
        case MeasureTextBlocks:
            return StepMeasureText();
        case TextExpressions:
            return Advance(&s.key1) && LoadCurrent() ? 1 : 0;
        case StaffNames:
            if (s.nameToggle == 1) return 1;  // same staff again, for its abbreviated name
            return Advance(&s.key1) && LoadCurrent() ? 1 : 0;
        case GroupNames:
            return StepGroup();
        case TextRepeats: {
            if (!Advance(&s.key1)) return 0;
            std::uint32_t size = 0;
            const std::int16_t found = LoadCurrent(&size);
            return found && size != 0 ? 1 : 0;
        }
        case EndingRepeats:
            return StepOverGaps(s.measureCount);
        case VerseLyrics:
        case ChorusLyrics:
        case SectionLyrics:
            return StepOverGaps(kLastLyricsBlock);
        default:
            return 0;
    }
}

std::int16_t SearchFromElement() {
    for (;;) {
        if (ReadAndMatchElement()) return 1;
        if (!StepElement()) return 0;
    }
}

std::int16_t ReadAndMatchElement() {
    TextSearchState& s = g_plugin.text;
    switch (s.currentKind) {
        case PageTextBlocks:
        case MeasureTextBlocks:
            return MatchTextBlock(ReadInt16(AreaOfKind(s.currentKind), 0));
        case TextExpressions:
            return MatchExpression();
        case StaffNames:
            return MatchName(30, 32);
        case GroupNames:
            return MatchName(4, 22);
        case TextRepeats:
            return MatchWholeRecordText(kTagTextRepeatText);
        case EndingRepeats:
            return MatchWholeRecordText(kTagEndingRepeatText);
        case VerseLyrics:
        case ChorusLyrics:
        case SectionLyrics:
            return MatchWholeRecordText(s.currentTag);
        default:
            return 0;
    }
}

char* LoadTextBlockText(std::int16_t number) {
    g_plugin.text.textBlockNumber = number;
    std::int16_t key[3] = {number, 0, 0};
    std::uint32_t size = 0;
    return LoadWholeRecord(kTagTextBlockText, key, &size);
}

std::int16_t CountRecords(std::uint32_t tag, std::int32_t size) {
    std::int16_t key[3] = {1, 0, 0};
    std::int16_t count = 0;
    for (;;) {
        std::uint32_t probeSize = static_cast<std::uint32_t>(size);
        if (!HS_LoadEData(tag, key, nullptr, &probeSize)) break;
        ++count;
        // Numbers stop at the largest key; counting on would wrap negative.
        if (key[0] == kLastKey) break;
        ++key[0];
    }
    return count;
}
