// Every heap copy of the plug-in goes through these two, so that a host can
// make the N-th allocation fail and count what is still alive.
#pragma once

#include <cstddef>

char* AllocText(std::size_t bytes);  // null when memory runs out
void FreeText(void* block);          // null is ignored
