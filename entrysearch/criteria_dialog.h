// The criteria dialog of the note entry command: a search page and a replace
// page in one window, both working on copies of the two persistent
// CriteriaRecords (g_plugin.criteria). RunCriteriaDialog is declared with
// the other commands in shell/commands.h.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/commands.h"
#include "shell/records.h"

// Given to HS_Dialog; 1 for WM_INITDIALOG, else 0.
std::int16_t CriteriaDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, std::int32_t unused);
// Put in front of the dialog's own window procedure: dark red captions of the
// dangerous rows and the legend on the replace page.
LRESULT CALLBACK CriteriaColorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows a record on the current page.
void FillCriteriaPage(HWND dialog, const CriteriaRecord* record);
// Reads and checks the current page into a record; 1 accepted, 0 refused
// (a message has been shown and the page stays). strict 1 also refuses an
// empty page and asks before dangerous replacements.
std::int16_t ReadCriteriaPage(HWND dialog, CriteriaRecord* record, std::int16_t strict);
// Each numeric edit is usable only while its check box is checked.
void SyncValueEdits(HWND dialog);
void ShowSearchPage(HWND dialog);
void ShowReplacePage(HWND dialog);
