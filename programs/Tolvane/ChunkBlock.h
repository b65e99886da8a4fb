// One stretch of Tolvane's input on its way through the chunking stages:
// read (in list order), anchors found (on any thread), chunk boundaries
// chosen (in order), chunks digested (on any thread), chunks recorded (in
// order). A list entry that names no readable file still passes as a block,
// so that its message comes in its place.
#ifndef DEDUP_TOLVANE_CHUNKBLOCK_H
#define DEDUP_TOLVANE_CHUNKBLOCK_H

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "InputFile.h"
#include "LargeBuffer.h"
#include "sha1.h"

struct ChunkDigest {
    unsigned words[5];
    bool computed;  // false when the engine refused to give a digest
    std::uint64_t compressed_size;  // with compression: the bytes the chunk is counted at
};

// A chunk that ends in the block.
struct ChunkClosing {
    std::uint32_t end;   // the block position after its last byte
    std::uint64_t size;  // its bytes, in this block and before it
};

// The first position in [from, end) whose bit is set in bits (64 a word), or end.
inline std::size_t firstSetBit(const std::uint64_t* bits, std::size_t from, std::size_t end) {
    while (from < end) {
        const std::uint64_t word = bits[from / 64] >> (from % 64);
        if (word != 0) return std::min(end, from + static_cast<std::size_t>(__builtin_ctzll(word)));
        from = (from / 64 + 1) * 64;
    }
    return end;
}

struct ChunkBlock {
    enum class Entry {
        file,         // a file that opened
        nul_byte,     // an entry with a NUL byte, which names no file
        open_failed,  // a file that could not be opened
        output,       // a file the run writes (the trace): it is not read
        list_end,     // not an entry: the list has ended
    };

    // Capacity: window_size bytes of context, then data_capacity bytes;
    // allocated by reset(), when the block is first filled, so that a short
    // run needs few blocks whatever the threads.
    ChunkBlock(std::size_t window_size, std::size_t data_capacity)
        : window_size(window_size), data_capacity(data_capacity) {}

    unsigned char* data() { return buffer.get() + anchorBytes() + window_size; }
    const unsigned char* data() const { return buffer.get() + anchorBytes() + window_size; }

    // Set when the block is read (or planned: see source).
    std::uint64_t file_serial = 0;  // which list entry it belongs to
    Entry entry = Entry::file;
    bool entry_start = false;  // the first block of a list entry
    bool entry_end = false;    // the last block of a list entry
    std::string path;          // of the entry, on its first block
    std::uint64_t entry_number = 0;
    int error = 0;  // the errno of a failed open, or of the read error that ended the file
    bool list_failed = false;  // with list_end: the list could not be read to its end
    bool began_with_zero = false;  // the file's first byte is 0
    long long file_size = -1;      // when it is a regular file
    std::uint64_t file_offset = 0;  // of data()[0]
    std::size_t size = 0;           // data bytes; window_size context bytes precede them after a file's first block

    // A block of a regular file may be read where its anchors are found, on
    // any thread: source is then the file, want the data bytes to read, and
    // the reading sets size, error and short_read (fewer bytes than wanted:
    // the file ends in this block, sooner than its size said, or a read error).
    std::shared_ptr<const InputFile> source;
    std::size_t want = 0;
    bool short_read = false;
    // A block planned past the point where its file turned out to end: it is
    // neither chunked nor recorded.
    bool past_end = false;

    // Set when the anchors are found: bit i is the position roll_from + i.
    // The bits lie in the block's buffer, before the data.
    std::size_t roll_from = 0;
    std::uint64_t* anchor_bits = nullptr;
    std::vector<std::uint64_t> strict_anchor_bits;  // fastcdc's second set, below the average size
    // Words of anchor bits: one bit a byte of data, and two words more.
    std::size_t anchorWords() const { return data_capacity / 64 + 2; }

    // Set with the anchors: the closings if a chunk of min_chunk_size bytes
    // were open at the block's start, and the bytes open at its end then.
    std::vector<ChunkClosing> guessed;
    std::uint64_t guessed_open = 0;

    // Set when the boundaries are chosen, in order.
    std::vector<ChunkClosing> closings;

    // Set when the chunks are digested: one digest per closing, and the state
    // of the chunk still open at the end of the block.
    std::vector<ChunkDigest> digests;
    SHA1 carry;
    // With compression, the bytes of the chunk still open; the next block's
    // digesting takes them over (moves them out) once carry_ready is set.
    mutable std::vector<unsigned char> open_chunk;

    // The block before it in the same file, whose open chunk this one
    // continues; null for a file's first block. Set with the boundaries.
    const ChunkBlock* previous = nullptr;
    // The open chunk's state in carry may be read: digested, or abandoned
    // after a failure (no block after it is recorded then).
    std::atomic<bool> carry_ready{false};

    // Ready to be filled again: nothing of a former stretch is left that the
    // stages could take for this one's.
    void reset();

    // The most data a block holds in a buffer of `bytes`, its anchor bits and
    // window_size bytes of context included: with bytes whole huge pages,
    // the block needs no small page, each a fault of its own.
    static std::size_t dataFitting(std::size_t bytes, std::size_t window_size);

    // Resets the block and fills it as reading a file would, from a file
    // held in memory: `count` bytes from `offset`, with the window_size bytes
    // before them unless offset is 0 (the timers and tests chunk this way).
    void fillFromMemory(const unsigned char* file, std::size_t file_size, std::size_t offset, std::size_t count);

private:
    std::size_t anchorBytes() const { return anchorWords() * sizeof(std::uint64_t); }

    // The anchor bits, window_size bytes of context, the data: a large
    // buffer, on huge pages, as the blocks are reused all run long.
    LargeBufferPtr buffer;
    std::size_t window_size;
    std::size_t data_capacity;
};

#endif
