// The registry hive as data, and its .reg text form.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim::detail {

struct HiveValueData {
    std::string name;  // as first written; "" is the key's default value
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
};

struct HiveKey {
    std::string path;                   // as first written, parts joined by '\'
    std::vector<HiveValueData> values;  // in the order they were first set
};

// Keys under HKEY_CURRENT_USER; names of keys and values compare without
// regard to case, as Windows does. The root "" always exists.
class Hive {
public:
    std::optional<std::string> CanonicalPath(const std::string& path) const;
    std::string CreateKey(const std::string& path);  // with its parents; returns the stored path
    const HiveValueData* Find(const std::string& key, const std::string& name) const;
    void Set(const std::string& key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data);
    void DeleteKey(const std::string& key);  // and every key below it
    const std::map<std::string, HiveKey>& Keys() const { return keys_; }

private:
    std::map<std::string, HiveKey> keys_;  // by lower-case path
};

// "a\b" + "c\\d\" -> "a\b\c\d": empty parts dropped.
std::string JoinKeyPath(const std::string& base, const std::string& sub);

std::string FormatHive(const Hive& hive);
// Errors read "line N: expected ...".
bool ParseHive(const std::string& text, Hive* hive, std::string* error);
// A missing file is an empty hive (exists false). The caller names the file in errors.
bool ReadHiveFile(const std::string& path, Hive* hive, bool* exists, std::string* error);
bool WriteHiveFile(const std::string& path, const Hive& hive, std::string* error);

}  // namespace sim::detail
