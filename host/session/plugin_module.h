// A plug-in module as the host sees it: the six exports found by name and,
// on Linux, the resource script that carries its dialog templates.
#pragma once

#include <string>

#include "shell/plugin_exports.h"

namespace session {

struct PluginModule {
    VelduneExtensionVersionFn version = nullptr;
    VelduneExtensionInitFn init = nullptr;
    VelduneExtensionEnumerateFn enumerate = nullptr;
    VelduneExtensionInvokeFn invoke = nullptr;
    VelduneExtensionTerminateFn terminate = nullptr;
    VelduneExtensionGetMenuStatusFn menuStatus = nullptr;
    // The module's dialog templates; null where the platform keeps them as
    // real resources inside the module.
    const char* resourceScript = nullptr;
    void* handle = nullptr;  // the platform's module handle; null for a linked-in plug-in
};

// Loads the module at path and looks up every export. On failure nothing
// stays loaded and error says which file or which export was missing.
bool LoadPluginModule(const std::string& path, PluginModule* out, std::string* error);
void UnloadPluginModule(PluginModule* module);

// The file name of the plug-in module on this platform.
const char* PluginModuleFileName();

}  // namespace session
