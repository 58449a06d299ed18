// The Windows window-system layer's own state, shared by the files of
// host/win32. It carries the sim.h interface over real user32, gdi32 and
// advapi32, so the shared script runner drives real dialogs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/sim/sim.h"
#include "shell/host_services.h"

namespace win32 {

// One modal dialog the plug-in runs through HS_Dialog.
struct DialogRun {
    HWND window = nullptr;
    int templateId = 0;
    HS_DialogProc proc = nullptr;
    bool ended = false;
    bool initialising = false;
    bool focusMovedInInit = false;  // the plug-in placed the focus itself
};

// Open dialogs, oldest first (nested modal dialogs stack up).
std::vector<DialogRun*>& OpenRuns();
DialogRun* RunOf(HWND dialog);

sim::User* CurrentUser();

// The message box hook; idempotent.
void EnsureMessageBoxHook();
void ClearMessageBoxes();

// What the plug-in module did through its imports (see import_hooks.cpp).
struct Accounting {
    std::set<HANDLE> fonts, brushes, dcs;
    std::set<void*> heapBlocks;
    int heapAllocCalls = 0;
    std::set<HKEY> keys;
    std::map<HWND, WNDPROC> subclassed;  // window -> the procedure it had before
    std::map<HWND, int> invalidations;
};
Accounting& Counts();
// Redirects the module's imports of the counted functions; false with the
// reason when its import table cannot be patched.
bool HookModuleImports(HMODULE module, std::string* error);
// The plug-in module whose resources HS_Dialog and the template reader use.
void SetPluginModule(HMODULE module);
HMODULE PluginModule();

// System colours changed through sim::SetSysColor go back at exit: they
// belong to the whole Windows session, not to this process.
void RestoreSysColors();

// A script asked for something real Windows cannot do: say so and fail the
// run, so that such a script never passes on Windows by doing nothing.
[[noreturn]] void Unsupported(const std::string& what);

std::string ClassNameOf(HWND window);
std::string TextOf(HWND window);

}  // namespace win32
