// Choice of the SHA-1 compression function (internal to the engine).
//
// The engine compresses with the x86 SHA extensions when they were compiled
// in and the CPU has them, and with its portable C++ compression otherwise.
// Both give identical results; tests switch between them to prove it.
#ifndef DEDUP_COMMON_SHA1_COMPRESS_H
#define DEDUP_COMMON_SHA1_COMPRESS_H

#include <cstddef>

namespace sha1_compress {

// True when the fast path was compiled in and this CPU can run it (SHA and
// SSE4.1 feature bits).
bool sha_extensions_supported();

// The choice in force: starts as sha_extensions_supported().
bool sha_extensions_enabled();

// Chooses the compression for every engine of the process. Asking for the SHA
// extensions where they are not supported keeps the portable one; returns
// the choice now in force.
bool enable_sha_extensions(bool enable);

// Compresses block_count consecutive 64-byte blocks into hash[0..4] with the
// SHA extensions. Call only when sha_extensions_supported().
void compress_with_sha_extensions(unsigned* hash, const unsigned char* blocks,
                                  std::size_t block_count);

}  // namespace sha1_compress

#endif
