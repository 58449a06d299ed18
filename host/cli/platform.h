// The few things the host asks of the operating system besides the plug-in
// module; each platform file implements them.
#pragma once

#include <string>

#include "host/session/console.h"

namespace cli {

bool StdinIsTerminal();
bool StdoutIsTerminal();
// Folder of the running executable (no trailing separator); empty when unknown.
std::string ExecutableDirectory();
// The front end that draws the dialogs on a terminal's screen; null where
// the platform has none (its dialogs are real windows).
session::ScreenSession TerminalFrontEnd();

}  // namespace cli
