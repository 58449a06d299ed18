// The text command's two dialogs: setup (20129) and results (20130), and the
// driver that moves a run from match to match on the user's answers.
// RunTextCommand itself is declared in shell/commands.h.
#pragma once

#include <windows.h>

#include <cstdint>

// Setup dialog
std::int16_t TextSetupProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, std::int32_t unused);
void FillTextSetup(HWND dialog);
std::int16_t SyncReplaceEdit(HWND dialog);  // state of "&Replace with:"
std::int16_t AcceptTextSetup(HWND dialog);  // 1 stored, 0 refused (dialog stays open)

// Results dialog
std::int16_t ResultsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, std::int32_t unused);
void StartTextRun(HWND dialog);
std::int16_t FindNextMatch();  // 1 a match is shown, 0 the summary is
void ReplaceAllMatches();
void ShowMatch();
void ShowSummary();

// The location line of the current match ("page text block #1 [All pages]"),
// into a buffer of at least kLocationSize bytes.
constexpr int kLocationSize = 128;
void FormatMatchLocation(char* out);
