// Placeholder until the criteria dialog lands.
#include "shell/commands.h"

std::int16_t RunCriteriaDialog(HWND, CriteriaRecord*, CriteriaRecord*) { return 0; }
