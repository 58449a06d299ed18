// What the criteria dialog holds while it is open.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/records.h"

enum CriteriaPage : std::int16_t { SearchPage = 0, ReplacePage = 1 };

struct CriteriaDialogState {
    CriteriaRecord workingSearch;
    CriteriaRecord workingReplace;
    CriteriaRecord* persistentSearch;
    CriteriaRecord* persistentReplace;
    std::int16_t currentPage;  // CriteriaPage
    std::int16_t result;       // 1 once closed through "&GO!"
    HFONT captionFont;
    COLORREF buttonFace;  // the colour the brush was made with
    HBRUSH brush;
    WNDPROC previousProc;
};
