// Reads Tolvane's input as blocks, in list order: each list entry, then the
// file it names in blocks of the read block size (the first block of a file
// at least one window long, so that it holds the whole priming window), and
// after every block but a file's first the window_size bytes before it, so
// that its anchors can be found apart from the blocks before it.
//
// With positional reading, the blocks of a regular file are only planned
// here, from its size: each is read where its anchors are found, so that
// reading is spread over the threads too. Anything else (a pipe, a device)
// is read here, in order.
#ifndef DEDUP_TOLVANE_BLOCKREADER_H
#define DEDUP_TOLVANE_BLOCKREADER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ChunkBlock.h"
#include "InputFile.h"
#include "ListReader.h"

class BlockReader {
public:
    BlockReader(ListReader& list, std::size_t window_size, std::size_t block_size, bool positional);

    // The largest data a block must hold.
    std::size_t dataCapacity() const;

    // Resets the block and fills it with the next stretch of input; false
    // when the list has ended and its last block was given.
    bool fill(ChunkBlock& block);

private:
    void startEntry(ChunkBlock& block);
    void readData(ChunkBlock& block);
    void planData(ChunkBlock& block);

    ListReader& list_;
    const std::size_t window_size_;
    const std::size_t block_size_;
    const bool positional_;
    std::shared_ptr<InputFile> file_;
    bool planning_ = false;  // the current file's blocks are planned, not read here
    std::string path_;
    std::uint64_t file_serial_ = 0;
    bool list_done_ = false;
    bool began_with_zero_ = false;
    long long file_size_ = -1;
    std::uint64_t offset_ = 0;                // of the next byte of the file
    std::vector<unsigned char> last_window_;  // the file's last window_size bytes so far
};

#endif
