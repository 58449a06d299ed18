#include "host/musicxml/xml_text.h"

#include <cstring>

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

bool ContentSpan(const std::string& xml, std::size_t nameOffset, Span* span) {
    std::size_t at = StartTagEnd(xml, nameOffset);
    if (at == std::string::npos || xml[at - 1] == '/') return false;
    span->begin = at + 1;
    // The content ends at the first end tag that is not inside a comment,
    // CDATA section or processing instruction.
    for (at = span->begin; at < xml.size(); ++at) {
        if (xml[at] != '<') continue;
        const auto skipTo = [&](const char* end) {
            const std::size_t found = xml.find(end, at);
            return found == std::string::npos ? xml.size() : found + std::strlen(end) - 1;
        };
        if (xml.compare(at, 4, "<!--") == 0) {
            at = skipTo("-->");
        } else if (xml.compare(at, 9, "<![CDATA[") == 0) {
            at = skipTo("]]>");
        } else if (xml.compare(at, 2, "<?") == 0) {
            at = skipTo("?>");
        } else if (xml.compare(at, 2, "</") == 0) {
            span->end = at;
            return true;
        } else {
            return false;  // an element inside: not a text element
        }
    }
    return false;
}

std::string EscapeContent(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
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
            default:
                out.push_back(c);
                break;
        }
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
