// Entry attribute bits that the XML score formats read and write (flag word
// A, then B), and note bits; see docs/musicxml.md and docs/musescore.md.
#pragma once

#include <cstdint>

namespace markup::bits {
constexpr std::uint32_t kNote = 0x40000000;
constexpr std::uint32_t kVoice2 = 0x10000000;
constexpr std::uint32_t kChord = 0x04000000;
constexpr std::uint32_t kGrace = 0x00800000;
constexpr std::uint32_t kArticulation = 0x00200000;
constexpr std::uint32_t kLyrics = 0x00100000;
constexpr std::uint32_t kTuplet = 0x00080000;
constexpr std::uint32_t kBeamBeat = 0x00000800;
constexpr std::uint32_t kSecondaryBeam = 0x00000400;
constexpr std::uint32_t kFreezeStem = 0x00000100;
constexpr std::uint32_t kUpDown = 0x00000001;
constexpr std::uint16_t kSlur = 0x0020;
constexpr std::uint16_t kSlashGrace = 0x0100;
constexpr std::uint32_t kTieStart = 0x40000000;
constexpr std::uint32_t kTieEnd = 0x20000000;
constexpr std::uint32_t kCrossNote = 0x10000000;
constexpr std::uint32_t kAccidental = 0x01000000;
constexpr std::uint32_t kAccidentalParentheses = 0x00800000;
}  // namespace markup::bits
