#include "AnchorFinder.h"

#include <algorithm>

#include "gear_roll.h"
#include "gear_table.h"

namespace {

// fastcdc's masks: nmb + 2 bits below the average size, nmb - 2 from there,
// within 0 to 64 bits.
unsigned strictBits(const ChunkingParameters& params) { return std::min(params.num_comp_bits + 2, 64u); }
unsigned looseBits(const ChunkingParameters& params) {
    if (params.chunker != Chunker::fastcdc) return params.num_comp_bits;
    return params.num_comp_bits >= 2 ? params.num_comp_bits - 2 : 0;
}

}  // namespace

AnchorFinder::AnchorFinder(const ChunkingParameters& params, std::FILE* out, std::FILE* err)
    : chunker_(params.chunker) {
    if (chunker_ == Chunker::rabin) {
        rabin_.reset(new Rabin(static_cast<unsigned short>(params.num_comp_bits),
                               static_cast<unsigned short>(params.window_size), out, err));
        return;
    }
    gear::table();  // built now, inside the timed work as the fingerprint's table is
    loose_mask_ = gear::topBitsMask(looseBits(params));
    strict_mask_ = gear::topBitsMask(strictBits(params));
}

void AnchorFinder::find(ChunkBlock& block) const {
    if (block.entry != ChunkBlock::Entry::file) return;
    switch (chunker_) {
        case Chunker::rabin:
            findRolling(block);
            return;
        case Chunker::gear:
        case Chunker::fastcdc:
            findGear(block);
            return;
        case Chunker::fixed:
            block.roll_from = 0;  // no anchors: every chunk ends at its size
            return;
    }
}

void AnchorFinder::findRolling(ChunkBlock& block) const {
    const Rabin& rabin = *rabin_;
    const std::size_t window = rabin.windowSize();
    if (block.file_offset == 0) {
        // The priming window loads the fingerprint; the positions after it roll.
        block.roll_from = std::min(window, block.size);
        if (block.size <= window) return;
        const std::uint32_t first = rabin.fingerprintOfWindow(block.data(), 0, block.began_with_zero);
        rabin.rollStretch(first, block.data(), block.size - window, block.anchor_bits);
        return;
    }
    block.roll_from = 0;
    if (block.size == 0) return;  // its window before may not even have been read
    const unsigned char* before = block.data() - window;
    const std::uint32_t fingerprint =
        rabin.fingerprintOfWindow(before, block.file_offset - window, block.began_with_zero);
    rabin.rollStretch(fingerprint, before, block.size, block.anchor_bits);
}

// Every position of the block is hashed as part of the file's stream (the
// 64 bytes before the block give the hash its start); where a chunk's own
// restarted hash differs, within 64 bytes of its start, the boundaries are
// chosen from that one instead.
void AnchorFinder::findGear(ChunkBlock& block) const {
    block.roll_from = 0;
    if (block.size == 0) return;
    const bool strict = chunker_ == Chunker::fastcdc;
    if (strict) block.strict_anchor_bits.resize(block.anchorWords());
    const gear_roll::Stretch stretch{block.data(), block.file_offset == 0 ? 0 : std::size_t{64}, block.size};
    const gear_roll::AnchorMasks masks{loose_mask_, strict_mask_, block.anchor_bits,
                                       strict ? block.strict_anchor_bits.data() : nullptr};
    gear_roll::current()(gear::table(), stretch, masks);
}
