// The host's plug-in services, as the plug-in calls them. Numbers are 16-bit
// and results 16-bit truth values unless said otherwise.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/host_records.h"

// Value kinds of HS_GetDlgItemVal / HS_SetDlgItemVal.
enum HsValueKind : std::int16_t {
    HS_KIND_CHECKBOX = 1,  // read: nonzero when checked; written: 0, 1, or 2 (indeterminate)
    HS_KIND_RADIO = 2,     // nonzero when selected
    HS_KIND_NUMBER = 3,    // an edit's text as a signed 16-bit number
    HS_KIND_TRISTATE = 5,  // read only: 0 unchecked, 1 checked, 2 indeterminate
};

// A dialog procedure: dialog, message, wParam, lParam and an unread fifth
// argument. Returns 1 after WM_INITDIALOG, else 0.
typedef std::int16_t (*HS_DialogProc)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, std::int32_t unused);

extern "C" {

// Dialogs
std::int16_t HS_Dialog(std::int16_t templateId, HS_DialogProc proc, HWND hostWindow, std::int16_t one,
                                 std::int16_t zero);
std::int16_t HS_EndDialog(HWND dialog);
std::int16_t HS_EnableDlgItem(HWND dialog, std::int16_t id, std::int16_t enable);
std::int16_t HS_GetDlgItemVal(HWND dialog, std::int16_t id, std::int16_t kind);
std::int16_t HS_SetDlgItemVal(HWND dialog, std::int16_t id, std::int16_t kind, std::int16_t value);
std::int16_t HS_GetDlgString(HWND dialog, std::int16_t id, char* buffer, std::int16_t maxChars);
std::int16_t HS_SetDlgString(HWND dialog, std::int16_t id, const char* text);
std::int16_t HS_SetDlgFocus(HWND dialog, std::int16_t id);

// Data records by tag and key. `key` points at the first 16-bit key field;
// the host reads as many fields as the record type needs.
std::int16_t HS_LoadEData(std::uint32_t tag, std::int16_t* key, void* buffer, std::uint32_t* size);
std::int16_t HS_SaveEData(std::uint32_t tag, const std::int16_t* key, const void* data,
                                    std::uint32_t byteCount);
std::int16_t HS_NextEData(std::uint32_t tag, std::int16_t* key, void* buffer, std::uint32_t byteCount);

// Mass edit bracket and note entry frames
std::uint32_t HS_StartMassEdit(const RegionRecord* region, std::int16_t zero);
std::int16_t HS_MassEditProgress(std::uint32_t handle, std::int16_t four, std::int16_t staff,
                                           std::int16_t measure, std::int16_t minusOne);
std::int16_t HS_EndMassEdit(std::uint32_t handle, std::int16_t cancelled);
TgfFrame* HS_LoadTGF(std::uint16_t frameSelector, std::int16_t staff, std::int16_t measure,
                               std::int16_t layer, std::int16_t zero);
std::int16_t HS_SaveTGF(TgfFrame* frame);
std::int16_t HS_FreeTGF(TgfFrame* frame);

}  // extern "C"
