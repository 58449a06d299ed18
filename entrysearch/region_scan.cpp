#include <cstdint>

#include "entrysearch/criteria_ops.h"
#include "shell/commands.h"
#include "shell/dialog_utils.h"
#include "shell/host_services.h"
#include "shell/plugin_state.h"

namespace {

constexpr int kLayerCount = 4;
// Passed exactly as the host's mass edit expects them.
constexpr std::int16_t kProgressKind = 4;
constexpr std::int16_t kProgressDetail = -1;

// The host's count is not trusted: the note area holds twelve notes at most.
int NotesOf(const EntryRecord* entry) {
    int count = entry->noteCount;
    if (count < 0) return 0;
    if (count > kMaxNotesPerEntry) return kMaxNotesPerEntry;
    return count;
}

// Saturates rather than wraps, so that no run can ever read as a cancel.
void CountOne(std::int32_t* count) {
    if (*count < INT32_MAX) ++*count;
}

bool InRegion(const EntryRecord* entry, const RegionRecord* region, int measure) {
    if (measure == region->firstMeasure && entry->position < region->startPosition) return false;
    if (measure == region->lastMeasure && entry->position >= region->endPosition) return false;
    return true;
}

// The notes of one entry that passed (or, under OR, need not pass) the
// entry criteria; returns whether it changed anything.
bool ScanNotes(EntryRecord* entry, const CriteriaRecord* search, const CriteriaRecord* replace, std::int32_t* count) {
    bool changed = false;
    const int notes = NotesOf(entry);
    for (int n = 0; n < notes; ++n) {
        if (NoteMatches(&entry->notes[n], search) == 0) continue;
        ApplyToNote(&entry->notes[n], replace);
        changed = true;
        CountOne(count);
    }
    return changed;
}

// One entry of a loaded frame; returns whether it changed anything.
bool ScanEntry(EntryRecord* entry, const CriteriaRecord* search, const CriteriaRecord* replace, std::int32_t* count) {
    const bool noteMode = replace->noteSpecific != 0;
    // Under OR the entry criteria do not gate the notes, so in note mode
    // their answer is not needed; on large scores it is an eighth of the scan.
    if (noteMode && search->booleanSwitch == 0) return ScanNotes(entry, search, replace, count);
    // Under AND a failed entry is skipped; under OR in entry mode it has
    // nothing to change.
    if (EntryMatches(entry, search) == 0) return false;
    if (noteMode) return ScanNotes(entry, search, replace, count);
    ApplyToEntry(entry, replace);
    CountOne(count);
    return true;
}

void ScanFrame(TgfFrame* frame, const CriteriaRecord* search, const CriteriaRecord* replace, const RegionRecord* region,
               int measure, std::int32_t* count) {
    bool changed = false;
    for (int l = 0; l < frame->count; ++l) {
        EntryRecord* entry = &frame->entries[l];
        if (!InRegion(entry, region, measure)) continue;
        if (ScanEntry(entry, search, replace, count)) changed = true;
    }
    if (changed) HS_SaveTGF(frame);
}

}  // namespace

std::int32_t ScanRegion(const CriteriaRecord* search, const CriteriaRecord* replace, const RegionRecord* region) {
    std::uint32_t handle = HS_StartMassEdit(region, 0);
    std::int32_t count = 0;
    std::int16_t cancelled = 0;
    // Loop counters are wider than 16 bits so a region reaching 32767 ends.
    for (int staff = region->firstStaff; staff <= region->lastStaff && cancelled == 0; ++staff) {
        for (int measure = region->firstMeasure; measure <= region->lastMeasure; ++measure) {
            const auto staff16 = static_cast<std::int16_t>(staff);
            const auto measure16 = static_cast<std::int16_t>(measure);
            if (HS_MassEditProgress(handle, kProgressKind, staff16, measure16, kProgressDetail) == 0) {
                cancelled = 1;
                break;
            }
            for (int layer = 0; layer < kLayerCount; ++layer) {
                const auto layer16 = static_cast<std::int16_t>(layer);
                if (IsLayerVisited(g_plugin.hostWindow, layer16) == 0) continue;
                TgfFrame* frame = HS_LoadTGF(region->frameSelector, staff16, measure16, layer16, 0);
                if (frame == nullptr) continue;
                ScanFrame(frame, search, replace, region, measure, &count);
                HS_FreeTGF(frame);
            }
        }
    }
    HS_EndMassEdit(handle, cancelled);
    return cancelled != 0 ? kScanCancelled : count;
}
