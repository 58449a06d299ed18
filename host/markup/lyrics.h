// A verse as a person types it: syllables of a word joined by hyphens,
// words by spaces; and a change of the verse's text mapped back onto the
// syllables by where it fell.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/markup/mapped_text.h"

namespace markup {

struct Syllable {
    Span span;
    std::string text;
    bool hyphenAfter = false;  // begin or middle: the word goes on
    int part = 0;              // the format's part or staff: a word does not run on into another
    int measure = 0;
};

std::string JoinVerse(const std::vector<Syllable>& syllables);

// The syllable that byte `offset` of the joined verse falls in (a separator
// counts with the syllable before it); null past the end or for -1.
const Syllable* SyllableAt(const std::vector<Syllable>& syllables, int offset);

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

// The syllables' texts (into *texts) after each of `writes` in turn, the
// first a change of `original`, each placed as ApplyVerseChange places it.
// False, with *why and *at, at the first that cannot be placed.
bool ApplyVerseWrites(const std::vector<Syllable>& syllables, const std::string& original,
                      const std::vector<std::string>& writes, std::vector<std::string>* texts, std::size_t* at,
                      std::string* why);

// Every text the plug-in wrote to a verse, in order, by verse number: each
// is the one before with one match replaced, and tells where it fell.
using VerseWrites = std::map<int, std::vector<std::string>>;

// What a writer carries onto a verse read as `original`: nothing when the
// document holds it as read; the host's writes of it when they lead to what
// the document holds; otherwise the one change from the verse read to that.
std::vector<std::string> VerseChanges(const host::Document& document, int number, const std::string& original,
                                      const VerseWrites* verseWrites);

}  // namespace markup
