// The text walker over random documents: records of every tag the walk
// reads, with odd sizes, texts without terminators, ids that lead nowhere
// and gaps in the numbers, walked to the end with random answers (replace
// or go on), memory that may run out and writes the host may refuse. The
// walk must end, read nothing outside a record, and leave no copy alive.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "shell/plugin_state.h"
#include "shell/text_alloc.h"
#include "textsearch/matcher.h"
#include "textsearch/text_tags.h"
#include "textsearch/walker.h"

namespace {

constexpr std::uint32_t kTags[] = {
    kTagPageTextAssignment,
    kTagMeasureTextAssignment,
    kTagTextExpression,
    kTagStaff,
    kTagGroup,
    kTagTextRepeat,
    kTagTextRepeatText,
    kTagEndingRepeat,
    kTagEndingRepeatText,
    kTagVerseLyrics,
    kTagChorusLyrics,
    kTagSectionLyrics,
    kTagTextBlock,
    kTagTextBlockText,
    kTagMeasure,
    kTagStaffSystem,
};
constexpr int kMostRecords = 64;
constexpr int kMostSteps = 3000;
constexpr std::size_t kLargestRecord = 400;

std::int16_t KeyField(FuzzedDataProvider& in) {
    // Mostly small numbers, which the walk probes; now and then anything.
    if (in.ConsumeIntegralInRange<int>(0, 15) == 0) return in.ConsumeIntegral<std::int16_t>();
    return in.ConsumeIntegralInRange<std::int16_t>(-1, 12);
}

// Record bytes: random, or a text with carets and parentheses in it, with
// its terminator or without.
host::Bytes RecordBytes(FuzzedDataProvider& in) {
    const std::size_t size = in.ConsumeIntegralInRange<std::size_t>(0, kLargestRecord);
    host::Bytes bytes;
    if (in.ConsumeBool()) {
        static const char kAlphabet[] = "ab^()A^^B ";
        for (std::size_t i = 0; i < size; ++i)
            bytes.push_back(static_cast<std::uint8_t>(kAlphabet[in.ConsumeIntegralInRange<int>(0, 9)]));
        if (in.ConsumeBool() && !bytes.empty()) bytes.back() = 0;
    } else {
        bytes = in.ConsumeBytes<std::uint8_t>(size);
    }
    return bytes;
}

void SetPrefs(FuzzedDataProvider& in) {
    TextSearchPrefs& p = g_plugin.prefs;
    p = TextSearchPrefs{};
    const std::string search = fuzz::CString(in.ConsumeRandomLengthString(3));
    const std::string replace = fuzz::CString(in.ConsumeRandomLengthString(4));
    std::memcpy(p.searchString, search.data(), search.size());
    std::memcpy(p.replaceString, replace.data(), replace.size());
    const std::uint16_t switches = in.ConsumeIntegral<std::uint16_t>();
    p.replaceSwitch = 1;
    p.caseSensitive = switches & 1;
    p.searchTags = (switches >> 1) & 1;
    for (int i = 0; i < kElementSwitchCount; ++i) p.elementSwitch[i] = (switches >> (2 + i)) & 1;
}

// The run as the results dialog starts it.
bool StartRun() {
    TextSearchState& t = g_plugin.text;
    t.foundCounter = 0;
    t.replacedCounter = 0;
    t.matchPosition = 0;
    t.currentKind = -1;
    if (!NextEnabledKind()) return false;
    return StartKind() != 0;
}

bool NextMatch() {
    return FindNextInText() || (StepElement() && SearchFromElement()) || (NextEnabledKind() && StartKind());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    host::Document doc;
    const int records = in.ConsumeIntegralInRange<int>(0, kMostRecords);
    for (int r = 0; r < records && in.remaining_bytes() > 0; ++r) {
        const std::uint32_t tag = in.ConsumeBool()
                                      ? kTags[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kTags) - 1)]
                                      : in.ConsumeIntegral<std::uint32_t>();
        const host::Key key{KeyField(in), KeyField(in), KeyField(in)};
        doc.SetRecord(tag, key, RecordBytes(in));
    }
    SetPrefs(in);
    const std::uint32_t answers = in.ConsumeIntegral<std::uint32_t>();
    const int failAlloc = in.ConsumeIntegralInRange<int>(0, 40);
    const bool refuseWrites = in.ConsumeBool();

    sim::Reset();
    host::ResetServices();
    host::AttachDocument(&doc);
    host::RefuseRecordWrites(refuseWrites);
    // A fresh state each time, so that a finding replays from its input alone.
    FreeText(g_plugin.text.textCopy);
    g_plugin.text = TextSearchState{};
    const int heapBefore = sim::LiveHeapBlocks();
    sim::FailHeapAllocAt(failAlloc);

    int steps = 0;
    for (bool found = StartRun(); found && steps < kMostSteps; found = NextMatch(), ++steps) {
        // Each answer is a bit: replace this match, or go on after it.
        if ((answers >> (steps % 32)) & 1) {
            ReplaceMatch();
        } else {
            g_plugin.text.lengthChange = 0;
        }
        std::int16_t position = g_plugin.text.matchPosition;
        FreeText(MakeDisplayText(&position));
    }

    sim::FailHeapAllocAt(0);
    FreeText(g_plugin.text.textCopy);
    g_plugin.text.textCopy = nullptr;
    if (sim::LiveHeapBlocks() != heapBefore) fuzz::Fail("walk", "heap copies left alive");
    host::RefuseRecordWrites(false);
    host::AttachDocument(nullptr);
    return 0;
}
