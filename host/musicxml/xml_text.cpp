#include "host/musicxml/xml_text.h"

#include <cstdio>
#include <string_view>

namespace musicxml {

std::size_t StartTagEnd(const std::string& xml, std::size_t nameOffset) {
    char quote = 0;
    for (std::size_t at = nameOffset; at < xml.size(); ++at) {
        const char c = xml[at];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return at;
        }
    }
    return std::string::npos;
}

std::size_t NextTag(const std::string& xml, std::size_t at) {
    // Each end is looked for after its opener: "<!-->" and "<?>" open
    // what they seem to close.
    struct Skipped {
        std::string_view open, close;
    };
    static constexpr Skipped kSkipped[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
    const std::string_view text(xml);
    while ((at = text.find('<', at)) != std::string::npos) {
        const Skipped* skipped = nullptr;
        for (const Skipped& kind : kSkipped)
            if (text.compare(at, kind.open.size(), kind.open) == 0) skipped = &kind;
        if (skipped == nullptr) return at;
        at = text.find(skipped->close, at + skipped->open.size());
        if (at == std::string::npos) return at;
        at += skipped->close.size();
    }
    return at;
}

bool ContentSpan(const std::string& xml, std::size_t nameOffset, Span* span) {
    const std::size_t tagEnd = StartTagEnd(xml, nameOffset);
    if (tagEnd == std::string::npos || xml[tagEnd - 1] == '/') return false;
    span->begin = tagEnd + 1;
    // The content ends at the first end tag that is not inside a comment,
    // CDATA section or processing instruction; another element inside
    // makes it no text element.
    const std::size_t at = NextTag(xml, span->begin);
    if (at == std::string::npos || xml.compare(at, 2, "</") != 0) return false;
    span->end = at;
    return true;
}

std::string EscapeContent(const std::string& text, Encoding encoding) {
    std::string out;
    out.reserve(text.size());
    const auto reference = [&out](std::uint32_t c) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "&#x%X;", static_cast<unsigned>(c));
        out += digits;
    };
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (static_cast<unsigned char>(c) < 0x80) {
            ++at;
            switch (c) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '\r':  // a reader turns a raw one into a line feed
                    reference(0x0D);
                    break;
                default:
                    out.push_back(c);
                    break;
            }
            continue;
        }
        std::uint32_t code = 0;
        const std::size_t from = at;
        if (!NextCodePoint(text, &at, &code)) {
            // Not UTF-8: the writer refuses such a text before it comes here.
            out.push_back(c);
            ++at;
            continue;
        }
        // Next line and line separator are line ends to an XML 1.1 reader.
        if (code == 0x85 || code == 0x2028 || !CanHold(encoding, code))
            reference(code);
        else
            out.append(text, from, at - from);
    }
    return out;
}

void LineAndColumn(const std::string& text, std::size_t offset, std::size_t* line, std::size_t* column) {
    *line = 1;
    *column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++*line;
            *column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++*column;
        }
    }
}

}  // namespace musicxml
