// SHA-1 digests of many messages, each whole in memory, computed four at a
// time: the compression of one message waits on each of its rounds, and the
// other messages' rounds fill that time. The digests are those the SHA1
// engine gives for the same bytes.
#ifndef DEDUP_COMMON_SHA1_BATCH_H
#define DEDUP_COMMON_SHA1_BATCH_H

#include <cstddef>

namespace sha1_batch {

struct Message {
    const unsigned char* bytes;
    std::size_t length;
    unsigned* digest;  // gets H0..H4
};

void digestAll(const Message* messages, std::size_t count);

}  // namespace sha1_batch

#endif
