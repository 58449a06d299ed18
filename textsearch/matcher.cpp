// Finding the search string in one text, going on after a match, replacing
// it and storing the text back where the walker found it.
#include "textsearch/matcher.h"

#include <cstring>

#include "shell/host_services.h"
#include "shell/plugin_state.h"
#include "shell/text_alloc.h"
#include "textsearch/text_tags.h"

namespace {

// The strings of the settings record are taken as at most 50 characters:
// a record read back from the registry is not checked for its terminator.
std::int32_t PrefsLength(const char* text) { return static_cast<std::int32_t>(strnlen(text, kPrefsStringSize - 1)); }

std::int32_t SearchLength() { return PrefsLength(g_plugin.prefs.searchString); }

unsigned char Fold(unsigned char c) {
    // Plain ASCII upper-casing; bytes from 128 up belong to no one code page.
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

// Where formatting tags end. The walk over a text only moves forward, so the
// "(" and ")" found last are remembered: a text full of lone carets is then
// scanned once rather than once per caret.
struct TagFinder {
    const char* openFrom = nullptr;  // the first "(" at or after openFrom ...
    const char* open = nullptr;      // ... is here (null: there is none)
    const char* close = nullptr;     // first ")" after `open`
};

// For a caret that begins a tag, the character after the tag's ")"; null
// when `at` holds no tag. In a pair of carets the first is ordinary text.
const char* TagEnd(TagFinder* f, const char* at) {
    if (at[0] != '^' || at[1] == '^') return nullptr;
    if (f->openFrom == nullptr || at < f->openFrom || (f->open != nullptr && f->open < at)) {
        f->openFrom = at;
        f->open = std::strchr(at, '(');
        f->close = f->open != nullptr ? std::strchr(f->open + 1, ')') : nullptr;
    }
    return f->close != nullptr ? f->close + 1 : nullptr;
}

bool MatchesAt(const char* at, const char* search, std::int32_t searchLength, bool foldCase) {
    for (std::int32_t i = 0; i < searchLength; ++i) {
        unsigned char t = static_cast<unsigned char>(at[i]);
        unsigned char p = static_cast<unsigned char>(search[i]);
        if (t == 0) return false;  // the text ended first
        if (foldCase) {
            t = Fold(t);
            p = Fold(p);
        }
        if (t != p) return false;
    }
    return true;
}

char* CopyText(const char* text) {
    const std::size_t bytes = std::strlen(text) + 1;
    char* copy = AllocText(bytes);
    if (copy != nullptr) std::memcpy(copy, text, bytes);
    return copy;
}

std::int16_t SaveWithCurrentKey(std::uint32_t tag, const char* text, std::uint32_t bytes) {
    const TextSearchState& s = g_plugin.text;
    const std::int16_t key[3] = {s.key1, s.key2, s.key3};
    return HS_SaveEData(tag, key, text, bytes);
}

// An expression goes back whole, header and text, in a record of its own.
char* ExpressionRecord(std::size_t length) { return AllocText(length + kExpressionExtraBytes); }

// The host's header stays as it was loaded; the two bytes after the
// terminator are zero rather than whatever the heap held. Frees `record`
// (from ExpressionRecord for this length).
std::int16_t SaveExpression(const char* text, std::uint32_t length, char* record) {
    TextSearchState& s = g_plugin.text;
    const std::uint32_t bytes = length + kExpressionExtraBytes;
    std::memset(record, 0, bytes);
    std::memcpy(record, s.expressionArea, kExpressionHeaderBytes);
    std::memcpy(record + kExpressionHeaderBytes, text, length + 1);
    const std::int16_t saved = HS_SaveEData(kTagTextExpression, &s.key1, record, bytes);
    FreeText(record);
    return saved;
}

}  // namespace

std::int16_t MatchText(const char* text, std::int16_t start) {
    TextSearchState& s = g_plugin.text;
    const TextSearchPrefs& prefs = g_plugin.prefs;
    const std::int32_t searchLength = SearchLength();
    if (text == nullptr || text[0] == 0 || searchLength == 0 || start < 0) return 0;
    if (static_cast<std::size_t>(start) > std::strlen(text)) return 0;

    const bool skipTags = s.tagsTakePart == 1 && prefs.searchTags == 0;
    const bool foldCase = prefs.caseSensitive == 0;
    TagFinder tags;
    const char* at = text + start;
    for (;;) {
        // Tags are passed only where a match would begin; once begun, a
        // match may run into or through one.
        if (skipTags) {
            while (const char* end = TagEnd(&tags, at)) at = end;
        }
        if (*at == 0) return 0;
        // A match further in could not be reported in 16 bits.
        if (at - text > kMaxMatchOffset) return 0;
        if (MatchesAt(at, prefs.searchString, searchLength, foldCase)) break;
        ++at;
        if (*at == 0) return 0;
    }

    s.matchPosition = static_cast<std::int16_t>(at - text);
    FreeText(s.textCopy);
    // Null when memory ran out: the match stands but has nothing to show
    // or replace, and every later operation checks for that.
    s.textCopy = CopyText(text);
    return 1;
}

std::int16_t FindNextInText() {
    TextSearchState& s = g_plugin.text;
    if (s.textCopy == nullptr) return 0;
    // Formed in 32 bits: a 16-bit sum could wrap to a start before the text.
    const std::int32_t start = SearchLength() + s.matchPosition + s.lengthChange;
    if (start < 0 || start > kMaxMatchOffset || static_cast<std::size_t>(start) >= std::strlen(s.textCopy)) return 0;
    // A match replaces textCopy, so the search runs over a duplicate.
    char* duplicate = CopyText(s.textCopy);
    if (duplicate == nullptr) return 0;
    const std::int16_t found = MatchText(duplicate, static_cast<std::int16_t>(start));
    FreeText(duplicate);
    return found;
}

std::int16_t ReplaceMatch() {
    TextSearchState& s = g_plugin.text;
    // Whenever the text stays as it was, the next search goes on right after
    // the match; a length change left from an earlier replacement would skip
    // text or find this very match again.
    s.lengthChange = 0;
    if (s.textCopy == nullptr) return 0;

    const std::int32_t searchLength = SearchLength();
    const std::int32_t replaceLength = PrefsLength(g_plugin.prefs.replaceString);
    const std::size_t oldLength = std::strlen(s.textCopy);
    if (s.matchPosition < 0 || static_cast<std::size_t>(s.matchPosition + searchLength) > oldLength) return 0;
    // Texts too long for 16-bit lengths are searched but never rewritten.
    const std::size_t newLength = oldLength - static_cast<std::size_t>(searchLength) + replaceLength;
    if (oldLength > static_cast<std::size_t>(kMaxTextLength) || newLength > static_cast<std::size_t>(kMaxTextLength)) {
        return 0;
    }

    char* rebuilt = AllocText(newLength + 1);
    // The expression's record is made before anything changes, so that
    // running out of memory for it changes nothing either: no text half
    // replaced in the copy and counted but never written.
    char* record = s.currentKind == TextExpressions ? ExpressionRecord(newLength) : nullptr;
    if (rebuilt == nullptr || (s.currentKind == TextExpressions && record == nullptr)) {
        FreeText(rebuilt);
        FreeText(record);
        return 0;
    }
    const std::size_t head = static_cast<std::size_t>(s.matchPosition);
    const std::size_t tail = head + static_cast<std::size_t>(searchLength);
    std::memcpy(rebuilt, s.textCopy, head);
    std::memcpy(rebuilt + head, g_plugin.prefs.replaceString, static_cast<std::size_t>(replaceLength));
    std::memcpy(rebuilt + head + replaceLength, s.textCopy + tail, oldLength - tail + 1);

    FreeText(s.textCopy);
    s.textCopy = rebuilt;
    s.lengthChange = static_cast<std::int16_t>(replaceLength - searchLength);
    const std::int16_t saved = record != nullptr
                                   ? SaveExpression(rebuilt, static_cast<std::uint32_t>(newLength), record)
                                   : WriteBackText(rebuilt);
    // Counted whether or not the host took the write: the text has changed.
    ++s.replacedCounter;
    return saved;
}

std::int16_t WriteBackText(const char* text) {
    if (text == nullptr) return 0;
    const std::size_t length = std::strlen(text);
    if (length > static_cast<std::size_t>(kMaxTextLength)) return 0;
    const std::uint32_t withTerminator = static_cast<std::uint32_t>(length) + 1;
    TextSearchState& s = g_plugin.text;
    switch (s.currentKind) {
        case PageTextBlocks:
        case MeasureTextBlocks:
        case StaffNames:
        case GroupNames: {
            // Only the text changes; the records that lead to it stay.
            const std::int16_t key[3] = {s.textBlockNumber, 0, 0};
            return HS_SaveEData(kTagTextBlockText, key, text, withTerminator);
        }
        case TextExpressions: {
            char* record = ExpressionRecord(length);
            if (record == nullptr) return 0;
            return SaveExpression(text, static_cast<std::uint32_t>(length), record);
        }
        case TextRepeats:
            return SaveWithCurrentKey(kTagTextRepeatText, text, withTerminator);
        case EndingRepeats:
            return SaveWithCurrentKey(kTagEndingRepeatText, text, withTerminator);
        case VerseLyrics:
        case ChorusLyrics:
        case SectionLyrics:
            return SaveWithCurrentKey(s.currentTag, text, withTerminator);
        default:
            return 0;
    }
}

char* MakeDisplayText(std::int16_t* position) {
    const char* text = g_plugin.text.textCopy;
    if (text == nullptr) return nullptr;
    char* display = AllocText(std::strlen(text) + 1);
    if (display == nullptr) return nullptr;

    TagFinder tags;
    std::int32_t shown = position != nullptr ? *position : 0;
    std::size_t out = 0;
    const char* at = text;
    while (*at != 0) {
        if (const char* end = TagEnd(&tags, at)) {
            // Only tags ahead of the first visible character move the position.
            if (out == 0) shown -= static_cast<std::int32_t>(end - at);
            at = end;
        } else {
            display[out++] = *at++;
        }
    }
    display[out] = 0;
    // A match inside a leading tag (kinds whose tags are plain text) comes
    // out before the start; it is reported as it falls.
    if (position != nullptr) *position = static_cast<std::int16_t>(shown);
    return display;
}
