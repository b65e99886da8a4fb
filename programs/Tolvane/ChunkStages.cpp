#include "ChunkStages.h"

#include <algorithm>

#include "sha1_batch.h"

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

void findAnchors(const AnchorFinder& finder, ChunkBlock& block) { finder.find(block); }

namespace {

std::uint64_t largestChunk(const ChunkingParameters& params) {
    return params.chunker == Chunker::fixed ? std::uint64_t{1} << params.num_comp_bits : params.max_chunk_size;
}

}  // namespace

BoundaryChooser::BoundaryChooser(const ChunkingParameters& params, const AnchorFinder& finder,
                                 GearAnchors gear_anchors)
    : params_(params), max_chunk_size_(largestChunk(params)) {
    if (params.chunker == Chunker::gear || params.chunker == Chunker::fastcdc)
        gear_.reset(new GearBoundaries(params, finder.looseMask(), finder.strictMask(),
                                       gear_anchors == GearAnchors::hashed_in_order));
}

void BoundaryChooser::prepare(const AnchorFinder& finder, ChunkBlock& block) const {
    if (gear_ != nullptr && gear_->hashesBytes()) {
        block.roll_from = 0;  // every position of the block is a chunk's byte
        block.guessed.clear();
        block.guessed_open = 0;
        return;
    }
    findAnchors(finder, block);
    guess(block);
}

std::size_t BoundaryChooser::firstAnchor(const ChunkBlock& block, std::size_t next, std::size_t end,
                                         std::uint64_t chunk_size) const {
    if (gear_ != nullptr) return gear_->firstAnchor(block, next, end, chunk_size);
    if (params_.chunker == Chunker::fixed) return end;
    // The rolling fingerprint's anchors count from the minimum on.
    const std::uint64_t min_chunk_size = params_.min_chunk_size;
    const std::uint64_t to_min = chunk_size < min_chunk_size ? min_chunk_size - chunk_size : 1;
    if (to_min > end - next) return end;
    return firstSetBit(block.anchor_bits, next + to_min - 1, end);
}

bool BoundaryChooser::close(const ChunkBlock& block, std::uint64_t& open, std::vector<ChunkClosing>& closings,
                            const std::vector<ChunkClosing>* guessed) const {
    const std::uint64_t max_chunk_size = max_chunk_size_;
    const std::size_t count = block.size - block.roll_from;
    std::size_t next = 0;          // the next rolled position to decide
    std::size_t guessed_next = 0;  // the first guessed closing not before the last closing found
    while (next < count) {
        // Counting the byte at a position, the chunk reaches the maximum (a
        // forced close) at:
        const std::uint64_t to_max = open < max_chunk_size ? max_chunk_size - open : 1;
        const std::size_t left = count - next;
        const std::size_t forced = to_max <= left ? next + to_max - 1 : count;
        const std::size_t at = firstAnchor(block, next, forced, open);
        if (at >= count) {
            open += left;
            break;
        }
        open += at + 1 - next;
        const auto end = static_cast<std::uint32_t>(block.roll_from + at + 1);
        closings.push_back({end, open});
        open = 0;
        next = at + 1;
        if (guessed != nullptr) {
            while (guessed_next < guessed->size() && (*guessed)[guessed_next].end < end) ++guessed_next;
            if (guessed_next < guessed->size() && (*guessed)[guessed_next].end == end) return true;
        }
    }
    return false;
}

void BoundaryChooser::guess(ChunkBlock& block) const {
    block.guessed.clear();
    block.guessed_open = 0;
    if (block.entry != ChunkBlock::Entry::file) return;
    // A file's first block starts as choose starts it; fixed chunks close
    // at multiples of their size, so their open chunk is known too.
    std::uint64_t open = params_.min_chunk_size;
    if (block.file_offset == 0)
        open = block.roll_from;
    else if (params_.chunker == Chunker::fixed)
        open = block.file_offset % max_chunk_size_;
    close(block, open, block.guessed, nullptr);
    block.guessed_open = open;
}

