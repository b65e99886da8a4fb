#include "ChunkBlock.h"

void ChunkBlock::reset() {
    if (!buffer) {
        anchor_bits.resize(data_capacity / 64 + 2);
        buffer.reset(new unsigned char[window_size + data_capacity]);
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
