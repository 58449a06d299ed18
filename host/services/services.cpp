#include <cstdio>
#include <utility>

#include "host/services/service_state.h"

namespace host {

ServiceState& Services() {
    static ServiceState state;
    return state;
}

void LogCall(const std::string& line) {
    if (Services().keepLog) Services().log.push_back(line);
}

void KeepServiceLog(bool keep) { Services().keepLog = keep; }
std::uint32_t LastLoadedTag() { return Services().lastLoadedTag; }
Key LastLoadedKey() { return Services().lastLoadedKey; }

namespace {
int g_complaints = 0;
}  // namespace

void Complain(const std::string& what) {
    ++g_complaints;
    std::fprintf(stderr, "veldune-host: %s\n", what.c_str());
}

int Complaints() { return g_complaints; }

void AttachDocument(Document* document) { Services().document = document; }

Document* AttachedDocument() { return Services().document; }

void WatchWrites(WriteWatcher watcher) { Services().writeWatcher = std::move(watcher); }

void WatchProgress(std::function<bool(int staff, int measure)> watcher) {
    Services().progressWatcher = std::move(watcher);
}

void ResetServices() {
    ServiceState& state = Services();
    // Frames still on loan belong to a test that is over; release them so
    // they do not leak into the next one.
    for (auto& [frame, loan] : state.loans) {
        delete[] loan.entries;
        delete frame;
    }
    Document* document = state.document;
    state = ServiceState{};
    state.document = document;
}

void CancelAtProgress(int n) {
    ServiceState& state = Services();
    state.cancelAtCall = n > 0 ? state.progressCalls + n : 0;
}

void RefuseRecordWrites(bool refuse) { Services().refuseWrites = refuse; }

void FailFrameLoad(const FrameKey& key) { Services().failingFrames.insert(key); }

int LiveFrames() { return static_cast<int>(Services().loans.size()); }

int ProgressCalls() { return Services().progressCalls; }

const std::vector<std::string>& ServiceLog() { return Services().log; }

}  // namespace host
