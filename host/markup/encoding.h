// An XML score file's bytes as the UTF-8 text the reader parses, and back.
// Files in another encoding are converted whole, so the locations the
// reader records are in the UTF-8 text and the writer converts the spliced
// text back.
#pragma once

#include <cstdint>
#include <string>

namespace markup {

enum class Encoding { Utf8, Utf16LittleEndian, Utf16BigEndian, Latin1, Windows1252, Ascii };

struct TextEncoding {
    Encoding encoding = Encoding::Utf8;
    bool byteOrderMark = false;  // UTF-16 only; a UTF-8 mark stays in the text
};

// Decides by the byte order mark or, without one, by the zero bytes around
// the opening "<"; 8-bit text by its XML declaration (none: UTF-8). A UTF-8
// text is its own decoding: *utf8 is left as it was. False with *error
// (naming line and column where bytes do not follow the encoding) for text
// that does not decode, UTF-32, a declaration that contradicts the bytes,
// and any encoding not read.
bool DecodeToUtf8(const std::string& bytes, TextEncoding* encoding, std::string* utf8, std::string* error);

// The inverse of DecodeToUtf8 for the same encoding. False when the text is
// not UTF-8 or holds a character the encoding cannot (only a changed text
// could make it so).
bool EncodeFromUtf8(const std::string& utf8, const TextEncoding& encoding, std::string* bytes);

// Latin-1, Windows-1252 and US-ASCII: a byte a character.
bool IsEightBit(Encoding encoding);
// Whether a new character can be written as itself in the encoding;
// otherwise it goes in as a character reference.
bool CanHold(Encoding encoding, std::uint32_t c);

// A code point appended as UTF-8; beyond U+10FFFF only its low bits, in
// four bytes.
void AppendUtf8(unsigned long c, std::string* out);

// Next code point of a UTF-8 text from *at; false at a malformed, overlong
// or surrogate sequence (then *at stays).
bool NextCodePoint(const std::string& text, std::size_t* at, std::uint32_t* c);

// Strict UTF-8 without the characters XML 1.0 forbids (controls other than
// tab, line feed and carriage return).
bool IsXmlText(const std::string& text);

}  // namespace markup
