// The registry is the real one: the current user's hive of this Windows (or
// of the Wine prefix). Nothing is read from or saved to a .reg file.
#include <windows.h>

#include <cstdio>

#include "host/win32/win_state.h"

namespace {

// The plug-in's keys live here; HiveText shows this branch.
constexpr char kVendorKey[] = "Software\\OrvoPlugins";

void ExportKey(HKEY parent, const std::string& path, std::string* out) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    *out += "\r\n[HKEY_CURRENT_USER\\" + path + "]\r\n";
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::vector<BYTE> data(size);
        nameLength = sizeof name;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        char head[16];
        std::snprintf(head, sizeof head, type == REG_BINARY ? "hex:" : "hex(%lx):", static_cast<unsigned long>(type));
        std::string line = "\"" + std::string(name) + "\"=" + head;
        for (DWORD i = 0; i < size; ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02x", data[i]);
            if (i > 0) line += ',';
            line += byte;
        }
        *out += line + "\r\n";
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ExportKey(parent, path + "\\" + name, out);
    }
    RegCloseKey(key);
}

}  // namespace

namespace sim {

bool LoadHive(const std::string&, std::string* error) {
    if (error != nullptr) error->clear();
    return true;
}

void UseEmptyHive() {}

// The real registry is written as the plug-in writes it; a dry run puts the
// values back afterwards.
void KeepHiveUnsaved() {}

std::string HiveText() {
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    ExportKey(HKEY_CURRENT_USER, kVendorKey, &text);
    return text;
}

std::optional<std::vector<std::uint8_t>> HiveValue(const std::string& key, const std::string& name) {
    DWORD size = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> data(size);
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, size ? data.data() : nullptr,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(size);
    return data;
}

void SetHiveValue(const std::string& key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(handle, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(handle);
}

void DeleteHiveKey(const std::string& key) { RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str()); }

void FailNextRegistry(RegistryFailure what, LSTATUS) {
    // The real registry cannot be told to refuse the next call.
    win32::Unsupported(what == RegistryFailure::Open     ? "fail-registry open"
                       : what == RegistryFailure::Create ? "fail-registry create"
                                                         : "fail-registry close");
}

}  // namespace sim
