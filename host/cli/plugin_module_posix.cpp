// Module loading and terminal checks with dlopen and isatty.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <string>

#include "host/cli/platform.h"
#include "host/session/plugin_module.h"
#include "host/terminal/curses_screen.h"
#include "host/terminal/session.h"

namespace cli {

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

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

ScreenSession TerminalFrontEnd() { return term::CursesScreen::Usable() ? &term::RunSession : nullptr; }

std::string ExecutableDirectory() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    std::string path(buffer, static_cast<std::size_t>(length));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace cli
