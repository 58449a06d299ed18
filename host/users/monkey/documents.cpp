// The documents random sessions play on. Small, so that a session reaches
// the end of a search in a few actions, but with every kind of text, tags,
// texts at the length limits, and several staves and layers of entries.
#include <string>
#include <vector>

#include "host/users/monkey/documents.h"

namespace users::monkey {

namespace {

// Entries of one frame: a rest, single notes and chords with varied flags.
std::vector<EntryRecord> Entries(int staff, int measure, int layer, int count) {
    std::vector<EntryRecord> entries;
    for (int i = 0; i < count; ++i) {
        EntryRecord entry{};
        const int mix = staff * 7 + measure * 5 + layer * 3 + i;
        entry.position = i * 1024;
        entry.duration = (mix % 3 == 0) ? 512 : 1024;
        entry.flagsA = 0x00000001u << (mix % 28) | (mix % 2 == 0 ? 0x40000000u : 0u);
        entry.flagsB = static_cast<std::uint16_t>(1u << (mix % 6));
        entry.noteCount = static_cast<std::int16_t>(mix % 4 == 0 ? 0 : (mix % 5) + 1);
        if (i == count - 1 && staff == 2) entry.noteCount = kMaxNotesPerEntry;
        for (int n = 0; n < entry.noteCount; ++n) {
            entry.notes[n].displacement = static_cast<std::int16_t>((mix + n) % 9 - 4);
            entry.notes[n].raiseLower = static_cast<std::int16_t>((mix + n) % 3 - 1);
            entry.notes[n].flags = 1u << ((mix + 2 * n) % 10);
        }
        entries.push_back(entry);
    }
    return entries;
}

host::Document Texts() {
    host::Document doc;
    doc.SetMeasureCount(3);
    doc.SetStaffSystemCount(2);
    doc.AddPageText(0, "^font(Times)^size(24)Sonata ab ^b(1)ab");
    doc.AddPageText(2, "ab on page two");
    doc.AddPageText(1, std::string(200, 'a') + "b");
    doc.AddMeasureText(1, 2, "dolce ab");
    doc.AddMeasureText(2, 3, "^^ab^^");
    doc.AddExpression(1, "cresc. ab");
    doc.AddExpression(2, "AB ab Ab");
    doc.AddExpression(3, "^i(1)ab^i(0)");
    doc.AddStaff(1, "Flute ab", "Fl.");
    doc.AddStaff(2, "Oboe", "Ob. ab");
    doc.AddGroup(0, 1, "Winds ab", "Wi.");
    doc.AddGroup(1, 2, "Strings", "Str. ab");
    doc.AddTextRepeat(1, "D.C. al ab");
    doc.AddTextRepeat(2, std::string(49, 'b') + "a");
    doc.AddEnding(2, "1. ab");
    doc.AddLyrics(host::LyricsKind::Verse, 1, "la ab la-ab");
    doc.AddLyrics(host::LyricsKind::Chorus, 1, "ab ab ab");
    doc.AddLyrics(host::LyricsKind::Section, 2, "ab");
    doc.SetFrame({1, 1, 0}, Entries(1, 1, 0, 3));
    doc.SetFrame({1, 2, 0}, Entries(1, 2, 0, 2));
    return doc;
}

host::Document Entries() {
    host::Document doc;
    doc.SetMeasureCount(4);
    doc.AddStaff(1, "Violin", "Vl.");
    doc.AddStaff(2, "Viola", "Va.");
    doc.AddStaff(3, "Cello", "Vc.");
    doc.AddExpression(1, "pizz.");
    doc.AddLyrics(host::LyricsKind::Verse, 1, "a-ve");
    for (int staff = 1; staff <= 3; ++staff) {
        for (int measure = 1; measure <= 4; ++measure) {
            for (int layer = 0; layer < 4; ++layer) {
                if ((staff + measure + layer) % 3 == 2) continue;  // some cells without this layer
                doc.SetFrame({staff, measure, layer}, Entries(staff, measure, layer, 1 + (staff + layer) % 4));
            }
        }
    }
    // Layers 1 and 3 hidden, with "show only visible layers" on.
    doc.layers.toggle = true;
    doc.layers.visible[1] = false;
    doc.layers.visible[3] = false;
    doc.layers.submenuAt = 17;
    return doc;
}

host::Document Odd() {
    host::Document doc;
    doc.screenWidth = 640;
    doc.screenHeight = 480;
    doc.layers.present = false;  // a host window without a menu bar
    doc.SetMeasureCount(1);
    doc.AddPageText(0, "");
    doc.AddPageText(0, "a");
    doc.AddExpression(1, "^");
    doc.AddExpression(2, "^^");
    doc.AddStaff(1, "", "a");
    doc.AddTextRepeat(1, "aaaaaaaaaa");
    doc.AddLyrics(host::LyricsKind::Verse, 1, "a a a");
    doc.SetFrame({1, 1, 0}, {});
    doc.SetFrame({1, 1, 1}, Entries(1, 1, 1, 1));
    return doc;
}

}  // namespace

host::Document SessionDocument(int which) {
    switch (which) {
        case 0:
            return Texts();
        case 1:
            return Entries();
        default:
            return Odd();
    }
}

}  // namespace users::monkey
