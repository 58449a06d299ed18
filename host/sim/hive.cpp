// The hive in memory and in regedit's text format.
#include "host/sim/hive.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sim::detail {
namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kRoot = "HKEY_CURRENT_USER";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::string JoinParts(const std::vector<std::string>& parts, std::size_t count) {
    std::string path;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i > 0) path += '\\';
        path += parts[i];
    }
    return path;
}

// ---- Writing ---------------------------------------------------------------

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A REG_SZ that reads back byte for byte from its "string" form.
bool PlainString(const std::vector<std::uint8_t>& data) {
    if (data.empty() || data.back() != 0) return false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] < 0x20 || data[i] == 0x7F) return false;
    }
    return true;
}

// regedit's wrapping: lines of at most 80 characters, each but the last
// ending in ",\" and the next indented by two blanks.
std::string HexLines(std::string line, const std::vector<std::uint8_t>& data) {
    std::string out;
    bool bytesOnLine = false;
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        const char piece[3] = {kDigits[data[i] >> 4], kDigits[data[i] & 15], ','};
        const std::size_t length = i + 1 < data.size() ? 3 : 2;
        if (bytesOnLine && line.size() + length + 1 > 80) {
            out += line + "\\\n";
            line = "  ";
            bytesOnLine = false;
        }
        line.append(piece, length);
        bytesOnLine = true;
    }
    return out + line + "\n";
}

std::string FormatValue(const HiveValueData& value) {
    std::string head = (value.name.empty() ? std::string("@") : Quote(value.name)) + "=";
    if (value.type == REG_SZ && PlainString(value.data)) {
        std::string text(value.data.begin(), value.data.end() - 1);
        return head + Quote(text) + "\n";
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        unsigned number =
            value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) | (static_cast<unsigned>(value.data[3]) << 24);
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", number);
        return head + text + "\n";
    }
    if (value.type == REG_BINARY) return HexLines(head + "hex:", value.data);
    char type[24];
    std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
    return HexLines(head + type, value.data);
}

// ---- Reading ---------------------------------------------------------------

struct Failure {
    std::string message;
};

