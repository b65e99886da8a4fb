// Zeroed memory for large buffers: the store's tables and log, and the
// blocks the tools read into. Buffers of 1 MiB and more are mapped on their
// own, on a huge page's boundary, and offered to the kernel for huge pages:
// a fresh page costs a fault, on some virtual machines several microseconds,
// so a buffer faulted in 2 MiB at a time costs a few hundred times fewer; and
// a table read at random then seldom misses the address translation. A
// mapped buffer under 2 MiB takes a whole huge page; a larger one, whole
// small pages after its huge ones. A mapped buffer grows where it lies
// (remapped larger, its pages kept, with no copy and no second buffer beside
// it) or is moved without a copy.
#ifndef DEDUP_COMMON_LARGEBUFFER_H
#define DEDUP_COMMON_LARGEBUFFER_H

#include <cstddef>
#include <memory>

// The huge page these buffers are mapped on, and whose multiples their
// owners choose as sizes.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// bytes of zeroed memory; throws std::bad_alloc when there is none.
void* allocateLargeBuffer(std::size_t bytes);
// The buffer made new_bytes long (larger): what it held is kept, the rest is
// zero. Mapped buffers are remapped, not copied, and keep their pages.
void* resizeLargeBuffer(void* buffer, std::size_t old_bytes, std::size_t new_bytes);
// Gives back a buffer of allocateLargeBuffer(bytes).
void releaseLargeBuffer(void* buffer, std::size_t bytes);

// Owns a buffer of allocateLargeBuffer(bytes) and gives it back.
struct LargeBufferRelease {
    std::size_t bytes = 0;
    void operator()(unsigned char* buffer) const { releaseLargeBuffer(buffer, bytes); }
};
using LargeBufferPtr = std::unique_ptr<unsigned char[], LargeBufferRelease>;

inline LargeBufferPtr makeLargeBuffer(std::size_t bytes) {
    return LargeBufferPtr(static_cast<unsigned char*>(allocateLargeBuffer(bytes)), LargeBufferRelease{bytes});
}

#endif
