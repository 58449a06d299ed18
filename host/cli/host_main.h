// The veldune-host program, callable from tests with its own streams.
#pragma once

#include "host/session/console.h"

namespace cli {

// Exit status: 0 success, 1 the run failed (a script expectation, a refusal
// or an unconfirmed question), 2 the run could not start (arguments,
// document, script syntax, settings hive, plug-in module, output file).
int HostMain(int argc, const char* const* argv, session::Console& console);

}  // namespace cli
