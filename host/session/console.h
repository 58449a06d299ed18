// Where a session talks to a person: output, and input when a person is
// there to answer.
#pragma once

#include <iosfwd>
#include <functional>
#include <string>
#include <vector>

#include "host/session/plugin_module.h"
#include "host/sim/sim.h"
#include "shell/host_records.h"

namespace session {

struct Console {
    std::istream* in = nullptr;
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    bool terminal = false;  // a person types the input: ask instead of assuming
    bool screen = false;    // input and output are one terminal the dialogs can be drawn on
};

// What a session at the terminal's screen is told.
struct ScreenOptions {
    std::string documentName;   // shown in the menu's caption
    std::string output;         // where the score is written after the session; empty: nowhere
    RegionRecord wholeScore{};  // the note entry command's region to start with
    int progressDelayMs = 300;  // a scan shorter than this shows no progress
    // Where the text match shown stands in the score, from its 1-based
    // position; null or empty: not said.
    std::function<std::string(int position)> matchPlace;
};
// Runs the plug-in's commands for a person at the terminal's screen until
// they quit; returns what was done, one line each, to print afterwards.
using ScreenSession = std::vector<std::string> (*)(const PluginModule& module, HWND hostWindow,
                                                   const ScreenOptions& options);

}  // namespace session
