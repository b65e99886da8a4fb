#include "LargeBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <new>

namespace {

// From this size on a buffer is mapped on its own.
constexpr std::size_t kMapped = std::size_t{1} << 20;

// Under 2 MiB a whole huge page, else whole small pages.
std::size_t mappedLength(std::size_t bytes) {
    if (bytes < kHugePage) return kHugePage;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

// A hint only: without huge pages everything works the same.
void offerHugePages(void* buffer, std::size_t length) {
#ifdef MADV_HUGEPAGE
    madvise(buffer, length, MADV_HUGEPAGE);
#else
    (void)buffer;
    (void)length;
#endif
}

// length bytes of fresh mapping that begins on a huge page's boundary.
void* mapAligned(std::size_t length) {
    const std::size_t huge = kHugePage;
    void* mapped = mmap(nullptr, length + huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + huge - 1) / huge * huge;
    if (aligned > start) munmap(mapped, aligned - start);
    const std::uintptr_t end = start + length + huge;
    if (end > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

void* allocateLargeBuffer(std::size_t bytes) {
    if (bytes < kMapped) {
        void* buffer = std::calloc(bytes == 0 ? 1 : bytes, 1);
        if (buffer == nullptr) throw std::bad_alloc();
        return buffer;
    }
    const std::size_t length = mappedLength(bytes);
    void* buffer = mapAligned(length);
    offerHugePages(buffer, length);
    return buffer;
}

void* resizeLargeBuffer(void* buffer, std::size_t old_bytes, std::size_t new_bytes) {
    if (buffer != nullptr && old_bytes >= kMapped) {
        const std::size_t old_length = mappedLength(old_bytes);
        const std::size_t new_length = mappedLength(new_bytes);
        // Longer where it lies if the addresses after it are free; else moved
        // to a huge page's boundary: a move the kernel chose could land off
        // it and break every huge page into small ones.
        if (mremap(buffer, old_length, new_length, 0) != MAP_FAILED) return buffer;
        void* target = mapAligned(new_length);
        void* moved = mremap(buffer, old_length, new_length, MREMAP_MAYMOVE | MREMAP_FIXED, target);
        if (moved == MAP_FAILED) {
            munmap(target, new_length);
            throw std::bad_alloc();
        }
        offerHugePages(moved, new_length);
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
