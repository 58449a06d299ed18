// LoadSettings over random registry values of every size and type: a
// record is taken only from a value of exactly its size, every other record
// keeps its defaults, the strings always end inside their fields, nothing is
// written beyond the records, and saving afterwards stores the three records
// as they are in memory.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/sim/sim.h"
#include "shell/records.h"
#include "shell/settings.h"

namespace {

constexpr std::uint8_t kSentinel = 0xbd;
constexpr std::size_t kSlack = 16;
constexpr DWORD kTypes[] = {REG_BINARY, REG_SZ, REG_DWORD, REG_NONE};
const char* const kNames[] = {kSearchOptionsValue, kReplaceOptionsValue, kTextSearchPrefsValue};
constexpr std::size_t kRecordSizes[] = {sizeof(CriteriaRecord), sizeof(CriteriaRecord), sizeof(TextSearchPrefs)};

// Records with sentinel bytes after them, to see writes past their ends.
struct Guarded {
    alignas(8) std::uint8_t bytes[sizeof(TextSearchPrefs) + kSlack];
};

std::vector<std::uint8_t> Bytes(const void* record, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(record);
    return std::vector<std::uint8_t>(p, p + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    sim::Reset();
    sim::UseEmptyHive();

    // Each value: absent, or present with some type and some bytes. Sizes
    // near the records' own are the interesting ones, so they come often.
    std::vector<std::uint8_t> stored[3];
    bool present[3] = {};
    for (int v = 0; v < 3; ++v) {
        const int mode = in.ConsumeIntegralInRange<int>(0, 3);
        if (mode == 0) continue;
        std::size_t length;
        if (mode == 1) {
            length = kRecordSizes[v];
        } else if (mode == 2) {
            length = kRecordSizes[v] + in.ConsumeIntegralInRange<int>(-2, 2);
        } else {
            length = in.ConsumeIntegralInRange<std::size_t>(0, 600);
        }
        stored[v] = in.ConsumeBytes<std::uint8_t>(length);
        stored[v].resize(length, 0x5a);
        present[v] = true;
        sim::SetHiveValue(kSettingsKey, kNames[v], kTypes[in.ConsumeIntegralInRange<int>(0, 3)], stored[v]);
    }
    if (in.ConsumeBool()) sim::SetHiveValue(kSettingsKey, "Unrelated", REG_BINARY, {1, 2, 3});
    const bool failOpen = in.ConsumeBool() && in.ConsumeBool();
    if (failOpen) sim::FailNextRegistry(sim::RegistryFailure::Open);

    Guarded records[3];
    for (Guarded& g : records) std::memset(g.bytes, kSentinel, sizeof g.bytes);
    auto* search = reinterpret_cast<CriteriaRecord*>(records[0].bytes);
    auto* replace = reinterpret_cast<CriteriaRecord*>(records[1].bytes);
    auto* prefs = reinterpret_cast<TextSearchPrefs*>(records[2].bytes);
    LoadSettings(search, replace, prefs);

    // What each record must hold: its defaults, or the stored bytes when the
    // value has exactly the record's size.
    CriteriaRecord defaultSearch{}, defaultReplace{};
    TextSearchPrefs defaultPrefs{};
    std::memset(&defaultSearch, kSentinel, sizeof defaultSearch);
    std::memset(&defaultReplace, kSentinel, sizeof defaultReplace);
    std::memset(&defaultPrefs, kSentinel, sizeof defaultPrefs);
    ResetAllSettings(&defaultSearch, &defaultReplace, &defaultPrefs);
    std::vector<std::uint8_t> expected[3] = {Bytes(&defaultSearch, sizeof defaultSearch),
                                             Bytes(&defaultReplace, sizeof defaultReplace),
                                             Bytes(&defaultPrefs, sizeof defaultPrefs)};
    for (int v = 0; v < 3; ++v) {
        if (!failOpen && present[v] && stored[v].size() == kRecordSizes[v]) expected[v] = stored[v];
    }
    // The last byte of each string field may have been cleared to end a
    // damaged string; every other byte is as expected.
    const std::size_t lastBytes[] = {offsetof(TextSearchPrefs, searchString) + kPrefsStringSize - 1,
                                     offsetof(TextSearchPrefs, replaceString) + kPrefsStringSize - 1};
    for (std::size_t at : lastBytes)
        if (records[2].bytes[at] == 0) expected[2][at] = 0;
    for (int v = 0; v < 3; ++v) {
        if (Bytes(records[v].bytes, kRecordSizes[v]) != expected[v]) {
            fuzz::Fail(kNames[v], "loaded record differs from " +
                                      std::string(present[v] ? "the stored value of " : "") +
                                      (present[v] ? std::to_string(stored[v].size()) + " bytes" : "the defaults"));
        }
        for (std::size_t i = kRecordSizes[v]; i < sizeof records[v].bytes; ++i)
            if (records[v].bytes[i] != kSentinel) fuzz::Fail(kNames[v], "written past the record");
    }
    if (std::memchr(prefs->searchString, 0, kPrefsStringSize) == nullptr ||
        std::memchr(prefs->replaceString, 0, kPrefsStringSize) == nullptr) {
        fuzz::Fail(kTextSearchPrefsValue, "a string does not end inside its field");
    }
    if (sim::OpenKeys() != 0) fuzz::Fail("LoadSettings", "registry key left open");

    if (SaveSettings(search, replace, prefs) != 0) fuzz::Fail("SaveSettings", "failed on a writable hive");
    for (int v = 0; v < 3; ++v) {
        const auto value = sim::HiveValue(kSettingsKey, kNames[v]);
        if (!value || *value != Bytes(records[v].bytes, kRecordSizes[v])) fuzz::Fail(kNames[v], "saved bytes differ");
    }
    if (sim::OpenKeys() != 0) fuzz::Fail("SaveSettings", "registry key left open");
    return 0;
}
