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
    const sha1_compress::TwoFunction two = sha1_compress::current_two();
    std::size_t started = 0;
    // Two lanes while there are messages for both; a lane whose whole
    // blocks are done is finished and takes the next message.
    Lane lanes[2];
    bool busy[2] = {false, false};
    for (;;) {
        for (int l = 0; l < 2; ++l) {
            while (!busy[l] && started < count) {
                lanes[l] = startLane(messages, started++);
                if (lanes[l].blocks_left > 0) {
                    busy[l] = true;
                } else {
                    finishLane(lanes[l], messages);
                }
            }
        }
        if (!busy[0] || !busy[1]) break;
        const std::size_t blocks = lanes[0].blocks_left < lanes[1].blocks_left ? lanes[0].blocks_left
                                                                               : lanes[1].blocks_left;
        two(lanes[0].hash, lanes[0].next_block, lanes[1].hash, lanes[1].next_block, blocks);
        for (Lane& lane : lanes) {
            lane.next_block += blocks * 64;
            lane.blocks_left -= blocks;
        }
        for (int l = 0; l < 2; ++l) {
            if (lanes[l].blocks_left == 0) {
                finishLane(lanes[l], messages);
                busy[l] = false;
            }
        }
    }
    // At most one message is left, alone.
    for (int l = 0; l < 2; ++l) {
        if (!busy[l]) continue;
        one(lanes[l].hash, lanes[l].next_block, lanes[l].blocks_left);
        lanes[l].next_block += lanes[l].blocks_left * 64;
        finishLane(lanes[l], messages);
    }
}

}  // namespace sha1_batch
