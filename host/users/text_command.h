// "veldune-host DOCUMENT text ...": the text command run through the same
// dialog actions a person would take, printing what the dialogs show.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "host/session/console.h"
#include "host/session/plugin_module.h"

namespace users {

struct TextOptions {
    std::string search;
    std::optional<std::string> replace;
    bool matchCase = false;
    bool tags = false;
    std::optional<std::string> elements;  // unset: leave the stored switches
    bool all = false;                     // "Yes to all" (replace) or list every match (search)
    bool yes = false;                     // confirm the lyrics warning
};

// The counts of the results dialog's summary; -1 when it did not show.
struct TextCounts {
    int found = -1;
    int replaced = -1;
};

// "page,measure,expressions,staff,group,repeats,endings,lyrics" or "all" ->
// the eight element switches in the setup dialog's order.
bool ParseElementList(const std::string& list, std::array<bool, 8>* on, std::string* error);

// Checks the options before the plug-in starts; fills the element switches
// when --elements was given.
bool PrepareText(const TextOptions& options, std::array<bool, 8>* elements, std::string* error);

// elements: null leaves the stored switches. Returns the exit status: 0
// done, 1 refused or not confirmed.
int RunTextSubcommand(const session::PluginModule& module, HWND hostWindow, const TextOptions& options,
                      const std::array<bool, 8>* elements, session::Console& console, TextCounts* counts = nullptr);

}  // namespace users
