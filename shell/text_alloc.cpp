#include "shell/text_alloc.h"

#include <windows.h>

char* AllocText(std::size_t bytes) { return static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, bytes)); }

void FreeText(void* block) {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
