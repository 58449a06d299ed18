// The settings store against a scratch registry hive.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/sim/sim.h"
#include "shell/records.h"
#include "shell/settings.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename Record>
Bytes BytesOf(const Record& record) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&record);
    return Bytes(p, p + sizeof(Record));
}

struct Records {
    CriteriaRecord search;
    CriteriaRecord replace;
    TextSearchPrefs prefs;
};

Records Sentinels() {
    Records r;
    std::memset(&r, 0xbd, sizeof(r));
    return r;
}

Records Defaults() {
    Records r = Sentinels();
    ResetAllSettings(&r.search, &r.replace, &r.prefs);
    r.prefs.searchString[kPrefsStringSize - 1] = '\0';
    r.prefs.replaceString[kPrefsStringSize - 1] = '\0';
    return r;
}

// Records unlike the defaults in every field, with terminated strings.
Records Distinct() {
    Records r;
    auto* p = reinterpret_cast<std::uint8_t*>(&r);
    for (std::size_t i = 0; i < sizeof(r); ++i) p[i] = static_cast<std::uint8_t>(i * 7 + 3);
    r.prefs.searchString[kPrefsStringSize - 1] = '\0';
    r.prefs.replaceString[kPrefsStringSize - 1] = '\0';
    r.replace.noteSpecific = 1;
    return r;
}

std::int32_t Load(Records* r) { return LoadSettings(&r->search, &r->replace, &r->prefs); }
std::int32_t Save(const Records& r) { return SaveSettings(&r.search, &r.replace, &r.prefs); }

void ExpectSameBytes(const Bytes& got, const Bytes& expected, const char* what) {
    ASSERT_EQ(got.size(), expected.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(int(got[i]), int(expected[i])) << what << ": byte " << i;
    }
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::UseEmptyHive();
    }
};

TEST_F(SettingsStore, FirstUseGivesTheDefaultsAndReportsTheMissingKey) {
    Records r = Sentinels();
    EXPECT_EQ(Load(&r), ERROR_FILE_NOT_FOUND);
    Records expected = Defaults();
    ExpectSameBytes(BytesOf(r.search), BytesOf(expected.search), "search side");
    EXPECT_EQ(r.prefs.searchString[0], '\0');
    EXPECT_EQ(r.prefs.replaceString[0], '\0');
    EXPECT_EQ(r.prefs.elementSwitch[6], 0);
    EXPECT_EQ(r.prefs.resultsTop, kNotPlaced);
}

TEST_F(SettingsStore, SaveThenLoadGivesBackEveryByte) {
    Records saved = Distinct();
    ASSERT_EQ(Save(saved), 0);
    ExpectSameBytes(*sim::HiveValue(kSettingsKey, "SearchOptions"), BytesOf(saved.search), "stored SearchOptions");
    ExpectSameBytes(*sim::HiveValue(kSettingsKey, "ReplaceOptions"), BytesOf(saved.replace), "stored ReplaceOptions");
    ExpectSameBytes(*sim::HiveValue(kSettingsKey, "TextSearchPrefs"), BytesOf(saved.prefs), "stored TextSearchPrefs");
    // Stored as binary values, which the .reg file writes as hex:.
    std::string hive = sim::HiveText();
    EXPECT_NE(hive.find("\"SearchOptions\"=hex:"), std::string::npos) << hive;
    EXPECT_NE(hive.find("\"TextSearchPrefs\"=hex:"), std::string::npos) << hive;

    Records loaded = Sentinels();
    ASSERT_EQ(Load(&loaded), 0);
    ExpectSameBytes(BytesOf(loaded.search), BytesOf(saved.search), "search side");
    ExpectSameBytes(BytesOf(loaded.replace), BytesOf(saved.replace), "replace side, offset 106 included");
    ExpectSameBytes(BytesOf(loaded.prefs), BytesOf(saved.prefs), "text options");
}

