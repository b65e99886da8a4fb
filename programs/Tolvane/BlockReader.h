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
//
// An entry that may block when opened (anything but a regular file or a
// folder: a FIFO waits for its writer) is opened only once every block
// before it was recorded, so that the lines of the files before it are out
// while it waits; the same before a list that is no regular file is read
// further, and before an entry whose open found no free descriptor is tried
// again, once the files in flight are closed.
#ifndef DEDUP_TOLVANE_BLOCKREADER_H
#define DEDUP_TOLVANE_BLOCKREADER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChunkBlock.h"
#include "FileIdentity.h"
#include "InputFile.h"
#include "ListReader.h"

class BlockReader {
public:
    // outputs: the files the run writes, which no entry may be read from.
    BlockReader(ListReader& list, std::size_t window_size, std::size_t block_size, bool positional,
                std::vector<FileIdentity> outputs);

    // The largest data a block must hold.
    std::size_t dataCapacity() const;

    enum class Fill {
        filled,
        ended,  // the list has ended and its last block was given
        drain,  // record every block in flight, then fill again
    };
    // Resets the block and fills it with the next stretch of input.
    Fill fill(ChunkBlock& block);

    // Called, once every block before is recorded, with the path of an
    // entry whose open may block, just before it is opened.
    void onBlockingOpen(std::function<void(const std::string&)> opening) { opening_ = std::move(opening); }

private:
    bool startEntry(ChunkBlock& block);
    void readData(ChunkBlock& block);
    void planData(ChunkBlock& block);

    ListReader& list_;
    const std::size_t window_size_;
    const std::size_t block_size_;
    const bool positional_;
    std::shared_ptr<InputFile> file_;
    bool planning_ = false;  // the current file's blocks are planned, not read here
    std::string path_;
    bool entry_waiting_ = false;  // path_ is read from the list, not opened yet
    bool drained_ = false;        // the blocks before the waiting entry are recorded
    bool may_block_ = false;      // opening the waiting entry may block
    bool list_drained_ = false;   // the blocks before are recorded: the list may be read on
    const std::vector<FileIdentity> outputs_;
    std::function<void(const std::string&)> opening_;
    std::uint64_t file_serial_ = 0;
    bool list_done_ = false;
    bool began_with_zero_ = false;
    long long file_size_ = -1;
    std::uint64_t offset_ = 0;                // of the next byte of the file
    std::vector<unsigned char> last_window_;  // the file's last window_size bytes so far
};

#endif
