// "veldune-host DOCUMENT entries ...": the note entry command run through
// the criteria dialog as a person would fill it in.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "host/document/document.h"
#include "host/session/console.h"
#include "host/session/plugin_module.h"
#include "shell/host_records.h"

namespace users {

struct EntriesOptions {
    std::optional<std::string> region;    // "S1,M1,P1,S2,M2,P2"; unset: the whole document
    std::optional<std::string> staves;    // "1-2" or "3": whole staves
    std::optional<std::string> measures;  // "1-8" or "4": whole measures
    bool remember = false;                // start from the stored criteria, not from Reset
    std::string find;                     // "Chord=on,Duration=1024"
    std::optional<std::string> change;    // "Up/Down=off"
    bool useOr = false;
    bool yes = false;  // confirm the dangerous-change question
};

// One settable field of the criteria dialog, named by its caption.
struct CriteriaField {
    std::string name;  // caption without '&'; "Note " in front where an entry box has the same caption
    int box = 0;       // the check box
    int edit = 0;      // its value edit for the numeric fields, else 0
};
// Read from the dialog template, in template order.
std::vector<CriteriaField> CriteriaFields();

struct CriteriaSetting {
    CriteriaField field;
    int state = 0;      // check box state to reach: 0 off, 1 on, 2 any
    std::string value;  // number to type for a numeric field that is on
};
// "Name=on|off|any" for attribute boxes, "Name=NUMBER" (or off) for the
// numeric fields; names are matched without regard to case.
bool ParseCriteriaList(const std::string& list, const std::vector<CriteriaField>& fields,
                       std::vector<CriteriaSetting>* out, std::string* error, const char* option);

// "S1,M1,P1,S2,M2,P2": staves and measures counted from 1, P1 the first
// position searched in M1 and P2 the first one not searched in M2 (1024 to
// the quarter). *note says what a user may not expect (an end of 0).
bool ParseRegion(const std::string& text, RegionRecord* out, std::string* error, std::string* note = nullptr);
// "A-B" or "A", numbers from 1: a range of staves or measures.
bool ParseRange(const std::string& text, const char* option, int* first, int* last, std::string* error);
// Every staff and measure that holds a frame or a staff or measure record,
// positions 0 to the end.
RegionRecord WholeDocumentRegion(const host::Document& document);

// The options turned into dialog settings and a region; checked before the
// plug-in starts, against the templates of the module's resource script.
struct EntriesPlan {
    std::vector<CriteriaSetting> find;
    std::vector<CriteriaSetting> change;
    RegionRecord region{};
    std::string note;  // said before the run: how a region given by positions reads
};

// What the command said it did: the count of its message (-1 when none).
struct EntriesCounts {
    int replacements = -1;
};
bool PrepareEntries(const EntriesOptions& options, const host::Document& document, EntriesPlan* plan,
                    std::string* error);

// Returns the exit status: 0 done, 1 refused or not confirmed.
int RunEntriesSubcommand(const session::PluginModule& module, HWND hostWindow, const EntriesPlan& plan,
                         const EntriesOptions& options, session::Console& console, EntriesCounts* counts = nullptr);
// The region as a musician reads it: "staves 1-2, measures 1-8".
std::string DescribeRegion(const RegionRecord& region);

}  // namespace users
