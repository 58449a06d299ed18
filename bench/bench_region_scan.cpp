// ScanRegion over a large score (100 staves x 1,000 measures x 4 layers,
// about two million entries), in entry and note mode, under AND and OR;
// beside it the limit: the same mass edit over the same frames doing only
// what the host makes unavoidable (progress calls, loading every frame,
// saving the ones the scan changes, freeing them).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "shell/commands.h"
#include "shell/host_services.h"
#include "shell/plugin_state.h"
#include "shell/settings.h"

namespace {

constexpr int kStaves = 100;
constexpr int kMeasures = 1000;
constexpr int kLayers = 4;

// Tri-state slot values and the rows used here.
constexpr std::int16_t kOff = 1, kOn = 2;
constexpr int kRowNoteRest = 1, kRowFloatRest = 6, kRowGrace = 7, kRowFlipTie = 16;
constexpr int kNoteRowTieStart = 1, kNoteRowAccidental = 7, kNoteRowFreezeAccidental = 9;

// Layer 0 holds six to ten entries a measure, layer 1 four to eight, layers
// 2 and 3 fewer (some frames are empty and are not stored): about twenty
// entries a cell, two million in all. Chords have one to four notes.
host::Document& Score() {
    static host::Document* doc = [] {
        auto* d = new host::Document;
        std::mt19937 random(1234);
        std::vector<EntryRecord> entries;
        for (int staff = 1; staff <= kStaves; ++staff) {
            for (int measure = 1; measure <= kMeasures; ++measure) {
                for (int layer = 0; layer < kLayers; ++layer) {
                    static constexpr int kEntriesByLayer[kLayers][2] = {{6, 10}, {4, 8}, {2, 6}, {0, 4}};
                    const int count =
                        kEntriesByLayer[layer][0] +
                        static_cast<int>(random() % (kEntriesByLayer[layer][1] - kEntriesByLayer[layer][0] + 1));
                    entries.assign(static_cast<std::size_t>(count), EntryRecord{});
                    for (int i = 0; i < count; ++i) {
                        EntryRecord& e = entries[static_cast<std::size_t>(i)];
                        e.position = i * (4096 / count);
                        e.duration = 4096 / count;
                        e.flagsA = static_cast<std::uint32_t>(random()) & 0x7FFFFFFEu;
                        e.flagsB = static_cast<std::uint16_t>(random() & 0x0369);
                        e.noteCount = static_cast<std::int16_t>(1 + random() % 4);
                        for (int n = 0; n < e.noteCount; ++n) {
                            e.notes[n].displacement = static_cast<std::int16_t>(static_cast<int>(random() % 15) - 7);
                            e.notes[n].flags = static_cast<std::uint32_t>(random()) & 0x7F000002u;
                        }
                    }
                    if (count > 0) d->SetFrame({staff, measure, layer}, entries);
                }
            }
        }
        return d;
    }();
    return *doc;
}

long EntryCount() {
    long n = 0;
    for (const auto& [key, entries] : Score().Frames()) n += static_cast<long>(entries.size());
    return n;
}

const RegionRecord kRegion{0, 1, 1, 0, 0, kStaves, kMeasures, 1 << 20};

struct Criteria {
    CriteriaRecord search, replace;
};

// Search notes (Note/Rest on) that are not grace notes; switch "Flip Tie"
// off, which the search does not look at, so every run changes the same
// entries. In note mode, notes with a tie start or an accidental get their
// accidental frozen.
Criteria MakeCriteria(bool noteMode, bool andMode) {
    Criteria c{};
    ResetCriteria(&c.search);
    ResetCriteria(&c.replace);
    c.search.entrySlots[kRowNoteRest] = kOn;
    c.search.entrySlots[kRowGrace] = kOff;
    c.search.booleanSwitch = andMode ? 1 : 0;
    if (noteMode) {
        c.search.noteSlots[kNoteRowTieStart] = kOn;
        c.search.noteSlots[kNoteRowAccidental] = kOn;
        c.replace.noteSlots[kNoteRowFreezeAccidental] = kOn;
        c.replace.noteSpecific = 1;
    } else {
        c.replace.entrySlots[kRowFlipTie] = kOff;
        c.replace.entrySlots[kRowFloatRest] = kOff;
        c.replace.noteSpecific = 0;
    }
    return c;
}

void AttachScore() {
    sim::Reset();
    host::ResetServices();
    host::AttachDocument(&Score());
    g_plugin.hostWindow = sim::CreateHostWindow(nullptr);  // no layer menu: every layer is visited
}

// Which frames the scan saves, in visiting order, for the limit loop.
std::vector<bool> SavedFrames() {
    std::vector<bool> saved;
    const auto& log = host::ServiceLog();
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind("load ", 0) != 0) continue;
        saved.push_back(i + 1 < log.size() && log[i + 1].rfind("save ", 0) == 0);
    }
    return saved;
}

void ScanRegionBench(benchmark::State& state) {
    const Criteria c = MakeCriteria(state.range(0) != 0, state.range(1) != 0);
    AttachScore();
    std::int32_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        host::ResetServices();  // the host's call log would grow without end
        state.ResumeTiming();
        count = ScanRegion(&c.search, &c.replace, &kRegion);
        benchmark::DoNotOptimize(count);
    }
    state.counters["replacements"] = count;
    state.counters["entries"] = static_cast<double>(EntryCount());
    state.SetItemsProcessed(state.iterations() * EntryCount());
}

// The same host traffic with nothing of the plug-in's: every cell's
// progress call, every frame loaded, the changed ones saved, all freed.
// Kept out of line so that an instruction count can single it out.
[[gnu::noinline]] std::uint32_t ScanLimitOnce(const std::vector<bool>& saved) {
    std::size_t frameIndex = 0;
    std::uint32_t touched = 0;
    const std::uint32_t handle = HS_StartMassEdit(&kRegion, 0);
    for (int staff = kRegion.firstStaff; staff <= kRegion.lastStaff; ++staff) {
        for (int measure = kRegion.firstMeasure; measure <= kRegion.lastMeasure; ++measure) {
            const auto s = static_cast<std::int16_t>(staff), m = static_cast<std::int16_t>(measure);
            HS_MassEditProgress(handle, 4, s, m, -1);
            for (std::int16_t layer = 0; layer < kLayers; ++layer) {
                TgfFrame* frame = HS_LoadTGF(kRegion.frameSelector, s, m, layer, 0);
                const bool save = frameIndex < saved.size() && saved[frameIndex];
                ++frameIndex;
                if (frame == nullptr) continue;
                // Each entry has to be looked at once.
                for (int e = 0; e < frame->count; ++e) touched ^= frame->entries[e].flagsA;
                if (save) HS_SaveTGF(frame);
                HS_FreeTGF(frame);
            }
        }
    }
    HS_EndMassEdit(handle, 0);
    return touched;
}

void ScanRegionLimit(benchmark::State& state) {
    const Criteria c = MakeCriteria(state.range(0) != 0, state.range(1) != 0);
    AttachScore();
    ScanRegion(&c.search, &c.replace, &kRegion);
    const std::vector<bool> saved = SavedFrames();
    for (auto _ : state) {
        state.PauseTiming();
        host::ResetServices();
        state.ResumeTiming();
        benchmark::DoNotOptimize(ScanLimitOnce(saved));
    }
    state.SetItemsProcessed(state.iterations() * EntryCount());
}

void ModeArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"note", "and"});
    for (int note : {0, 1})
        for (int andMode : {1, 0}) b->Args({note, andMode});
    b->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
}

BENCHMARK(ScanRegionBench)->Apply(ModeArgs);
BENCHMARK(ScanRegionLimit)->Apply(ModeArgs);

}  // namespace
