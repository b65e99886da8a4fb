// Reads a fuzz input front to back: small numbers first, then the bytes the
// target works on. An exhausted input reads as zeros, so every input is valid.
#ifndef DEDUP_FUZZ_FUZZINPUT_H
#define DEDUP_FUZZ_FUZZINPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t takeByte();
    // A number from 0 to bound, from as many bytes as the bound needs.
    std::uint64_t takeNumber(std::uint64_t bound);
    // A number from 0 to bound whose bit length is chosen first, so that
    // small numbers come as often as large ones.
    std::uint64_t takeScaledNumber(std::uint64_t bound);
    // Up to count bytes (fewer when the input ends).
    std::string takeBytes(std::size_t count);
    std::string takeRest() { return takeBytes(remaining()); }
    // Bytes described by (run length, byte value) pairs, up to limit bytes in
    // all: files far longer than any input, such as ones that cross the
    // programs' read blocks.
    std::string takeRuns(std::size_t limit);
    std::size_t remaining() const { return size_ - used_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t used_ = 0;
};

#endif
