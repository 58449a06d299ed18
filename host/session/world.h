// The simulated world a session runs in, set up from the score document.
#pragma once

#include <windows.h>

#include <string>

#include "host/document/document.h"
#include "host/session/plugin_module.h"

namespace session {

// Fresh window system at the document's screen size, the host window with
// the document's layer menu (or no menu bar), the document attached to the
// host services, and the module's dialog templates. Returns the host window.
HWND SetUpWorld(host::Document* document, const PluginModule& module);

// Where the settings hive lives when --registry is not given:
// $VELDUNE_REGISTRY, else $XDG_CONFIG_HOME/veldune-host/registry.reg, else
// ~/.config/veldune-host/registry.reg. The folder is created. Empty with
// *error set when no place can be found or made.
std::string DefaultRegistryPath(std::string* error);

}  // namespace session
