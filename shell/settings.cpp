#include "shell/settings.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr std::int16_t kDefaultDuration = 1024;

// Reads one stored record whole. Only a value of exactly the record's size
// is taken: a longer one fails the read, and a shorter one would leave the
// tail of the record as whatever the scratch buffer held.
void ReadRecordValue(HKEY key, const char* name, void* record, DWORD recordSize) {
    BYTE scratch[sizeof(TextSearchPrefs)];
    static_assert(sizeof(TextSearchPrefs) >= sizeof(CriteriaRecord));
    if (recordSize > sizeof(scratch)) return;
    DWORD size = recordSize;
    if (RegQueryValueExA(key, name, nullptr, nullptr, scratch, &size) != ERROR_SUCCESS) return;
    if (size != recordSize) return;
    std::memcpy(record, scratch, recordSize);
}

void WriteRecordValue(HKEY key, const char* name, const void* record, DWORD recordSize) {
    // A value that cannot be written must not stop the others.
    RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE*>(record), recordSize);
}

void ResetPrefs(TextSearchPrefs* prefs) {
    if (prefs == nullptr) return;
    prefs->searchString[0] = '\0';
    prefs->replaceString[0] = '\0';
    prefs->replaceSwitch = 0;
    prefs->caseSensitive = 0;
    prefs->searchTags = 0;
    // Everything but ending repeats and lyrics is searched by default.
    static constexpr std::int16_t kElementDefaults[kElementSwitchCount] = {1, 1, 1, 1, 1, 1, 0, 0};
    for (int i = 0; i < kElementSwitchCount; ++i) prefs->elementSwitch[i] = kElementDefaults[i];
    prefs->setupLeft = kNotPlaced;
    prefs->setupTop = kNotPlaced;
    prefs->resultsLeft = kNotPlaced;
    prefs->resultsTop = kNotPlaced;
}

}  // namespace

void ResetCriteria(CriteriaRecord* record) {
    if (record == nullptr) return;
    for (std::int16_t& slot : record->entrySlots) slot = 0;
    record->durationSwitch = 0;
    record->durationValue = kDefaultDuration;
    record->positionSwitch = 0;
    record->positionValue = 0;
    for (std::int16_t& slot : record->noteSlots) slot = 0;
    record->displacementSwitch = 0;
    record->displacementValue = 0;
    record->raiseLowerSwitch = 0;
    record->raiseLowerValue = 0;
    record->booleanSwitch = 1;
    // noteSpecific is the dialog's to set; a reset of the page keeps it.
    record->dialogLeft = kNotPlaced;
    record->dialogTop = kNotPlaced;
}

void ResetAllSettings(CriteriaRecord* search, CriteriaRecord* replace, TextSearchPrefs* prefs) {
    ResetCriteria(search);
    ResetCriteria(replace);
    ResetPrefs(prefs);
}

std::int32_t LoadSettings(CriteriaRecord* search, CriteriaRecord* replace, TextSearchPrefs* prefs) {
    ResetAllSettings(search, replace, prefs);
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) return status;
    if (search != nullptr) ReadRecordValue(key, kSearchOptionsValue, search, sizeof(CriteriaRecord));
    if (replace != nullptr) ReadRecordValue(key, kReplaceOptionsValue, replace, sizeof(CriteriaRecord));
    if (prefs != nullptr) {
        ReadRecordValue(key, kTextSearchPrefsValue, prefs, sizeof(TextSearchPrefs));
        // A damaged value may lack the terminating zero; the string fields
        // are read as C strings everywhere.
        prefs->searchString[kPrefsStringSize - 1] = '\0';
        prefs->replaceString[kPrefsStringSize - 1] = '\0';
    }
    return RegCloseKey(key);
}

std::int32_t SaveSettings(const CriteriaRecord* search, const CriteriaRecord* replace, const TextSearchPrefs* prefs) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                     nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS) return status;
    if (search != nullptr) WriteRecordValue(key, kSearchOptionsValue, search, sizeof(CriteriaRecord));
    if (replace != nullptr) WriteRecordValue(key, kReplaceOptionsValue, replace, sizeof(CriteriaRecord));
    if (prefs != nullptr) WriteRecordValue(key, kTextSearchPrefsValue, prefs, sizeof(TextSearchPrefs));
    return RegCloseKey(key);
}
