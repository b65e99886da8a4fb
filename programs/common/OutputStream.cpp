#include "OutputStream.h"

#include <cerrno>
#include <cstdarg>

void OutputStream::check(bool ok) {
    if (ok || error_ != 0) return;
    error_ = errno != 0 ? errno : EIO;
}

void OutputStream::print(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    errno = 0;
    const int written = std::vfprintf(stream_, format, arguments);
    va_end(arguments);
    check(written >= 0);
}

void OutputStream::write(const void* bytes, std::size_t size) {
    if (size == 0) return;
    errno = 0;
    check(std::fwrite(bytes, 1, size, stream_) == size);
}

bool OutputStream::flush() {
    errno = 0;
    check(std::fflush(stream_) == 0);
    // A failure stdio noticed on its own, with no call of ours failing.
    check(!std::ferror(stream_));
    return !failed();
}
