// The store's large buffers: grown in place or moved, they keep what they
// held, read zero beyond it, and stay on a huge page's boundary (a move off
// it would break the table's huge pages into small ones).
#include <sys/mman.h>

#include <cstdint>

#include <gtest/gtest.h>

#include "LargeBuffer.h"

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

bool onHugePageBoundary(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % (2 * kMiB) == 0; }

void fillWithPattern(void* buffer, std::size_t bytes) {
    auto* words = static_cast<std::uint32_t*>(buffer);
    for (std::size_t i = 0; i < bytes / 4; ++i) words[i] = static_cast<std::uint32_t>(i * 2654435761u);
}

void expectPatternThenZeros(const void* buffer, std::size_t pattern_bytes, std::size_t bytes) {
    const auto* words = static_cast<const std::uint32_t*>(buffer);
    for (std::size_t i = 0; i < pattern_bytes / 4; ++i)
        ASSERT_EQ(words[i], static_cast<std::uint32_t>(i * 2654435761u)) << "word " << i;
    for (std::size_t i = pattern_bytes / 4; i < bytes / 4; ++i) ASSERT_EQ(words[i], 0u) << "word " << i;
}

TEST(LargeBuffer, GrowsKeepingItsContentAndItsAlignmentWhereverItGoes) {
    for (bool blocked : {false, true}) {
        SCOPED_TRACE(blocked ? "the addresses after it taken" : "free to grow in place");
        std::size_t bytes = 2 * kMiB + 8;  // not a whole number of pages
        void* buffer = allocateLargeBuffer(bytes);
        ASSERT_TRUE(onHugePageBoundary(buffer));
        fillWithPattern(buffer, bytes);
        for (int growth = 0; growth < 4; ++growth) {
            // A mapping right behind the buffer forces a move.
            void* behind = MAP_FAILED;
            if (blocked) {
                const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(buffer) + (bytes + 4095) / 4096 * 4096;
                behind = mmap(reinterpret_cast<void*>(end), 4096, PROT_READ,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
            }
            const std::size_t larger = bytes + bytes / 4 + 4;
            buffer = resizeLargeBuffer(buffer, bytes, larger);
            if (behind != MAP_FAILED) munmap(behind, 4096);
            EXPECT_TRUE(onHugePageBoundary(buffer));
            expectPatternThenZeros(buffer, bytes, larger);
            fillWithPattern(buffer, larger);
            bytes = larger;
        }
        releaseLargeBuffer(buffer, bytes);
    }
}

TEST(LargeBuffer, SmallBuffersAreZeroedAndGrowIntoMappedOnes) {
    void* buffer = allocateLargeBuffer(1000);
    fillWithPattern(buffer, 1000);
    buffer = resizeLargeBuffer(buffer, 1000, 3 * kMiB);
    EXPECT_TRUE(onHugePageBoundary(buffer));
    expectPatternThenZeros(buffer, 1000, 3 * kMiB);
    releaseLargeBuffer(buffer, 3 * kMiB);
}

}  // namespace
