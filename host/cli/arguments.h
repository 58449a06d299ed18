// The command line's options as parsed: what the program's door hands to
// the run of each document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/users/entries_command.h"
#include "host/users/text_command.h"

namespace cli {

struct Arguments {
    std::vector<std::string> documents;
    std::string script;
    std::string registry;
    std::string output;
    std::string outputDir;
    bool inPlace = false;
    bool dryRun = false;
    bool quiet = false;
    std::string report;
    std::string plugin;
    std::string lackService;
    bool keepGoing = false;
    users::TextOptions text;
    std::string replace;
    std::string elements;
    users::EntriesOptions entries;
    std::string region;
    std::string staves;
    std::string measures;
    std::string change;
    bool monkey = false;
    std::uint64_t monkeySeed = 0;
    int monkeyActions = 200;
};

}  // namespace cli
