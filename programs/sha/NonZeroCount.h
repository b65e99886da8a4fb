// Counting the non-zero bytes of a buffer: sha does this for every chunk, so
// it runs over every byte of the input. A portable path counts eight bytes
// at a time in one word; an AVX2 path, chosen at run time when the CPU has
// it, 32 at a time. Both give the same count; tests switch between them to
// prove it.
#ifndef DEDUP_SHA_NONZEROCOUNT_H
#define DEDUP_SHA_NONZEROCOUNT_H

#include <cstddef>

std::size_t countNonZeroBytes(const unsigned char* bytes, std::size_t length);

namespace non_zero_count {

using CountFunction = std::size_t (*)(const unsigned char* bytes, std::size_t length);

std::size_t count_portable(const unsigned char* bytes, std::size_t length);
// Call only when supported() says so.
std::size_t count_avx2(const unsigned char* bytes, std::size_t length);

enum class Path { portable, avx2 };

// True when the path was compiled in and this CPU can run it.
bool supported(Path path);
// The fastest supported path: what countNonZeroBytes uses unless a test chose.
Path fastest();
// Forces the path for the whole process (a test hook); an unsupported one
// keeps the portable path. Returns the path now in force.
Path use(Path path);

}  // namespace non_zero_count

#endif
