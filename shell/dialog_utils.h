// Small window operations both commands' dialogs and the region scan share.
#pragma once

#include <windows.h>

#include <cstdint>

void SelectAllText(HWND dialog, std::int16_t id);
void LimitText(HWND dialog, std::int16_t id, std::int16_t n);
void ShowControl(HWND dialog, std::int16_t id, std::int16_t show);
void SaveDialogPosition(HWND dialog, std::int16_t* left, std::int16_t* top);
void RestoreDialogPosition(HWND dialog, std::int16_t left, std::int16_t top);
// Nonzero when the region scan is to visit this layer (0-3), from the host
// window's layer menu.
std::int16_t IsLayerVisited(HWND hostWindow, std::int16_t layer);
