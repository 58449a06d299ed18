// veldune-host at a terminal: a menu of the plug-in's commands (and the note
// entry command's region), then the plug-in's dialogs drawn from their
// templates and worked with the keyboard and the mouse. Every key goes to
// the simulated dialog manager, so the terminal does what a script's `key`
// does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host/session/console.h"
#include "shell/host_records.h"

namespace terminal {

// Runs until the person quits the menu; returns what the session did, to be
// printed once the terminal is given back. Ctrl+C ends the process from
// inside, with the terminal restored and nothing written (status 130).
std::vector<std::string> RunSession(const session::PluginModule& module, HWND hostWindow,
                                    const session::ScreenOptions& options);

class ScreenIo;
// The same on any screen, for tests.
std::vector<std::string> RunSessionOn(ScreenIo& screen, const session::PluginModule& module, HWND hostWindow,
                                      const session::ScreenOptions& options);

// "staves 1 to 4, measures 1 to 8"
std::string DescribeRegion(const RegionRecord& region);

}  // namespace terminal
