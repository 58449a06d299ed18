#include "host/markup/encoding.h"

#include <cstdint>

#include "host/markup/xml_text.h"

namespace markup {

void AppendUtf8(unsigned long c, std::string* out) {
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

namespace {

// Windows-1252's 0x80 to 0x9F; the five bytes it leaves undefined read as
// the C1 controls of the same number, so every byte comes back as it was.
constexpr std::uint16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The encoding named by an XML declaration at `at`, as written; empty
// when there is no declaration or it names none.
std::string DeclaredName(const std::string& text, std::size_t at) {
    if (text.compare(at, 5, "<?xml") != 0 || at + 5 >= text.size()) return {};
    const char after = text[at + 5];
    if (after != ' ' && after != '\t' && after != '\r' && after != '\n') return {};
    const std::size_t end = text.find("?>", at);
    if (end == std::string::npos) return {};
    const std::string declaration = text.substr(at, end - at);
    std::size_t name = declaration.find("encoding");
    if (name == std::string::npos) return {};
    name = declaration.find_first_not_of(" \t\r\n", name + 8);
    if (name == std::string::npos || declaration[name] != '=') return {};
    const std::size_t quote = declaration.find_first_not_of(" \t\r\n", name + 1);
    if (quote == std::string::npos || (declaration[quote] != '"' && declaration[quote] != '\'')) return {};
    const std::size_t close = declaration.find(declaration[quote], quote + 1);
    if (close == std::string::npos) return {};
    return declaration.substr(quote + 1, close - quote - 1);
}

enum class Declared { Utf8, Utf16, Utf32, Latin1, Windows1252, Ascii, Other };

Declared Classify(const std::string& name) {
    const std::string n = Lower(name);
    if (n.empty() || n == "utf-8" || n == "utf8") return Declared::Utf8;
    if (n == "utf-16" || n == "utf16" || n == "utf-16le" || n == "utf-16be" || n == "ucs-2" || n == "iso-10646-ucs-2")
        return Declared::Utf16;
    if (n == "utf-32" || n == "utf32" || n == "utf-32le" || n == "utf-32be" || n == "ucs-4" || n == "iso-10646-ucs-4")
        return Declared::Utf32;
    for (const char* alias : {"iso-8859-1", "iso8859-1", "iso_8859-1", "iso_8859-1:1987", "latin1", "latin-1", "l1",
                              "iso-ir-100", "cp819", "ibm819", "csisolatin1"})
        if (n == alias) return Declared::Latin1;
    for (const char* alias : {"windows-1252", "cp1252", "x-cp1252", "cp-1252"})
        if (n == alias) return Declared::Windows1252;
    for (const char* alias :
         {"us-ascii", "ascii", "iso646-us", "ansi_x3.4-1968", "ansi_x3.4-1986", "us", "csascii", "cp367", "ibm367"})
        if (n == alias) return Declared::Ascii;
    return Declared::Other;
}

const char kEncodingsRead[] = "the encodings read are UTF-8, UTF-16, ISO-8859-1 (Latin-1), Windows-1252 and US-ASCII";

std::string Where(const std::string& bytes, std::size_t offset) {
    std::size_t line = 0;
    std::size_t column = 0;
    LineAndColumn(bytes, offset, &line, &column);
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string Hex(std::uint8_t byte) {
    const char* digits = "0123456789ABCDEF";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 15];
}

bool DecodeUtf16(const std::string& bytes, std::size_t start, bool little, std::string* utf8, std::string* error) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
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

bool IsUtf32(const std::string& bytes) {
    static const std::string kStarts[] = {std::string("\0\0\xFE\xFF", 4), std::string("\xFF\xFE\0\0", 4),
                                          std::string("\0\0\0<", 4), std::string("<\0\0\0", 4)};
    for (const std::string& start : kStarts)
        if (bytes.compare(0, 4, start) == 0) return true;
    return false;
}

}  // namespace

bool DecodeToUtf8(const std::string& bytes, TextEncoding* encoding, std::string* utf8, std::string* error) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    *encoding = TextEncoding{};
    if (IsUtf32(bytes)) {
        *error =
            std::string("the file is UTF-32 text, which is not read; ") + kEncodingsRead + ": save the score as UTF-8";
        return false;
    }
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
    if (encoding->encoding != Encoding::Utf8) {
        if (!DecodeUtf16(bytes, start, encoding->encoding == Encoding::Utf16LittleEndian, utf8, error)) return false;
        // A UTF-8 declaration inside UTF-16 has always been read; an 8-bit one cannot be right.
        const std::string name = DeclaredName(*utf8, 0);
        const Declared declared = Classify(name);
        if (declared == Declared::Utf8 || declared == Declared::Utf16) return true;
        *error =
            "the file is UTF-16 text but declares the encoding \"" + name + "\"; correct the declaration to UTF-16";
        return false;
    }
    const std::size_t markup = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const std::string name = DeclaredName(bytes, markup);
    const Declared declared = markup > 0 ? Declared::Utf8 : Classify(name);
    if (markup > 0 && !name.empty() && Classify(name) != Declared::Utf8) {
        *error = "the file starts with a UTF-8 byte order mark but declares the encoding \"" + name +
                 "\"; correct the declaration to UTF-8";
        return false;
    }
    switch (declared) {
        case Declared::Utf8:
            for (std::size_t at = 0; at < bytes.size();) {
                std::uint32_t c = 0;
                if (byte(at) < 0x80) {
                    ++at;
                } else if (!NextCodePoint(bytes, &at, &c)) {
                    *error = "not valid UTF-8 at " + Where(bytes, at) + " (byte " + Hex(byte(at)) + "), though " +
                             (name.empty() ? std::string("a file without an encoding declaration is UTF-8")
                                           : "the file declares \"" + name + "\"") +
                             ": save the score as UTF-8, or declare the encoding it is in";
                    return false;
                }
            }
            return true;
        case Declared::Utf16:
            *error = "the file declares the encoding \"" + name +
                     "\" but is 8-bit text (no UTF-16 byte order mark, one byte a character in its markup); "
                     "correct the declaration to the encoding it is in";
            return false;
        case Declared::Utf32:
            *error = "the file declares the encoding \"" + name + "\", which is not read; " + kEncodingsRead +
                     ": save the score as UTF-8";
            return false;
        case Declared::Other:
            *error = "the file declares the encoding \"" + name + "\", which is not read; " + kEncodingsRead +
                     ": save the score in one of them";
            return false;
        case Declared::Ascii:
            for (std::size_t at = 0; at < bytes.size(); ++at) {
                if (byte(at) >= 0x80) {
                    *error = "the byte " + Hex(byte(at)) + " at " + Where(bytes, at) +
                             " is not US-ASCII, though the file declares \"" + name +
                             "\": declare the encoding the file is in";
                    return false;
                }
            }
            encoding->encoding = Encoding::Ascii;  // its own UTF-8 decoding
            return true;
        case Declared::Latin1:
        case Declared::Windows1252:
            break;
    }
    const bool windows = declared == Declared::Windows1252;
    encoding->encoding = windows ? Encoding::Windows1252 : Encoding::Latin1;
    utf8->clear();
    utf8->reserve(bytes.size() + bytes.size() / 8);
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const std::uint8_t b = byte(at);
        if (b < 0x80)
            utf8->push_back(static_cast<char>(b));
        else
            AppendUtf8(windows && b < 0xA0 ? kWindows1252High[b - 0x80] : b, utf8);
    }
    return true;
}

