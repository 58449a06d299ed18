// Where a session talks to a person: output, and input when a person is
// there to answer.
#pragma once

#include <initializer_list>
#include <iosfwd>
#include <string>
#include <vector>

#include "host/session/plugin_module.h"
#include "host/sim/sim.h"
#include "shell/host_records.h"

namespace cli {

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
};
// Runs the plug-in's commands for a person at the terminal's screen until
// they quit; returns what was done, one line each, to print afterwards.
using ScreenSession = std::vector<std::string> (*)(const PluginModule& module, HWND hostWindow,
                                                   const ScreenOptions& options);

// Asks until the person types one of the choices (or its first letter);
// returns the index, or -1 when the input ends.
int Ask(Console& console, const std::string& question, std::initializer_list<const char*> choices);

// A subcommand acting for a person: prints every message box as it appears,
// answers a question at the terminal or by --yes, and remembers the first
// thing it could not do, so the command ends with status 1.
class CommandUser : public sim::User {
public:
    CommandUser(Console& console, bool yes, const char* prompt) : console_(console), yes_(yes), prompt_(prompt) {}

    bool refused = false;

    int AnswerMessageBox(const sim::MessageBoxInfo& box) override;

protected:
    // `why` is what sim said of the action; empty when it was done.
    bool Act(const std::string& what, const std::string& why);

    Console& console_;

private:
    bool yes_;
    const char* prompt_;
};

}  // namespace cli
