// What a run changed in the document, said in the user's terms and placed
// in the score as a musician says it: listed after every run, and all that a
// --dry-run shows (the caller then writes nothing).
#pragma once

#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/scores/score_file.h"

namespace users {

struct Change {
    std::string what;    // "staff name #2", "note entry"
    std::string place;   // "rehearsal mark, part "Voice" (P1), measure 3"; empty where the file does not tell
    std::string before;  // a text as it was; empty for an entry
    std::string after;   // a text as it is now, or what changed in an entry ("Up/Down off; note 1: ...")
    bool entry = false;
    // `staff name #2 (part "Flute" (P1)): "Flute" -> "Flöte"`
    std::string Line() const;
};

// Every changed text and entry, texts first. file: where the records stand
// (null: no places).
std::vector<Change> ListChanges(const host::Document& before, const host::Document& after,
                                const scores::ScoreFile* file);

// A run's changes beside those its written file holds (read back): the
// file's changes to the records the run changed, and the run's changes the
// file does not hold as they are (withheld by the writer, or only in part).
struct WrittenChanges {
    std::vector<Change> written;
    std::vector<Change> withheld;
};
WrittenChanges SplitWritten(const std::vector<Change>& run, const std::vector<Change>& file);

// The same, a line each, without places.
std::vector<std::string> DescribeChanges(const host::Document& before, const host::Document& after);

}  // namespace users
