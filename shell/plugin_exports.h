// The six entry points the host calls, and their types for hosts that look
// them up by name.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/host_records.h"
#include "shell/records.h"

constexpr std::uint32_t kInterfaceVersion = 0x04000107;

extern "C" {
std::uint32_t VelduneExtensionVersion(void* unused);
std::int16_t VelduneExtensionInit(void* unused1, void* unused2);
std::int16_t VelduneExtensionEnumerate(void* unused, std::int16_t index, MenuItemRecord* item);
std::int16_t VelduneExtensionInvoke(HWND hostWindow, std::int16_t command, const RegionRecord* region, void* unused);
std::int32_t VelduneExtensionTerminate(void* unused);
std::int16_t VelduneExtensionGetMenuStatus(void* unused);
}

typedef std::uint32_t (*VelduneExtensionVersionFn)(void*);
typedef std::int16_t (*VelduneExtensionInitFn)(void*, void*);
typedef std::int16_t (*VelduneExtensionEnumerateFn)(void*, std::int16_t, MenuItemRecord*);
typedef std::int16_t (*VelduneExtensionInvokeFn)(HWND, std::int16_t, const RegionRecord*, void*);
typedef std::int32_t (*VelduneExtensionTerminateFn)(void*);
typedef std::int16_t (*VelduneExtensionGetMenuStatusFn)(void*);
