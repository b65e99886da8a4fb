#include "TolvaneModel.h"

#include <cstddef>

std::string TolvaneModel::addFile(const std::string& bytes) {
    byte_count_ += bytes.size();
    const std::size_t window = parameters_.window_size;
    if (bytes.size() < window) return "0 0";
    const auto byteAt = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
    const std::uint32_t mask =
        parameters_.num_comp_bits >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << parameters_.num_comp_bits) - 1;

    // The first window of a file counts a leading zero byte as 1.
    std::uint32_t fingerprint = 0;
    for (std::size_t i = 0; i < window; ++i) fingerprint = fingerprint * 7 + (i == 0 && byteAt(0) == 0 ? 1 : byteAt(i));
    std::uint32_t leavingWeight = 1;  // 7^window: the oldest byte's weight once shifted out
    for (std::size_t i = 0; i < window; ++i) leavingWeight *= 7;

    std::uint64_t chunks = 0, copies = 0;
    std::size_t start = 0;
    const auto close = [&](std::size_t end) {
        ++chunks;
        if (record(bytes.substr(start, end - start))) ++copies;
        start = end;
    };
    for (std::size_t i = window; i < bytes.size(); ++i) {
        fingerprint = fingerprint * 7 + byteAt(i) - leavingWeight * byteAt(i - window);
        const std::uint64_t length = i + 1 - start;
        if (((fingerprint & mask) == 0 && length >= parameters_.min_chunk_size) ||
            length >= parameters_.max_chunk_size)
            close(i + 1);
    }
    if (start < bytes.size()) close(bytes.size());
    return std::to_string(copies) + " " + std::to_string(chunks);
}

bool TolvaneModel::record(const std::string& chunk) {
    ++total_chunks_;
    sum_of_squares_ += std::uint64_t{chunk.size()} * chunk.size();
    const bool duplicate = !seen_.insert(chunk).second;
    if (duplicate) ++duplicates_;
    return duplicate;
}
