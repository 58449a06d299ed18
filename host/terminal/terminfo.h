// Asks the terminal database about standard output's terminal, apart from
// the rest: its header declares a type named term and many macros.
#pragma once

namespace terminfo {

// TERM names a known terminal that can place the cursor.
bool CanPlaceCursor();

}  // namespace terminfo
