// How a fuzzed driver run is varied without changing what it must print: the
// number of threads (1, 2, 3 or 8) and the size of the read blocks (tiny ones
// make chunks span blocks and meet the hand-offs between threads often).
// Both come from a hash of the whole input, so every corpus file keeps its
// meaning and the corpus as a whole covers every variant.
#ifndef DEDUP_FUZZ_RUNVARIANT_H
#define DEDUP_FUZZ_RUNVARIANT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class RunVariant {
public:
    // file_bytes: how long the longest file of the run is; tiny blocks are
    // kept for short files, so that a run stays fast.
    RunVariant(const std::uint8_t* data, std::size_t size, std::size_t file_bytes);
    // Puts the read block size back.
    ~RunVariant();
    RunVariant(const RunVariant&) = delete;
    RunVariant& operator=(const RunVariant&) = delete;

    // The arguments with --threads N after the program name.
    std::vector<std::string> arguments(std::vector<std::string> arguments) const;

    // A hash of the whole input, for a target's own variants (as the
    // threads and blocks come from it, every corpus file keeps its meaning).
    static std::uint64_t hashOf(const std::uint8_t* data, std::size_t size);

private:
    unsigned threads_;
};

#endif
