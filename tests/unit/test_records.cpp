// Defaults of the three settings records and the criteria reset.
#include <gtest/gtest.h>

#include <cstring>

#include "shell/records.h"
#include "shell/settings.h"

namespace {

// Each field a default puts in place, by byte offset, in the caller's words.
struct FieldDefault {
    int offset;
    std::int16_t value;
    const char* what;
};

std::int16_t FieldAt(const void* record, int offset) {
    std::int16_t value;
    std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof(value));
    return value;
}

void ExpectCriteriaDefaults(const CriteriaRecord& record, const char* side) {
    static const FieldDefault kFields[] = {
        {68, 0, "duration switch"},     {70, 1024, "duration value"},   {72, 0, "position switch"},
        {74, 0, "position value"},      {96, 0, "displacement switch"}, {98, 0, "displacement value"},
        {100, 0, "raise/lower switch"}, {102, 0, "raise/lower value"},  {104, 1, "Boolean switch AND"},
        {108, -32768, "dialog left"},   {110, -32768, "dialog top"},
    };
    for (const FieldDefault& f : kFields) {
        EXPECT_EQ(FieldAt(&record, f.offset), f.value) << side << ": " << f.what << " at offset " << f.offset;
    }
    for (int r = 0; r < kEntryAttributeCount; ++r) EXPECT_EQ(FieldAt(&record, 2 * r), 0) << side << " entry slot " << r;
    for (int r = 0; r < kNoteAttributeCount; ++r) {
        EXPECT_EQ(FieldAt(&record, 76 + 2 * r), 0) << side << " note slot " << r;
    }
}

CriteriaRecord Filled(unsigned char byte) {
    CriteriaRecord record;
    std::memset(&record, byte, sizeof(record));
    return record;
}

TEST(ResetCriteria, PutsEveryFieldToItsDefaultAndKeepsTheNoteSpecificFlag) {
    // Rows: what offset 106 holds before the reset; the reset must not touch it.
    const std::int16_t kBefore[] = {0, 1, -1, 0x7bbd};
    for (std::int16_t before : kBefore) {
        CriteriaRecord record = Filled(0xbd);
        record.noteSpecific = before;
        ResetCriteria(&record);
        ExpectCriteriaDefaults(record, "reset record");
        EXPECT_EQ(FieldAt(&record, 106), before) << "note-specific flag changed by the reset";
    }
}

TEST(ResetCriteria, IgnoresANullRecord) { ResetCriteria(nullptr); }

TEST(ResetAllSettings, GivesBothCriteriaAndTheTextOptionsTheirDefaults) {
    CriteriaRecord search = Filled(0xbd);
    CriteriaRecord replace = Filled(0xbd);
    TextSearchPrefs prefs;
    std::memset(&prefs, 0xbd, sizeof(prefs));
    ResetAllSettings(&search, &replace, &prefs);
    ExpectCriteriaDefaults(search, "search");
    ExpectCriteriaDefaults(replace, "replace");
    EXPECT_EQ(FieldAt(&replace, 106), static_cast<std::int16_t>(0xbdbd)) << "replace-side note-specific flag";

    // Strings are emptied by their first byte only.
    EXPECT_EQ(prefs.searchString[0], '\0');
    EXPECT_EQ(prefs.replaceString[0], '\0');
    EXPECT_EQ(static_cast<unsigned char>(prefs.searchString[1]), 0xbd) << "only the first byte is a default";
    static const FieldDefault kFields[] = {
        {102, 0, "replace switch"},
        {104, 0, "case sensitive"},
        {106, 0, "search tags"},
        {108, 1, "page text blocks"},
        {110, 1, "measure text blocks"},
        {112, 1, "text expressions"},
        {114, 1, "staff names"},
        {116, 1, "group names"},
        {118, 1, "text repeats"},
        {120, 0, "ending repeats"},
        {122, 0, "lyrics"},
        {124, -32768, "setup left"},
        {126, -32768, "setup top"},
        {128, -32768, "results left"},
        {130, -32768, "results top"},
    };
    for (const FieldDefault& f : kFields) {
        EXPECT_EQ(FieldAt(&prefs, f.offset), f.value) << f.what << " at offset " << f.offset;
    }
}

}  // namespace
