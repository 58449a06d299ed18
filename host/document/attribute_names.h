// The entry and note attribute bits by the captions of the criteria
// dialog, for messages that say what changed.
#pragma once

#include <cstdint>

namespace host {

struct AttributeBit {
    int word;  // 0: flag word A, 1: flag word B, 2: a note's flags
    std::uint32_t mask;
    const char* name;
};
inline constexpr AttributeBit kAttributeBits[] = {
    {0, 0x80000000, "Legality"},
    {0, 0x40000000, "Note/Rest"},
    {0, 0x20000000, "V2 Launch"},
    {0, 0x10000000, "Voice 2"},
    {0, 0x04000000, "Chord"},
    {0, 0x02000000, "Clef Change"},
    {0, 0x01000000, "Float Rest"},
    {0, 0x00800000, "Grace"},
    {0, 0x00400000, "Note Detail"},
    {0, 0x00200000, "Articulation"},
    {0, 0x00100000, "Lyrics"},
    {0, 0x00080000, "Tuplet"},
    {0, 0x00040000, "V2 Tup Para"},
    {0, 0x00020000, "Perf Data"},
    {0, 0x00008000, "Ignore"},
    {0, 0x00004000, "Beam Ext"},
    {0, 0x00002000, "Flip Tie"},
    {0, 0x00001000, "Special"},
    {0, 0x00000800, "Beam/Beat"},
    {0, 0x00000400, "Sec Beam"},
    {0, 0x00000080, "Stem Detail"},
    {0, 0x00000040, "Cross Up"},
    {0, 0x00000010, "Reverse Up"},
    {0, 0x00000008, "Reverse Dn"},
    {0, 0x00000004, "Double Stem"},
    {0, 0x00000002, "Split Stem"},
    {1, 0x0001, "Staff Expr"},
    {1, 0x0008, "Is Tuplet"},
    {1, 0x0020, "Slur"},
    {1, 0x0040, "No Ledger"},
    {1, 0x0100, "Slash Grace"},
    {1, 0x0200, "Flat Beam"},
    {0, 0x00000100, "Freeze Stem"},
    {0, 0x00000001, "Up/Down"},
    {2, 0x80000000, "Note Legality"},
    {2, 0x40000000, "Tie Start"},
    {2, 0x20000000, "Tie End"},
    {2, 0x10000000, "Cross Note"},
    {2, 0x08000000, "Upstem 2nd"},
    {2, 0x02000000, "Upstem Split"},
    {2, 0x04000000, "Downstem 2nd"},
    {2, 0x01000000, "Accidental"},
    {2, 0x00800000, "(Accidental)"},
    {2, 0x00000002, "Freeze Accidental"},
};

}  // namespace host
