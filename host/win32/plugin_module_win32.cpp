// Module loading and terminal checks with LoadLibraryA and the console API.
#include <windows.h>

#include <string>

#include "host/cli/platform.h"
#include "host/session/plugin_module.h"
#include "host/win32/win_state.h"

namespace {

template <typename Fn>
bool FindExport(HMODULE module, const char* name, Fn* out, std::string* error) {
    FARPROC symbol = GetProcAddress(module, name);
    if (symbol == nullptr) {
        *error = std::string("the plug-in has no export ") + name;
        return false;
    }
    *out = reinterpret_cast<Fn>(reinterpret_cast<void*>(symbol));
    return true;
}

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

bool IsConsole(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != FALSE;
}

}  // namespace

namespace session {

bool LoadPluginModule(const std::string& path, PluginModule* out, std::string* error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        *error = "cannot load the plug-in " + path + ": " + SystemMessage(GetLastError());
        return false;
    }
    PluginModule loaded;
    loaded.handle = module;
    bool ok = FindExport(module, "VelduneExtensionVersion", &loaded.version, error) &&
              FindExport(module, "VelduneExtensionInit", &loaded.init, error) &&
              FindExport(module, "VelduneExtensionEnumerate", &loaded.enumerate, error) &&
              FindExport(module, "VelduneExtensionInvoke", &loaded.invoke, error) &&
              FindExport(module, "VelduneExtensionTerminate", &loaded.terminate, error) &&
              FindExport(module, "VelduneExtensionGetMenuStatus", &loaded.menuStatus, error);
    // Count what the plug-in creates, for the leak expectations.
    if (ok) ok = win32::HookModuleImports(module, error);
    if (!ok) {
        *error = path + ": " + *error;
        FreeLibrary(module);
        return false;
    }
    // The dialog templates stay resources inside the DLL.
    loaded.resourceScript = nullptr;
    win32::SetPluginModule(module);
    *out = loaded;
    return true;
}

void UnloadPluginModule(PluginModule* module) {
    if (module->handle != nullptr) {
        if (win32::PluginModule() == static_cast<HMODULE>(module->handle)) win32::SetPluginModule(nullptr);
        FreeLibrary(static_cast<HMODULE>(module->handle));
    }
    *module = PluginModule{};
}

const char* PluginModuleFileName() { return "OrvoSearchReplace.dll"; }

}  // namespace session

namespace cli {

bool StdinIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }
bool StdoutIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }

// Dialogs are real windows here.
session::ScreenSession TerminalFrontEnd() { return nullptr; }

std::string ExecutableDirectory() {
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return {};
    std::string path(buffer, length);
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace cli
