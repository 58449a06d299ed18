// Where each document's run is written, and the checks made before any run:
// no document named twice, no two results in one file, none over another
// document.
#pragma once

#include <filesystem>
#include <string>

#include "host/cli/arguments.h"

namespace cli {

bool SameFile(const std::string& a, const std::string& b);

// Where a document's run is written; empty when it is not written.
std::string OutputFor(const Arguments& args, const std::string& document);

// A path as it would be written to: its folder resolved (links and ".."),
// so that two names of one place compare equal.
std::filesystem::path Place(const std::string& path);

// Before anything runs: no document is named twice, no two results go to
// one file, no result lands on another document, and an original can be
// kept for each document written in place. False with the reason.
bool CheckOutputs(const Arguments& args, std::string* error);

}  // namespace cli
