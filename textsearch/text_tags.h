// Host record tags the text search reads and writes (four bytes in memory
// order, low byte first), and the limits of one text.
#pragma once

#include <cstdint>

constexpr std::uint32_t kTagPageTextAssignment = 0x4F027054;     // "Tp\x02O"
constexpr std::uint32_t kTagMeasureTextAssignment = 0x64746D74;  // "tmtd"
constexpr std::uint32_t kTagTextExpression = 0x534F4454;         // "TDOS"
constexpr std::uint32_t kTagStaff = 0x534F4953;                  // "SIOS"
constexpr std::uint32_t kTagGroup = 0x53444E47;                  // "GNDS"
constexpr std::uint32_t kTagTextRepeat = 0x534F5253;             // "SROS"
constexpr std::uint32_t kTagTextRepeatText = 0x6F735254;         // "TRso"
constexpr std::uint32_t kTagEndingRepeat = 0x534F4553;           // "SEOS"
constexpr std::uint32_t kTagEndingRepeatText = 0x6F734554;       // "TEso"
constexpr std::uint32_t kTagVerseLyrics = 0x74787665;            // "evxt"
constexpr std::uint32_t kTagChorusLyrics = 0x74786368;           // "hcxt"
constexpr std::uint32_t kTagSectionLyrics = 0x74787365;          // "esxt"
constexpr std::uint32_t kTagTextBlock = 0x534F5458;              // "XTOS"
constexpr std::uint32_t kTagTextBlockText = 0x7478626C;          // "lbxt"
constexpr std::uint32_t kTagMeasure = 0x534F4D53;                // "SMOS"
constexpr std::uint32_t kTagStaffSystem = 0x534F5353;            // "SSOS"

// Offsets and lengths are signed 16-bit: the longest text we rewrite, and
// the furthest offset a match can be reported at.
constexpr std::int32_t kMaxTextLength = 32766;
constexpr std::int32_t kMaxMatchOffset = 32767;

// A text expression record: a header the host owns, then the text.
constexpr std::uint32_t kExpressionHeaderBytes = 12;
// Header, terminator and two spare bytes around the text of a rewritten expression.
constexpr std::uint32_t kExpressionExtraBytes = 15;
