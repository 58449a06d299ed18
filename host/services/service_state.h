// What the data services share: the attached document, the planned
// failures, the frames on loan and the call log.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/services/services.h"

namespace host {

struct LoanedFrame {
    Document* document;
    FrameKey key;
    EntryRecord* entries;  // our copy; the plug-in might overwrite the frame's pointer
    int count;
};

struct ServiceState {
    Document* document = nullptr;
    int cancelAtCall = 0;  // progress call number that answers "stop"; 0: none
    bool refuseWrites = false;
    std::set<FrameKey> failingFrames;
    std::map<TgfFrame*, LoanedFrame> loans;
    int progressCalls = 0;
    std::uint32_t nextHandle = 1;
    std::uint32_t openHandle = 0;
    std::vector<std::string> log;
    bool keepLog = true;
    std::function<bool(int, int)> progressWatcher;
    WriteWatcher writeWatcher;
    std::uint32_t lastLoadedTag = 0;  // the last record HS_LoadEData found
    Key lastLoadedKey{};
};

ServiceState& Services();
void LogCall(const std::string& line);
// Whether calls are logged: the busiest callers skip making the line.
inline bool Logging() { return Services().keepLog; }
// A call the plug-in should never make: said loudly, answered neutrally.
void Complain(const std::string& what);

}  // namespace host