void BoundaryChooser::choose(ChunkBlock& block) {
    block.closings.clear();
    if (block.entry != ChunkBlock::Entry::file) return;
    if (block.file_offset == 0) {
        // For rabin the priming bytes start the first chunk, and a file
        // shorter than the window gives no chunk at all.
        chunk_size_ = block.roll_from;
        chunking_ = params_.chunker != Chunker::rabin || block.size >= params_.window_size;
    }
    if (close(block, chunk_size_, block.closings, &block.guessed)) {
        // They met at the last closing found: the guess's closings after it
        // are the block's.
        const std::uint32_t met = block.closings.back().end;
        const auto after = std::upper_bound(
            block.guessed.begin(), block.guessed.end(), met,
            [](std::uint32_t end, const ChunkClosing& closing) { return end < closing.end; });
        block.closings.insert(block.closings.end(), after, block.guessed.end());
        chunk_size_ = block.guessed_open;
    }
    // A file read to its end closes its last chunk there.
    if (block.entry_end && block.error == 0 && chunking_ && chunk_size_ > 0) {
        block.closings.push_back({static_cast<std::uint32_t>(block.size), chunk_size_});
        chunk_size_ = 0;
    }
}

namespace {

// The compressed size of a chunk whose first bytes were gathered in
// gathered (empty when it begins in this block) and whose rest is bytes.
std::uint64_t compressedChunk(const ChunkCompressor& compressor, std::vector<unsigned char>& gathered,
                              const unsigned char* bytes, std::size_t count) {
    if (gathered.empty()) return compressor.countedSize(bytes, count);
    gathered.insert(gathered.end(), bytes, bytes + count);
    return compressor.countedSize(gathered.data(), gathered.size());
}

}  // namespace

void digestChunks(ChunkBlock& block, const ChunkBlock* previous, const CarryHandoff& handoff,
                  const ChunkCompressor* compressor) {
    const unsigned char* data = block.data();
    const std::size_t closings = block.closings.size();
    block.digests.resize(closings);
    // The chunk open at the start of the block: a new one at a file's start.
    std::vector<unsigned char> gathered;  // its bytes from earlier blocks, with compression
    auto continued = [&]() {
        if (previous == nullptr) return SHA1();
        handoff.wait(*previous);
        if (compressor != nullptr) gathered.swap(previous->open_chunk);
        return previous->carry;
    };
    if (closings == 0) {
        SHA1 open = continued();
        open.Input(data, static_cast<unsigned>(block.size));
        block.carry = open;
        if (compressor != nullptr) {
            gathered.insert(gathered.end(), data, data + block.size);
            block.open_chunk.swap(gathered);
        }
        block.carry_ready = true;
        handoff.ready();
        return;
    }
    // First what needs no earlier block: the chunk left open at the end, so
    // that the next block can go on, then the chunks inside the block.
    const std::uint32_t last_end = block.closings[closings - 1].end;
    block.carry.Reset();
    block.carry.Input(data + last_end, static_cast<unsigned>(block.size - last_end));
    if (compressor != nullptr) block.open_chunk.assign(data + last_end, data + block.size);
    block.carry_ready = true;
    handoff.ready();
    // The chunks whole in the block, digested together.
    std::vector<sha1_batch::Message> inside;
    inside.reserve(closings - 1);
    for (std::size_t i = 1; i < closings; ++i) {
        const std::uint32_t begin = block.closings[i - 1].end;
        inside.push_back({data + begin, block.closings[i].end - begin, block.digests[i].words});
        block.digests[i].computed = true;
    }
    sha1_batch::digestAll(inside.data(), inside.size());
    for (std::size_t i = 1; i < closings; ++i) {
        const std::uint32_t begin = block.closings[i - 1].end;
        block.digests[i].compressed_size = compressor != nullptr && compressor->wants(block.digests[i].words)
                                               ? compressor->countedSize(data + begin, block.closings[i].end - begin)
                                               : 0;
    }
    SHA1 first = continued();
    first.Input(data, block.closings[0].end);
    block.digests[0].computed = first.Result(block.digests[0].words);
    block.digests[0].compressed_size = compressor != nullptr && compressor->wants(block.digests[0].words)
                                           ? compressedChunk(*compressor, gathered, data, block.closings[0].end)
                                           : 0;
}