[[noreturn]] void Fail(int line, const std::string& what) {
    throw Failure{"line " + std::to_string(line) + ": expected " + what};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void SkipBlanks(const std::string& text, std::size_t* pos) {
    while (*pos < text.size() && (text[*pos] == ' ' || text[*pos] == '\t')) ++*pos;
}

// A quoted name or string with \" and \\ escapes, starting at the quote.
std::string ReadQuoted(const std::string& text, std::size_t* pos, int line) {
    ++*pos;
    std::string out;
    for (;;) {
        if (*pos >= text.size()) Fail(line, "the closing quote");
        char c = text[(*pos)++];
        if (c == '"') return out;
        if (c == '\\') {
            if (*pos >= text.size()) Fail(line, "a character after '\\'");
            c = text[(*pos)++];
        }
        out += c;
    }
}

std::vector<std::uint8_t> ReadHexList(const std::string& text, std::size_t* pos, int line) {
    std::vector<std::uint8_t> bytes;
    SkipBlanks(text, pos);
    if (*pos >= text.size()) return bytes;  // "hex:" alone is an empty value
    for (;;) {
        SkipBlanks(text, pos);
        int high = *pos < text.size() ? HexDigit(text[*pos]) : -1;
        if (high < 0) Fail(line, "a hex byte");
        ++*pos;
        int value = high;
        if (*pos < text.size() && HexDigit(text[*pos]) >= 0) value = value * 16 + HexDigit(text[(*pos)++]);
        bytes.push_back(static_cast<std::uint8_t>(value));
        SkipBlanks(text, pos);
        if (*pos >= text.size()) return bytes;
        if (text[*pos] != ',') Fail(line, "',' between hex bytes");
        ++*pos;
    }
}

void ParseValue(const std::string& text, int line, const std::string& key, Hive* hive) {
    std::size_t pos = 0;
    std::string name;
    if (text[0] == '@') {
        pos = 1;
    } else {
        name = ReadQuoted(text, &pos, line);
    }
    SkipBlanks(text, &pos);
    if (pos >= text.size() || text[pos] != '=') Fail(line, "'=' after the value name");
    ++pos;
    SkipBlanks(text, &pos);
    std::string rest = text.substr(pos);
    DWORD type = REG_BINARY;
    std::vector<std::uint8_t> data;
    if (!rest.empty() && rest[0] == '"') {
        std::size_t at = 0;
        std::string value = ReadQuoted(rest, &at, line);
        SkipBlanks(rest, &at);
        if (at != rest.size()) Fail(line, "the end of the line after the string");
        type = REG_SZ;
        data.assign(value.begin(), value.end());
        data.push_back(0);
    } else if (Lower(rest.substr(0, 6)) == "dword:") {
        std::size_t at = 6;
        unsigned number = 0;
        int digits = 0;
        while (at < rest.size() && HexDigit(rest[at]) >= 0 && digits < 8) {
            number = number * 16 + static_cast<unsigned>(HexDigit(rest[at++]));
            ++digits;
        }
        SkipBlanks(rest, &at);
        if (digits == 0 || at != rest.size()) Fail(line, "dword: and up to eight hex digits");
        type = REG_DWORD;
        data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
    } else if (Lower(rest.substr(0, 4)) == "hex:") {
        std::size_t at = 4;
        data = ReadHexList(rest, &at, line);
    } else if (Lower(rest.substr(0, 4)) == "hex(") {
        std::size_t at = 4;
        unsigned number = 0;
        int digits = 0;
        while (at < rest.size() && HexDigit(rest[at]) >= 0 && digits < 8) {
            number = number * 16 + static_cast<unsigned>(HexDigit(rest[at++]));
            ++digits;
        }
        if (digits == 0 || rest.compare(at, 2, "):") != 0) Fail(line, "hex(N): with N in hex");
        at += 2;
        type = number;
        data = ReadHexList(rest, &at, line);
    } else if (rest == "-") {
        Fail(line, "a value; deleting values is not supported here");
    } else {
        Fail(line, "a \"string\", dword:, hex: or hex(N): value");
    }
    hive->Set(key, name, type, data);
}

void Parse(const std::string& raw, Hive* hive) {
    std::string text = raw;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    bool sawHeader = false;
    std::optional<std::string> key;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int number = static_cast<int>(i) + 1;
        std::string logical = lines[i];
        // Wrapped lines end in '\' and continue, indented, on the next.
        auto trimRight = [](std::string& s) {
            while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
        };
        trimRight(logical);
        while (!logical.empty() && logical.back() == '\\' && logical[0] != '[' && i + 1 < lines.size()) {
            logical.pop_back();
            std::string next = lines[++i];
            std::size_t start = 0;
            SkipBlanks(next, &start);
            logical += next.substr(start);
            trimRight(logical);
        }
        std::size_t start = 0;
        SkipBlanks(logical, &start);
        logical = logical.substr(start);
        if (logical.empty() || logical[0] == ';') continue;
        if (!sawHeader) {
            if (logical != kHeader) Fail(number, std::string("\"") + kHeader + "\" as the first line");
            sawHeader = true;
            continue;
        }
        if (logical[0] == '[') {
            if (logical.back() != ']') Fail(number, "']' at the end of the key");
            std::string path = logical.substr(1, logical.size() - 2);
            if (!path.empty() && path[0] == '-') Fail(number, "a key to add; deleting keys is not supported here");
            std::string root = path.substr(0, path.find('\\'));
            if (Lower(root) != Lower(kRoot)) Fail(number, std::string("a key under ") + kRoot);
            std::string sub = root.size() < path.size() ? path.substr(root.size() + 1) : "";
            key = hive->CreateKey(sub);
            continue;
        }
        if (logical[0] != '"' && logical[0] != '@') Fail(number, "a [key], a \"name\"= or @= line");
        if (!key) Fail(number, std::string("a [") + kRoot + "\\...] line before the first value");
        ParseValue(logical, number, *key, hive);
    }
    if (!sawHeader) Fail(1, std::string("\"") + kHeader + "\" as the first line");
}

}  // namespace

std::string JoinKeyPath(const std::string& base, const std::string& sub) {
    std::vector<std::string> parts = SplitPath(base);
    for (const std::string& part : SplitPath(sub)) parts.push_back(part);
    return JoinParts(parts, parts.size());
}

