#include "sha1_batch.h"

#include <cstdint>
#include <cstring>

#include "sha1_compress.h"

namespace sha1_batch {

namespace {

// A message being compressed: its whole blocks not yet taken, then its tail.
struct Lane {
    std::size_t index;
    const unsigned char* next_block;
    std::size_t blocks_left;
    unsigned hash[5];
};

Lane startLane(const Message* messages, std::size_t index) {
    const Message& message = messages[index];
    return Lane{index, message.bytes, message.length / 64,
                {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u}};
}

// The bytes after the whole blocks, the 0x80 byte, zeros and the length in
// bits, big-endian: one block, or two when the tail leaves no room for it.
void finishLane(Lane& lane, const Message* messages) {
    const std::size_t length = messages[lane.index].length;
    const std::size_t tail = length % 64;
    unsigned char padded[128] = {};
    std::memcpy(padded, lane.next_block, tail);
    padded[tail] = 0x80;
    const std::size_t padded_blocks = tail < 56 ? 1 : 2;
    const std::uint64_t bits = static_cast<std::uint64_t>(length) * 8;
    for (int i = 0; i < 8; ++i)
        padded[padded_blocks * 64 - 1 - static_cast<std::size_t>(i)] = static_cast<unsigned char>(bits >> (8 * i));
    sha1_compress::current()(lane.hash, padded, padded_blocks);
    std::memcpy(messages[lane.index].digest, lane.hash, sizeof lane.hash);
}

}  // namespace

void digestAll(const Message* messages, std::size_t count) {
    const sha1_compress::Function one = sha1_compress::current();
    const sha1_compress::LanesFunction two = sha1_compress::current_two();
    const sha1_compress::LanesFunction four = sha1_compress::current_four();
    constexpr int kLanes = 4;
    Lane lanes[kLanes];
    bool busy[kLanes] = {};
    std::size_t started = 0;
    for (;;) {
        // A lane whose whole blocks are done is finished and takes the next
        // message; one without whole blocks is finished at once.
        for (int l = 0; l < kLanes; ++l) {
            while (!busy[l] && started < count) {
                lanes[l] = startLane(messages, started++);
                busy[l] = lanes[l].blocks_left > 0;
                if (!busy[l]) finishLane(lanes[l], messages);
            }
        }
        // Four lanes while there are messages for all; at the end, what is
        // left two at a time, then alone.
        Lane* together[kLanes];
        int width = 0;
        for (int l = 0; l < kLanes; ++l)
            if (busy[l]) together[width++] = &lanes[l];
        if (width == 0) break;
        width = width == 4 ? 4 : width >= 2 ? 2 : 1;
        std::size_t blocks = together[0]->blocks_left;
        unsigned* hashes[kLanes];
        const unsigned char* starts[kLanes];
        for (int i = 0; i < width; ++i) {
            if (together[i]->blocks_left < blocks) blocks = together[i]->blocks_left;
            hashes[i] = together[i]->hash;
            starts[i] = together[i]->next_block;
        }
        if (width == 4) {
            four(hashes, starts, blocks);
        } else if (width == 2) {
            two(hashes, starts, blocks);
        } else {
            one(hashes[0], starts[0], blocks);
        }
        for (int i = 0; i < width; ++i) {
            together[i]->next_block += blocks * 64;
            together[i]->blocks_left -= blocks;
        }
        for (int l = 0; l < kLanes; ++l) {
            if (busy[l] && lanes[l].blocks_left == 0) {
                finishLane(lanes[l], messages);
                busy[l] = false;
            }
        }
    }
}

}  // namespace sha1_batch
