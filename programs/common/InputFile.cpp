#include "InputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include "Messages.h"

#include <atomic>
#include <cerrno>

namespace {
std::atomic<std::size_t> block_size{kReadBlockSize};
}  // namespace

std::size_t readBlockSize() { return block_size.load(std::memory_order_relaxed); }

void setReadBlockSizeForTesting(std::size_t bytes) {
    block_size.store(bytes == 0 ? kReadBlockSize : bytes, std::memory_order_relaxed);
}

InputFile::InputFile(const char* path) : stream_(std::fopen(path, "rb")) {
    if (stream_ == nullptr) open_error_ = errno != 0 ? errno : ENOENT;
}

InputFile InputFile::standardInput() { return InputFile(stdin, false); }

InputFile::~InputFile() {
    if (stream_ != nullptr && owned_) std::fclose(stream_);
}

InputFile::InputFile(InputFile&& other) noexcept
    : stream_(other.stream_), owned_(other.owned_), open_error_(other.open_error_),
      read_error_(other.read_error_) {
    other.stream_ = nullptr;
}

// The descriptor is read directly, never through the stream's buffer, so
// that read and readAvailable may follow each other; a signal meets the
// reading where it waits (a pipe, a FIFO), as in any system call.
std::size_t InputFile::read(void* buffer, std::size_t size) {
    if (stream_ == nullptr || read_error_ != 0) return 0;
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fileno(stream_), static_cast<char*>(buffer) + got, size - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;  // the end of the file
        } else if (errno != EINTR) {
            read_error_ = errno;
            break;
        }
    }
    return got;
}

std::size_t InputFile::readAvailable(void* buffer, std::size_t size) {
    if (stream_ == nullptr || read_error_ != 0) return 0;
    for (;;) {
        const ssize_t got = ::read(fileno(stream_), buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            read_error_ = errno;
            return 0;
        }
    }
}

std::size_t InputFile::readAt(void* buffer, std::size_t size, std::uint64_t offset, int& error) const {
    error = 0;
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = pread(fileno(stream_), static_cast<char*>(buffer) + got, size - got,
                                static_cast<off_t>(offset + got));
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;  // the end of the file
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    return got;
}

namespace {

bool regularFileStatus(std::FILE* stream, struct stat& status) {
    const int fd = stream != nullptr ? fileno(stream) : -1;
    return fd >= 0 && fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

long long InputFile::regularFileSize() const {
    struct stat status;
    return regularFileStatus(stream_, status) ? static_cast<long long>(status.st_size) : -1;
}

bool InputFile::isSameFileAs(std::FILE* output) const {
    struct stat in, out;
    return regularFileStatus(stream_, in) && regularFileStatus(output, out) && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
}

bool openToolInput(InputFile& file, const char* path, std::FILE* output, Messages& messages) {
    if (!file.isOpen()) {
        messages.error("unable to open file %s", path);
        return false;
    }
    if (file.isSameFileAs(output)) {
        messages.error("input file is output file");
        return false;
    }
    return true;
}
