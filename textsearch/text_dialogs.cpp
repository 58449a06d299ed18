// Placeholder until the text dialogs land.
#include "shell/commands.h"

std::int16_t RunTextCommand(HWND) { return 1; }
