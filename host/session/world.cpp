#include "host/session/world.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host/services/services.h"
#include "host/sim/sim.h"

namespace session {

HWND SetUpWorld(host::Document* document, const PluginModule& module) {
    sim::Reset();
    host::ResetServices();
    sim::SetScreenSize(document->screenWidth, document->screenHeight);
    if (module.resourceScript != nullptr) sim::SetResourceScript(module.resourceScript);
    host::AttachDocument(document);
    if (!document->layers.present) return sim::CreateHostWindow(nullptr);
    sim::LayerMenu menu;
    menu.toggle = document->layers.toggle;
    for (int i = 0; i < 4; ++i) menu.visible[i] = document->layers.visible[i];
    menu.submenuAt = document->layers.submenuAt;
    return sim::CreateHostWindow(&menu);
}

std::string DefaultRegistryPath(std::string* error) {
    if (const char* explicitPath = std::getenv("VELDUNE_REGISTRY"); explicitPath != nullptr && *explicitPath != 0) {
        return explicitPath;
    }
    std::filesystem::path folder;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != 0) {
        folder = std::filesystem::path(config) / "veldune-host";
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
        folder = std::filesystem::path(home) / ".config" / "veldune-host";
    } else if (const char* appData = std::getenv("APPDATA"); appData != nullptr && *appData != 0) {
        folder = std::filesystem::path(appData) / "veldune-host";
    } else {
        *error = "no place for the settings: set VELDUNE_REGISTRY, XDG_CONFIG_HOME or HOME, or give --registry";
        return {};
    }
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) {
        *error = "cannot create " + folder.string() + ": " + code.message();
        return {};
    }
    return (folder / "registry.reg").string();
}

}  // namespace session
