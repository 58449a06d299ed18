// The resource script reader over random text: it accepts, or refuses with
// a reason; the sanitizers watch that it reads nothing outside the text.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/sim/resource_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<sim::DialogTemplate> dialogs;
    std::string error;
    if (!sim::ParseResourceScript(text, &dialogs, &error)) {
        if (error.empty()) fuzz::Fail("ParseResourceScript", "refused without saying why");
        return 0;
    }
    return 0;
}
