#include "ChunkCompressor.h"

#include <lz4.h>
#include <zstd.h>

#include <algorithm>
#include <new>
#include <vector>

namespace {

// Each thread keeps its zstd context and its output buffer from chunk to
// chunk, so compressing allocates only while chunks grow.
struct ThreadScratch {
    ZSTD_CCtx* zstd = nullptr;
    std::vector<char> output;
    ~ThreadScratch() { ZSTD_freeCCtx(zstd); }
};

ThreadScratch& scratch() {
    thread_local ThreadScratch mine;
    return mine;
}

}  // namespace

std::uint64_t ChunkCompressor::countedSize(const unsigned char* chunk, std::size_t size) const {
    return std::min<std::uint64_t>(compressedSize(chunk, size), size);
}

std::uint64_t ChunkCompressor::compressedSize(const unsigned char* chunk, std::size_t size) const {
    ThreadScratch& own = scratch();
    if (compression_.codec == Codec::lz4) {
        // Larger inputs are beyond the block format: such a chunk counts whole.
        if (size > static_cast<std::size_t>(LZ4_MAX_INPUT_SIZE)) return size;
        const int input = static_cast<int>(size);
        own.output.resize(static_cast<std::size_t>(LZ4_compressBound(input)));
        const int written = LZ4_compress_default(reinterpret_cast<const char*>(chunk), own.output.data(), input,
                                                 static_cast<int>(own.output.size()));
        if (written <= 0) throw std::bad_alloc();
        return static_cast<std::uint64_t>(written);
    }
    if (own.zstd == nullptr) {
        own.zstd = ZSTD_createCCtx();
        if (own.zstd == nullptr) throw std::bad_alloc();
    }
    own.output.resize(ZSTD_compressBound(size));
    // The one-shot frame writes the content size and no checksum.
    const std::size_t written =
        ZSTD_compressCCtx(own.zstd, own.output.data(), own.output.size(), chunk, size, compression_.level);
    if (ZSTD_isError(written)) throw std::bad_alloc();  // with room for the bound, only memory can fail
    return written;
}
