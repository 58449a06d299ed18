// The plug-in module loaded with dlopen.
#include <dlfcn.h>

#include <string>

#include "host/session/plugin_module.h"

namespace session {

namespace {

template <typename Fn>
bool FindExport(void* handle, const char* name, Fn* out, std::string* error) {
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        *error = std::string("the plug-in has no export ") + name;
        return false;
    }
    *out = reinterpret_cast<Fn>(symbol);
    return true;
}

}  // namespace

bool LoadPluginModule(const std::string& path, PluginModule* out, std::string* error) {
    // RTLD_LOCAL keeps two loaded copies (tests load more than one) apart.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        *error = "cannot load the plug-in " + path + ": " + (why != nullptr ? why : "unknown error");
        return false;
    }
    PluginModule module;
    module.handle = handle;
    bool ok = FindExport(handle, "VelduneExtensionVersion", &module.version, error) &&
              FindExport(handle, "VelduneExtensionInit", &module.init, error) &&
              FindExport(handle, "VelduneExtensionEnumerate", &module.enumerate, error) &&
              FindExport(handle, "VelduneExtensionInvoke", &module.invoke, error) &&
              FindExport(handle, "VelduneExtensionTerminate", &module.terminate, error) &&
              FindExport(handle, "VelduneExtensionGetMenuStatus", &module.menuStatus, error);
    if (ok) {
        module.resourceScript = static_cast<const char*>(dlsym(handle, "OrvoResourceScript"));
        if (module.resourceScript == nullptr) {
            *error = "the plug-in carries no dialog templates (OrvoResourceScript)";
            ok = false;
        }
    }
    if (!ok) {
        *error = path + ": " + *error;
        dlclose(handle);
        return false;
    }
    *out = module;
    return true;
}

void UnloadPluginModule(PluginModule* module) {
    if (module->handle != nullptr) dlclose(module->handle);
    *module = PluginModule{};
}

const char* PluginModuleFileName() { return "OrvoSearchReplace.so"; }
}  // namespace session
