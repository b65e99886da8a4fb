#include "ChunkBlock.h"

#include <cstring>

void ChunkBlock::reset() {
    if (!buffer) {
        buffer = makeLargeBuffer(anchorBytes() + window_size + data_capacity);
        anchor_bits = reinterpret_cast<std::uint64_t*>(buffer.get());
    }
    file_serial = 0;
    entry = Entry::file;
    entry_start = false;
    entry_end = false;
    path.clear();
    entry_number = 0;
    error = 0;
    list_failed = false;
    began_with_zero = false;
    file_size = -1;
    file_offset = 0;
    size = 0;
    source.reset();
    want = 0;
    short_read = false;
    past_end = false;
    roll_from = 0;
    guessed.clear();
    guessed_open = 0;
    closings.clear();
    digests.clear();
    previous = nullptr;
    carry_ready = false;
}

std::size_t ChunkBlock::dataFitting(std::size_t bytes, std::size_t window_size) {
    // Data d takes d / 64 + 2 words of anchor bits: d + d / 8 + 16 bytes.
    const std::size_t fixed = window_size + 2 * sizeof(std::uint64_t);
    return bytes > fixed ? (bytes - fixed) / 9 * 8 : 0;
}

void ChunkBlock::fillFromMemory(const unsigned char* file, std::size_t file_size, std::size_t offset,
                                std::size_t count) {
    reset();  // its buffer too, on first use
    entry_start = offset == 0;
    size = count;
    entry_end = offset + count == file_size;
    file_offset = offset;
    began_with_zero = file_size > 0 && file[0] == 0;
    const std::size_t before = offset == 0 ? 0 : window_size;
    std::memcpy(data() - before, file + offset - before, before + count);
}
