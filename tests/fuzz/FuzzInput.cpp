#include "FuzzInput.h"

std::uint8_t FuzzInput::takeByte() { return used_ < size_ ? data_[used_++] : 0; }

std::uint64_t FuzzInput::takeNumber(std::uint64_t bound) {
    std::uint64_t value = 0;
    for (std::uint64_t span = bound; span > 0; span >>= 8) value = value << 8 | takeByte();
    return bound == UINT64_MAX ? value : value % (bound + 1);
}

std::uint64_t FuzzInput::takeScaledNumber(std::uint64_t bound) {
    unsigned boundBits = 0;
    for (std::uint64_t rest = bound; rest != 0; rest >>= 1) ++boundBits;
    const unsigned bits = takeByte() % (boundBits + 1);
    const std::uint64_t largest = bits >= 64 ? UINT64_MAX : (std::uint64_t{1} << bits) - 1;
    return takeNumber(largest < bound ? largest : bound);
}

std::string FuzzInput::takeBytes(std::size_t count) {
    if (count > remaining()) count = remaining();
    std::string bytes(reinterpret_cast<const char*>(data_ + used_), count);
    used_ += count;
    return bytes;
}

std::string FuzzInput::takeRuns(std::size_t limit) {
    std::string bytes;
    while (remaining() > 0 && bytes.size() < limit) {
        const std::size_t length = static_cast<std::size_t>(takeScaledNumber(limit - bytes.size()));
        bytes.append(length, static_cast<char>(takeByte()));
    }
    return bytes;
}
