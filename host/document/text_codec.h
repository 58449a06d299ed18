// Hex and 8-bit text helpers shared by the document reader and writer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/document/document.h"

namespace host {

// "0x1F" -> 31 (1 to 8 hex digits); nullopt otherwise.
std::optional<std::uint32_t> ParseHexNumber(const std::string& text);
// "0900 0000" -> bytes; whitespace between pairs is ignored.
std::optional<Bytes> ParseHexBytes(const std::string& text);
// Bytes as hex, a space after every second byte.
std::string HexString(const Bytes& bytes);
// Strict UTF-8, as a JSON writer demands.
bool IsUtf8(const std::string& text);
// Texts are 8-bit bytes; one that is not UTF-8 is shown byte by byte.
std::string Latin1ToUtf8(const std::string& text);

}  // namespace host
