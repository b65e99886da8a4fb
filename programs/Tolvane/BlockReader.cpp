#include "BlockReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

BlockReader::BlockReader(ListReader& list, std::size_t window_size, std::size_t block_size, bool positional)
    : list_(list), window_size_(window_size), block_size_(block_size), positional_(positional),
      last_window_(window_size) {}

std::size_t BlockReader::dataCapacity() const { return std::max(block_size_, window_size_); }

bool BlockReader::fill(ChunkBlock& block) {
    block.reset();
    if (file_ == nullptr) {
        if (list_done_) return false;
        startEntry(block);
        if (block.entry_end) return true;
    }
    block.file_serial = file_serial_;
    if (planning_)
        planData(block);
    else
        readData(block);
    return true;
}

void BlockReader::startEntry(ChunkBlock& block) {
    block.entry_start = true;
    block.file_serial = ++file_serial_;
    if (!list_.next(path_)) {
        list_done_ = true;
        block.entry = ChunkBlock::Entry::list_end;
        block.list_failed = list_.failed();
        block.entry_end = true;
        return;
    }
    block.path = path_;
    block.entry_number = list_.entryNumber();
    if (path_.find('\0') != std::string::npos) {
        block.entry = ChunkBlock::Entry::nul_byte;
        block.entry_end = true;
        return;
    }
    std::shared_ptr<InputFile> file = std::make_shared<InputFile>(path_.c_str());
    if (!file->isOpen()) {
        block.entry = ChunkBlock::Entry::open_failed;
        block.error = file->openError();
        block.entry_end = true;
        return;
    }
    file_ = std::move(file);
    file_size_ = file_->regularFileSize();
    offset_ = 0;
    // A regular file that says it is empty may still hold bytes (those of
    // /proc do): it is read in order, to its end.
    planning_ = positional_ && file_size_ > 0;
    if (planning_) {
        // Every block needs to know whether the file begins with a zero byte.
        unsigned char first = 1;
        int error = 0;
        began_with_zero_ = file_->readAt(&first, 1, 0, error) == 1 && first == 0;
    }
}

void BlockReader::planData(ChunkBlock& block) {
    block.entry = ChunkBlock::Entry::file;
    block.file_size = file_size_;
    block.file_offset = offset_;
    block.began_with_zero = began_with_zero_;
    block.want = offset_ == 0 ? dataCapacity() : block_size_;
    block.source = file_;
    offset_ += block.want;
    // The last block its size gives; reading may still find the end sooner.
    if (offset_ >= static_cast<std::uint64_t>(file_size_)) {
        block.entry_end = true;
        file_.reset();
    }
}

void BlockReader::readData(ChunkBlock& block) {
    block.entry = ChunkBlock::Entry::file;
    block.file_size = file_size_;
    block.file_offset = offset_;
    // The first block holds at least the priming window; the others carry
    // the window before them.
    const std::size_t want = offset_ == 0 ? dataCapacity() : block_size_;
    if (offset_ != 0) std::memcpy(block.data() - window_size_, last_window_.data(), window_size_);
    const std::size_t got = file_->read(block.data(), want);
    if (offset_ == 0) began_with_zero_ = got > 0 && block.data()[0] == 0;
    block.began_with_zero = began_with_zero_;
    block.size = got;
    offset_ += got;

    if (got >= window_size_) {
        std::memcpy(last_window_.data(), block.data() + got - window_size_, window_size_);
    } else {
        std::memmove(last_window_.data(), last_window_.data() + got, window_size_ - got);
        std::memcpy(last_window_.data() + window_size_ - got, block.data(), got);
    }
    // A short read is the end of the file or a read error.
    if (got < want) {
        block.entry_end = true;
        block.error = file_->readError();
        file_.reset();
    }
}
