// The SHA-1 compression function and the run-time choice of its code path
// (internal to the engine).
//
// The engine compresses one message, or two or four side by side, with the x86 SHA extensions when they were compiled
// in and the CPU has them, and with portable C++ otherwise. Both give
// identical results; tests force each path to prove it.
#ifndef DEDUP_COMMON_SHA1_COMPRESS_H
#define DEDUP_COMMON_SHA1_COMPRESS_H

#include <cstddef>

namespace sha1_compress {

// Compresses block_count consecutive 64-byte blocks into hash[0..4].
using Function = void (*)(unsigned* hash, const unsigned char* blocks, std::size_t block_count);

void compress_portable(unsigned* hash, const unsigned char* blocks, std::size_t block_count);
// Call only when supported(Path::sha_extensions).
void compress_with_sha_extensions(unsigned* hash, const unsigned char* blocks, std::size_t block_count);

// Compresses block_count blocks of each of two (or four) messages, each into
// its own hash: as a Function called for each, but one message's rounds run
// while the others' wait on theirs. hashes[i] and blocks[i] are message i's.
using LanesFunction = void (*)(unsigned* const* hashes, const unsigned char* const* blocks, std::size_t block_count);

void compress_two_portable(unsigned* const* hashes, const unsigned char* const* blocks, std::size_t block_count);
void compress_four_portable(unsigned* const* hashes, const unsigned char* const* blocks, std::size_t block_count);
// Call only when supported(Path::sha_extensions).
void compress_two_with_sha_extensions(unsigned* const* hashes, const unsigned char* const* blocks,
                                      std::size_t block_count);
void compress_four_with_sha_extensions(unsigned* const* hashes, const unsigned char* const* blocks,
                                       std::size_t block_count);

enum class Path { portable, sha_extensions };

// True when the path was compiled in and this CPU can run it.
bool supported(Path path);
// The fastest supported path: what every engine uses unless a test chose.
Path fastest();
// Forces the path for every engine of the process (a test hook); an
// unsupported one keeps the portable path. Returns the path now in force.
Path use(Path path);
// The compressions of the path in force.
Function current();
LanesFunction current_two();
LanesFunction current_four();

}  // namespace sha1_compress

#endif
