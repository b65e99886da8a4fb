// The entries of Tolvane's list file: paths separated by white space, or by
// NUL bytes for lists that name any file (find -print0).
#ifndef DEDUP_TOLVANE_LISTREADER_H
#define DEDUP_TOLVANE_LISTREADER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "InputFile.h"

class ListReader {
public:
    enum class Separator {
        white_space,  // blanks, tabs, line breaks, vertical tabs, form feeds, returns
        nul,          // NUL bytes; empty entries are skipped
    };

    ListReader(InputFile& list, Separator separator);

    // Reads the first block. False when the list cannot be read at all (a
    // directory, say), which is no empty list.
    bool start();

    // The next entry; false at the end of the list or at a read error
    // (failed() tells which). An entry may be of any length.
    bool next(std::string& entry);

    // True when next() may wait for the list: it is not a regular file (a
    // pipe, say), and what was read of it holds no further whole entry.
    bool mayWait() const;

    // The number of the entry last returned, counting from 1.
    std::uint64_t entryNumber() const { return entry_number_; }
    bool failed() const { return list_.failed(); }

private:
    bool isSeparator(unsigned char byte) const;
    // Refills the block; false at the end of the list or at a read error.
    bool refill();

    InputFile& list_;
    const Separator separator_;
    std::vector<unsigned char> block_;
    std::size_t have_ = 0;  // bytes of block_ read from the list
    std::size_t used_ = 0;  // bytes of block_ consumed
    std::uint64_t entry_number_ = 0;
    bool regular_ = false;  // the list is a regular file: reading it never waits
};

#endif