std::optional<std::string> Hive::CanonicalPath(const std::string& path) const {
    std::string joined = JoinKeyPath("", path);
    if (joined.empty()) return std::string();
    auto it = keys_.find(Lower(joined));
    if (it == keys_.end()) return std::nullopt;
    return it->second.path;
}

std::string Hive::CreateKey(const std::string& path) {
    std::vector<std::string> parts = SplitPath(path);
    std::string canonical;
    for (std::size_t count = 1; count <= parts.size(); ++count) {
        std::string lower = Lower(JoinParts(parts, count));
        auto it = keys_.find(lower);
        if (it == keys_.end()) {
            // A new key keeps its parent's spelling for the part above it.
            std::string stored = canonical.empty() ? parts[count - 1] : canonical + "\\" + parts[count - 1];
            it = keys_.emplace(lower, HiveKey{stored, {}}).first;
        }
        canonical = it->second.path;
    }
    return canonical;
}

const HiveValueData* Hive::Find(const std::string& key, const std::string& name) const {
    auto it = keys_.find(Lower(JoinKeyPath("", key)));
    if (it == keys_.end()) return nullptr;
    std::string lower = Lower(name);
    for (const HiveValueData& value : it->second.values) {
        if (Lower(value.name) == lower) return &value;
    }
    return nullptr;
}

void Hive::Set(const std::string& key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data) {
    std::string canonical = CreateKey(key);
    // Values of the root have nowhere to live in a .reg file of keys; keep them anyway.
    auto it = keys_.find(Lower(canonical));
    if (it == keys_.end()) it = keys_.emplace(Lower(canonical), HiveKey{canonical, {}}).first;
    std::string lower = Lower(name);
    for (HiveValueData& value : it->second.values) {
        if (Lower(value.name) == lower) {
            value.type = type;
            value.data = data;
            return;
        }
    }
    it->second.values.push_back(HiveValueData{name, type, data});
}

void Hive::DeleteKey(const std::string& key) {
    std::string lower = Lower(JoinKeyPath("", key));
    if (lower.empty()) {
        keys_.clear();
        return;
    }
    for (auto it = keys_.begin(); it != keys_.end();) {
        bool below = it->first == lower || it->first.compare(0, lower.size() + 1, lower + "\\") == 0;
        it = below ? keys_.erase(it) : std::next(it);
    }
}

std::string FormatHive(const Hive& hive) {
    std::string out = std::string(kHeader) + "\n\n";
    for (const auto& [lower, key] : hive.Keys()) {
        out += "[" + std::string(kRoot) + (key.path.empty() ? "" : "\\" + key.path) + "]\n";
        for (const HiveValueData& value : key.values) out += FormatValue(value);
        out += "\n";
    }
    return out;
}

bool ParseHive(const std::string& text, Hive* hive, std::string* error) {
    try {
        Hive parsed;
        Parse(text, &parsed);
        *hive = std::move(parsed);
        return true;
    } catch (const Failure& failure) {
        if (error != nullptr) *error = failure.message;
        return false;
    }
}

bool ReadHiveFile(const std::string& path, Hive* hive, bool* exists, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    *exists = static_cast<bool>(file);
    if (!file) {
        std::error_code code;
        if (std::filesystem::exists(path, code)) {
            if (error != nullptr) *error = "cannot be read";
            return false;
        }
        *hive = Hive();
        return true;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string why;
    if (!ParseHive(text.str(), hive, &why)) {
        if (error != nullptr) *error = why;
        return false;
    }
    return true;
}

bool WriteHiveFile(const std::string& path, const Hive& hive, std::string* error) {
    std::error_code code;
    std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), code);
    // Written aside and renamed, so a crash never leaves half a hive.
    std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << FormatHive(hive);
        file.flush();
        if (!file) {
            if (error != nullptr) *error = temporary + ": cannot be written";
            return false;
        }
    }
    std::filesystem::rename(temporary, target, code);
    if (code) {
        if (error != nullptr) *error = path + ": " + code.message();
        return false;
    }
    return true;
}

}  // namespace sim::detail
