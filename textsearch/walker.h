// The walk over the stored texts of the enabled kinds. All operations work
// on g_plugin.text and read g_plugin.prefs; results are 16-bit truth values.
#pragma once

#include <cstdint>

std::int16_t NextEnabledKind();
std::int16_t StartKind();
std::int16_t StepElement();
std::int16_t SearchFromElement();
std::int16_t ReadAndMatchElement();
char* LoadTextBlockText(std::int16_t number);  // caller frees with FreeText
std::int16_t CountRecords(std::uint32_t tag, std::int32_t size);
// Whether the element switch that serves this kind is on.
bool KindEnabled(std::int32_t kind);
