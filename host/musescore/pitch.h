// MuseScore's pitches: a MIDI number and a spelling on the line of fifths
// (<tpc>: 14 is C, 15 G, 13 F, 21 C sharp, 7 C flat), turned into the
// plug-in's displacement from middle C and raise/lower, and back.
#pragma once

namespace musescore::pitch {

inline constexpr int kSemitones[7] = {0, 2, 4, 5, 7, 9, 11};  // C D E F G A B above C
inline constexpr int kFifths[7] = {0, 2, 4, -1, 1, 3, 5};     // their places on the line of fifths from C

inline int Mod(int a, int m) { return ((a % m) + m) % m; }
inline int FloorDiv(int a, int b) { return (a - Mod(a, b)) / b; }

inline int StepOfTpc(int tpc) { return Mod((tpc - 14) * 4, 7); }
inline int AlterOfTpc(int tpc) { return FloorDiv(tpc - 13, 7); }
inline int TpcOf(int step, int alter) { return 14 + kFifths[step] + 7 * alter; }
inline bool ValidTpc(int tpc) { return tpc >= -1 && tpc <= 33; }
// What an interval of `chromatic` semitones and `diatonic` steps does to a tpc.
inline int TpcShift(int chromatic, int diatonic) { return 7 * chromatic - 12 * diatonic; }

struct Spelling {
    int displacement = 0;  // diatonic steps from middle C
    int alter = 0;
    bool fits = true;  // false: the tpc did not fit the pitch, which was spelled as it says
};

inline Spelling Spell(int midi, int tpc) {
    int step = StepOfTpc(tpc);
    int alter = AlterOfTpc(tpc);
    int base = midi - alter - kSemitones[step];
    const bool fits = ValidTpc(tpc) && Mod(base, 12) == 0;
    if (!fits) {
        static constexpr int kSteps[12] = {0, 0, 1, 2, 2, 3, 3, 4, 4, 5, 6, 6};
        static constexpr int kAlters[12] = {0, 1, 0, -1, 0, 0, 1, 0, 1, 0, -1, 0};
        step = kSteps[Mod(midi, 12)];
        alter = kAlters[Mod(midi, 12)];
        base = midi - alter - kSemitones[step];
    }
    const int octave = FloorDiv(base, 12) - 1;
    return {(octave - 4) * 7 + step, alter, fits};
}

inline int MidiOf(int displacement, int alter) {
    const int step = Mod(displacement, 7);
    const int octave = 4 + FloorDiv(displacement, 7);
    return 12 * (octave + 1) + kSemitones[step] + alter;
}

}  // namespace musescore::pitch
