// How the scripted user words what it met in its failures: shared by the
// runner and its expectations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/session/script.h"

namespace session {

std::string Quote(const std::string& text);
std::string Hex(const std::vector<std::uint8_t>& bytes);  // quoted, "0a ff"
std::string HexNumber(unsigned long long value);          // 0x1f
std::string Rgb(COLORREF color);                          // RGB(1, 2, 3)
// What an action is about, without what it expects: "expect text 105",
// "expect entry 1 1 0 2", "click 101".
std::string Label(const Action& action);
// "dialog 20129 ("Text Search")"
std::string DialogName(HWND dialog);

}  // namespace session
