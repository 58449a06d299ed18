// A position in a measure as a musician counts it.
#pragma once

#include <cstdint>
#include <string>

namespace host {

// "beat 1", "beat 2.5": quarter-note beats from the measure's start, a
// position of 1024 to the quarter.
inline std::string BeatOf(std::int32_t position) {
    const std::int32_t whole = position / 1024 + 1;
    std::string fraction = std::to_string(((position % 1024) * 100 + 512) / 1024);
    if (fraction.size() < 2) fraction = "0" + fraction;
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    return "beat " + std::to_string(whole) + (fraction.empty() ? "" : "." + fraction);
}

}  // namespace host
