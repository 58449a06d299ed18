// "veldune-host DOCUMENT text ...": the text command run through the same
// dialog actions a person would take, printing what the dialogs show.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
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
    std::optional<std::string> elements;  // unset: a fresh user's switches (or the stored ones with remember)
    bool all = false;                     // "Yes to all" (replace) or list every match (search)
    bool yes = false;                     // confirm the lyrics warning
    bool remember = false;                // leave what the flags do not set as the last use left it
};

// The element switches of a user who never changed them, in the setup
// dialog's order: everything but ending repeats and lyrics.
inline constexpr std::array<bool, 8> kFreshElements = {true, true, true, true, true, true, false, false};

// The counts of the results dialog's summary; -1 when it did not show.
struct TextCounts {
    int found = -1;
    int replaced = -1;
};

// "page,measure,expressions,staff,group,repeats,endings,lyrics" or "all" ->
// the eight element switches in the setup dialog's order.
bool ParseElementList(const std::string& list, std::array<bool, 8>* on, std::string* error);

// Checks the options before the plug-in starts; fills the element switches
// from --elements, else with a fresh user's unless --remember keeps the
// stored ones. Returns false with *error on bad options.
bool PrepareText(const TextOptions& options, std::array<bool, 8>* elements, std::string* error);

// The switches the run sets: null leaves the stored ones (--remember
// without --elements).
const std::array<bool, 8>* ElementsToSet(const TextOptions& options, const std::array<bool, 8>& prepared);

// elements: null leaves the stored switches. Returns the exit status: 0
// done, 1 refused or not confirmed.
// place: where the match shown stands in the score, from its 1-based
// position in the text; empty when not known. Null: matches are not placed.
using MatchPlace = std::function<std::string(int position)>;
int RunTextSubcommand(const session::PluginModule& module, HWND hostWindow, const TextOptions& options,
                      const std::array<bool, 8>* elements, session::Console& console, TextCounts* counts = nullptr,
                      const MatchPlace& place = nullptr);

}  // namespace users