namespace {

// The byte of a code point in an 8-bit encoding; -1 where it has none.
int ByteOf(std::uint32_t c, Encoding encoding) {
    if (c < 0x80) return static_cast<int>(c);
    if (encoding == Encoding::Ascii) return -1;
    if (encoding == Encoding::Latin1) return c <= 0xFF ? static_cast<int>(c) : -1;
    if (c >= 0xA0 && c <= 0xFF) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kWindows1252High[i] == c) return 0x80 + i;
    return -1;
}

}  // namespace

bool IsEightBit(Encoding encoding) {
    return encoding == Encoding::Latin1 || encoding == Encoding::Windows1252 || encoding == Encoding::Ascii;
}

bool CanHold(Encoding encoding, std::uint32_t c) {
    if (!IsEightBit(encoding)) return true;
    // The C1 controls Windows-1252 reads its undefined bytes as are kept
    // for those bytes; a new one is written as a reference.
    if (encoding == Encoding::Windows1252 && c >= 0x80 && c < 0xA0) return false;
    return ByteOf(c, encoding) >= 0;
}

bool EncodeFromUtf8(const std::string& utf8, const TextEncoding& encoding, std::string* bytes) {
    if (encoding.encoding == Encoding::Utf8) {
        *bytes = utf8;
        return true;
    }
    if (IsEightBit(encoding.encoding)) {
        bytes->clear();
        bytes->reserve(utf8.size());
        for (std::size_t at = 0; at < utf8.size();) {
            std::uint32_t c = 0;
            if (static_cast<std::uint8_t>(utf8[at]) < 0x80) {
                bytes->push_back(utf8[at++]);
                continue;
            }
            if (!NextCodePoint(utf8, &at, &c)) return false;
            const int b = ByteOf(c, encoding.encoding);
            if (b < 0) return false;
            bytes->push_back(static_cast<char>(b));
        }
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

}  // namespace markup
