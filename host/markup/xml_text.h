// Byte-level helpers over the score's UTF-8 text: where an element's
// content lies, and how a new content is written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "host/markup/encoding.h"
#include "host/markup/mapped_text.h"

namespace markup {

// The ">" that ends a start tag whose name starts at nameOffset: the first
// outside a quoted attribute value; npos when there is none.
std::size_t StartTagEnd(const std::string& xml, std::size_t nameOffset);

// The next tag from at on, past comments, CDATA sections and processing
// instructions (which may hold anything); npos when the text ends first.
std::size_t NextTag(const std::string& xml, std::size_t at);

// nameOffset: where the element's name starts, just after its "<". False
// for an empty element ("<part-name/>"), which has no content to replace.
bool ContentSpan(const std::string& xml, std::size_t nameOffset, Span* span);

// What the parser lets through but XML calls not well-formed: character
// references to what is no XML character (&#0;, &#xD800;, &#xFFFE;, past
// &#x10FFFF;), control characters, references to entities no DTD can
// declare (without a DOCTYPE, only the five predefined), and text or
// elements beside the root element. False with the offset and what it is.
bool CheckWellFormed(const std::string& xml, bool hasDoctype, std::size_t* offset, std::string* what);

// A new text as an element's content in a file of that encoding, so that
// a reader reads exactly the text again: &, < and > as entity references,
// a carriage return (which a reader would turn into a line feed) and any
// character the encoding cannot hold as numeric character references;
// everything else as it is.
std::string EscapeContent(const std::string& text, Encoding encoding = Encoding::Utf8);

// The markup for an element's content `raw`, read as the text `was`, once
// its text is `now`: only the stretch that changed is written anew (as
// EscapeContent writes it); character and entity references, comments,
// processing instructions and CDATA sections before and after it stay as
// they were. The whole content is written anew when `raw` does not read
// as `was`.
std::string SpliceContent(std::string_view raw, const std::string& was, const std::string& now,
                          Encoding encoding = Encoding::Utf8);

// 1-based line and column (in characters) of a byte offset.
void LineAndColumn(const std::string& text, std::size_t offset, std::size_t* line, std::size_t* column);

}  // namespace markup
