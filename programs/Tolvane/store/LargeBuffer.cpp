#include "LargeBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// From this size on a buffer is mapped on its own.
constexpr std::size_t kMapped = std::size_t{2} << 20;

std::size_t mappedLength(std::size_t bytes) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

}  // namespace

void* allocateLargeBuffer(std::size_t bytes) {
    if (bytes < kMapped) {
        void* buffer = std::calloc(bytes == 0 ? 1 : bytes, 1);
        if (buffer == nullptr) throw std::bad_alloc();
        return buffer;
    }
    void* buffer = mmap(nullptr, mappedLength(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (buffer == MAP_FAILED) throw std::bad_alloc();
    return buffer;
}

void* resizeLargeBuffer(void* buffer, std::size_t old_bytes, std::size_t new_bytes) {
    if (buffer != nullptr && old_bytes >= kMapped) {
        void* moved = mremap(buffer, mappedLength(old_bytes), mappedLength(new_bytes), MREMAP_MAYMOVE);
        if (moved == MAP_FAILED) throw std::bad_alloc();
        return moved;
    }
    void* larger = allocateLargeBuffer(new_bytes);
    if (buffer != nullptr) std::memcpy(larger, buffer, old_bytes);
    releaseLargeBuffer(buffer, old_bytes);
    return larger;
}

void releaseLargeBuffer(void* buffer, std::size_t bytes) {
    if (buffer == nullptr) return;
    if (bytes < kMapped)
        std::free(buffer);
    else
        munmap(buffer, mappedLength(bytes));
}
