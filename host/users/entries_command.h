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
    std::optional<std::string> region;  // "S1,M1,P1,S2,M2,P2"; unset: the whole document
    std::string find;                   // "Chord=on,Duration=1024"
    std::optional<std::string> change;  // "Up/Down=off"
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

bool ParseRegion(const std::string& text, RegionRecord* out, std::string* error);
// Every staff and measure that holds a frame or a staff or measure record,
// positions 0 to the end.
RegionRecord WholeDocumentRegion(const host::Document& document);

// The options turned into dialog settings and a region; checked before the
// plug-in starts, against the templates of the module's resource script.
struct EntriesPlan {
    std::vector<CriteriaSetting> find;
    std::vector<CriteriaSetting> change;
    RegionRecord region{};
};
bool PrepareEntries(const EntriesOptions& options, const host::Document& document, EntriesPlan* plan,
                    std::string* error);

// Returns the exit status: 0 done, 1 refused or not confirmed.
int RunEntriesSubcommand(const session::PluginModule& module, HWND hostWindow, const EntriesPlan& plan,
                         const EntriesOptions& options, session::Console& console);

}  // namespace users
