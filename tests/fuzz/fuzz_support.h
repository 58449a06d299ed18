// Small helpers the fuzz targets share.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// A finding: says what differed and stops, so libFuzzer keeps the input.
[[noreturn]] inline void Fail(const std::string& what, const std::string& message) {
    std::fprintf(stderr, "FINDING in %s: %s\n", what.c_str(), message.c_str());
    std::abort();
}

// The text up to its first zero byte, as a C string would read it.
inline std::string CString(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

}  // namespace fuzz
