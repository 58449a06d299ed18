// The text search over a score with 10,000 texts of all ten kinds, and Yes
// to all over one lyrics text of 30,000 characters holding 8,000 matches.
// Beside each, the limit: reading every text once from the host (and, for
// Yes to all, storing the finished text once). For Yes to all a third loop
// does the work every replacement requires (a rebuilt text, its write-back,
// the duplicate the next search runs over, the copy of the matched text),
// which is the floor for a text that is written back after every match.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "shell/host_services.h"
#include "shell/plugin_state.h"
#include "shell/text_alloc.h"
#include "textsearch/matcher.h"
#include "textsearch/text_tags.h"
#include "textsearch/walker.h"

namespace {

// ---- Shared driving ------------------------------------------------------

void SetPrefs(const char* search, const char* replace, const std::int16_t (&elements)[kElementSwitchCount]) {
    TextSearchPrefs& p = g_plugin.prefs;
    p = TextSearchPrefs{};
    std::strncpy(p.searchString, search, kPrefsStringSize - 1);
    std::strncpy(p.replaceString, replace, kPrefsStringSize - 1);
    p.replaceSwitch = replace[0] != 0;
    for (int i = 0; i < kElementSwitchCount; ++i) p.elementSwitch[i] = elements[i];
}

// As the results dialog starts a run and goes on after each match.
bool StartRun() {
    TextSearchState& t = g_plugin.text;
    FreeText(t.textCopy);
    t = TextSearchState{};
    t.currentKind = -1;
    return NextEnabledKind() && StartKind();
}

bool NextMatch() {
    return (g_plugin.text.textCopy != nullptr && FindNextInText()) || (StepElement() && SearchFromElement()) ||
           (NextEnabledKind() && StartKind());
}

// ---- 10,000 texts of all kinds -----------------------------------------

constexpr int kStaves = 40;
constexpr int kMeasures = 50;

// Words a score holds; about one text in eight has "dolce" in it.
std::string Text(int n) {
    static const char* const kWords[] = {"cresc.",        "^font(Times)", "poco",  "a tempo",
                                         "^size(12)rit.", "sempre",       "legato"};
    std::string text;
    for (int w = 0; w < 3 + n % 5; ++w) text += std::string(kWords[(n + w * 3) % 7]) + " ";
    if (n % 8 == 0) text += "dolce";
    return text;
}

host::Document& Score() {
    static host::Document* doc = [] {
        auto* d = new host::Document;
        int n = 0;
        for (int page = 0; page < 100; ++page)
            for (int i = 0; i < 10; ++i) d->AddPageText(page, Text(n++));  // 1,000
        for (int measure = 1; measure <= kMeasures; ++measure)
            for (int staff = 1; staff <= kStaves; ++staff) d->AddMeasureText(staff, measure, Text(n++));  // 2,000
        for (int i = 1; i <= 1500; ++i) d->AddExpression(i, Text(n++));                                   // 1,500
        for (int staff = 1; staff <= kStaves; ++staff) {
            d->AddStaff(staff, Text(n), Text(n + 1));
            n += 2;
        }  // 80
        for (int system = 0; system <= 10; ++system)
            for (int g = 1; g <= 20; ++g) {
                d->AddGroup(system, g, Text(n), Text(n + 1));
                n += 2;
            }  // 440
        d->SetStaffSystemCount(10);
        for (int i = 1; i <= 1500; ++i) d->AddTextRepeat(i, Text(n++));                           // 1,500
        for (int measure = 1; measure <= kMeasures; ++measure) d->AddEnding(measure, Text(n++));  // 50
        d->SetMeasureCount(kMeasures);
        for (host::LyricsKind kind : {host::LyricsKind::Verse, host::LyricsKind::Chorus, host::LyricsKind::Section})
            for (int i = 1; i <= 1000; ++i) d->AddLyrics(kind, i, Text(n++));  // 3,000
        // 9,570 so far; more page texts make it 10,000.
        for (int i = 0; i < 430; ++i) d->AddPageText(100, Text(n++));
        return d;
    }();
    return *doc;
}

constexpr std::int16_t kAllKinds[kElementSwitchCount] = {1, 1, 1, 1, 1, 1, 1, 1};

// The loops below are kept out of line so that an instruction count can
// single each one out.
[[gnu::noinline]] int TextRunOnce() {
    int found = 0;
    for (bool more = StartRun(); more; more = NextMatch()) {
        ++found;
        g_plugin.text.lengthChange = 0;  // "&No": go on after the match
    }
    return found;
}

using TextList = std::vector<std::pair<std::uint32_t, host::Key>>;

[[gnu::noinline]] int TextLimitOnce(TextList& texts, std::vector<char>& buffer) {
    int found = 0;
    for (auto& [tag, key] : texts) {
        std::uint32_t size = static_cast<std::uint32_t>(buffer.size() - 1);
        if (!HS_LoadEData(tag, key.data(), buffer.data(), &size)) continue;
        buffer[size] = 0;
        if (std::strstr(buffer.data(), "dolce") != nullptr) ++found;
    }
    return found;
}

void TextRun(benchmark::State& state) {
    sim::Reset();
    host::ResetServices();
    host::AttachDocument(&Score());
    SetPrefs("dolce", "", kAllKinds);
    int found = 0;
    for (auto _ : state) {
        found = TextRunOnce();
        benchmark::DoNotOptimize(found);
    }
    FreeText(g_plugin.text.textCopy);
    g_plugin.text.textCopy = nullptr;
    state.counters["matches"] = found;
}

// Every text of the score read once through the host, and searched.
void TextRunLimit(benchmark::State& state) {
    host::Document& doc = Score();
    host::AttachDocument(&doc);
    // The records that hold texts, as the host keeps them.
    TextList texts;
    for (std::uint32_t tag : {kTagTextBlockText, kTagTextExpression, kTagTextRepeatText, kTagEndingRepeatText,
                              kTagVerseLyrics, kTagChorusLyrics, kTagSectionLyrics}) {
        if (const auto* records = doc.RecordsOf(tag))
            for (const auto& [key, bytes] : *records) texts.emplace_back(tag, key);
    }
    std::vector<char> buffer(1 << 16);
    int found = 0;
    for (auto _ : state) {
        found = TextLimitOnce(texts, buffer);
        benchmark::DoNotOptimize(found);
    }
    state.counters["texts"] = static_cast<double>(texts.size());
    state.counters["matches"] = found;
}

BENCHMARK(TextRun)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TextRunLimit)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Yes to all over one long lyrics text ------------------------------

