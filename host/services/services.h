// The data half of the host services (HS_LoadEData ... HS_EndMassEdit) over
// the attached document, with the failures a test or script can plan.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/document/document.h"

namespace host {

void AttachDocument(Document* document);  // null detaches; every HS_ data call then fails
Document* AttachedDocument();

// Back to no plans, no log, no live frames counted.
void ResetServices();

// The n-th mass edit progress call from now answers "stop" (0: never).
void CancelAtProgress(int n);
// HS_SaveEData refuses (returns 0, stores nothing) while set.
void RefuseRecordWrites(bool refuse);
// HS_LoadTGF returns null for this cell and layer.
void FailFrameLoad(const FrameKey& key);

// Told of every mass edit progress call (staff, measure), as a person sees
// the host's progress; false is the person's cancel. Empty: nobody watches.
void WatchProgress(std::function<bool(int staff, int measure)> watcher);

// Told of every record the plug-in writes, with its text before and after
// (nullopt where there is none), for checks that follow a session. Empty:
// nobody watches.
using WriteWatcher = std::function<void(std::uint32_t tag, const Key& key, const std::optional<std::string>& before,
                                        const std::optional<std::string>& after)>;
void WatchWrites(WriteWatcher watcher);

// The last record the plug-in read with HS_LoadEData (tag 0: none since
// ResetServices): the text a match shown now was found in.
std::uint32_t LastLoadedTag();
Key LastLoadedKey();

// Calls the plug-in should never make, said so far in this process.
int Complaints();

int LiveFrames();     // loaded and not yet freed
int ProgressCalls();  // since ResetServices

// What the plug-in asked of the host, one line per call, for tests:
// "start", "progress S M", "load S M L", "save S M L", "free S M L",
// "end C", "savedata TAG k1 k2 k3 N".
const std::vector<std::string>& ServiceLog();
// The log is kept from ResetServices on; a run that never reads it (tens of
// thousands of calls on a large score) turns it off.
void KeepServiceLog(bool keep);

}  // namespace host
