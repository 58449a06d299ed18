// The current user's registry hive in memory, its key handles, and the
// failures a test can plan. The .reg file itself is read and written in
// hive_file.cpp.
#include <algorithm>

#include "host/sim/hive.h"
#include "host/sim/world.h"

namespace sim::detail {
namespace {

struct OpenKey {
    std::string path;  // as canonical in the hive
    REGSAM access = 0;
    bool wrote = false;
};

struct Registry {
    Hive hive;
    std::string file;  // empty: in memory only
    std::map<HKEY, OpenKey> handles;
    std::optional<LSTATUS> failOpen, failCreate, failClose;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

std::optional<LSTATUS> TakePlan(std::optional<LSTATUS>* plan) {
    std::optional<LSTATUS> code = *plan;
    plan->reset();
    return code;
}

// The path a handle stands for; null for a bad handle.
const std::string* KeyPath(HKEY key) {
    static const std::string root;
    if (key == HKEY_CURRENT_USER) return &root;
    auto it = TheRegistry().handles.find(key);
    return it == TheRegistry().handles.end() ? nullptr : &it->second.path;
}

REGSAM KeyAccess(HKEY key) {
    if (key == HKEY_CURRENT_USER) return KEY_READ | KEY_WRITE;
    auto it = TheRegistry().handles.find(key);
    return it == TheRegistry().handles.end() ? 0 : it->second.access;
}

HKEY AddHandle(const std::string& path, REGSAM access) {
    HKEY handle = reinterpret_cast<HKEY>(NextHandle());
    TheRegistry().handles[handle] = OpenKey{path, access, false};
    return handle;
}

}  // namespace

void ResetRegistryHandles() {
    TheRegistry().handles.clear();
    TheRegistry().failOpen.reset();
    TheRegistry().failCreate.reset();
    TheRegistry().failClose.reset();
}

}  // namespace sim::detail

namespace sim {

using namespace detail;

bool LoadHive(const std::string& path, std::string* error) {
    Hive hive;
    std::string why;
    bool exists = false;
    if (!ReadHiveFile(path, &hive, &exists, &why)) {
        if (error != nullptr) *error = why;
        return false;  // the file stays as it is: nothing will overwrite it
    }
    TheRegistry().hive = std::move(hive);
    TheRegistry().file = path;
    if (error != nullptr) error->clear();
    return true;
}

void UseEmptyHive() {
    TheRegistry().hive = Hive();
    TheRegistry().file.clear();
}

void KeepHiveUnsaved() { TheRegistry().file.clear(); }

std::string HiveText() { return FormatHive(TheRegistry().hive); }

std::optional<std::vector<std::uint8_t>> HiveValue(const std::string& key, const std::string& name) {
    const HiveValueData* value = TheRegistry().hive.Find(key, name);
    if (value == nullptr) return std::nullopt;
    return value->data;
}

void SetHiveValue(const std::string& key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data) {
    TheRegistry().hive.Set(key, name, type, data);
}

void DeleteHiveKey(const std::string& key) { TheRegistry().hive.DeleteKey(key); }

void FailNextRegistry(RegistryFailure what, LSTATUS code) {
    Registry& registry = TheRegistry();
    switch (what) {
        case RegistryFailure::Open:
            registry.failOpen = code;
            break;
        case RegistryFailure::Create:
            registry.failCreate = code;
            break;
        case RegistryFailure::Close:
            registry.failClose = code;
            break;
    }
}

int OpenKeys() { return static_cast<int>(TheRegistry().handles.size()); }

}  // namespace sim

using namespace sim::detail;

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const std::string* base = KeyPath(key);
    if (base == nullptr) return ERROR_INVALID_HANDLE;
    if (auto code = TakePlan(&TheRegistry().failOpen)) return *code;
    std::string path = JoinKeyPath(*base, subKey == nullptr ? "" : subKey);
    std::optional<std::string> canonical = TheRegistry().hive.CanonicalPath(path);
    if (!canonical) return ERROR_FILE_NOT_FOUND;
    *result = AddHandle(*canonical, access);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, void*, PHKEY result,
                               LPDWORD disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const std::string* base = KeyPath(key);
    if (base == nullptr) return ERROR_INVALID_HANDLE;
    if (auto code = TakePlan(&TheRegistry().failCreate)) return *code;
    std::string path = JoinKeyPath(*base, subKey == nullptr ? "" : subKey);
    bool existed = TheRegistry().hive.CanonicalPath(path).has_value();
    std::string canonical = TheRegistry().hive.CreateKey(path);
    if (disposition != nullptr) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    HKEY handle = AddHandle(canonical, access);
    // A new key is a change the hive file has to keep.
    if (!existed) TheRegistry().handles[handle].wrote = true;
    *result = handle;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    const std::string* path = KeyPath(key);
    if (path == nullptr) return ERROR_INVALID_HANDLE;
    if ((KeyAccess(key) & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
    const HiveValueData* value = TheRegistry().hive.Find(*path, name == nullptr ? "" : name);
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    DWORD needed = static_cast<DWORD>(value->data.size());
    if (type != nullptr) *type = value->type;
    if (data == nullptr) {
        if (size != nullptr) *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    std::copy(value->data.begin(), value->data.end(), data);
    *size = needed;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    const std::string* path = KeyPath(key);
    if (path == nullptr) return ERROR_INVALID_HANDLE;
    if ((KeyAccess(key) & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
    std::vector<std::uint8_t> bytes(data, data + (data == nullptr ? 0 : size));
    TheRegistry().hive.Set(*path, name == nullptr ? "" : name, type, bytes);
    auto it = TheRegistry().handles.find(key);
    if (it != TheRegistry().handles.end()) it->second.wrote = true;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    Registry& registry = TheRegistry();
    auto it = registry.handles.find(key);
    if (it == registry.handles.end()) return ERROR_INVALID_HANDLE;
    bool wrote = it->second.wrote;
    registry.handles.erase(it);
    // The handle is gone either way; a planned failure only skips the save.
    if (auto code = TakePlan(&registry.failClose)) return *code;
    if (wrote && !registry.file.empty()) {
        std::string why;
        if (!WriteHiveFile(registry.file, registry.hive, &why)) {
            Warn("cannot save the registry hive: " + why);
            return ERROR_ACCESS_DENIED;
        }
    }
    return ERROR_SUCCESS;
}

}  // extern "C"
