#include "host/musicxml/encoding.h"

#include <cstdint>

namespace musicxml {

namespace {

void AppendUtf8(std::uint32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Next code point of a UTF-8 text; false at a malformed, overlong or
// surrogate sequence.
bool NextCodePoint(const std::string& text, std::size_t* at, std::uint32_t* c) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t first = byte(*at);
    int extra = 0;
    std::uint32_t value = 0;
    std::uint32_t least = 0;
    if (first < 0x80) {
        *c = first;
        ++*at;
        return true;
    } else if ((first & 0xE0) == 0xC0) {
        extra = 1, value = first & 0x1F, least = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        extra = 2, value = first & 0x0F, least = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        extra = 3, value = first & 0x07, least = 0x10000;
    } else {
        return false;
    }
    if (*at + static_cast<std::size_t>(extra) >= text.size()) return false;
    for (int i = 1; i <= extra; ++i) {
        const std::uint8_t next = byte(*at + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) return false;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    *at += static_cast<std::size_t>(extra) + 1;
    *c = value;
    return true;
}

}  // namespace

bool DecodeToUtf8(const std::string& bytes, TextEncoding* encoding, std::string* utf8, std::string* error) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    *encoding = TextEncoding{};
    std::size_t start = 0;
    if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        *encoding = {Encoding::Utf16LittleEndian, true};
        start = 2;
    } else if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        *encoding = {Encoding::Utf16BigEndian, true};
        start = 2;
    } else if (bytes.size() >= 2 && byte(0) == '<' && byte(1) == 0) {
        encoding->encoding = Encoding::Utf16LittleEndian;
    } else if (bytes.size() >= 2 && byte(0) == 0 && byte(1) == '<') {
        encoding->encoding = Encoding::Utf16BigEndian;
    }
    if (encoding->encoding == Encoding::Utf8) return true;
    const bool little = encoding->encoding == Encoding::Utf16LittleEndian;
    if ((bytes.size() - start) % 2 != 0) {
        *error = "the UTF-16 text ends in the middle of a character";
        return false;
    }
    utf8->clear();
    utf8->reserve(bytes.size() / 2);
    for (std::size_t i = start; i < bytes.size(); i += 2) {
        auto unit = [&](std::size_t at) -> std::uint32_t {
            return little ? (byte(at) | (byte(at + 1) << 8)) : ((byte(at) << 8) | byte(at + 1));
        };
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF) {
            const std::uint32_t low = i + 3 < bytes.size() ? unit(i + 2) : 0;
            if (low < 0xDC00 || low > 0xDFFF) {
                *error = "the UTF-16 text has an unpaired surrogate at byte " + std::to_string(i);
                return false;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            *error = "the UTF-16 text has an unpaired surrogate at byte " + std::to_string(i);
            return false;
        }
        AppendUtf8(c, utf8);
    }
    return true;
}

bool EncodeFromUtf8(const std::string& utf8, const TextEncoding& encoding, std::string* bytes) {
    if (encoding.encoding == Encoding::Utf8) {
        *bytes = utf8;
        return true;
    }
    const bool little = encoding.encoding == Encoding::Utf16LittleEndian;
    bytes->clear();
    bytes->reserve(utf8.size() * 2 + 2);
    auto put = [&](std::uint32_t unit) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes->push_back(little ? low : high);
        bytes->push_back(little ? high : low);
    };
    if (encoding.byteOrderMark) put(0xFEFF);
    for (std::size_t at = 0; at < utf8.size();) {
        std::uint32_t c = 0;
        if (!NextCodePoint(utf8, &at, &c)) return false;
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return true;
}

bool IsXmlText(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t c = 0;
        if (!NextCodePoint(text, &at, &c)) return false;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
        if (c == 0xFFFE || c == 0xFFFF) return false;
    }
    return true;
}

}  // namespace musicxml
