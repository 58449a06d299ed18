#include "host/cli/results.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>

#include "host/scores/score_file.h"

namespace cli {

namespace {

std::string Count(int value) { return value < 0 ? "-" : std::to_string(value); }

nlohmann::json ChangesJson(const std::vector<users::Change>& list) {
    nlohmann::json changes = nlohmann::json::array();
    for (const users::Change& change : list) {
        nlohmann::json c = {{"what", change.what}, {"place", change.place}};
        if (change.entry) {
            c["kind"] = "entry";
            c["change"] = change.after;
        } else {
            c["kind"] = "text";
            c["before"] = change.before;
            c["after"] = change.after;
        }
        changes.push_back(std::move(c));
    }
    return changes;
}

}  // namespace

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void PrintChanges(std::ostream& out, const FileResult& result, bool textCommand, bool entriesCommand, Outcome outcome,
                  bool quiet) {
    const bool dryRun = outcome == Outcome::DryRun;
    std::size_t entries = 0;
    for (const users::Change& change : result.changes) entries += change.entry ? 1 : 0;
    const std::size_t texts = result.changes.size() - entries;
    // What the score now holds beside what the plug-in counted.
    if (entriesCommand && result.entries.replacements >= 0) {
        out << Plural(entries, "entry", "entries") << (dryRun ? " would be changed" : " changed");
        // An entry partly written is in both lists.
        std::set<std::string> changed;
        for (const auto* list : {&result.changes, &result.notWritten})
            for (const users::Change& change : *list)
                if (change.entry) changed.insert(change.what);
        const std::size_t asked = changed.size();
        if (result.entries.replacements > static_cast<int>(asked))
            out << "; "
                << Plural(static_cast<std::size_t>(result.entries.replacements) - asked, "matched entry was",
                          "matched entries were")
                << " already so";
        out << "\n";
    }
    if (textCommand && result.counts.replaced > 0)
        out << Plural(texts, "text", "texts") << (dryRun ? " would be changed" : " changed") << "\n";
    if (quiet) return;
    if (!result.changes.empty()) {
        out << "\n";
        switch (outcome) {
            case Outcome::DryRun:
                break;
            case Outcome::Written:
                out << "Changed:\n";
                break;
            case Outcome::Failed:
                out << "Changed in the run (not written: the run did not succeed):\n";
                break;
            case Outcome::NoOutput:
                out << "Changed in the run (not written: no --output, --output-dir or --in-place):\n";
                break;
        }
        for (const users::Change& change : result.changes)
            out << "  " << (dryRun ? "would change " : "") << change.Line() << "\n";
    }
    if (!result.notWritten.empty()) {
        out << "\nChanged in the run, not written (see the warnings):\n";
        for (const users::Change& change : result.notWritten) out << "  " << change.Line() << "\n";
    }
}

bool WriteReport(const Arguments& args, const std::vector<FileResult>& results, std::string* error) {
    nlohmann::json files = nlohmann::json::array();
    for (std::size_t i = 0; i < results.size(); ++i) {
        const FileResult& r = results[i];
        nlohmann::json file = {{"file", args.documents[i]},
                               {"status", r.status},
                               {"written", r.written.empty() ? nlohmann::json() : nlohmann::json(r.written)},
                               {"changes", ChangesJson(r.changes)}};
        if (!r.notWritten.empty()) file["not_written"] = ChangesJson(r.notWritten);
        if (r.counts.found >= 0) file["found"] = r.counts.found;
        if (r.counts.replaced >= 0) file["replaced"] = r.counts.replaced;
        if (r.entries.replacements >= 0) file["replacements"] = r.entries.replacements;
        if (!r.problem.empty()) file["problem"] = r.problem;
        files.push_back(std::move(file));
    }
    const nlohmann::json report = {{"dry_run", args.dryRun}, {"files", std::move(files)}};
    return scores::WriteFileAtomically(
        args.report, report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n", error);
}

void PrintSummary(std::ostream& out, const std::vector<std::string>& documents,
                  const std::vector<FileResult>& results) {
    std::size_t width = 4;
    for (const std::string& document : documents) width = std::max(width, document.size());
    const auto row = [&](const std::string& file, const std::string& found, const std::string& replaced,
                         const std::string& warnings, const std::string& outcome) {
        out << file << std::string(width - file.size() + 2, ' ');
        for (const std::string* cell : {&found, &replaced, &warnings})
            out << std::string(cell->size() < 8 ? 8 - cell->size() : 0, ' ') << *cell << "  ";
        out << outcome << "\n";
    };
    out << "\n";
    row("file", "found", "replaced", "warnings", "result");
    for (std::size_t i = 0; i < documents.size(); ++i) {
        const FileResult& r = results[i];
        // Replaced counts what the file holds: a change withheld with a warning is not in it.
        const int replaced = r.counts.replaced < 0 ? r.counts.replaced : std::max(0, r.counts.replaced - r.withheld);
        const std::string outcome = r.status != 0     ? r.problem
                                    : r.withheld == 0 ? "ok"
                                                      : "ok, " + std::to_string(r.withheld) + " change(s) not written";
        row(documents[i], Count(r.counts.found), Count(replaced), std::to_string(r.warnings), outcome);
    }
}

}  // namespace cli
