// Counting the non-zero bytes of a buffer, eight bytes at a time: sha does
// this for every chunk, so it runs over every byte of the input.
#ifndef DEDUP_SHA_NONZEROCOUNT_H
#define DEDUP_SHA_NONZEROCOUNT_H

#include <cstddef>

std::size_t countNonZeroBytes(const unsigned char* bytes, std::size_t length);

#endif
