// Where the plug-in's code is linked into the host's own program (the unit
// tests, benchmarks and fuzz targets), its HS_ calls are ordinary calls and
// there is nothing to bind.
#include "shell/host_binding.h"

bool BindHostServices() { return true; }

const char* MissingHostService() { return nullptr; }
