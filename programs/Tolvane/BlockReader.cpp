#include "BlockReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

BlockReader::BlockReader(ListReader& list, std::size_t window_size, std::size_t block_size, bool positional,
                         std::vector<FileIdentity> outputs)
    : list_(list), window_size_(window_size), block_size_(block_size), positional_(positional),
      outputs_(std::move(outputs)), last_window_(window_size) {}

std::size_t BlockReader::dataCapacity() const { return std::max(block_size_, window_size_); }

BlockReader::Fill BlockReader::fill(ChunkBlock& block) {
    block.reset();
    if (file_ == nullptr) {
        if (list_done_) return Fill::ended;
        if (!startEntry(block)) return Fill::drain;
        if (block.entry_end) return Fill::filled;
    }
    block.file_serial = file_serial_;
    if (planning_)
        planData(block);
    else
        readData(block);
    return Fill::filled;
}

namespace {

// Opening anything but a regular file or a folder may wait: a FIFO waits for
// a writer, a device for its driver. Looking at it does not.
bool openMayBlock(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

}  // namespace

// False when the blocks in flight must be recorded before the list is read
// further or the entry is opened.
bool BlockReader::startEntry(ChunkBlock& block) {
    if (!entry_waiting_) {
        // Reading a list from a pipe may wait for its writer: the lines of
        // the files before are out first.
        if (list_.mayWait() && !list_drained_) {
            list_drained_ = true;
            return false;
        }
        list_drained_ = false;
        if (!list_.next(path_)) {
            list_done_ = true;
            block.entry_start = true;
            block.file_serial = ++file_serial_;
            block.entry = ChunkBlock::Entry::list_end;
            block.list_failed = list_.failed();
            block.entry_end = true;
            return true;
        }
        entry_waiting_ = true;
        drained_ = false;
        may_block_ = path_.find('\0') == std::string::npos && openMayBlock(path_);
    }
    if (may_block_ && !drained_) {
        drained_ = true;
        return false;
    }
    std::shared_ptr<InputFile> file;
    if (path_.find('\0') == std::string::npos) {
        if (may_block_ && opening_) opening_(path_);
        file = std::make_shared<InputFile>(path_.c_str());
        // No descriptor is free: the files of the blocks in flight close
        // once they are recorded, and the entry is tried again then.
        const int error = file->openError();
        if (!file->isOpen() && (error == EMFILE || error == ENFILE) && !drained_) {
            drained_ = true;
            return false;
        }
    }
    entry_waiting_ = false;
    block.entry_start = true;
    block.file_serial = ++file_serial_;
    block.path = path_;
    block.entry_number = list_.entryNumber();
    block.entry_end = true;
    if (file == nullptr) {
        block.entry = ChunkBlock::Entry::nul_byte;
        return true;
    }
    if (!file->isOpen()) {
        block.entry = ChunkBlock::Entry::open_failed;
        block.error = file->openError();
        return true;
    }
    const FileIdentity identity = file->identity();
    for (const FileIdentity& output : outputs_) {
        if (sharesData(identity, output)) {
            block.entry = ChunkBlock::Entry::output;
            return true;
        }
    }
    block.entry_end = false;
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
    return true;
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
