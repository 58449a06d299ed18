// The plug-in's one block of state, alive from load to unload.
#pragma once

#include <windows.h>

#include <cstdint>

#include "entrysearch/criteria_dialog_state.h"
#include "shell/records.h"
#include "textsearch/text_state.h"

struct PluginState {
    CriteriaRecord search;   // search side of the note entry command
    CriteriaRecord replace;  // replace side
    TextSearchPrefs prefs;
    HWND hostWindow;  // of the current command
    TextSearchState text;
    std::int16_t setupAccepted;
    HFONT resultsFont;
    CriteriaDialogState criteria;
};

extern PluginState g_plugin;
