// Where a record of the document stands in the MusicXML score, as a
// musician says it: part, staff where the part has several, measure, beat.
#pragma once

#include <cstdint>
#include <string>

#include "host/musicxml/score.h"

namespace musicxml {

// The place of a text record: a page text's page, a rehearsal mark's or a
// text expression's part and measure, a staff name's part; a verse's part
// and measure at byte `offset` of its text (the whole verse when -1). Empty
// when the score does not tell.
std::string TextPlace(const Score& score, const host::Document& document, std::uint32_t tag, const host::Key& key,
                      int offset);

// The place of a frame entry at `position`.
std::string EntryPlace(const Score& score, const host::FrameKey& frame, std::int32_t position);

}  // namespace musicxml
