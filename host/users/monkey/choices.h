// Where a random session's choices come from: a seed, or a fuzzer's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace users::monkey {

// Where the session's choices come from.
class Choices {
public:
    virtual ~Choices() = default;
    // A number below n (0 when n is 0 or 1).
    virtual std::uint32_t Below(std::uint32_t n) = 0;
    // No more choices: the session winds down.
    virtual bool Spent() const = 0;
};

// A seed's choices, the same on every machine.
class SeededChoices : public Choices {
public:
    explicit SeededChoices(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Below(std::uint32_t n) override;
    bool Spent() const override { return false; }

private:
    std::uint64_t state_;
};

// The fuzzer's bytes, one or two a choice; spent at the end of the input.
class ByteChoices : public Choices {
public:
    ByteChoices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t Below(std::uint32_t n) override;
    bool Spent() const override { return next_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;
};

}  // namespace users::monkey
