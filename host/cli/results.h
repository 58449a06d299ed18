// What each document's run came to, told to the user: the change list after
// a run, the summary of a batch, and the --report file for scripts.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/cli/arguments.h"
#include "host/users/dry_run.h"
#include "host/users/entries_command.h"
#include "host/users/text_command.h"

namespace cli {

// What one document's run came to, for the summary of a batch and the report.
struct FileResult {
    int status = 0;
    users::TextCounts counts;
    users::EntriesCounts entries;
    int warnings = 0;
    int withheld = 0;                    // changes the plug-in made that the file could not take, each with a warning
    std::string problem;                 // the first error, for the summary
    std::vector<users::Change> changes;  // what the file now holds (or would hold, in a dry run)
    std::vector<users::Change> notWritten;  // changes of the run the writer withheld
    std::string written;                    // where the run was written; empty: nowhere
};

std::string Plural(std::size_t n, const char* one, const char* many);

// How the changes of a run are headed: "written" when the file was written.
enum class Outcome { DryRun, Written, Failed, NoOutput };

// The counts beside the plug-in's, then (unless quiet) the changes a line each.
void PrintChanges(std::ostream& out, const FileResult& result, bool textCommand, bool entriesCommand, Outcome outcome,
                  bool quiet);

// --report: the same as data for scripts.
bool WriteReport(const Arguments& args, const std::vector<FileResult>& results, std::string* error);

void PrintSummary(std::ostream& out, const std::vector<std::string>& documents, const std::vector<FileResult>& results);

}  // namespace cli
