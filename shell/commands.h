// The operations the command dispatch calls.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/host_records.h"
#include "shell/records.h"

// Text command: setup dialog, then the results dialog that runs the search. Always 1.
std::int16_t RunTextCommand(HWND hostWindow);

// Criteria dialog on working copies; nonzero when the user pressed "&GO!".
std::int16_t RunCriteriaDialog(HWND hostWindow, CriteriaRecord* searchRecord, CriteriaRecord* replaceRecord);

// Replacement count, or kScanCancelled. Counted in 32 bits so that a large
// run can never be mistaken for a cancel.
constexpr std::int32_t kScanCancelled = -1;
std::int32_t ScanRegion(const CriteriaRecord* search, const CriteriaRecord* replace, const RegionRecord* region);
