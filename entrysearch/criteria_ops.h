// What a set of criteria means for one entry or note.
#pragma once

#include <cstdint>

#include "shell/host_records.h"
#include "shell/records.h"

std::int16_t EntryMatches(const EntryRecord* entry, const CriteriaRecord* criteria);
std::int16_t NoteMatches(const NoteRecord* note, const CriteriaRecord* criteria);
void ApplyToEntry(EntryRecord* entry, const CriteriaRecord* criteria);
void ApplyToNote(NoteRecord* note, const CriteriaRecord* criteria);
