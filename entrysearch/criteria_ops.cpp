#include "entrysearch/criteria_ops.h"

#include "entrysearch/attribute_tables.h"

namespace {

// Tri-state slot values.
constexpr std::int16_t kIgnore = 0;
constexpr std::int16_t kOff = 1;
constexpr std::int16_t kOn = 2;

// The evaluation rule both match operations share: criteria are visited in
// order, and the first one that settles the answer ends the visit.
struct Evaluation {
    bool andMode;
    bool settled = false;
    bool result = false;

    explicit Evaluation(const CriteriaRecord* criteria) : andMode(criteria->booleanSwitch != 0) {}

    // Returns true once the answer is known.
    bool Visit(bool holds) {
        if (holds && !andMode) {
            settled = true;
            result = true;
        } else if (!holds && andMode) {
            settled = true;
            result = false;
        }
        return settled;
    }
    // No criterion settled it: true under AND, false under OR.
    std::int16_t Answer() const { return (settled ? result : andMode) ? 1 : 0; }
};

// A slot other than 0, 1 or 2 is a criterion that never holds.
bool TriStateHolds(std::int16_t slot, bool attributeOn) {
    return (attributeOn && slot == kOn) || (!attributeOn && slot == kOff);
}

bool EntryAttributeOn(const EntryRecord* entry, const EntryAttributeRow& row) {
    if (row.maskA != 0) return (entry->flagsA & row.maskA) != 0;
    return (entry->flagsB & row.maskB) != 0;
}

}  // namespace

std::int16_t EntryMatches(const EntryRecord* entry, const CriteriaRecord* criteria) {
    Evaluation eval(criteria);
    // Values are compared with the entry's full 32 bits, signs kept.
    if (criteria->durationSwitch != 0 &&
        eval.Visit(static_cast<std::int32_t>(criteria->durationValue) == entry->duration)) {
        return eval.Answer();
    }
    if (criteria->positionSwitch != 0 &&
        eval.Visit(static_cast<std::int32_t>(criteria->positionValue) == entry->position)) {
        return eval.Answer();
    }
    for (const EntryAttributeRow& row : EntryAttributeTable) {
        std::int16_t slot = SlotAt(criteria, row.slotOffset);
        if (slot == kIgnore) continue;
        if (eval.Visit(TriStateHolds(slot, EntryAttributeOn(entry, row)))) return eval.Answer();
    }
    return eval.Answer();
}

std::int16_t NoteMatches(const NoteRecord* note, const CriteriaRecord* criteria) {
    Evaluation eval(criteria);
    if (criteria->displacementSwitch != 0 && eval.Visit(criteria->displacementValue == note->displacement)) {
        return eval.Answer();
    }
    if (criteria->raiseLowerSwitch != 0 && eval.Visit(criteria->raiseLowerValue == note->raiseLower)) {
        return eval.Answer();
    }
    for (const NoteAttributeRow& row : NoteAttributeTable) {
        std::int16_t slot = SlotAt(criteria, row.slotOffset);
        if (slot == kIgnore) continue;
        if (eval.Visit(TriStateHolds(slot, (note->flags & row.mask) != 0))) return eval.Answer();
    }
    return eval.Answer();
}

void ApplyToEntry(EntryRecord* entry, const CriteriaRecord* criteria) {
    for (const EntryAttributeRow& row : EntryAttributeTable) {
        if (row.searchOnly != 0) continue;
        std::int16_t slot = SlotAt(criteria, row.slotOffset);
        if (slot != kOff && slot != kOn) continue;
        if (row.maskA != 0) {
            entry->flagsA = slot == kOn ? (entry->flagsA | row.maskA) : (entry->flagsA & ~row.maskA);
        } else {
            entry->flagsB =
                static_cast<std::uint16_t>(slot == kOn ? (entry->flagsB | row.maskB) : (entry->flagsB & ~row.maskB));
        }
    }
}

void ApplyToNote(NoteRecord* note, const CriteriaRecord* criteria) {
    if (criteria->displacementSwitch != 0) note->displacement = criteria->displacementValue;
    if (criteria->raiseLowerSwitch != 0) note->raiseLower = criteria->raiseLowerValue;
    for (const NoteAttributeRow& row : NoteAttributeTable) {
        if (row.searchOnly != 0) continue;
        std::int16_t slot = SlotAt(criteria, row.slotOffset);
        if (slot == kOn) note->flags |= row.mask;
        if (slot == kOff) note->flags &= ~row.mask;
    }
}
