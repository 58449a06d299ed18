// A verse as a person types it: syllables of a word joined by hyphens,
// words by spaces.
#pragma once

#include <string>
#include <vector>

#include "host/musicxml/score.h"

namespace musicxml {

std::string JoinVerse(const std::vector<Syllable>& syllables);

// Splits at every space and hyphen; "Glo-ry to" -> "Glo", "ry", "to".
std::vector<std::string> SplitVerse(const std::string& text);

}  // namespace musicxml