TEST_F(SettingsStore, OnlyTheTextOptionsStoredLeavesBothCriteriaAtTheirDefaults) {
    Records stored = Distinct();
    sim::SetHiveValue(kSettingsKey, "TextSearchPrefs", REG_BINARY, BytesOf(stored.prefs));
    Records r = Sentinels();
    ASSERT_EQ(Load(&r), 0);
    Records expected = Defaults();
    ExpectSameBytes(BytesOf(r.search), BytesOf(expected.search), "search side");
    // Offset 106 is not a default; it keeps whatever the record held.
    ExpectSameBytes(BytesOf(r.replace), BytesOf(expected.replace), "replace side");
    ExpectSameBytes(BytesOf(r.prefs), BytesOf(stored.prefs), "text options");
}

TEST_F(SettingsStore, AValueOfAnyOtherSizeThanItsRecordIsLeftAtTheDefaults) {
    struct Case {
        std::size_t size;
        bool taken;
        const char* what;
    };
    const Case kCases[] = {
        {112, true, "exact size: taken"},
        {200, false, "longer: the read fails"},
        {113, false, "one byte too many"},
        {111, false, "one byte short: the tail would be garbage"},
        {2, false, "a stub"},
        {0, false, "empty"},
    };
    Records stored = Distinct();
    for (const Case& c : kCases) {
        sim::UseEmptyHive();
        Bytes value(c.size, 0x11);
        sim::SetHiveValue(kSettingsKey, "SearchOptions", REG_BINARY, value);
        sim::SetHiveValue(kSettingsKey, "ReplaceOptions", REG_BINARY, BytesOf(stored.replace));
        sim::SetHiveValue(kSettingsKey, "TextSearchPrefs", REG_BINARY, BytesOf(stored.prefs));
        Records r = Sentinels();
        EXPECT_EQ(Load(&r), 0) << c.what;
        Records expected = Defaults();
        if (c.taken) std::memset(&expected.search, 0x11, sizeof(expected.search));
        ExpectSameBytes(BytesOf(r.search), BytesOf(expected.search), c.what);
        // The neighbours are read normally whatever happened to this one.
        ExpectSameBytes(BytesOf(r.replace), BytesOf(stored.replace), c.what);
        ExpectSameBytes(BytesOf(r.prefs), BytesOf(stored.prefs), c.what);
    }
}

TEST_F(SettingsStore, UnterminatedStringsAreCutAtTheirLastByte) {
    Bytes value(sizeof(TextSearchPrefs), 'x');
    sim::SetHiveValue(kSettingsKey, "TextSearchPrefs", REG_BINARY, value);
    Records r = Sentinels();
    ASSERT_EQ(Load(&r), 0);
    EXPECT_EQ(std::strlen(r.prefs.searchString), 50u);
    EXPECT_EQ(std::strlen(r.prefs.replaceString), 50u);
    EXPECT_EQ(r.prefs.replaceString[0], 'x') << "the rest of the value is taken";
}

TEST_F(SettingsStore, AKeyThatCannotBeOpenedLeavesTheDefaultsAndGivesItsCode) {
    Records stored = Distinct();
    ASSERT_EQ(Save(stored), 0);
    sim::FailNextRegistry(sim::RegistryFailure::Open, ERROR_ACCESS_DENIED);
    Records r = Sentinels();
    EXPECT_EQ(Load(&r), ERROR_ACCESS_DENIED);
    Records expected = Defaults();
    ExpectSameBytes(BytesOf(r.search), BytesOf(expected.search), "search side");
    EXPECT_EQ(r.prefs.elementSwitch[0], 1);
}

TEST_F(SettingsStore, AKeyThatCannotBeCreatedStoresNothingAndGivesItsCode) {
    sim::FailNextRegistry(sim::RegistryFailure::Create, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Save(Distinct()), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(sim::HiveValue(kSettingsKey, "SearchOptions").has_value());
    EXPECT_FALSE(sim::HiveValue(kSettingsKey, "TextSearchPrefs").has_value());
}

TEST_F(SettingsStore, AFailedCloseIsTheResult) {
    sim::FailNextRegistry(sim::RegistryFailure::Close, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(Save(Distinct()), ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace
