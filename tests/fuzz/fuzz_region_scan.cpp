// ScanRegion over random regions (empty, reversed, huge, at the ends of the
// 16-bit range), random frames (entry counts, damaged note counts, flags,
// positions), random criteria, layer menus, frames that fail to load and a
// cancel at a random progress call. The scan is held against a model of the
// walk written here from the rule: same frames changed in the same way, same
// count, same calls to the host, and every lent frame given back.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "entrysearch/criteria_ops.h"
#include "fuzz/fuzz_support.h"
#include "host/document/document.h"
#include "host/services/services.h"
#include "host/sim/sim.h"
#include "shell/commands.h"
#include "shell/plugin_state.h"

namespace {

constexpr int kMostFrames = 24;
constexpr int kMostEntries = 40;
constexpr long kMostCells = 3000;  // larger regions are cancelled by then

std::int16_t SmallOrAny(FuzzedDataProvider& in, int low, int high) {
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0) return in.ConsumeIntegral<std::int16_t>();
    return static_cast<std::int16_t>(in.ConsumeIntegralInRange<int>(low, high));
}

std::int32_t Position(FuzzedDataProvider& in) {
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0) return in.ConsumeIntegral<std::int32_t>();
    return in.ConsumeIntegralInRange<std::int32_t>(-2, 5) * 256;
}

CriteriaRecord Criteria(FuzzedDataProvider& in) {
    CriteriaRecord c{};
    // Slots are 0, 1 or 2, now and then a damaged value.
    for (std::int16_t& slot : c.entrySlots) slot = in.ConsumeBool() ? 0 : SmallOrAny(in, 0, 2);
    for (std::int16_t& slot : c.noteSlots) slot = in.ConsumeBool() ? 0 : SmallOrAny(in, 0, 2);
    c.durationSwitch = in.ConsumeBool();
    c.durationValue = static_cast<std::int16_t>(Position(in));
    c.positionSwitch = in.ConsumeBool();
    c.positionValue = static_cast<std::int16_t>(Position(in));
    c.displacementSwitch = in.ConsumeBool();
    c.displacementValue = SmallOrAny(in, -2, 2);
    c.raiseLowerSwitch = in.ConsumeBool();
    c.raiseLowerValue = SmallOrAny(in, -2, 2);
    c.booleanSwitch = in.ConsumeBool();
    c.noteSpecific = in.ConsumeBool();
    return c;
}

EntryRecord Entry(FuzzedDataProvider& in) {
    EntryRecord e{};
    e.flagsA = in.ConsumeIntegral<std::uint32_t>();
    e.flagsB = in.ConsumeIntegral<std::uint16_t>();
    e.noteCount = SmallOrAny(in, 0, 13);
    for (NoteRecord& n : e.notes) {
        n.displacement = SmallOrAny(in, -2, 2);
        n.raiseLower = SmallOrAny(in, -2, 2);
        n.flags = in.ConsumeIntegral<std::uint32_t>();
    }
    e.position = Position(in);
    e.duration = Position(in);
    return e;
}

using Frames = std::map<host::FrameKey, std::vector<EntryRecord>>;

struct Plan {
    RegionRecord region{};
    CriteriaRecord search{}, replace{};
    bool menu = true;
    sim::LayerMenu layers;
    std::vector<host::FrameKey> failing;
    int cancelAt = 0;  // progress call that answers "stop"; 0: none
};

bool Visited(const Plan& p, int layer) { return !p.menu || !p.layers.toggle || p.layers.visible[layer]; }

