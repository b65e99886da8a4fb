// Cuts a byte stream into fixed-size chunks: after every completed chunk
// (and at the start) the first beginOffset bytes are skipped, then
// chunkSize bytes make the next chunk. A partial last chunk is padded with
// zeros. Bytes may arrive in blocks of any size; the chunks are the same
// as if they came one at a time.
#ifndef DEDUP_SHA_CHUNKFRAMER_H
#define DEDUP_SHA_CHUNKFRAMER_H

#include <cstddef>
#include <cstdint>

// Where the complete chunks go, in order.
class ChunkSink {
public:
    virtual ~ChunkSink() = default;
    // A chunk of chunkSize bytes. A chunk that straddles blocks is assembled
    // in the framer's candidate buffer, then passed as candidate too (else
    // candidate is null): the sink returns the buffer to assemble the next
    // chunk in, the same or, when it keeps this one, another of chunkSize
    // bytes.
    virtual unsigned char* chunk(const unsigned char* bytes, unsigned char* candidate) = 0;
};

class ChunkFramer {
public:
    // candidateChunk: chunkSize bytes where chunks that straddle blocks are
    // assembled. A negative beginOffset skips nothing.
    ChunkFramer(std::int64_t beginOffset, std::int64_t chunkSize, unsigned char* candidateChunk, ChunkSink& sink);

    void feed(const unsigned char* bytes, std::size_t length);
    // At the end of the input: pads and measures a pending partial chunk.
    void finish();

    std::int64_t totalBytes() const { return total_bytes; }
    std::int64_t paddingBytes() const { return num_padding_bytes; }

private:
    void completeChunk(const unsigned char* chunk);

    const std::int64_t begin_offset;
    const std::int64_t chunk_size;
    unsigned char* candidate_chunk;
    ChunkSink& sink;

    std::int64_t byte_offset = 0;  // bytes taken since the last completed chunk
    std::int64_t chunk_space_used = 0;
    std::int64_t total_bytes = 0;
    std::int64_t num_padding_bytes = 0;
};

#endif
