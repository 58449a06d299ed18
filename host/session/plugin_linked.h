// A plug-in linked into the same program (the unit test binary does this):
// the exports are plain calls and the templates the linked resource script.
#pragma once

#include "host/session/plugin_module.h"

extern "C" const char OrvoResourceScript[];

namespace session {

inline PluginModule LinkedPluginModule() {
    PluginModule module;
    module.version = &VelduneExtensionVersion;
    module.init = &VelduneExtensionInit;
    module.enumerate = &VelduneExtensionEnumerate;
    module.invoke = &VelduneExtensionInvoke;
    module.terminate = &VelduneExtensionTerminate;
    module.menuStatus = &VelduneExtensionGetMenuStatus;
    module.resourceScript = OrvoResourceScript;
    return module;
}

}  // namespace session