bool SameEntry(const EntryRecord& a, const EntryRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The walk as the rule states it, over a copy of the frames: staves, then
// measures (one progress call each, which may stop it), then layers, then
// entries and, in note mode, notes. Damaged note counts are read as 0 to 12.
struct ModelResult {
    Frames frames;
    std::vector<std::string> log;
    long count = 0;
    bool cancelled = false;
};

ModelResult Model(const Plan& p, const Frames& frames) {
    ModelResult m;
    m.frames = frames;
    const RegionRecord& r = p.region;
    int progress = 0;
    m.log.push_back("start");
    for (int staff = r.firstStaff; staff <= r.lastStaff && !m.cancelled; ++staff) {
        for (int measure = r.firstMeasure; measure <= r.lastMeasure; ++measure) {
            m.log.push_back("progress " + std::to_string(staff) + " " + std::to_string(measure));
            if (++progress == p.cancelAt) {
                m.cancelled = true;
                break;
            }
            for (int layer = 0; layer < 4; ++layer) {
                if (!Visited(p, layer)) continue;
                const host::FrameKey key{staff, measure, layer};
                const std::string cell =
                    std::to_string(staff) + " " + std::to_string(measure) + " " + std::to_string(layer);
                m.log.push_back("load " + cell);
                auto frame = m.frames.find(key);
                if (frame == m.frames.end() || std::count(p.failing.begin(), p.failing.end(), key) != 0) continue;
                bool changed = false;
                for (EntryRecord& e : frame->second) {
                    if (measure == r.firstMeasure && e.position < r.startPosition) continue;
                    if (measure == r.lastMeasure && e.position >= r.endPosition) continue;
                    const bool matches = EntryMatches(&e, &p.search) != 0;
                    if (!matches && p.search.booleanSwitch != 0) continue;
                    if (p.replace.noteSpecific != 0) {
                        const int notes = std::clamp<int>(e.noteCount, 0, kMaxNotesPerEntry);
                        for (int n = 0; n < notes; ++n) {
                            if (!NoteMatches(&e.notes[n], &p.search)) continue;
                            ApplyToNote(&e.notes[n], &p.replace);
                            changed = true;
                            ++m.count;
                        }
                    } else if (matches) {
                        ApplyToEntry(&e, &p.replace);
                        changed = true;
                        ++m.count;
                    }
                }
                if (changed) m.log.push_back("save " + cell);
                m.log.push_back("free " + cell);
            }
        }
    }
    m.log.push_back(std::string("end ") + (m.cancelled ? "1" : "0"));
    return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Plan p;
    RegionRecord& r = p.region;
    r.frameSelector = in.ConsumeIntegral<std::uint16_t>();
    r.firstStaff = SmallOrAny(in, -1, 4);
    r.lastStaff = SmallOrAny(in, -1, 4);
    r.firstMeasure = SmallOrAny(in, -1, 4);
    r.lastMeasure = SmallOrAny(in, -1, 4);
    r.startPosition = Position(in);
    r.endPosition = Position(in);
    r.unused10 = in.ConsumeIntegral<std::uint16_t>();
    p.search = Criteria(in);
    p.replace = Criteria(in);
    p.menu = in.ConsumeIntegralInRange<int>(0, 5) != 0;
    p.layers.toggle = in.ConsumeBool();
    for (bool& v : p.layers.visible) v = in.ConsumeBool();
    p.layers.submenuAt = in.ConsumeBool() ? 16 : 17;
    p.cancelAt = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange<int>(1, 30);

    Frames frames;
    const int frameCount = in.ConsumeIntegralInRange<int>(0, kMostFrames);
    for (int f = 0; f < frameCount && in.remaining_bytes() > 0; ++f) {
        const host::FrameKey key{in.ConsumeIntegralInRange<int>(-1, 4), in.ConsumeIntegralInRange<int>(-1, 4),
                                 in.ConsumeIntegralInRange<int>(0, 3)};
        std::vector<EntryRecord> entries(static_cast<std::size_t>(in.ConsumeIntegralInRange<int>(0, kMostEntries)));
        for (EntryRecord& e : entries) e = Entry(in);
        frames[key] = entries;
        if (in.ConsumeIntegralInRange<int>(0, 5) == 0) p.failing.push_back(key);
    }

    // A region too large to walk here is stopped by the user part way.
    const long staves = std::max(0, r.lastStaff - r.firstStaff + 1);
    const long measures = std::max(0, r.lastMeasure - r.firstMeasure + 1);
    if (staves * measures > kMostCells && (p.cancelAt == 0 || p.cancelAt > kMostCells)) p.cancelAt = kMostCells;
    // A region with no measures makes no progress call on any staff: the
    // staff loop alone is cheap even across the whole 16-bit range.

    host::Document doc;
    for (const auto& [key, entries] : frames) doc.SetFrame(key, entries);
    sim::Reset();
    host::ResetServices();
    host::AttachDocument(&doc);
    g_plugin.hostWindow = sim::CreateHostWindow(p.menu ? &p.layers : nullptr);
    for (const host::FrameKey& key : p.failing) host::FailFrameLoad(key);
    host::CancelAtProgress(p.cancelAt);

    const CriteriaRecord searchBefore = p.search, replaceBefore = p.replace;
    const RegionRecord regionBefore = p.region;
    const std::int32_t result = ScanRegion(&p.search, &p.replace, &p.region);
    const ModelResult expected = Model(p, frames);

    if (host::LiveFrames() != 0) fuzz::Fail("scan", "frames still on loan");
    if (std::memcmp(&searchBefore, &p.search, sizeof p.search) != 0 ||
        std::memcmp(&replaceBefore, &p.replace, sizeof p.replace) != 0 ||
        std::memcmp(&regionBefore, &p.region, sizeof p.region) != 0) {
        fuzz::Fail("scan", "changed its criteria or its region");
    }
    const long expectedResult = expected.cancelled ? -1 : expected.count;
    if (result != expectedResult) {
        fuzz::Fail("scan", "result " + std::to_string(result) + ", expected " + std::to_string(expectedResult));
    }
    if (host::ServiceLog() != expected.log) {
        const std::vector<std::string>& got = host::ServiceLog();
        std::size_t i = 0;
        while (i < got.size() && i < expected.log.size() && got[i] == expected.log[i]) ++i;
        fuzz::Fail("scan", "host calls differ at call " + std::to_string(i) + ": got \"" +
                               (i < got.size() ? got[i] : "<none>") + "\", expected \"" +
                               (i < expected.log.size() ? expected.log[i] : "<none>") + "\"");
    }
    for (const auto& [key, entries] : expected.frames) {
        const std::vector<EntryRecord>* now = doc.Frame(key);
        if (now == nullptr || now->size() != entries.size() ||
            !std::equal(entries.begin(), entries.end(), now->begin(), SameEntry)) {
            fuzz::Fail("scan", "frame " + std::to_string(key.staff) + " " + std::to_string(key.measure) + " " +
                                   std::to_string(key.layer) + " differs from the model");
        }
    }
    host::AttachDocument(nullptr);
    return 0;
}