constexpr int kLyricsLength = 30000;
constexpr int kLyricsMatches = 8000;

// 8,000 "la" in 30,000 characters: 2,000 syllables of three characters
// and 6,000 of four.
std::string LongLyrics() {
    std::string text;
    for (int i = 0; i < kLyricsMatches; ++i) text += i % 4 == 0 ? "la " : "la- ";
    return text;
}

constexpr std::int16_t kLyricsOnly[kElementSwitchCount] = {0, 0, 0, 0, 0, 0, 0, 1};

[[gnu::noinline]] int YesToAllOnce() {
    for (bool more = StartRun(); more; more = NextMatch()) ReplaceMatch();
    return g_plugin.text.replacedCounter;
}

[[gnu::noinline]] int YesToAllLimitOnce(std::vector<char>& buffer) {
    std::int16_t key[3] = {1, 0, 0};
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    HS_LoadEData(kTagVerseLyrics, key, buffer.data(), &size);
    int replaced = 0;
    for (char* at = buffer.data(); (at = std::strstr(at, "la")) != nullptr; at += 2, ++replaced) at[1] = 'o';
    HS_SaveEData(kTagVerseLyrics, key, buffer.data(), size);
    return replaced;
}

// What each replacement requires when every one is written back at once:
// the rebuilt text, its write-back, the duplicate the next search runs
// over and the copy of the text that holds the next match.
[[gnu::noinline]] int YesToAllRequiredOnce() {
    std::int16_t key[3] = {1, 0, 0};
    std::uint32_t size = 0;
    HS_LoadEData(kTagVerseLyrics, key, nullptr, &size);
    char* text = AllocText(size + 1);
    HS_LoadEData(kTagVerseLyrics, key, text, &size);
    text[size] = 0;
    const std::size_t length = std::strlen(text);
    int replaced = 0;
    char* at = std::strstr(text, "la");
    while (at != nullptr) {
        const std::size_t offset = static_cast<std::size_t>(at - text);
        char* rebuilt = AllocText(length + 1);
        std::memcpy(rebuilt, text, length + 1);
        rebuilt[offset + 1] = 'o';
        FreeText(text);
        HS_SaveEData(kTagVerseLyrics, key, rebuilt, static_cast<std::uint32_t>(length + 1));
        ++replaced;
        char* duplicate = AllocText(length + 1);
        std::memcpy(duplicate, rebuilt, length + 1);
        char* next = std::strstr(duplicate + offset + 2, "la");
        text = AllocText(length + 1);
        std::memcpy(text, duplicate, length + 1);
        at = next != nullptr ? text + (next - duplicate) : nullptr;
        FreeText(duplicate);
        FreeText(rebuilt);
    }
    FreeText(text);
    return replaced;
}

struct LyricsScore {
    host::Document doc;
    std::string text = LongLyrics();
    LyricsScore() { doc.AddLyrics(host::LyricsKind::Verse, 1, text); }
    // The text as it was before a run replaced it.
    void Restore() { doc.SetRecord(kTagVerseLyrics, {1, 0, 0}, host::Bytes(text.begin(), text.end() + 1)); }
};

void YesToAll(benchmark::State& state) {
    LyricsScore score;
    sim::Reset();
    host::ResetServices();
    host::AttachDocument(&score.doc);
    SetPrefs("la", "lo", kLyricsOnly);
    int replaced = 0;
    for (auto _ : state) {
        state.PauseTiming();
        score.Restore();
        host::ResetServices();
        state.ResumeTiming();
        replaced = YesToAllOnce();
        benchmark::DoNotOptimize(replaced);
    }
    FreeText(g_plugin.text.textCopy);
    g_plugin.text.textCopy = nullptr;
    state.counters["replaced"] = replaced;
}

// Read once, replace in place, store once.
void YesToAllLimit(benchmark::State& state) {
    LyricsScore score;
    host::AttachDocument(&score.doc);
    std::vector<char> buffer(kLyricsLength + 1);
    int replaced = 0;
    for (auto _ : state) {
        state.PauseTiming();
        score.Restore();
        host::ResetServices();
        state.ResumeTiming();
        replaced = YesToAllLimitOnce(buffer);
        benchmark::DoNotOptimize(replaced);
    }
    state.counters["replaced"] = replaced;
}

void YesToAllRequired(benchmark::State& state) {
    LyricsScore score;
    host::AttachDocument(&score.doc);
    int replaced = 0;
    for (auto _ : state) {
        state.PauseTiming();
        score.Restore();
        host::ResetServices();
        state.ResumeTiming();
        replaced = YesToAllRequiredOnce();
        benchmark::DoNotOptimize(replaced);
    }
    state.counters["replaced"] = replaced;
}

BENCHMARK(YesToAll)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(YesToAllLimit)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(YesToAllRequired)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
