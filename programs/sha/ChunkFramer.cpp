#include "ChunkFramer.h"

#include <algorithm>
#include <cstring>

ChunkFramer::ChunkFramer(std::int64_t beginOffset, std::int64_t chunkSize, unsigned char* candidateChunk,
                         ChunkSink& sink)
    : begin_offset(beginOffset), chunk_size(chunkSize), candidate_chunk(candidateChunk), sink(sink) {}

void ChunkFramer::feed(const unsigned char* bytes, std::size_t length) {
    std::int64_t remaining = std::int64_t(length);
    while (remaining > 0) {
        if (byte_offset < begin_offset) {
            std::int64_t skip = std::min(begin_offset - byte_offset, remaining);
            byte_offset += skip;
            bytes += skip;
            remaining -= skip;
            continue;
        }
        std::int64_t take;
        if (chunk_space_used == 0 && remaining >= chunk_size) {
            // A whole chunk inside the block is measured where it lies.
            take = chunk_size;
            completeChunk(bytes);
        } else {
            take = std::min(chunk_size - chunk_space_used, remaining);
            std::memcpy(candidate_chunk + chunk_space_used, bytes, std::size_t(take));
            chunk_space_used += take;
            byte_offset += take;
            if (chunk_space_used == chunk_size) completeChunk(candidate_chunk);
        }
        total_bytes += take;
        bytes += take;
        remaining -= take;
    }
}

void ChunkFramer::finish() {
    if (chunk_space_used == 0) return;
    num_padding_bytes = chunk_size - chunk_space_used;
    std::memset(candidate_chunk + chunk_space_used, 0, std::size_t(num_padding_bytes));
    completeChunk(candidate_chunk);
}

void ChunkFramer::completeChunk(const unsigned char* chunk) {
    if (chunk == candidate_chunk)
        candidate_chunk = sink.chunk(chunk, candidate_chunk);
    else
        sink.chunk(chunk, nullptr);
    chunk_space_used = 0;
    byte_offset = 0;
}
