// HS_LoadTGF, HS_SaveTGF, HS_FreeTGF: note entry frames lent to the plug-in.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "host/services/service_state.h"
#include "shell/host_services.h"

namespace {

std::string Cell(const host::FrameKey& key) {
    return std::to_string(key.staff) + " " + std::to_string(key.measure) + " " + std::to_string(key.layer);
}

}  // namespace

extern "C" {

TgfFrame* HS_LoadTGF(std::uint16_t frameSelector, std::int16_t staff, std::int16_t measure, std::int16_t layer,
                     std::int16_t zero) {
    (void)frameSelector;
    (void)zero;
    host::ServiceState& state = host::Services();
    const host::FrameKey key{staff, measure, layer};
    if (host::Logging()) host::LogCall("load " + Cell(key));
    if (!state.document || state.failingFrames.count(key)) return nullptr;
    const std::vector<EntryRecord>* entries = state.document->Frame(key);
    if (!entries) return nullptr;
    // The frame's count is 16-bit; a longer frame cannot be lent whole.
    if (entries->size() > INT16_MAX) {
        host::Complain("frame " + Cell(key) + " has more entries than a frame can count");
        return nullptr;
    }
    const int count = static_cast<int>(entries->size());
    auto* frame = new TgfFrame{};
    frame->entries = count > 0 ? new EntryRecord[static_cast<std::size_t>(count)] : nullptr;
    if (count > 0) std::memcpy(frame->entries, entries->data(), sizeof(EntryRecord) * static_cast<std::size_t>(count));
    frame->count = static_cast<std::int16_t>(count);
    state.loans[frame] = host::LoanedFrame{state.document, key, frame->entries, count};
    return frame;
}

std::int16_t HS_SaveTGF(TgfFrame* frame) {
    host::ServiceState& state = host::Services();
    const auto loan = state.loans.find(frame);
    if (loan == state.loans.end()) {
        host::Complain("HS_SaveTGF of a frame the host did not lend (or already freed)");
        host::LogCall("save unknown");
        return 0;
    }
    const host::LoanedFrame& lent = loan->second;
    if (host::Logging()) host::LogCall("save " + Cell(lent.key));
    if (lent.document != state.document || !state.document) {
        host::Complain("HS_SaveTGF of a frame of a document that is no longer attached");
        return 0;
    }
    // Our own pointer and count: the plug-in may change only the entries.
    state.document->SetFrame(lent.key, std::vector<EntryRecord>(lent.entries, lent.entries + lent.count));
    return 1;
}

std::int16_t HS_FreeTGF(TgfFrame* frame) {
    host::ServiceState& state = host::Services();
    const auto loan = state.loans.find(frame);
    if (loan == state.loans.end()) {
        host::Complain("HS_FreeTGF of a frame the host did not lend (or already freed)");
        host::LogCall("free unknown");
        return 0;
    }
    if (host::Logging()) host::LogCall("free " + Cell(loan->second.key));
    delete[] loan->second.entries;
    state.loans.erase(loan);
    delete frame;
    return 1;
}

}  // extern "C"
