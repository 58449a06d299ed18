#include "host/musescore/rich_text.h"

#include <cstring>

#include "host/markup/encoding.h"
#include "host/markup/xml_text.h"

namespace musescore {

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Character data with its references decoded; false on one the reader
// would not know.
bool Decode(const std::string& xml, std::size_t begin, std::size_t end, std::string* out) {
    out->clear();
    for (std::size_t at = begin; at < end; ++at) {
        if (xml[at] != '&') {
            out->push_back(xml[at]);
            continue;
        }
        const std::size_t semicolon = xml.find(';', at);
        if (semicolon == std::string::npos || semicolon >= end || semicolon - at > 12) return false;
        const std::string name = xml.substr(at + 1, semicolon - at - 1);
        if (name == "amp") {
            out->push_back('&');
        } else if (name == "lt") {
            out->push_back('<');
        } else if (name == "gt") {
            out->push_back('>');
        } else if (name == "quot") {
            out->push_back('"');
        } else if (name == "apos") {
            out->push_back('\'');
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string digits = name.substr(hex ? 2 : 1);
            if (digits.empty() || digits.size() > 6) return false;
            unsigned long code = 0;
            for (char c : digits) {
                const int digit = c >= '0' && c <= '9'          ? c - '0'
                                  : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                : -1;
                if (digit < 0) return false;
                code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
            }
            if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
            markup::AppendUtf8(code, out);
        } else {
            return false;
        }
        at = semicolon;
    }
    return true;
}

std::size_t CodePoints(const std::string& text, std::size_t begin, std::size_t end) {
    std::size_t count = 0;
    for (std::size_t i = begin; i < end; ++i)
        if (!IsContinuation(text[i])) ++count;
    return count;
}

// The byte offset `count` characters on from `at`.
std::size_t Advance(const std::string& text, std::size_t at, std::size_t count) {
    while (count > 0 && at < text.size()) {
        ++at;
        while (at < text.size() && IsContinuation(text[at])) ++at;
        --count;
    }
    return at;
}

}  // namespace

bool ElementContent(const std::string& xml, std::size_t nameOffset, Span* span) {
    const std::size_t tagEnd = markup::StartTagEnd(xml, nameOffset);
    if (tagEnd == std::string::npos || xml[tagEnd - 1] == '/') return false;
    span->begin = tagEnd + 1;
    int depth = 0;
    for (std::size_t at = markup::NextTag(xml, span->begin); at != std::string::npos;
         at = markup::NextTag(xml, at + 1)) {
        if (xml.compare(at, 2, "</") == 0) {
            if (depth == 0) {
                span->end = at;
                return true;
            }
            --depth;
            continue;
        }
        const std::size_t end = markup::StartTagEnd(xml, at + 1);
        if (end == std::string::npos) return false;
        if (xml[end - 1] != '/') ++depth;
        at = end;
    }
    return false;
}

bool ReadRuns(const std::string& xml, const Span& content, std::vector<Run>* runs) {
    runs->clear();
    std::size_t at = content.begin;
    while (at < content.end) {
        if (xml[at] != '<') {
            std::size_t next = xml.find('<', at);
            if (next == std::string::npos || next > content.end) next = content.end;
            Run run{at, next, {}};
            if (!Decode(xml, at, next, &run.text)) return false;
            runs->push_back(std::move(run));
            at = next;
            continue;
        }
        if (xml.compare(at, 2, "<!") == 0 || xml.compare(at, 2, "<?") == 0) return false;
        const std::size_t end = markup::StartTagEnd(xml, at + 1);
        if (end == std::string::npos || end >= content.end) return false;
        if (xml.compare(at, 4, "<sym") == 0 && (xml[at + 4] == '>' || xml[at + 4] == ' ') && xml[end - 1] != '/') {
            const std::size_t close = xml.find("</sym>", end);
            if (close == std::string::npos || close >= content.end) return false;
            at = close + std::strlen("</sym>");
            continue;
        }
        at = end + 1;
    }
    return true;
}

std::string PlainText(const std::vector<Run>& runs) {
    std::string text;
    for (const Run& run : runs) text += run.text;
    return text;
}

std::vector<RunEdit> SpliceRuns(const std::vector<Run>& runs, const std::string& now) {
    std::vector<RunEdit> edits;
    if (runs.empty()) return edits;
    const std::string before = PlainText(runs);
    if (before == now) return edits;
    // The common beginning and end, whole characters only.
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < now.size() && before[prefix] == now[prefix]) ++prefix;
    while (prefix > 0 && ((prefix < before.size() && IsContinuation(before[prefix])) ||
                          (prefix < now.size() && IsContinuation(now[prefix]))))
        --prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < now.size() - prefix &&
           before[before.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    while (suffix > 0 && IsContinuation(before[before.size() - suffix])) --suffix;
    const std::size_t oldEnd = before.size() - suffix;
    const std::string middle = now.substr(prefix, now.size() - suffix - prefix);

    // Each run's new text.
    std::vector<std::string> texts;
    std::vector<std::size_t> offsets;
    std::size_t offset = 0;
    for (const Run& run : runs) {
        offsets.push_back(offset);
        texts.push_back(run.text);
        offset += run.text.size();
    }
    std::vector<std::size_t> touched;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::size_t begin = offsets[i];
        const std::size_t end = begin + runs[i].text.size();
        if (prefix == oldEnd ? (begin < prefix && prefix <= end) : (begin < oldEnd && end > prefix))
            touched.push_back(i);
    }
    if (touched.empty()) touched.push_back(0);  // an insertion at the very start
    const bool evenly =
        touched.size() > 1 && CodePoints(before, prefix, oldEnd) == CodePoints(middle, 0, middle.size());
    std::size_t taken = 0;  // bytes of `middle` given out
    for (std::size_t n = 0; n < touched.size(); ++n) {
        const std::size_t i = touched[n];
        const std::size_t begin = offsets[i];
        const std::size_t end = begin + runs[i].text.size();
        const std::size_t cutFrom = std::max(prefix, begin) - begin;
        const std::size_t cutTo = std::min(oldEnd, end) - begin;
        std::string inserted;
        if (evenly) {
            const std::size_t count = CodePoints(before, begin + cutFrom, begin + cutTo);
            const std::size_t next = n + 1 == touched.size() ? middle.size() : Advance(middle, taken, count);
            inserted = middle.substr(taken, next - taken);
            taken = next;
        } else if (n == 0) {
            inserted = middle;
        }
        texts[i] = runs[i].text.substr(0, cutFrom) + inserted + runs[i].text.substr(cutTo);
    }
    for (std::size_t i = 0; i < runs.size(); ++i)
        if (texts[i] != runs[i].text) edits.push_back({runs[i].begin, runs[i].end, markup::EscapeContent(texts[i])});
    return edits;
}

}  // namespace musescore
