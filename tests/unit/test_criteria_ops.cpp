// What a set of criteria means for one entry or one note.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "entrysearch/attribute_tables.h"
#include "entrysearch/criteria_ops.h"

namespace {

constexpr std::int16_t kAnd = 1, kOr = 0;

CriteriaRecord Criteria(std::int16_t booleanSwitch) {
    CriteriaRecord c;
    std::memset(&c, 0, sizeof(c));
    c.booleanSwitch = booleanSwitch;
    return c;
}

EntryRecord Entry(std::int32_t duration, std::int32_t position, std::uint32_t flagsA, std::uint16_t flagsB) {
    EntryRecord e;
    std::memset(&e, 0, sizeof(e));
    e.duration = duration;
    e.position = position;
    e.flagsA = flagsA;
    e.flagsB = flagsB;
    return e;
}

NoteRecord Note(std::int16_t displacement, std::int16_t raiseLower, std::uint32_t flags) {
    NoteRecord n;
    std::memset(&n, 0, sizeof(n));
    n.displacement = displacement;
    n.raiseLower = raiseLower;
    n.flags = flags;
    return n;
}

constexpr std::uint32_t kNoteRest = 0x40000000;  // entry row 1
constexpr int kNoteRestRow = 1;

TEST(EntryMatches, EvaluationRuleForEveryKindOfCriterion) {
    struct Case {
        const char* what;
        std::function<void(CriteriaRecord*)> set;
        std::int16_t booleanSwitch;
        EntryRecord entry;
        int expected;
    };
    auto duration = [](std::int16_t v) {
        return [v](CriteriaRecord* c) { c->durationSwitch = 1, c->durationValue = v; };
    };
    auto position = [](std::int16_t v) {
        return [v](CriteriaRecord* c) { c->positionSwitch = 1, c->positionValue = v; };
    };
    auto slot = [](int row, std::int16_t v) { return [row, v](CriteriaRecord* c) { c->entrySlots[row] = v; }; };
    auto both = [](std::function<void(CriteriaRecord*)> a, std::function<void(CriteriaRecord*)> b) {
        return [a, b](CriteriaRecord* c) { a(c), b(c); };
    };
    auto none = [](CriteriaRecord*) {};
    const Case kCases[] = {
        {"nothing set, AND: everything matches", none, kAnd, Entry(7, 9, 0, 0), 1},
        {"nothing set, OR: nothing matches", none, kOr, Entry(7, 9, 0xffffffff, 0xffff), 0},
        {"duration equal", duration(1024), kAnd, Entry(1024, 0, 0, 0), 1},
        {"duration one less", duration(1024), kAnd, Entry(1023, 0, 0, 0), 0},
        {"negative duration widened with its sign", duration(-1), kAnd, Entry(-1, 0, 0, 0), 1},
        {"-1 is not 65535", duration(-1), kAnd, Entry(65535, 0, 0, 0), 0},
        {"position 0 at the start", position(0), kAnd, Entry(0, 0, 0, 0), 1},
        {"position 0 is not 65536", position(0), kAnd, Entry(0, 65536, 0, 0), 0},
        {"position 32000", position(32000), kOr, Entry(0, 32000, 0, 0), 1},
        {"slot 2, bit set", slot(kNoteRestRow, 2), kAnd, Entry(0, 0, kNoteRest, 0), 1},
        {"slot 2, bit clear", slot(kNoteRestRow, 2), kAnd, Entry(0, 0, ~kNoteRest, 0xffff), 0},
        {"slot 1, bit clear", slot(kNoteRestRow, 1), kAnd, Entry(0, 0, ~kNoteRest, 0xffff), 1},
        {"slot 1, bit set", slot(kNoteRestRow, 1), kAnd, Entry(0, 0, kNoteRest, 0), 0},
        {"slot 3 never holds, bit set", slot(kNoteRestRow, 3), kAnd, Entry(0, 0, kNoteRest, 0), 0},
        {"slot 3 never holds, bit clear", slot(kNoteRestRow, 3), kAnd, Entry(0, 0, 0, 0), 0},
        {"slot -1 never holds under OR", slot(kNoteRestRow, -1), kOr, Entry(0, 0, kNoteRest, 0), 0},
        {"word B row 28 reads word B", slot(28, 2), kAnd, Entry(0, 0, 0, 0x0001), 1},
        {"word B row 28 ignores word A's bit 1", slot(28, 2), kAnd, Entry(0, 0, 0x00000001, 0), 0},
        {"AND, duration and bit hold", both(duration(1024), slot(kNoteRestRow, 2)), kAnd, Entry(1024, 0, kNoteRest, 0),
         1},
        {"AND, duration fails", both(duration(1024), slot(kNoteRestRow, 2)), kAnd, Entry(1023, 0, kNoteRest, 0), 0},
        {"AND, bit fails", both(duration(1024), slot(kNoteRestRow, 2)), kAnd, Entry(1024, 0, 0, 0), 0},
        {"OR, duration alone holds", both(duration(1024), slot(kNoteRestRow, 2)), kOr, Entry(1024, 0, 0, 0), 1},
        {"OR, bit alone holds", both(duration(1024), slot(kNoteRestRow, 2)), kOr, Entry(1023, 0, kNoteRest, 0), 1},
        {"OR, neither holds", both(duration(1024), slot(kNoteRestRow, 2)), kOr, Entry(1023, 0, 0, 0), 0},
        {"OR, position holds after duration fails", both(duration(8), position(5)), kOr, Entry(9, 5, 0, 0), 1},
        {"AND, last row fails", both(slot(0, 2), slot(33, 2)), kAnd, Entry(0, 0, 0x80000000, 0), 0},
        {"note criteria play no part", [](CriteriaRecord* c) { c->noteSlots[1] = 2, c->displacementSwitch = 1; }, kOr,
         Entry(0, 0, 0xffffffff, 0xffff), 0},
    };
    for (const Case& c : kCases) {
        CriteriaRecord criteria = Criteria(c.booleanSwitch);
        c.set(&criteria);
        EXPECT_EQ(EntryMatches(&c.entry, &criteria) != 0, c.expected != 0) << c.what;
    }
}

// Each row reads its own bit and no other, in both words.
TEST(EntryMatches, EveryRowTestsItsOwnBit) {
    for (int r = 0; r < kEntryAttributeCount; ++r) {
        const EntryAttributeRow& row = EntryAttributeTable[r];
        CriteriaRecord criteria = Criteria(kAnd);
        criteria.entrySlots[r] = 2;
        EntryRecord only = Entry(0, 0, row.maskA, row.maskB);
        EntryRecord allBut = Entry(0, 0, ~row.maskA, static_cast<std::uint16_t>(~row.maskB));
        EXPECT_NE(EntryMatches(&only, &criteria), 0) << "row " << r << " with only its bit set";
        EXPECT_EQ(EntryMatches(&allBut, &criteria), 0) << "row " << r << " with every other bit set";
    }
}

TEST(NoteMatches, EvaluationRuleForEveryKindOfCriterion) {
    struct Case {
        const char* what;
        std::function<void(CriteriaRecord*)> set;
        std::int16_t booleanSwitch;
        NoteRecord note;
        int expected;
    };
    auto disp = [](std::int16_t v) {
        return [v](CriteriaRecord* c) { c->displacementSwitch = 1, c->displacementValue = v; };
    };
    auto rl = [](std::int16_t v) {
        return [v](CriteriaRecord* c) { c->raiseLowerSwitch = 1, c->raiseLowerValue = v; };
    };
    auto slot = [](int row, std::int16_t v) { return [row, v](CriteriaRecord* c) { c->noteSlots[row] = v; }; };
    auto both = [](std::function<void(CriteriaRecord*)> a, std::function<void(CriteriaRecord*)> b) {
        return [a, b](CriteriaRecord* c) { a(c), b(c); };
    };
    auto none = [](CriteriaRecord*) {};
    const Case kCases[] = {
        {"nothing set, AND", none, kAnd, Note(3, 1, 0), 1},
        {"nothing set, OR", none, kOr, Note(3, 1, 0xffffffff), 0},
        {"displacement equal", disp(-100), kAnd, Note(-100, 0, 0), 1},
        {"displacement differs", disp(-100), kAnd, Note(100, 0, 0), 0},
        {"raise/lower equal", rl(-5), kAnd, Note(0, -5, 0), 1},
        {"raise/lower differs", rl(5), kAnd, Note(0, 4, 0), 0},
        {"Tie Start on", slot(1, 2), kAnd, Note(0, 0, 0x40000000), 1},
        {"Tie Start required off", slot(1, 1), kAnd, Note(0, 0, 0x40000000), 0},
        {"Upstem Split is 0x02000000", slot(5, 2), kAnd, Note(0, 0, 0x02000000), 1},
        {"Downstem 2nd is 0x04000000", slot(6, 2), kAnd, Note(0, 0, 0x02000000), 0},
        {"slot 5 never holds", slot(1, 5), kOr, Note(0, 0, 0x40000000), 0},
        {"AND, displacement and raise/lower", both(disp(2), rl(1)), kAnd, Note(2, 1, 0), 1},
        {"AND, raise/lower fails", both(disp(2), rl(1)), kAnd, Note(2, 0, 0), 0},
        {"OR, raise/lower alone holds", both(disp(2), rl(1)), kOr, Note(0, 1, 0), 1},
        {"OR, a flag alone holds", both(disp(2), slot(9, 2)), kOr, Note(0, 0, 0x00000002), 1},
        {"OR, nothing holds", both(disp(2), slot(9, 2)), kOr, Note(0, 0, 0), 0},
        {"entry criteria play no part", [](CriteriaRecord* c) { c->entrySlots[1] = 2, c->durationSwitch = 1; }, kOr,
         Note(0, 0, 0xffffffff), 0},
    };
    for (const Case& c : kCases) {
        CriteriaRecord criteria = Criteria(c.booleanSwitch);
        c.set(&criteria);
        EXPECT_EQ(NoteMatches(&c.note, &criteria) != 0, c.expected != 0) << c.what;
    }
}

TEST(NoteMatches, EveryRowTestsItsOwnBit) {
    for (int r = 0; r < kNoteAttributeCount; ++r) {
        CriteriaRecord criteria = Criteria(kAnd);
        criteria.noteSlots[r] = 2;
        NoteRecord only = Note(0, 0, NoteAttributeTable[r].mask);
        NoteRecord allBut = Note(0, 0, ~NoteAttributeTable[r].mask);
        EXPECT_NE(NoteMatches(&only, &criteria), 0) << "row " << r;
        EXPECT_EQ(NoteMatches(&allBut, &criteria), 0) << "row " << r;
    }
}

// Every row switched on from nothing and off from everything: exactly its own
// bit changes, search-only rows never, and no byte but the flag words moves.
TEST(ApplyToEntry, EachRowChangesItsOwnBitUnlessSearchOnly) {
    for (int r = 0; r < kEntryAttributeCount; ++r) {
        const EntryAttributeRow& row = EntryAttributeTable[r];
        const bool applies = row.searchOnly == 0;
        for (std::int16_t value : {std::int16_t{1}, std::int16_t{2}}) {
            CriteriaRecord replace = Criteria(kAnd);
            replace.entrySlots[r] = value;
            replace.durationSwitch = 1;  // never applied
            replace.positionSwitch = 1;
            EntryRecord entry = value == 2 ? Entry(5, 6, 0, 0) : Entry(5, 6, 0xffffffff, 0xffff);
            std::memset(entry.unused0, 0xbd, sizeof(entry.unused0));
            entry.noteCount = 3;
            EntryRecord expected = entry;
            if (applies) {
                if (value == 2) expected.flagsA |= row.maskA, expected.flagsB |= row.maskB;
                if (value == 1) expected.flagsA &= ~row.maskA, expected.flagsB &= ~row.maskB;
            }
            ApplyToEntry(&entry, &replace);
            EXPECT_EQ(+entry.flagsA, +expected.flagsA) << "row " << r << " slot " << value;
            EXPECT_EQ(+entry.flagsB, +expected.flagsB) << "row " << r << " slot " << value;
            EXPECT_EQ(std::memcmp(&entry, &expected, sizeof(entry)), 0) << "row " << r << ": other bytes changed";
        }
    }
}

TEST(ApplyToEntry, SlotValuesOtherThanOneOrTwoChangeNothing) {
    for (std::int16_t value : {std::int16_t{0}, std::int16_t{3}, std::int16_t{-1}, std::int16_t{0x7fff}}) {
        CriteriaRecord replace = Criteria(kAnd);
        for (std::int16_t& s : replace.entrySlots) s = value;
        EntryRecord entry = Entry(0, 0, 0x12345678, 0x0241);
        ApplyToEntry(&entry, &replace);
        EXPECT_EQ(+entry.flagsA, 0x12345678u) << "slot " << value;
        EXPECT_EQ(+entry.flagsB, 0x0241) << "slot " << value;
    }
}

TEST(ApplyToEntry, WordsStayApart) {
    CriteriaRecord replace = Criteria(kAnd);
    replace.entrySlots[28] = 2;  // Staff Expr on: word B bit 0x0001
    replace.entrySlots[27] = 1;  // Up/Down off: word A bit 0x00000001
    EntryRecord entry = Entry(0, 0, 0x00000001, 0);
    ApplyToEntry(&entry, &replace);
    EXPECT_EQ(+entry.flagsA, 0u);
    EXPECT_EQ(+entry.flagsB, 0x0001);
}

TEST(ApplyToNote, SetsValuesAndFlags) {
    struct Case {
        const char* what;
        std::function<void(CriteriaRecord*)> set;
        NoteRecord before;
        NoteRecord after;
    };
    const Case kCases[] = {
        {"displacement written even when equal",
         [](CriteriaRecord* c) { c->displacementSwitch = 1, c->displacementValue = -100; }, Note(-100, 2, 0),
         Note(-100, 2, 0)},
        {"displacement written", [](CriteriaRecord* c) { c->displacementSwitch = 1, c->displacementValue = 100; },
         Note(-3, 2, 0), Note(100, 2, 0)},
        {"raise/lower written", [](CriteriaRecord* c) { c->raiseLowerSwitch = 1, c->raiseLowerValue = -5; },
         Note(7, 2, 0), Note(7, -5, 0)},
        {"switches off: values kept", [](CriteriaRecord* c) { c->displacementValue = 9, c->raiseLowerValue = 9; },
         Note(7, 2, 0), Note(7, 2, 0)},
        {"Upstem Split on", [](CriteriaRecord* c) { c->noteSlots[5] = 2; }, Note(0, 0, 0), Note(0, 0, 0x02000000)},
        {"Downstem 2nd off", [](CriteriaRecord* c) { c->noteSlots[6] = 1; }, Note(0, 0, 0xffffffff),
         Note(0, 0, 0xfbffffff)},
        {"Legality is search-only", [](CriteriaRecord* c) { c->noteSlots[0] = 2; }, Note(0, 0, 0), Note(0, 0, 0)},
        {"slot 4 does nothing", [](CriteriaRecord* c) { c->noteSlots[9] = 4; }, Note(0, 0, 2), Note(0, 0, 2)},
        {"entry slots are not note slots", [](CriteriaRecord* c) { c->entrySlots[1] = 2; }, Note(0, 0, 0),
         Note(0, 0, 0)},
    };
    for (const Case& c : kCases) {
        CriteriaRecord replace = Criteria(kAnd);
        c.set(&replace);
        NoteRecord note = c.before;
        std::memset(note.unused4, 0xbd, sizeof(note.unused4));
        NoteRecord expected = c.after;
        std::memset(expected.unused4, 0xbd, sizeof(expected.unused4));
        ApplyToNote(&note, &replace);
        EXPECT_EQ(note.displacement, expected.displacement) << c.what;
        EXPECT_EQ(note.raiseLower, expected.raiseLower) << c.what;
        EXPECT_EQ(+note.flags, +expected.flags) << c.what;
        EXPECT_EQ(std::memcmp(&note, &expected, sizeof(note)), 0) << c.what << ": other bytes changed";
    }
}

TEST(ApplyToNote, EachRowChangesItsOwnBitUnlessSearchOnly) {
    for (int r = 0; r < kNoteAttributeCount; ++r) {
        const NoteAttributeRow& row = NoteAttributeTable[r];
        CriteriaRecord replace = Criteria(kAnd);
        replace.noteSlots[r] = 2;
        NoteRecord note = Note(0, 0, 0);
        ApplyToNote(&note, &replace);
        EXPECT_EQ(+note.flags, row.searchOnly ? 0u : row.mask) << "row " << r << " on";
        replace.noteSlots[r] = 1;
        note = Note(0, 0, 0xffffffff);
        ApplyToNote(&note, &replace);
        EXPECT_EQ(+note.flags, row.searchOnly ? 0xffffffffu : ~row.mask) << "row " << r << " off";
    }
}

}  // namespace
