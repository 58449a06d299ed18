// Placeholder until the region scan lands.
#include "shell/commands.h"

std::int32_t ScanRegion(const CriteriaRecord*, const CriteriaRecord*, const RegionRecord*) { return 0; }
