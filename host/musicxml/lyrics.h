// A verse as a person types it: syllables of a word joined by hyphens,
// words by spaces; and a change of the verse's text mapped back onto the
// syllables by where it fell.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/musicxml/score.h"

namespace musicxml {

std::string JoinVerse(const std::vector<Syllable>& syllables);

// Splits at every space and hyphen; "Glo-ry to" -> "Glo", "ry", "to".
std::vector<std::string> SplitVerse(const std::string& text);

// The syllables' texts after one change of the verse: `before` is what
// *texts join to (with the separators of `syllables`), `after` the same text
// with one stretch changed. The stretch (what lies between the common start
// and end of the two) goes to the syllable it falls in, whatever it holds;
// one that crosses from syllable to syllable goes to each only when the
// spaces and hyphens of the stretch are all still there in the same order,
// each boundary at its counterpart. The common start and end are taken both
// ways (longest start first, longest end first); where the two place the
// change differently it could belong to more than one note. False, with
// *why and the syllable *at where the verse first differs, when the change
// cannot be placed; then *texts is as it was.
bool ApplyVerseChange(const std::vector<Syllable>& syllables, const std::string& before, const std::string& after,
                      std::vector<std::string>* texts, std::size_t* at, std::string* why);

}  // namespace musicxml
