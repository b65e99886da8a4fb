#include "ChunkStages.h"

#include <algorithm>

void readPlannedBlock(ChunkBlock& block, std::size_t window_size) {
    if (block.source == nullptr) return;
    const std::size_t context = block.file_offset == 0 ? 0 : window_size;
    int error = 0;
    const std::size_t got =
        block.source->readAt(block.data() - context, context + block.want, block.file_offset - context, error);
    block.size = got > context ? got - context : 0;
    block.error = error;
    block.short_read = block.size < block.want;
    block.source.reset();
}

void findAnchors(const Rabin& rabin, ChunkBlock& block) {
    const std::size_t window = rabin.windowSize();
    if (block.entry != ChunkBlock::Entry::file) return;
    if (block.file_offset == 0) {
        // The priming window loads the fingerprint; the positions after it roll.
        block.roll_from = std::min(window, block.size);
        if (block.size <= window) return;
        const std::uint32_t first = rabin.fingerprintOfWindow(block.data(), 0, block.began_with_zero);
        rabin.rollStretch(first, block.data(), block.size - window, block.anchor_bits.data());
        return;
    }
    block.roll_from = 0;
    if (block.size == 0) return;  // its window before may not even have been read
    const unsigned char* before = block.data() - window;
    const std::uint32_t fingerprint =
        rabin.fingerprintOfWindow(before, block.file_offset - window, block.began_with_zero);
    rabin.rollStretch(fingerprint, before, block.size, block.anchor_bits.data());
}

namespace {

// The first position in [from, end) whose bit is set, or end.
std::size_t firstAnchor(const std::uint64_t* anchor_bits, std::size_t from, std::size_t end) {
    while (from < end) {
        const std::uint64_t bits = anchor_bits[from / 64] >> (from % 64);
        if (bits != 0) return std::min(end, from + static_cast<std::size_t>(__builtin_ctzll(bits)));
        from = (from / 64 + 1) * 64;
    }
    return end;
}

}  // namespace

void BoundaryChooser::choose(ChunkBlock& block) {
    block.closings.clear();
    if (block.entry != ChunkBlock::Entry::file) return;
    if (block.file_offset == 0) {
        // The priming bytes start the first chunk; a file shorter than the
        // window gives no chunk at all.
        chunk_size_ = block.roll_from;
        chunking_ = block.size >= params_.window_size;
    }
    const std::uint64_t min_chunk_size = params_.min_chunk_size;
    const std::uint64_t max_chunk_size = params_.max_chunk_size;
    const std::size_t count = block.size - block.roll_from;
    std::size_t next = 0;  // the next rolled position to decide
    while (next < count) {
        // Counting the byte at a position, the chunk reaches the maximum
        // (a forced close) and the minimum (anchors count from there) at:
        const std::uint64_t to_max = chunk_size_ < max_chunk_size ? max_chunk_size - chunk_size_ : 1;
        const std::uint64_t to_min = chunk_size_ < min_chunk_size ? min_chunk_size - chunk_size_ : 1;
        const std::size_t left = count - next;
        const std::size_t forced = to_max <= left ? next + to_max - 1 : count;
        std::size_t close = forced;
        if (to_min <= left) close = firstAnchor(block.anchor_bits.data(), next + to_min - 1, forced);
        if (close >= count) {
            chunk_size_ += left;
            break;
        }
        chunk_size_ += close + 1 - next;
        block.closings.push_back({static_cast<std::uint32_t>(block.roll_from + close + 1), chunk_size_});
        chunk_size_ = 0;
        next = close + 1;
    }
    // A file read to its end closes its last chunk there.
    if (block.entry_end && block.error == 0 && chunking_ && chunk_size_ > 0) {
        block.closings.push_back({static_cast<std::uint32_t>(block.size), chunk_size_});
        chunk_size_ = 0;
    }
}

void digestChunks(ChunkBlock& block, const ChunkBlock* previous, const CarryHandoff& handoff) {
    const unsigned char* data = block.data();
    const std::size_t closings = block.closings.size();
    block.digests.resize(closings);
    // The chunk open at the start of the block: a new one at a file's start.
    auto continued = [&]() {
        if (previous == nullptr) return SHA1();
        handoff.wait(*previous);
        return previous->carry;
    };
    if (closings == 0) {
        SHA1 open = continued();
        open.Input(data, static_cast<unsigned>(block.size));
        block.carry = open;
        block.carry_ready = true;
        handoff.ready();
        return;
    }
    // First what needs no earlier block: the chunk left open at the end, so
    // that the next block can go on, then the chunks inside the block.
    const std::uint32_t last_end = block.closings[closings - 1].end;
    block.carry.Reset();
    block.carry.Input(data + last_end, static_cast<unsigned>(block.size - last_end));
    block.carry_ready = true;
    handoff.ready();
    for (std::size_t i = 1; i < closings; ++i) {
        SHA1 chunk;
        const std::uint32_t begin = block.closings[i - 1].end;
        chunk.Input(data + begin, block.closings[i].end - begin);
        block.digests[i].computed = chunk.Result(block.digests[i].words);
    }
    SHA1 first = continued();
    first.Input(data, block.closings[0].end);
    block.digests[0].computed = first.Result(block.digests[0].words);
}
