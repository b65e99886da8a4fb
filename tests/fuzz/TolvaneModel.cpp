#include "TolvaneModel.h"

#include <cstddef>

namespace {

// SplitMix64 from the state 0: the first 256 outputs are the Gear table.
std::vector<std::uint64_t> gearTable() {
    std::vector<std::uint64_t> table;
    std::uint64_t state = 0;
    while (table.size() < 256) {
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        table.push_back(z ^ (z >> 31));
    }
    return table;
}

// The top `bits` bits (at most 64) set.
std::uint64_t topBits(int bits) {
    std::uint64_t mask = 0;
    for (int bit = 63; bit > 63 - bits && bit >= 0; --bit) mask |= std::uint64_t{1} << bit;
    return mask;
}

}  // namespace

std::vector<std::size_t> TolvaneModel::cutsWithoutWindow(const std::string& bytes) const {
    std::vector<std::size_t> cuts;
    const int bits = static_cast<int>(parameters_.num_comp_bits);
    if (chunker_ == "fixed") {
        const std::uint64_t size = std::uint64_t{1} << bits;
        for (std::uint64_t end = size; end - size < bytes.size(); end += size)
            cuts.push_back(static_cast<std::size_t>(end < bytes.size() ? end : bytes.size()));
        return cuts;
    }
    static const std::vector<std::uint64_t> table = gearTable();
    const bool normalized = chunker_ == "fastcdc";
    const std::uint64_t strict = topBits(bits + 2), loose = topBits(normalized ? bits - 2 : bits);
    std::uint64_t fp = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        fp = (fp << 1) + table[static_cast<unsigned char>(bytes[i])];
        const std::uint64_t length = i + 1 - start;
        const std::uint64_t mask = normalized && length < (std::uint64_t{1} << bits) ? strict : loose;
        if (((fp & mask) == 0 && length >= parameters_.min_chunk_size) || length >= parameters_.max_chunk_size) {
            cuts.push_back(i + 1);
            start = i + 1;
            fp = 0;
        }
    }
    if (start < bytes.size()) cuts.push_back(bytes.size());
    return cuts;
}

std::string TolvaneModel::addFile(const std::string& bytes) {
    if (!chunker_.empty() && chunker_ != "rabin") {
        byte_count_ += bytes.size();
        std::uint64_t copies = 0;
        std::size_t start = 0;
        const std::vector<std::size_t> cuts = cutsWithoutWindow(bytes);
        for (const std::size_t end : cuts) {
            if (record(bytes.substr(start, end - start))) ++copies;
            start = end;
        }
        return std::to_string(copies) + " " + std::to_string(cuts.size());
    }
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
