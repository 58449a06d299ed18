// Where a record of the document stands in the MuseScore score, as a
// musician says it: staff (with its part's name), measure as MuseScore
// numbers it, beat and voice.
#pragma once

#include <cstdint>
#include <string>

#include "host/musescore/score.h"

namespace musescore {

// The place of a text record as its element says it (kind, staff,
// measure); a verse's staff and measure at byte `offset` of its text (the
// whole verse when -1). Empty when the score does not tell.
std::string TextPlace(const Score& score, const host::Document& document, std::uint32_t tag, const host::Key& key,
                      int offset);

// The place of a frame entry at `position`.
std::string EntryPlace(const Score& score, const host::FrameKey& frame, std::int32_t position);

}  // namespace musescore
