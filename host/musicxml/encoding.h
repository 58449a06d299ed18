// A MusicXML file's bytes as the UTF-8 text the reader parses, and back.
// UTF-16 files are converted whole, so the locations the reader records are
// in the UTF-8 text and the writer converts the spliced text back.
#pragma once

#include <string>

namespace musicxml {

enum class Encoding { Utf8, Utf16LittleEndian, Utf16BigEndian };

struct TextEncoding {
    Encoding encoding = Encoding::Utf8;
    bool byteOrderMark = false;  // UTF-16 only; a UTF-8 mark stays in the text
};

// Decides by the byte order mark or, without one, by the zero bytes around
// the opening "<". A UTF-8 text is its own decoding: *utf8 is left as it
// was. False with *error for UTF-16 that does not decode.
bool DecodeToUtf8(const std::string& bytes, TextEncoding* encoding, std::string* utf8, std::string* error);

// The inverse of DecodeToUtf8 for the same encoding. False when the text is
// not UTF-8 (only a changed text could make it so).
bool EncodeFromUtf8(const std::string& utf8, const TextEncoding& encoding, std::string* bytes);

// Strict UTF-8 without the characters XML 1.0 forbids (controls other than
// tab, line feed and carriage return).
bool IsXmlText(const std::string& text);

}  // namespace musicxml
