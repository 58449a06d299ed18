// The session script reader over random text: it accepts or refuses with
// the file and line; every action it accepts is one of the lines given.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/session/script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    session::Script script;
    std::string error;
    if (!session::ParseScript(text, "fuzz.script", &script, &error)) {
        if (error.rfind("fuzz.script:", 0) != 0) fuzz::Fail("ParseScript", "error without file and line: " + error);
        return 0;
    }
    int lastLine = 0;
    for (const session::Action& action : script.actions) {
        if (action.line < 1 || action.line > script.lineCount || action.line < lastLine)
            fuzz::Fail("ParseScript",
                       "action at line " + std::to_string(action.line) + " of " + std::to_string(script.lineCount));
        lastLine = action.line;
    }
    return 0;
}
