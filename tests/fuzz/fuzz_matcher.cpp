// The matcher and rewriter over random texts, search and replace strings and
// switches, held against a plain model of the matching rule written here
// from the rule itself: same first match, same later matches, same rewritten
// text, same display text, and the same bytes stored in the document.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "shell/plugin_state.h"
#include "shell/text_alloc.h"
#include "textsearch/matcher.h"
#include "textsearch/text_tags.h"

namespace {

constexpr std::size_t kNone = std::string::npos;
constexpr std::size_t kLongestInputText = 1200;
constexpr std::size_t kLongestRewrite = 32766;  // texts are never rewritten beyond this
constexpr int kMostMatches = 4000;

struct Rule {
    std::string search;
    std::string replace;
    bool foldCase = false;
    bool skipTags = false;
};

// ---- The model ---------------------------------------------------------

// A caret that is not followed by another caret, with a "(" somewhere at or
// after it and a ")" after that "(", begins a tag that ends after the ")".
bool TagAt(const std::string& t, std::size_t i, std::size_t* after) {
    if (t[i] != '^') return false;
    if (i + 1 < t.size() && t[i + 1] == '^') return false;
    const std::size_t open = t.find('(', i);
    if (open == kNone) return false;
    const std::size_t close = t.find(')', open + 1);
    if (close == kNone) return false;
    *after = close + 1;
    return true;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool SameAt(const std::string& t, std::size_t i, const Rule& r) {
    if (i + r.search.size() > t.size()) return false;
    for (std::size_t k = 0; k < r.search.size(); ++k) {
        char a = t[i + k], b = r.search[k];
        if (r.foldCase) a = Upper(a), b = Upper(b);
        if (a != b) return false;
    }
    return true;
}

std::size_t ModelFind(const std::string& t, long start, const Rule& r) {
    if (t.empty() || r.search.empty() || start < 0 || static_cast<std::size_t>(start) > t.size()) return kNone;
    std::size_t i = static_cast<std::size_t>(start);
    for (;;) {
        std::size_t after = 0;
        if (r.skipTags)
            while (i < t.size() && TagAt(t, i, &after)) i = after;
        if (i >= t.size()) return kNone;
        if (SameAt(t, i, r)) return i;
        if (++i >= t.size()) return kNone;
    }
}

struct ModelRun {
    std::vector<std::size_t> positions;
    std::string text;  // after the run
    int replaced = 0;
};

// Every match of the text, replacing each one or going on after it.
ModelRun ModelWalk(const std::string& text, const Rule& r, bool replaceAll) {
    ModelRun run;
    run.text = text;
    std::size_t at = ModelFind(run.text, 0, r);
    while (at != kNone && run.positions.size() < kMostMatches) {
        run.positions.push_back(at);
        std::size_t next = at + r.search.size();
        const std::size_t grown = run.text.size() - r.search.size() + r.replace.size();
        if (replaceAll && run.text.size() <= kLongestRewrite && grown <= kLongestRewrite) {
            run.text = run.text.substr(0, at) + r.replace + run.text.substr(at + r.search.size());
            next = at + r.replace.size();
            ++run.replaced;
        }
        if (next >= run.text.size()) break;
        at = ModelFind(run.text, static_cast<long>(next), r);
    }
    return run;
}

std::string ModelDisplay(const std::string& t, int* position) {
    std::string out;
    int shown = *position;
    for (std::size_t i = 0; i < t.size();) {
        std::size_t after = 0;
        if (TagAt(t, i, &after)) {
            if (out.empty()) shown -= static_cast<int>(after - i);
            i = after;
        } else {
            out += t[i++];
        }
    }
    *position = shown;  // a match inside a leading tag falls before the start
    return out;
}

// ---- The product -------------------------------------------------------

struct Kind {
    std::int32_t kind;
    std::uint32_t tag;  // where the rewritten text is stored
};
constexpr Kind kKinds[] = {
    {PageTextBlocks, kTagTextBlockText},   {TextExpressions, kTagTextExpression}, {TextRepeats, kTagTextRepeatText},
    {EndingRepeats, kTagEndingRepeatText}, {VerseLyrics, kTagVerseLyrics},        {SectionLyrics, kTagSectionLyrics},
};

void SetUpState(const Rule& r, const Kind& kind, bool tagsTakePart, bool searchTags) {
    FreeText(g_plugin.text.textCopy);
    g_plugin.text = TextSearchState{};
    g_plugin.prefs = TextSearchPrefs{};
    std::memcpy(g_plugin.prefs.searchString, r.search.data(), r.search.size());
    std::memcpy(g_plugin.prefs.replaceString, r.replace.data(), r.replace.size());
    g_plugin.prefs.caseSensitive = r.foldCase ? 0 : 1;
    g_plugin.prefs.searchTags = searchTags ? 1 : 0;
    TextSearchState& s = g_plugin.text;
    s.currentKind = kind.kind;
    s.currentTag = kind.tag;
    s.tagsTakePart = tagsTakePart ? 1 : 0;
    s.key1 = 3;
    s.key2 = 1;
    s.key3 = 2;
    s.textBlockNumber = 7;
    for (std::size_t i = 0; i < sizeof s.expressionArea; ++i) s.expressionArea[i] = static_cast<std::uint8_t>(0xA0 + i);
}

std::string CopyText() { return g_plugin.text.textCopy != nullptr ? g_plugin.text.textCopy : std::string(); }

struct ProductRun {
    std::vector<std::size_t> positions;
    std::vector<std::string> seen;  // textCopy at each match
    int replaced = 0;
};

ProductRun ProductWalk(const std::string& text, bool replaceAll) {
    ProductRun run;
    bool found = MatchText(text.c_str(), 0) != 0;
    while (found && run.positions.size() < kMostMatches) {
        run.positions.push_back(static_cast<std::size_t>(g_plugin.text.matchPosition));
        run.seen.push_back(CopyText());
        if (replaceAll) {
            ReplaceMatch();
        } else {
            g_plugin.text.lengthChange = 0;
        }
        found = FindNextInText() != 0;
    }
    run.replaced = g_plugin.text.replacedCounter;
    return run;
}

// The record the rewritten text must have become.
host::Bytes StoredForm(const Kind& kind, const std::string& text) {
    host::Bytes bytes;
    if (kind.kind == TextExpressions) {
        bytes.assign(g_plugin.text.expressionArea, g_plugin.text.expressionArea + kExpressionHeaderBytes);
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.insert(bytes.end(), 3, 0);  // terminator and two spare zero bytes
    } else {
        bytes.assign(text.begin(), text.end());
        bytes.push_back(0);
    }
    return bytes;
}

host::Key StoredKey(const Kind& kind) {
    if (kind.kind == PageTextBlocks) return host::Key{7, 0, 0};
    host::Key key{0, 0, 0};
    const int fields = host::Document::KeyFields(kind.tag);
    const std::int16_t all[3] = {3, 1, 2};
    for (int i = 0; i < fields; ++i) key[static_cast<std::size_t>(i)] = all[i];
    return key;
}

void CheckRun(const char* what, const std::string& text, const Rule& r, bool replaceAll, const Kind& kind,
              host::Document* doc) {
    const ModelRun expected = ModelWalk(text, r, replaceAll);
    const ProductRun got = ProductWalk(text, replaceAll);
    if (got.positions != expected.positions) {
        std::fprintf(stderr, "%s: %zu matches, expected %zu\n", what, got.positions.size(), expected.positions.size());
        for (std::size_t i = 0; i < std::max(got.positions.size(), expected.positions.size()); ++i) {
            std::fprintf(stderr, "  #%zu got %ld expected %ld\n", i,
                         i < got.positions.size() ? static_cast<long>(got.positions[i]) : -1L,
                         i < expected.positions.size() ? static_cast<long>(expected.positions[i]) : -1L);
        }
        fuzz::Fail(what, "match positions differ from the model");
    }
    if (got.replaced != expected.replaced) {
        fuzz::Fail(what,
                   "replaced " + std::to_string(got.replaced) + ", expected " + std::to_string(expected.replaced));
    }
    if (!replaceAll) {
        for (const std::string& seen : got.seen)
            if (seen != text) fuzz::Fail(what, "textCopy is not the searched text");
        return;
    }
    const std::string final = CopyText();
    if (!expected.positions.empty() && final != expected.text) {
        fuzz::Fail(what, "rewritten text\n  got      \"" + final + "\"\n  expected \"" + expected.text + "\"");
    }
    const host::Bytes* stored = doc->Record(kind.tag, StoredKey(kind));
    if (expected.replaced == 0) {
        if (stored != nullptr) fuzz::Fail(what, "a record was written without a replacement");
    } else if (stored == nullptr || *stored != StoredForm(kind, expected.text)) {
        fuzz::Fail(what, "stored record differs from the rewritten text");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint8_t switches = in.ConsumeIntegral<std::uint8_t>();
    const Kind& kind = kKinds[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kKinds) - 1)];
    const int failAlloc = (switches & 0x80) != 0 ? in.ConsumeIntegralInRange<int>(1, 12) : 0;
    const long start = in.ConsumeIntegralInRange<long>(-3, 40);

    Rule rule;
    rule.search = fuzz::CString(in.ConsumeRandomLengthString(kPrefsStringSize - 1));
    rule.replace = fuzz::CString(in.ConsumeRandomLengthString(kPrefsStringSize - 1));
    rule.foldCase = (switches & 1) == 0;
    const bool tagsTakePart = (switches & 2) != 0;
    const bool searchTags = (switches & 4) != 0;
    rule.skipTags = tagsTakePart && !searchTags;
    const bool replaceAll = (switches & 8) != 0;
    std::string text = fuzz::CString(in.ConsumeRemainingBytesAsString());
    if (text.size() > kLongestInputText) text.resize(kLongestInputText);

    host::Document doc;
    host::ResetServices();
    host::AttachDocument(&doc);
    const int heapBefore = sim::LiveHeapBlocks();
    SetUpState(rule, kind, tagsTakePart, searchTags);

    if (failAlloc != 0) {
        // Memory running out anywhere: no model, but nothing may crash or leak.
        sim::FailHeapAllocAt(failAlloc);
        ProductWalk(text, replaceAll);
        std::int16_t position = g_plugin.text.matchPosition;
        FreeText(MakeDisplayText(&position));
        sim::FailHeapAllocAt(0);
    } else {
        // The first match from an arbitrary start, negative and past the end included.
        const std::size_t first = ModelFind(text, start, rule);
        const bool found = MatchText(text.c_str(), static_cast<std::int16_t>(start)) != 0;
        if (found != (first != kNone) || (found && static_cast<std::size_t>(g_plugin.text.matchPosition) != first)) {
            fuzz::Fail("first match from " + std::to_string(start),
                       "got " + (found ? std::to_string(g_plugin.text.matchPosition) : std::string("none")) +
                           ", expected " + (first != kNone ? std::to_string(first) : std::string("none")));
        }
        if (found) {
            if (CopyText() != text) fuzz::Fail("first match", "textCopy is not the whole text");
            int expectedPosition = g_plugin.text.matchPosition;
            const std::string expectedDisplay = ModelDisplay(text, &expectedPosition);
            std::int16_t position = g_plugin.text.matchPosition;
            char* display = MakeDisplayText(&position);
            if (display == nullptr) fuzz::Fail("display", "no display text");
            const std::string shown = display;
            FreeText(display);
            if (shown != expectedDisplay || position != expectedPosition) {
                fuzz::Fail("display", "got \"" + shown + "\" @" + std::to_string(position) + ", expected \"" +
                                          expectedDisplay + "\" @" + std::to_string(expectedPosition));
            }
        }
        SetUpState(rule, kind, tagsTakePart, searchTags);
        CheckRun(replaceAll ? "yes to all" : "next only", text, rule, replaceAll, kind, &doc);
    }

    FreeText(g_plugin.text.textCopy);
    g_plugin.text.textCopy = nullptr;
    if (sim::LiveHeapBlocks() != heapBefore) fuzz::Fail("heap", "text copies left alive");
    host::AttachDocument(nullptr);
    return 0;
}
