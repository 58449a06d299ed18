// The thunks by which the plug-in module calls the host's services: each
// forwards through the address found in the main program at initialisation.
// Built into the module only; where the plug-in's code is linked into the
// host's own program, host_binding_linked.cpp takes its place.
#include <windows.h>

#include "shell/host_binding.h"
#include "shell/host_services.h"

namespace {

struct HostServices {
    decltype(&::HS_Dialog) Dialog;
    decltype(&::HS_EndDialog) EndDialog;
    decltype(&::HS_EnableDlgItem) EnableDlgItem;
    decltype(&::HS_GetDlgItemVal) GetDlgItemVal;
    decltype(&::HS_SetDlgItemVal) SetDlgItemVal;
    decltype(&::HS_GetDlgString) GetDlgString;
    decltype(&::HS_SetDlgString) SetDlgString;
    decltype(&::HS_SetDlgFocus) SetDlgFocus;
    decltype(&::HS_LoadEData) LoadEData;
    decltype(&::HS_SaveEData) SaveEData;
    decltype(&::HS_NextEData) NextEData;
    decltype(&::HS_StartMassEdit) StartMassEdit;
    decltype(&::HS_MassEditProgress) MassEditProgress;
    decltype(&::HS_EndMassEdit) EndMassEdit;
    decltype(&::HS_LoadTGF) LoadTGF;
    decltype(&::HS_SaveTGF) SaveTGF;
    decltype(&::HS_FreeTGF) FreeTGF;
};

HostServices g_services;
const char* g_missing = "HS_Dialog";  // nothing is bound before initialisation

// A service's address as its own type; the detour through a plain function
// pointer type is the sanctioned way to convert GetProcAddress's result.
template <typename Fn>
bool Bind(HMODULE program, const char* name, Fn* out) {
    FARPROC address = GetProcAddress(program, name);
    *out = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
    return address != nullptr;
}

}  // namespace

bool BindHostServices() {
    HMODULE program = GetModuleHandleA(nullptr);
    HostServices found{};
    const char* missing = nullptr;
    auto bind = [&](const char* name, auto* out) {
        if (!Bind(program, name, out) && missing == nullptr) missing = name;
    };
    bind("HS_Dialog", &found.Dialog);
    bind("HS_EndDialog", &found.EndDialog);
    bind("HS_EnableDlgItem", &found.EnableDlgItem);
    bind("HS_GetDlgItemVal", &found.GetDlgItemVal);
    bind("HS_SetDlgItemVal", &found.SetDlgItemVal);
    bind("HS_GetDlgString", &found.GetDlgString);
    bind("HS_SetDlgString", &found.SetDlgString);
    bind("HS_SetDlgFocus", &found.SetDlgFocus);
    bind("HS_LoadEData", &found.LoadEData);
    bind("HS_SaveEData", &found.SaveEData);
    bind("HS_NextEData", &found.NextEData);
    bind("HS_StartMassEdit", &found.StartMassEdit);
    bind("HS_MassEditProgress", &found.MassEditProgress);
    bind("HS_EndMassEdit", &found.EndMassEdit);
    bind("HS_LoadTGF", &found.LoadTGF);
    bind("HS_SaveTGF", &found.SaveTGF);
    bind("HS_FreeTGF", &found.FreeTGF);
    g_services = found;
    g_missing = missing;
    return missing == nullptr;
}

const char* MissingHostService() { return g_missing; }

extern "C" {

std::int16_t HS_Dialog(std::int16_t templateId, HS_DialogProc proc, HWND hostWindow, std::int16_t one,
                       std::int16_t zero) {
    return g_services.Dialog(templateId, proc, hostWindow, one, zero);
}
std::int16_t HS_EndDialog(HWND dialog) { return g_services.EndDialog(dialog); }
std::int16_t HS_EnableDlgItem(HWND dialog, std::int16_t id, std::int16_t enable) {
    return g_services.EnableDlgItem(dialog, id, enable);
}
std::int16_t HS_GetDlgItemVal(HWND dialog, std::int16_t id, std::int16_t kind) {
    return g_services.GetDlgItemVal(dialog, id, kind);
}
std::int16_t HS_SetDlgItemVal(HWND dialog, std::int16_t id, std::int16_t kind, std::int16_t value) {
    return g_services.SetDlgItemVal(dialog, id, kind, value);
}
std::int16_t HS_GetDlgString(HWND dialog, std::int16_t id, char* buffer, std::int16_t maxChars) {
    return g_services.GetDlgString(dialog, id, buffer, maxChars);
}
std::int16_t HS_SetDlgString(HWND dialog, std::int16_t id, const char* text) {
    return g_services.SetDlgString(dialog, id, text);
}
std::int16_t HS_SetDlgFocus(HWND dialog, std::int16_t id) { return g_services.SetDlgFocus(dialog, id); }
std::int16_t HS_LoadEData(std::uint32_t tag, std::int16_t* key, void* buffer, std::uint32_t* size) {
    return g_services.LoadEData(tag, key, buffer, size);
}
std::int16_t HS_SaveEData(std::uint32_t tag, const std::int16_t* key, const void* data, std::uint32_t byteCount) {
    return g_services.SaveEData(tag, key, data, byteCount);
}
std::int16_t HS_NextEData(std::uint32_t tag, std::int16_t* key, void* buffer, std::uint32_t byteCount) {
    return g_services.NextEData(tag, key, buffer, byteCount);
}
std::uint32_t HS_StartMassEdit(const RegionRecord* region, std::int16_t zero) {
    return g_services.StartMassEdit(region, zero);
}
std::int16_t HS_MassEditProgress(std::uint32_t handle, std::int16_t four, std::int16_t staff, std::int16_t measure,
                                 std::int16_t minusOne) {
    return g_services.MassEditProgress(handle, four, staff, measure, minusOne);
}
std::int16_t HS_EndMassEdit(std::uint32_t handle, std::int16_t cancelled) {
    return g_services.EndMassEdit(handle, cancelled);
}
TgfFrame* HS_LoadTGF(std::uint16_t frameSelector, std::int16_t staff, std::int16_t measure, std::int16_t layer,
                     std::int16_t zero) {
    return g_services.LoadTGF(frameSelector, staff, measure, layer, zero);
}
std::int16_t HS_SaveTGF(TgfFrame* frame) { return g_services.SaveTGF(frame); }
std::int16_t HS_FreeTGF(TgfFrame* frame) { return g_services.FreeTGF(frame); }

}  // extern "C"
