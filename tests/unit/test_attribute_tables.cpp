// Both attribute tables, row by row, against the list the product was
// specified with; the captions come from the criteria dialog's template, so
// a row bound to the wrong check box shows up too.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "entrysearch/attribute_tables.h"
#include "host/sim/resource_script.h"
#include "host/sim/sim.h"
#include "resources/resource.h"

extern "C" const char OrvoResourceScript[];

namespace {

enum Word { A, B };

struct ExpectedEntryRow {
    int control;
    const char* caption;
    int slotOffset;
    Word word;
    std::uint32_t mask;
    int dangerous;
    int searchOnly;
};

// r: control, caption, slot, word, mask, dangerous, search-only.
const ExpectedEntryRow kEntryRows[kEntryAttributeCount] = {
    {116, "Legality", 0, A, 0x80000000, 1, 1},       // 0
    {117, "Note/Rest", 2, A, 0x40000000, 0, 0},      // 1
    {118, "V2 Launch", 4, A, 0x20000000, 1, 1},      // 2
    {119, "Voice 2", 6, A, 0x10000000, 1, 1},        // 3
    {120, "Chord", 8, A, 0x04000000, 1, 0},          // 4
    {121, "Clef Change", 10, A, 0x02000000, 1, 0},   // 5
    {122, "Float Rest", 12, A, 0x01000000, 0, 0},    // 6
    {124, "Grace", 14, A, 0x00800000, 0, 0},         // 7
    {125, "Note Detail", 16, A, 0x00400000, 1, 0},   // 8
    {126, "Articulation", 18, A, 0x00200000, 1, 0},  // 9
    {128, "Lyrics", 20, A, 0x00100000, 1, 0},        // 10
    {129, "Tuplet", 22, A, 0x00080000, 1, 0},        // 11
    {130, "V2 Tup Para", 24, A, 0x00040000, 1, 0},   // 12
    {131, "Perf Data", 26, A, 0x00020000, 1, 0},     // 13
    {133, "Ignore", 28, A, 0x00008000, 0, 0},        // 14
    {134, "Beam Ext", 30, A, 0x00004000, 1, 0},      // 15
    {135, "Flip Tie", 32, A, 0x00002000, 0, 0},      // 16
    {136, "Special", 34, A, 0x00001000, 1, 0},       // 17
    {137, "Beam/Beat", 36, A, 0x00000800, 0, 0},     // 18
    {138, "Sec Beam", 38, A, 0x00000400, 1, 0},      // 19
    {139, "Freeze Stem", 40, A, 0x00000100, 0, 0},   // 20
    {140, "Stem Detail", 42, A, 0x00000080, 1, 0},   // 21
    {141, "Cross Up", 44, A, 0x00000040, 0, 0},      // 22
    {142, "Reverse Up", 46, A, 0x00000010, 0, 0},    // 23
    {143, "Reverse Dn", 48, A, 0x00000008, 0, 0},    // 24
    {144, "Double Stem", 50, A, 0x00000004, 0, 0},   // 25
    {145, "Split Stem", 52, A, 0x00000002, 0, 0},    // 26
    {146, "Up/Down", 54, A, 0x00000001, 0, 0},       // 27
    {127, "Staff Expr", 56, B, 0x0001, 1, 0},        // 28
    {149, "Is Tuplet", 58, B, 0x0008, 1, 1},         // 29
    {148, "Slur", 60, B, 0x0020, 1, 0},              // 30
    {147, "No Ledger", 62, B, 0x0040, 0, 0},         // 31
    {132, "Slash Grace", 64, B, 0x0100, 0, 0},       // 32
    {123, "Flat Beam", 66, B, 0x0200, 0, 0},         // 33
};

struct ExpectedNoteRow {
    int control;
    const char* caption;
    int slotOffset;
    std::uint32_t mask;
    int dangerous;
    int searchOnly;
};

const ExpectedNoteRow kNoteRows[kNoteAttributeCount] = {
    {156, "Legality", 76, 0x80000000, 1, 1},           // 0
    {157, "Tie Start", 78, 0x40000000, 1, 0},          // 1
    {158, "Tie End", 80, 0x20000000, 1, 0},            // 2
    {159, "Cross Note", 82, 0x10000000, 1, 0},         // 3
    {160, "Upstem 2nd", 84, 0x08000000, 0, 0},         // 4
    {161, "Upstem Split", 86, 0x02000000, 0, 0},       // 5: not in bit order
    {162, "Downstem 2nd", 88, 0x04000000, 0, 0},       // 6
    {163, "Accidental", 90, 0x01000000, 0, 0},         // 7
    {164, "(Accidental)", 92, 0x00800000, 0, 0},       // 8
    {165, "Freeze Accidental", 94, 0x00000002, 0, 0},  // 9
};

std::string CaptionOf(int control) {
    const sim::DialogTemplate* dialog = sim::FindDialogTemplate(IDD_CRITERIA);
    if (dialog == nullptr) return "<no criteria template: " + sim::ResourceScriptError() + ">";
    for (const sim::ControlTemplate& c : dialog->controls) {
        if (c.id == control) return c.text;
    }
    return "<no control " + std::to_string(control) + ">";
}

class AttributeTables : public ::testing::Test {
protected:
    void SetUp() override { sim::SetResourceScript(OrvoResourceScript); }
};

TEST_F(AttributeTables, EveryEntryRowAsSpecified) {
    for (int r = 0; r < kEntryAttributeCount; ++r) {
        const ExpectedEntryRow& e = kEntryRows[r];
        const EntryAttributeRow& got = EntryAttributeTable[r];
        EXPECT_EQ(got.controlId, e.control) << "entry row " << r;
        EXPECT_EQ(CaptionOf(got.controlId), e.caption) << "entry row " << r;
        EXPECT_EQ(got.slotOffset, e.slotOffset) << "entry row " << r;
        EXPECT_EQ(got.maskA, e.word == A ? e.mask : 0u) << "entry row " << r << " mask in word A";
        EXPECT_EQ(got.maskB, e.word == B ? e.mask : 0u) << "entry row " << r << " mask in word B";
        EXPECT_EQ(got.dangerous, e.dangerous) << "entry row " << r;
        EXPECT_EQ(got.searchOnly, e.searchOnly) << "entry row " << r;
    }
}

TEST_F(AttributeTables, EveryNoteRowAsSpecified) {
    for (int r = 0; r < kNoteAttributeCount; ++r) {
        const ExpectedNoteRow& e = kNoteRows[r];
        const NoteAttributeRow& got = NoteAttributeTable[r];
        EXPECT_EQ(got.controlId, e.control) << "note row " << r;
        EXPECT_EQ(CaptionOf(got.controlId), e.caption) << "note row " << r;
        EXPECT_EQ(got.slotOffset, e.slotOffset) << "note row " << r;
        EXPECT_EQ(got.mask, e.mask) << "note row " << r;
        EXPECT_EQ(got.dangerous, e.dangerous) << "note row " << r;
        EXPECT_EQ(got.searchOnly, e.searchOnly) << "note row " << r;
    }
}

TEST(SlotAt, ReadsAndWritesTheRowsSlotOnly) {
    CriteriaRecord record;
    std::memset(&record, 0, sizeof(record));
    SetSlotAt(&record, EntryAttributeTable[33].slotOffset, 2);
    SetSlotAt(&record, NoteAttributeTable[9].slotOffset, -7);
    EXPECT_EQ(record.entrySlots[33], 2);
    EXPECT_EQ(record.noteSlots[9], -7);
    EXPECT_EQ(SlotAt(&record, 66), 2);
    EXPECT_EQ(SlotAt(&record, 94), -7);
    EXPECT_EQ(record.durationSwitch, 0) << "neighbour of entry slot 33";
    EXPECT_EQ(record.displacementSwitch, 0) << "neighbour of note slot 9";

    // Offsets outside the record neither read nor write past it.
    struct Guarded {
        CriteriaRecord record;
        std::uint8_t after[4];
    } g;
    std::memset(&g, 0xbd, sizeof(g));
    SetSlotAt(&g.record, 111, 0);
    SetSlotAt(&g.record, -2, 0);
    EXPECT_EQ(SlotAt(&g.record, 112), 0);
    EXPECT_EQ(g.after[0], 0xbd);
    EXPECT_EQ(g.record.dialogTop, static_cast<std::int16_t>(0xbdbd));
}

}  // namespace
