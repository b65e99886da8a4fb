#include "ChunkSimilarity.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

ChunkWindow* ChunkSimilarity::getChunkSimilarity(const unsigned char* templateChunk,
                                                 const unsigned char* candidateChunk,
                                                 unsigned chunkSize, unsigned windowSize) {
    // The head exists whatever the outcome, so the class-wide window size
    // always follows the latest call.
    ChunkWindow* headCW = new ChunkWindow(windowSize, 0, nullptr);
    if (windowSize == 0) {
        delete headCW;
        return nullptr;
    }

    // 64-bit so that large windows times many differences cannot wrap.
    const std::uint64_t costPerWindow = std::uint64_t(windowSize) + 8;
    auto windowLength = [&](std::uint64_t start) {
        return unsigned(std::min<std::uint64_t>(windowSize, chunkSize - start));
    };

    // First pass counts the differing windows and gives up as soon as the
    // list can no longer be cheaper than the chunk, so chunks that differ
    // everywhere cost neither allocations nor a full scan.
    std::uint64_t counter = 0;
    for (std::uint64_t start = 0; start < chunkSize; start += windowSize) {
        unsigned length = windowLength(start);
        if (equals(templateChunk + start, candidateChunk + start, length)) continue;
        ++counter;
        if (costPerWindow * counter >= chunkSize) break;
    }
    if (costPerWindow * counter >= chunkSize) {
        delete headCW;
        return nullptr;
    }

    // Second pass, only for a list that is kept: copy the differing windows
    // in window order, the first into the head.
    ChunkWindow* lastCW = headCW;
    bool headFilled = false;
    unsigned index = 0;
    for (std::uint64_t start = 0; start < chunkSize && counter > 0; start += windowSize, ++index) {
        unsigned length = windowLength(start);
        const unsigned char* cWin = candidateChunk + start;
        if (equals(templateChunk + start, cWin, length)) continue;
        if (!headFilled) {
            headCW->setData(cWin, length);
            headFilled = true;
        } else {
            ChunkWindow* addCW = new ChunkWindow(windowSize, index, nullptr);
            addCW->setData(cWin, length);
            lastCW->next = addCW;
            lastCW = addCW;
        }
        --counter;
    }
    return headCW;
}

bool ChunkSimilarity::equals(const unsigned char* dataA, const unsigned char* dataB,
                             unsigned numBytes) const {
    return numBytes == 0 || std::memcmp(dataA, dataB, numBytes) == 0;
}
