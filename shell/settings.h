// Defaults of the three settings records and their registry store.
#pragma once

#include <cstdint>

#include "shell/records.h"

inline constexpr char kSettingsKey[] = "Software\\OrvoPlugins\\OrvoSearchReplace111";
inline constexpr char kSearchOptionsValue[] = "SearchOptions";
inline constexpr char kReplaceOptionsValue[] = "ReplaceOptions";
inline constexpr char kTextSearchPrefsValue[] = "TextSearchPrefs";

void ResetCriteria(CriteriaRecord* record);  // offset 106 kept; null ignored
void ResetAllSettings(CriteriaRecord* search, CriteriaRecord* replace, TextSearchPrefs* prefs);
// Both return 0 or the registry's error code.
std::int32_t LoadSettings(CriteriaRecord* search, CriteriaRecord* replace, TextSearchPrefs* prefs);
std::int32_t SaveSettings(const CriteriaRecord* search, const CriteriaRecord* replace, const TextSearchPrefs* prefs);
