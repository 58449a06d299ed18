#include "entrysearch/attribute_tables.h"

#include <cstddef>

#include "resources/resource.h"

namespace {

constexpr std::int32_t EntrySlot(int row) {
    return static_cast<std::int32_t>(offsetof(CriteriaRecord, entrySlots)) + 2 * row;
}
constexpr std::int32_t NoteSlot(int row) {
    return static_cast<std::int32_t>(offsetof(CriteriaRecord, noteSlots)) + 2 * row;
}

}  // namespace

// Rows follow the slot order; the control ids follow the dialog's layout.
// Flag word A bits 0x08000000, 0x00010000, 0x00000200 and 0x00000020 belong
// to no row and are never touched.
const EntryAttributeRow EntryAttributeTable[kEntryAttributeCount] = {
    // control                  slot          mask A       mask B  dangerous searchOnly
    {IDC_CRIT_E_LEGALITY, EntrySlot(0), 0x80000000u, 0x0000, 1, 1},
    {IDC_CRIT_E_NOTE_REST, EntrySlot(1), 0x40000000u, 0x0000, 0, 0},
    {IDC_CRIT_E_V2_LAUNCH, EntrySlot(2), 0x20000000u, 0x0000, 1, 1},
    {IDC_CRIT_E_VOICE2, EntrySlot(3), 0x10000000u, 0x0000, 1, 1},
    {IDC_CRIT_E_CHORD, EntrySlot(4), 0x04000000u, 0x0000, 1, 0},
    {IDC_CRIT_E_CLEF_CHANGE, EntrySlot(5), 0x02000000u, 0x0000, 1, 0},
    {IDC_CRIT_E_FLOAT_REST, EntrySlot(6), 0x01000000u, 0x0000, 0, 0},
    {IDC_CRIT_E_GRACE, EntrySlot(7), 0x00800000u, 0x0000, 0, 0},
    {IDC_CRIT_E_NOTE_DETAIL, EntrySlot(8), 0x00400000u, 0x0000, 1, 0},
    {IDC_CRIT_E_ARTICULATION, EntrySlot(9), 0x00200000u, 0x0000, 1, 0},
    {IDC_CRIT_E_LYRICS, EntrySlot(10), 0x00100000u, 0x0000, 1, 0},
    {IDC_CRIT_E_TUPLET, EntrySlot(11), 0x00080000u, 0x0000, 1, 0},
    {IDC_CRIT_E_V2_TUP_PARA, EntrySlot(12), 0x00040000u, 0x0000, 1, 0},
    {IDC_CRIT_E_PERF_DATA, EntrySlot(13), 0x00020000u, 0x0000, 1, 0},
    {IDC_CRIT_E_IGNORE, EntrySlot(14), 0x00008000u, 0x0000, 0, 0},
    {IDC_CRIT_E_BEAM_EXT, EntrySlot(15), 0x00004000u, 0x0000, 1, 0},
    {IDC_CRIT_E_FLIP_TIE, EntrySlot(16), 0x00002000u, 0x0000, 0, 0},
    {IDC_CRIT_E_SPECIAL, EntrySlot(17), 0x00001000u, 0x0000, 1, 0},
    {IDC_CRIT_E_BEAM_BEAT, EntrySlot(18), 0x00000800u, 0x0000, 0, 0},
    {IDC_CRIT_E_SEC_BEAM, EntrySlot(19), 0x00000400u, 0x0000, 1, 0},
    {IDC_CRIT_E_FREEZE_STEM, EntrySlot(20), 0x00000100u, 0x0000, 0, 0},
    {IDC_CRIT_E_STEM_DETAIL, EntrySlot(21), 0x00000080u, 0x0000, 1, 0},
    {IDC_CRIT_E_CROSS_UP, EntrySlot(22), 0x00000040u, 0x0000, 0, 0},
    {IDC_CRIT_E_REVERSE_UP, EntrySlot(23), 0x00000010u, 0x0000, 0, 0},
    {IDC_CRIT_E_REVERSE_DN, EntrySlot(24), 0x00000008u, 0x0000, 0, 0},
    {IDC_CRIT_E_DOUBLE_STEM, EntrySlot(25), 0x00000004u, 0x0000, 0, 0},
    {IDC_CRIT_E_SPLIT_STEM, EntrySlot(26), 0x00000002u, 0x0000, 0, 0},
    {IDC_CRIT_E_UP_DOWN, EntrySlot(27), 0x00000001u, 0x0000, 0, 0},
    // Flag word B from here on.
    {IDC_CRIT_E_STAFF_EXPR, EntrySlot(28), 0x00000000u, 0x0001, 1, 0},
    {IDC_CRIT_E_IS_TUPLET, EntrySlot(29), 0x00000000u, 0x0008, 1, 1},
    {IDC_CRIT_E_SLUR, EntrySlot(30), 0x00000000u, 0x0020, 1, 0},
    {IDC_CRIT_E_NO_LEDGER, EntrySlot(31), 0x00000000u, 0x0040, 0, 0},
    {IDC_CRIT_E_SLASH_GRACE, EntrySlot(32), 0x00000000u, 0x0100, 0, 0},
    {IDC_CRIT_E_FLAT_BEAM, EntrySlot(33), 0x00000000u, 0x0200, 0, 0},
};

// Upstem Split and Downstem 2nd are not in bit order.
const NoteAttributeRow NoteAttributeTable[kNoteAttributeCount] = {
    // control                        slot         mask       dangerous searchOnly
    {IDC_CRIT_N_LEGALITY, NoteSlot(0), 0x80000000u, 1, 1},
    {IDC_CRIT_N_TIE_START, NoteSlot(1), 0x40000000u, 1, 0},
    {IDC_CRIT_N_TIE_END, NoteSlot(2), 0x20000000u, 1, 0},
    {IDC_CRIT_N_CROSS_NOTE, NoteSlot(3), 0x10000000u, 1, 0},
    {IDC_CRIT_N_UPSTEM_2ND, NoteSlot(4), 0x08000000u, 0, 0},
    {IDC_CRIT_N_UPSTEM_SPLIT, NoteSlot(5), 0x02000000u, 0, 0},
    {IDC_CRIT_N_DOWNSTEM_2ND, NoteSlot(6), 0x04000000u, 0, 0},
    {IDC_CRIT_N_ACCIDENTAL, NoteSlot(7), 0x01000000u, 0, 0},
    {IDC_CRIT_N_PAREN_ACCIDENTAL, NoteSlot(8), 0x00800000u, 0, 0},
    {IDC_CRIT_N_FREEZE_ACCIDENTAL, NoteSlot(9), 0x00000002u, 0, 0},
};
