// Finding the search string in one text, going on after a match, replacing
// it and writing the text back.
#pragma once

#include <cstdint>

std::int16_t MatchText(const char* text, std::int16_t start);
std::int16_t FindNextInText();
std::int16_t ReplaceMatch();
std::int16_t WriteBackText(const char* text);
char* MakeDisplayText(std::int16_t* position);  // caller frees with FreeText; null when out of memory
