// What the XML score formats share about the texts they map into the
// document: where a text lies in the file, which record of the document
// holds it, and reading and setting it there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/document/document.h"

namespace markup {

// The longest text the plug-in's text command takes (its offsets are 16-bit):
// a longer one is left out of the search, and so never written, with a note.
constexpr std::size_t kLongestText = 32767;
// "40000 bytes, more than the 32767 the text command handles; it is not searched"
std::string TooLongForSearch(std::size_t bytes);

// An element's content in the UTF-8 text: from after its start tag to the
// start of its end tag.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// Where the document holds a mapped text; see docs/musicxml.md and
// docs/musescore.md.
enum class TextSource {
    PageText,          // key: page, index on the page
    MeasureText,       // key: staff, measure, index
    Expression,        // key: expression number
    StaffFull,         // key: staff number
    StaffAbbreviated,  // key: staff number
    GroupFull,         // key: staff system (0), group number
    GroupAbbreviated,  // key: staff system (0), group number
    TextRepeat,        // key: repeat number
    Ending,            // key: measure
};

struct MappedText {
    TextSource source = TextSource::PageText;
    host::Key key{};
    std::string original;
    std::vector<Span> spans;  // every element that shows this text (an ending in each part)
    std::string where;        // for messages: "part "Flute" (P1), measure 3"
};

// The text of a mapped element as the document now holds it.
std::string CurrentText(const host::Document& document, const MappedText& text);
// Whether the document holds a mapped text where the writer looks for it.
bool IsStored(const host::Document& document, const MappedText& text);
// Stores a new text for a mapped element, as the plug-in's write-back does.
// False when the document has no such record.
bool SetCurrentText(host::Document* document, const MappedText& text, const std::string& value);
// The record that holds a mapped text in the document (a text block's for
// page and measure texts and names), for telling where a record stands.
bool TextRecordOf(const host::Document& document, const MappedText& text, std::uint32_t* tag, host::Key* key);

}  // namespace markup
