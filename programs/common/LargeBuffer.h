// Zeroed memory for the store's tables and log. Buffers of 2 MiB and more
// are mapped on their own, so that a table grows where it lies (remapped
// larger, its pages kept, with no copy and no second table beside it), and
// offered to the kernel for huge pages (the store reads them at random).
#ifndef DEDUP_TOLVANE_LARGEBUFFER_H
#define DEDUP_TOLVANE_LARGEBUFFER_H

#include <cstddef>

// bytes of zeroed memory; throws std::bad_alloc when there is none.
void* allocateLargeBuffer(std::size_t bytes);
// The buffer made new_bytes long (larger): what it held is kept, the rest is
// zero. Large buffers are remapped, not copied, and keep their pages.
void* resizeLargeBuffer(void* buffer, std::size_t old_bytes, std::size_t new_bytes);
// Gives back a buffer of allocateLargeBuffer(bytes).
void releaseLargeBuffer(void* buffer, std::size_t bytes);

#endif
