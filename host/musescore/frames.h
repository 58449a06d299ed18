// Note entries from MuseScore: one frame for each staff, measure and voice,
// and the edits that write the plug-in's changes into the chords and notes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/musescore/score.h"

namespace musescore {

struct EntryEdit {
    int member = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string markup;  // already escaped
};

// Edits for the entries the plug-in changed; a change without a MuseScore
// form goes to *warnings, counted by attribute.
void EntryEdits(const Score& score, const host::Document& document, std::vector<EntryEdit>* edits,
                std::vector<std::string>* warnings);

}  // namespace musescore
