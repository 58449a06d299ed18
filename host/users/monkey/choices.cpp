#include "host/users/monkey/choices.h"

namespace users::monkey {

std::uint32_t SeededChoices::Below(std::uint32_t n) {
    // splitmix64: small, and the same sequence everywhere.
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return n <= 1 ? 0 : static_cast<std::uint32_t>(z % n);
}

std::uint32_t ByteChoices::Below(std::uint32_t n) {
    if (n <= 1) return 0;
    std::uint32_t value = 0;
    for (std::uint32_t range = 1; range < n && next_ < size_; range <<= 8) value = value << 8 | data_[next_++];
    return value % n;
}

}  // namespace users::monkey
