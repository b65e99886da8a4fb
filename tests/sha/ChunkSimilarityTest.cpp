// ChunkSimilarity and ChunkWindow: which windows are listed, what they hold,
// and when the list is refused as too costly.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ChunkSimilarity.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Listed {
    unsigned offset;
    Bytes data;
};

// The windows of the returned list copied out (the list is released);
// 'returned' is false for a null result.
std::vector<Listed> compare(const Bytes& candidate, unsigned windowSize, bool* returned = nullptr,
                            bool* headEmpty = nullptr) {
    const Bytes zeros(candidate.size(), 0);
    ChunkWindow* list = ChunkSimilarity().getChunkSimilarity(
        zeros.data(), candidate.data(), unsigned(candidate.size()), windowSize);
    if (returned) *returned = list != nullptr;
    if (headEmpty && list) *headEmpty = list->isEmpty();
    std::vector<Listed> windows;
    for (ChunkWindow* w = list; w; w = w->getNext()) {
        EXPECT_EQ(w->getWindowSize(), windowSize);
        windows.push_back({w->offset, Bytes(w->getData(), w->getData() + windowSize)});
    }
    ChunkWindow::releaseList(list);
    return windows;
}

TEST(ChunkSimilarity, IdenticalChunksGiveOneEmptyWindow) {
    bool returned = false, headEmpty = false;
    EXPECT_EQ(compare(Bytes(4096, 0), 512, &returned, &headEmpty).size(), 1u);
    EXPECT_TRUE(returned && headEmpty);
}

TEST(ChunkSimilarity, ListsSevenButNotEightOf512WindowsIn4096) {
    // Windows differ in a single byte each, added in this order; the first
    // is window 6, so the head holds a window that is not window 0.
    const std::vector<unsigned> order = {6, 1, 7, 3, 0, 5, 2, 4};
    Bytes candidate(4096, 0);
    for (std::size_t k = 1; k <= order.size(); ++k) {
        candidate[order[k - 1] * 512 + 5 * k] = 0x5A;
        std::vector<unsigned> differing(order.begin(), order.begin() + k);
        std::sort(differing.begin(), differing.end());
        bool returned = false;
        auto windows = compare(candidate, 512, &returned);
        EXPECT_EQ(returned, k < 8) << k;  // 7 x 520 = 3640, 8 x 520 = 4160
        if (!returned) continue;
        ASSERT_EQ(windows.size(), k);
        for (std::size_t i = 0; i < k; ++i) {
            // The head keeps index 0; later windows carry their own index.
            EXPECT_EQ(windows[i].offset, i == 0 ? 0u : differing[i]);
            auto first = candidate.begin() + differing[i] * 512;
            EXPECT_EQ(windows[i].data, Bytes(first, first + 512)) << "whole window copied";
        }
    }
}

TEST(ChunkSimilarity, ShorterLastWindowIsComparedChargedAndCopiedAlone) {
    // 100 bytes in windows of 40: windows 0 and 1 whole, bytes 80..99 last.
    Bytes candidate(100, 0);
    candidate[95] = 9;
    bool headEmpty = true;
    auto windows = compare(candidate, 40, nullptr, &headEmpty);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_FALSE(headEmpty) << "a difference only in the tail is still a difference";
    Bytes expected(40, 0);
    expected[15] = 9;  // the tail's 20 bytes, then zeros
    EXPECT_EQ(windows[0].data, expected);

    candidate[3] = 1;  // 2 x 48 = 96 < 100: listed
    windows = compare(candidate, 40);
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[1].offset, 2u);
    candidate[41] = 1;  // 3 x 48 = 144: the tail tips it over
    bool returned = true;
    compare(candidate, 40, &returned);
    EXPECT_FALSE(returned);
}

TEST(ChunkSimilarity, DegenerateSizesGiveNoList) {
    bool returned = true;
    compare(Bytes(16, 1), 0, &returned);  // windows of no bytes
    EXPECT_FALSE(returned);
    compare(Bytes(), 4, &returned);  // 0 < 0 fails
    EXPECT_FALSE(returned);
}

TEST(ChunkWindow, WindowSizeIsClassWideAndFollowsTheLatestConstructor) {
    const unsigned char bytes[6] = {1, 2, 3, 4, 5, 6};
    ChunkWindow filled(6, 3, bytes);
    EXPECT_FALSE(filled.isEmpty());
    EXPECT_EQ(Bytes(filled.getData(), filled.getData() + 6), Bytes(bytes, bytes + 6));
    ChunkWindow blank(4, 0, nullptr);
    EXPECT_TRUE(blank.isEmpty());
    EXPECT_EQ(filled.getWindowSize(), 4u);
}

TEST(ChunkSimilarity, CostTestDoesNotWrapIn32Bits) {
    // Windows of 2^31 bytes in a chunk of 2^32 - 1: two differing windows
    // cost 2^32 + 16, which 32-bit arithmetic would take for 16. The chunks
    // are untouched anonymous pages, so they cost address space only.
    const std::uint64_t chunkSize = 0xFFFFFFFFull;
    const unsigned windowSize = 1u << 31;
    unsigned char* chunks[2];
    for (auto& chunk : chunks) {
        void* p = mmap(nullptr, chunkSize, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) GTEST_SKIP() << "no address space for two 4 GiB mappings";
        chunk = static_cast<unsigned char*>(p);
    }
    chunks[1][0] = chunks[1][windowSize] = 1;
    ChunkWindow* list = ChunkSimilarity().getChunkSimilarity(chunks[0], chunks[1],
                                                             unsigned(chunkSize), windowSize);
    EXPECT_EQ(list, nullptr);
    ChunkWindow::releaseList(list);
    for (auto chunk : chunks) munmap(chunk, chunkSize);
}

}  // namespace
