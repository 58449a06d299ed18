// Session scripts: one action a line, parsed whole before anything runs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/sim/sim.h"
#include "shell/host_records.h"

namespace session {

enum class ActionKind {
    Invoke,        // numbers: command
    Type,          // numbers: id; text
    Click,         // numbers: id
    State,         // numbers: id, state
    Close,         // the close box of the open dialog
    Key,           // keys
    Answer,        // answer
    CancelAt,      // numbers: n
    FailAlloc,     // numbers: n
    FailRegistry,  // registryFailure
    Reload,
    SysColor,  // numbers: colour index, r, g, b
    ExpectText,
    ExpectState,
    ExpectVisible,
    ExpectEnabled,
    ExpectColor,    // numbers: id, r, g, b
    ExpectMessage,  // text, caption; numbers: icon, buttons
    ExpectNoMessage,
    ExpectMessageCount,  // numbers: n
    ExpectRecord,        // tag; numbers: key; text
    ExpectRecordHex,     // tag; numbers: key; bytes
    ExpectEntry,         // numbers: staff, measure, layer, index, flagsA, flagsB
    ExpectNote,          // numbers: staff, measure, layer, index, note, displacement, raiseLower, flags
    ExpectResult,        // numbers: n
    ExpectDialogOpen,    // numbers: template id
    ExpectDialogClosed,
    ExpectFocus,      // numbers: id
    ExpectDefault,    // numbers: id (0: none)
    ExpectDialogPos,  // numbers: x, y
    ExpectLeaks,
    ExpectHive,  // text: value name; bytes
};

struct Action {
    ActionKind kind = ActionKind::Click;
    std::string file;
    int line = 0;
    std::string source;  // the action as written, without its comment
    std::vector<long long> numbers;
    std::string text;
    std::string caption;
    std::vector<std::uint8_t> bytes;
    std::vector<sim::KeyStroke> keys;
    std::uint32_t tag = 0;
    bool hasRegion = false;
    RegionRecord region{};
    int answer = 0;  // IDOK, IDCANCEL, IDYES, IDNO
    sim::RegistryFailure registryFailure = sim::RegistryFailure::Open;

    bool IsExpectation() const { return kind >= ActionKind::ExpectText; }
    std::string Where() const { return file + ":" + std::to_string(line); }
};

struct Script {
    std::string file;
    int lineCount = 0;  // lines in the file, for "ended while ..." failures
    std::vector<Action> actions;
};

// Parses a whole script. The first error stops the parse; it reads
// "FILE:LINE: what was expected".
bool ParseScript(const std::string& text, const std::string& file, Script* out, std::string* error);

// Parses one line. A blank or comment-only line gives true with *empty set.
bool ParseScriptLine(const std::string& line, const std::string& file, int lineNumber, Action* out, bool* empty,
                     std::string* error);

// One line per action, for the interactive "help" and the documentation.
const char* ScriptActionSummary();

}  // namespace session
