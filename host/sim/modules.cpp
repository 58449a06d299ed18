// GetModuleHandleA and GetProcAddress for the main program: the plug-in finds
// the host's services among the program's exported symbols, as on Windows.
#include <dlfcn.h>

#include <cstring>
#include <string>

#include "host/sim/world.h"

namespace sim {
namespace {

std::string& LackedExport() {
    static std::string name;
    return name;
}

void* MainProgram() {
    static void* handle = dlopen(nullptr, RTLD_NOW);
    return handle;
}

}  // namespace

bool LackExport(const std::string& name) {
    LackedExport() = name;
    return true;
}

}  // namespace sim

extern "C" {

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    // Only the main program is asked for; other modules are not modelled.
    if (name != nullptr) return nullptr;
    return static_cast<HMODULE>(sim::MainProgram());
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    if (module == nullptr || name == nullptr || module != static_cast<HMODULE>(sim::MainProgram())) return nullptr;
    if (!sim::LackedExport().empty() && std::strcmp(name, sim::LackedExport().c_str()) == 0) return nullptr;
    void* symbol = dlsym(sim::MainProgram(), name);
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(symbol));
}

}  // extern "C"
