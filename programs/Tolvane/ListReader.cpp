#include "ListReader.h"

namespace {

constexpr std::size_t kListBlockSize = 64 * 1024;

}  // namespace

ListReader::ListReader(InputFile& list, Separator separator)
    : list_(list), separator_(separator), block_(kListBlockSize), regular_(list.regularFileSize() >= 0) {}

bool ListReader::start() {
    refill();
    return !list_.failed();
}

bool ListReader::isSeparator(unsigned char byte) const {
    if (separator_ == Separator::nul) return byte == 0;
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r';
}

bool ListReader::mayWait() const {
    if (regular_) return false;
    std::size_t at = used_;
    while (at < have_ && isSeparator(block_[at])) ++at;
    while (at < have_ && !isSeparator(block_[at])) ++at;
    return at == have_;  // the next entry, if any, runs past what was read
}

bool ListReader::refill() {
    used_ = 0;
    // What a pipe holds so far: an entry is taken as soon as it is written.
    have_ = list_.readAvailable(block_.data(), block_.size());
    return have_ > 0;
}

bool ListReader::next(std::string& entry) {
    entry.clear();
    // Separators before the entry.
    for (;;) {
        while (used_ < have_ && isSeparator(block_[used_])) ++used_;
        if (used_ < have_) break;
        if (!refill()) return false;
    }
    // The entry runs to the next separator or the end of the list.
    for (;;) {
        const std::size_t begin = used_;
        while (used_ < have_ && !isSeparator(block_[used_])) ++used_;
        entry.append(reinterpret_cast<const char*>(block_.data()) + begin, used_ - begin);
        if (used_ < have_ || !refill()) break;
    }
    // An entry cut short by a read error is no path.
    if (list_.failed()) return false;
    ++entry_number_;
    return true;
}
