// Where a session talks to a person: output, and input when a person is
// there to answer.
#pragma once

#include <initializer_list>
#include <iosfwd>
#include <string>

namespace cli {

struct Console {
    std::istream* in = nullptr;
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    bool terminal = false;  // a person types the input: ask instead of assuming
};

// Asks until the person types one of the choices (or its first letter);
// returns the index, or -1 when the input ends.
int Ask(Console& console, const std::string& question, std::initializer_list<const char*> choices);

}  // namespace cli
