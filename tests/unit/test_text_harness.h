// Runs the text search engine over a document built through the host, the
// way the results dialog drives it, and describes each match as one line.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "shell/plugin_state.h"
#include "shell/text_alloc.h"
#include "textsearch/matcher.h"
#include "textsearch/walker.h"

namespace text_engine_test {

// Element switches, by bit.
enum : unsigned {
    kPage = 1u << 0,
    kMeasure = 1u << 1,
    kExpressions = 1u << 2,
    kStaves = 1u << 3,
    kGroups = 1u << 4,
    kRepeats = 1u << 5,
    kEndings = 1u << 6,
    kLyrics = 1u << 7,
    kAllKinds = 0xFFu,
};

// "kind k1,k2,k3 @position text" — the text as the engine holds it, or <null>.
inline std::string MatchLine(int kind, int k1, int k2, int k3, int position, const std::string& text) {
    char head[64];
    std::snprintf(head, sizeof head, "%d %d,%d,%d @%d ", kind, k1, k2, k3, position);
    return head + text;
}

inline std::string CurrentMatch() {
    const TextSearchState& t = g_plugin.text;
    return MatchLine(t.currentKind, t.key1, t.key2, t.key3, t.matchPosition,
                     t.textCopy != nullptr ? t.textCopy : "<null>");
}

inline host::Bytes Raw(const std::string& bytes) { return host::Bytes(bytes.begin(), bytes.end()); }

inline std::string Hex(const host::Bytes* bytes) {
    if (bytes == nullptr) return "<absent>";
    std::string out;
    char cell[4];
    for (std::uint8_t b : *bytes) {
        std::snprintf(cell, sizeof cell, "%02X", b);
        if (!out.empty()) out += ' ';
        out += cell;
    }
    return out;
}

inline int SaveCalls() {
    int calls = 0;
    for (const std::string& line : host::ServiceLog())
        if (line.rfind("savedata", 0) == 0) ++calls;
    return calls;
}

class TextEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreeText(g_plugin.text.textCopy);
        g_plugin.text = TextSearchState{};
        g_plugin.prefs = TextSearchPrefs{};
        sim::Reset();
        host::ResetServices();
        host::AttachDocument(&doc);
        liveBlocks = sim::LiveHeapBlocks();
    }

    void TearDown() override {
        FreeText(g_plugin.text.textCopy);
        g_plugin.text.textCopy = nullptr;
        sim::FailHeapAllocAt(0);
        EXPECT_EQ(sim::LiveHeapBlocks(), liveBlocks) << "heap blocks left behind";
        host::AttachDocument(nullptr);
    }

    static void Options(const char* search, const char* replace, unsigned switches, bool caseSensitive = false,
                        bool searchTags = false) {
        TextSearchPrefs& p = g_plugin.prefs;
        std::strncpy(p.searchString, search, sizeof p.searchString - 1);
        std::strncpy(p.replaceString, replace, sizeof p.replaceString - 1);
        p.replaceSwitch = replace[0] != 0 ? 1 : 0;
        p.caseSensitive = caseSensitive ? 1 : 0;
        p.searchTags = searchTags ? 1 : 0;
        for (int i = 0; i < kElementSwitchCount; ++i) p.elementSwitch[i] = (switches >> i) & 1u ? 1 : 0;
    }

    // The first match of a run, as the results dialog starts it.
    static bool Start() {
        TextSearchState& t = g_plugin.text;
        t.foundCounter = 0;
        t.replacedCounter = 0;
        t.matchPosition = 0;
        t.currentKind = VerseLyrics;
        for (int kind = PageTextBlocks; kind <= EndingRepeats; ++kind) {
            if (KindEnabled(kind)) {
                t.currentKind = kind;
                break;
            }
        }
        return StartKind() != 0;
    }

    // The next match: same text, then later elements, then later kinds.
    static bool Next() {
        return FindNextInText() || (StepElement() && SearchFromElement()) || (NextEnabledKind() && StartKind());
    }

    // A whole run: every match line, replacing each one when `replaceAll`.
    static std::vector<std::string> Run(bool replaceAll = false) {
        std::vector<std::string> seen;
        bool found = Start();
        while (found && seen.size() < 5000) {
            seen.push_back(CurrentMatch());
            if (replaceAll) {
                ReplaceMatch();
            } else {
                g_plugin.text.lengthChange = 0;
            }
            found = Next();
        }
        return seen;
    }

    host::Document doc;
    int liveBlocks = 0;
};

}  // namespace text_engine_test
