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

struct ListedWindow {
    unsigned offset;
    Bytes data;
};

// What a call returned, copied out so the list can be released at once.
struct Result {
    bool returned = false;
    bool headEmpty = false;
    std::vector<ListedWindow> windows;
};

Result compare(const Bytes& templ, const Bytes& candidate, unsigned windowSize) {
    ChunkSimilarity cs;
    ChunkWindow* list =
        cs.getChunkSimilarity(templ.data(), candidate.data(), unsigned(templ.size()), windowSize);
    Result result;
    result.returned = list != nullptr;
    if (list) result.headEmpty = list->isEmpty();
    for (ChunkWindow* w = list; w; w = w->getNext()) {
        EXPECT_EQ(w->getWindowSize(), windowSize);
        result.windows.push_back({w->offset, Bytes(w->getData(), w->getData() + windowSize)});
    }
    ChunkWindow::releaseList(list);
    return result;
}

// A candidate whose windows listed in 'differing' each hold one non-zero
// byte, at a different place in each window.
Bytes candidateDifferingIn(std::size_t chunkSize, unsigned windowSize,
                           const std::vector<unsigned>& differing) {
    Bytes candidate(chunkSize, 0);
    for (unsigned w : differing) candidate.at(w * windowSize + (w * 7) % windowSize) = 0x5A;
    return candidate;
}

TEST(ChunkSimilarity, IdenticalChunksGiveOneEmptyWindow) {
    Bytes chunk(4096, 0x11);
    Result r = compare(chunk, chunk, 512);
    ASSERT_TRUE(r.returned);
    EXPECT_TRUE(r.headEmpty);
    EXPECT_EQ(r.windows.size(), 1u);
}

TEST(ChunkSimilarity, ListsUpToSevenOf512WindowsIn4096) {
    const Bytes zeros(4096, 0);
    const std::vector<unsigned> order = {6, 1, 7, 3, 0, 5, 2, 4};
    for (std::size_t k = 1; k <= order.size(); ++k) {
        std::vector<unsigned> differing(order.begin(), order.begin() + k);
        Bytes candidate = candidateDifferingIn(4096, 512, differing);
        Result r = compare(zeros, candidate, 512);
        if (k == 8) {  // 8 x 520 = 4160 is not below 4096
            EXPECT_FALSE(r.returned);
            continue;
        }
        ASSERT_TRUE(r.returned) << k;  // k x 520 <= 3640
        ASSERT_EQ(r.windows.size(), k);
        std::sort(differing.begin(), differing.end());
        for (std::size_t i = 0; i < k; ++i) {
            // The head keeps index 0; later windows carry their own index.
            EXPECT_EQ(r.windows[i].offset, i == 0 ? 0u : differing[i]);
            const unsigned char* expected = candidate.data() + differing[i] * 512;
            EXPECT_EQ(r.windows[i].data, Bytes(expected, expected + 512)) << "whole window copied";
        }
    }
}

TEST(ChunkSimilarity, FirstDifferenceSitsInTheHeadWhateverItsIndex) {
    Bytes zeros(64, 0), candidate = candidateDifferingIn(64, 8, {5});
    Result r = compare(zeros, candidate, 8);
    ASSERT_EQ(r.windows.size(), 1u);
    EXPECT_FALSE(r.headEmpty);
    EXPECT_EQ(r.windows[0].offset, 0u);
    EXPECT_EQ(r.windows[0].data, Bytes(candidate.begin() + 40, candidate.begin() + 48));
}

TEST(ChunkSimilarity, EveryWindowDifferingGivesNoList) {
    Bytes zeros(256, 0), ones(256, 1);
    for (unsigned ws : {1u, 3u, 16u, 100u, 256u}) EXPECT_FALSE(compare(zeros, ones, ws).returned) << ws;
}

TEST(ChunkSimilarity, ShorterLastWindowIsComparedChargedAndCopiedAlone) {
    // 100 bytes in windows of 40: windows 0 and 1 whole, bytes 80..99 last.
    Bytes zeros(100, 0);
    Bytes tailOnly = candidateDifferingIn(100, 40, {});
    tailOnly[95] = 9;
    Result r = compare(zeros, tailOnly, 40);
    ASSERT_EQ(r.windows.size(), 1u);
    EXPECT_FALSE(r.headEmpty) << "a difference only in the tail is still a difference";
    Bytes expected(40, 0);
    expected[15] = 9;  // the tail's 20 bytes, then zeros
    EXPECT_EQ(r.windows[0].data, expected);

    Bytes twoWindows = tailOnly;
    twoWindows[3] = 1;  // 2 x 48 = 96 < 100: listed
    r = compare(zeros, twoWindows, 40);
    ASSERT_EQ(r.windows.size(), 2u);
    EXPECT_EQ(r.windows[1].offset, 2u);

    twoWindows[41] = 1;  // 3 x 48 = 144: the tail tips it over
    EXPECT_FALSE(compare(zeros, twoWindows, 40).returned);
}

TEST(ChunkSimilarity, DegenerateSizesGiveNoList) {
    Bytes zeros(16, 0), candidate(16, 0);
    candidate[3] = 1;
    EXPECT_FALSE(compare(zeros, candidate, 0).returned);
    EXPECT_FALSE(compare(Bytes(), Bytes(), 4).returned);  // 0 < 0 fails
}

TEST(ChunkWindow, WindowSizeIsClassWideAndFollowsTheLatestConstructor) {
    const unsigned char bytes[6] = {1, 2, 3, 4, 5, 6};
    ChunkWindow filled(6, 3, bytes);
    EXPECT_FALSE(filled.isEmpty());
    EXPECT_EQ(Bytes(filled.getData(), filled.getData() + 6), Bytes(bytes, bytes + 6));
    ChunkWindow blank(4, 0, nullptr);
    EXPECT_TRUE(blank.isEmpty());
    EXPECT_EQ(filled.getWindowSize(), 4u);
    EXPECT_EQ(filled.offset, 3u);
    EXPECT_EQ(filled.getNext(), nullptr);
}

TEST(ChunkSimilarity, CostTestDoesNotWrapIn32Bits) {
    // Windows of 2^31 bytes in a chunk of 2^32 - 1: two differing windows
    // cost 2^32 + 16, which 32-bit arithmetic would take for 16. The chunks
    // are untouched anonymous pages, so they cost address space only.
    const std::uint64_t chunkSize = 0xFFFFFFFFull;
    const unsigned windowSize = 1u << 31;
    auto map = [&] {
        void* p = mmap(nullptr, chunkSize, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        return p == MAP_FAILED ? nullptr : static_cast<unsigned char*>(p);
    };
    unsigned char* templ = map();
    unsigned char* candidate = map();
    if (!templ || !candidate) GTEST_SKIP() << "no address space for two 4 GiB mappings";
    candidate[0] = 1;
    candidate[windowSize] = 1;
    ChunkSimilarity cs;
    ChunkWindow* list = cs.getChunkSimilarity(templ, candidate, unsigned(chunkSize), windowSize);
    EXPECT_EQ(list, nullptr);
    ChunkWindow::releaseList(list);
    munmap(templ, chunkSize);
    munmap(candidate, chunkSize);
}

}  // namespace
