// The few things the host asks of the operating system besides the plug-in
// module; each platform file implements them.
#pragma once

#include <string>

namespace cli {

bool StdinIsTerminal();
bool StdoutIsTerminal();
// Folder of the running executable (no trailing separator); empty when unknown.
std::string ExecutableDirectory();

}  // namespace cli
