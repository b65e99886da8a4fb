#include "RunVariant.h"

#include "InputFile.h"

std::uint64_t RunVariant::hashOf(const std::uint8_t* data, std::size_t size) {
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

RunVariant::RunVariant(const std::uint8_t* data, std::size_t size, std::size_t file_bytes) {
    const std::uint64_t hash = hashOf(data, size);
    static const unsigned kThreads[] = {1, 2, 3, 8};
    threads_ = kThreads[hash % 4];
    // Blocks of a few bytes only for short files: a run stays fast.
    static const std::size_t kTinyBlocks[] = {7, 64, 100, 1000, 4096};
    const std::size_t choice = (hash >> 2) % 8;
    std::size_t block_size = 0;  // the default
    if (choice < 5 && file_bytes / kTinyBlocks[choice] <= 512) block_size = kTinyBlocks[choice];
    setReadBlockSizeForTesting(block_size);
}

RunVariant::~RunVariant() { setReadBlockSizeForTesting(0); }

std::vector<std::string> RunVariant::arguments(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin() + 1, {"--threads", std::to_string(threads_)});
    return arguments;
}
