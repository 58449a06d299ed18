#include "host/markup/xml_text.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <string_view>

#include "host/markup/encoding.h"

namespace markup {

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

namespace {

bool IsXmlChar(unsigned long c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The reference at `at` ("&...;"): false with what is wrong with it.
bool CheckReference(std::string_view xml, std::size_t at, bool hasDoctype, std::size_t* end, std::string* what) {
    const std::size_t semicolon = xml.find(';', at);
    // A name or number is short: a missing ";" shows within a few bytes.
    if (semicolon == std::string_view::npos || semicolon - at > 40) {
        *what = "an \"&\" that starts no reference (write it as &amp;)";
        return false;
    }
    const std::string_view reference = xml.substr(at, semicolon + 1 - at);
    *end = semicolon + 1;
    if (reference.size() > 2 && reference[1] == '#') {
        const bool hex = reference[2] == 'x';
        const std::string_view digits = reference.substr(hex ? 3 : 2, reference.size() - (hex ? 4 : 3));
        unsigned long value = 0;
        bool ok = !digits.empty();
        for (char c : digits) {
            const int digit = c >= '0' && c <= '9'          ? c - '0'
                              : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                            : -1;
            if (digit < 0) ok = false;
            if (ok && value <= 0x10FFFF) value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        }
        if (!ok) {
            *what = "the character reference " + std::string(reference) + " is not a number";
            return false;
        }
        if (!IsXmlChar(value)) {
            *what = "the character reference " + std::string(reference) + " names no character XML allows";
            return false;
        }
        return true;
    }
    for (const char* predefined : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
        if (reference == predefined) return true;
    if (!hasDoctype) {
        *what = "the entity " + std::string(reference) + " is not declared (there is no DOCTYPE)";
        return false;
    }
    return true;
}

// The end of a DOCTYPE declaration starting at `at`: its ">" outside its
// internal subset and quotes, plus one.
std::size_t DoctypeEnd(std::string_view xml, std::size_t at) {
    char quote = 0;
    bool subset = false;
    for (; at < xml.size(); ++at) {
        const char c = xml[at];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            subset = true;
        } else if (c == ']') {
            subset = false;
        } else if (c == '>' && !subset) {
            return at + 1;
        }
    }
    return std::string_view::npos;
}

}  // namespace

bool CheckWellFormed(const std::string& source, bool hasDoctype, std::size_t* offset, std::string* what) {
    const std::string_view xml(source);
    // The bytes that need a look: markup, references and control characters.
    static const auto kSpecial = [] {
        std::array<bool, 256> special{};
        for (int c = 0; c < 0x20; ++c) special[static_cast<std::size_t>(c)] = c != 0x9 && c != 0xA && c != 0xD;
        special['<'] = special['&'] = true;
        return special;
    }();
    int depth = 0;
    bool rootSeen = false;
    const auto fail = [&](std::size_t at, std::string message) {
        *offset = at;
        *what = std::move(message);
        return false;
    };
    for (std::size_t at = xml.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; at < xml.size();) {
        const auto c = static_cast<unsigned char>(xml[at]);
        if (!kSpecial[c]) {
            if (depth == 0 && c != ' ' && c != '\t' && c != '\n' && c != '\r')
                return fail(at, rootSeen ? "text after the root element" : "text before the root element");
            ++at;
            continue;
        }
        if (c == '&') {
            if (depth == 0) return fail(at, "a reference outside the root element");
            std::size_t end = 0;
            std::string message;
            if (!CheckReference(xml, at, hasDoctype, &end, &message)) return fail(at, message);
            at = end;
            continue;
        }
        if (c != '<') return fail(at, "the control character " + std::to_string(c) + ", which XML does not allow");
        struct Skipped {
            std::string_view open, close;
        };
        static constexpr Skipped kSkipped[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
        const Skipped* skipped = nullptr;
        for (const Skipped& kind : kSkipped)
            if (xml.compare(at, kind.open.size(), kind.open) == 0) skipped = &kind;
        std::size_t end = std::string_view::npos;
        if (skipped != nullptr) {
            end = xml.find(skipped->close, at + skipped->open.size());
            if (end != std::string_view::npos) end += skipped->close.size();
        } else if (xml.compare(at, 9, "<!DOCTYPE") == 0) {
            end = DoctypeEnd(xml, at + 9);
        } else if (xml.compare(at, 2, "</") == 0) {
            end = xml.find('>', at);
            if (end != std::string_view::npos) ++end;
            --depth;
        } else {
            if (depth == 0 && rootSeen) return fail(at, "an element after the root element");
            rootSeen = true;
            end = StartTagEnd(source, at + 1);
            if (end != std::string_view::npos) {
                // References in attribute values are checked as in text.
                for (std::size_t amp = xml.find('&', at); amp < end; amp = xml.find('&', amp + 1)) {
                    std::size_t after = 0;
                    std::string message;
                    if (!CheckReference(xml, amp, hasDoctype, &after, &message)) return fail(amp, message);
                }
                if (xml[end - 1] != '/') ++depth;
                ++end;
            }
        }
        if (end == std::string_view::npos) return true;  // the parser has said what is wrong with an open end
        at = end;
    }
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

namespace {

// A stretch of an element's content and the text it reads as.
struct Unit {
    std::size_t rawBegin = 0, rawEnd = 0;
    std::size_t textBegin = 0, textEnd = 0;
};

// Reads content as the parser does (references replaced, line ends made
// "\n", markup that is not text read as nothing), unit by unit. False on
// an element inside, which makes it no text.
bool ReadContent(std::string_view raw, std::string* text, std::vector<Unit>* units) {
    const auto add = [&](std::size_t begin, std::size_t end, std::string_view read) {
        units->push_back({begin, end, text->size(), text->size() + read.size()});
        *text += read;
    };
    bool cdata = false;
    for (std::size_t at = 0; at < raw.size();) {
        const char c = raw[at];
        if (cdata && raw.compare(at, 3, "]]>") == 0) {
            add(at, at + 3, {});
            at += 3;
            cdata = false;
        } else if (c == '\r') {
            const std::size_t end = at + (raw.compare(at, 2, "\r\n") == 0 ? 2 : 1);
            add(at, end, "\n");
            at = end;
        } else if (cdata) {
            add(at, at + 1, raw.substr(at, 1));
            ++at;
        } else if (c == '<') {
            const char* close = raw.compare(at, 4, "<!--") == 0 ? "-->"
                                : raw.compare(at, 2, "<?") == 0 ? "?>"
                                                                : nullptr;
            if (raw.compare(at, 9, "<![CDATA[") == 0) {
                add(at, at + 9, {});
                at += 9;
                cdata = true;
                continue;
            }
            if (close == nullptr) return false;
            const std::size_t end = raw.find(close, at + (close[0] == '-' ? 4 : 2));  // past the opener
            if (end == std::string_view::npos) return false;
            add(at, end + std::strlen(close), {});
            at = end + std::strlen(close);
        } else if (c == '&') {
            const std::size_t semicolon = raw.find(';', at);
            if (semicolon == std::string_view::npos) return false;
            const std::string_view reference = raw.substr(at, semicolon + 1 - at);
            std::string read;
            if (reference.size() > 3 && reference[1] == '#') {
                const bool hex = reference[2] == 'x';
                const std::string digits(reference.substr(hex ? 3 : 2, reference.size() - (hex ? 4 : 3)));
                AppendUtf8(std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10), &read);
            } else if (reference == "&amp;") {
                read = "&";
            } else if (reference == "&lt;") {
                read = "<";
            } else if (reference == "&gt;") {
                read = ">";
            } else if (reference == "&quot;") {
                read = "\"";
            } else if (reference == "&apos;") {
                read = "'";
            } else {
                read = reference;  // an entity of the DTD is read as it is written
            }
            add(at, semicolon + 1, read);
            at = semicolon + 1;
        } else {
            add(at, at + 1, raw.substr(at, 1));
            ++at;
        }
    }
    return true;
}

bool Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string SpliceContent(std::string_view raw, const std::string& was, const std::string& now, Encoding encoding) {
    std::string read;
    std::vector<Unit> units;
    if (!ReadContent(raw, &read, &units) || read != was) return EscapeContent(now, encoding);
    // The changed stretch of the text, [first, last) in `was`, widened to
    // whole characters.
    std::size_t first = 0;
    while (first < was.size() && first < now.size() && was[first] == now[first]) ++first;
    std::size_t same = 0;  // bytes alike at the end
    while (same < was.size() - first && same < now.size() - first &&
           was[was.size() - 1 - same] == now[now.size() - 1 - same])
        ++same;
    while (first > 0 && first < was.size() && Continuation(was[first])) --first;
    std::size_t last = was.size() - same;
    while (last < was.size() && Continuation(was[last])) ++last;
    // And to whole units: a reference is kept whole or written anew.
    for (const Unit& unit : units)
        if (unit.textBegin < first && first < unit.textEnd) first = unit.textBegin;
    for (const Unit& unit : units)
        if (unit.textBegin < last && last < unit.textEnd) last = unit.textEnd;
    // Markup that reads as nothing at either edge stays outside the change.
    std::size_t rawFirst = 0;
    std::size_t rawLast = raw.size();
    for (const Unit& unit : units)
        if (unit.textEnd <= first) rawFirst = unit.rawEnd;
    for (const Unit& unit : units) {
        if (unit.textBegin >= last) {
            rawLast = unit.rawBegin;
            break;
        }
    }
    if (rawLast < rawFirst) rawLast = rawFirst;
    const std::string middle = now.substr(first, now.size() - (was.size() - last) - first);
    std::string out(raw.substr(0, rawFirst));
    out += EscapeContent(middle, encoding);
    out += raw.substr(rawLast);
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

}  // namespace markup
