#include "NonZeroRunLister.h"

#include <algorithm>
#include <cstring>

namespace {

const std::size_t kTextCapacity = 1 << 20;
// Most text one input byte can produce: a sixteen-digit offset, a space,
// "\n " for a line feed.
const std::size_t kMostTextPerByte = 16 + 1 + 3;

// Index of the first non-zero byte in [from, end), or end.
std::size_t firstNonZero(const unsigned char* bytes, std::size_t from, std::size_t end) {
    while (end - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + from, 8);
        if (word != 0) break;
        from += 8;
    }
    while (from < end && bytes[from] == 0) ++from;
    return from;
}

}  // namespace

NonZeroRunLister::NonZeroRunLister(OutputStream& out) : out(out), text(new char[kTextCapacity]) {}

NonZeroRunLister::~NonZeroRunLister() { flush(); }

void NonZeroRunLister::flush() {
    out.write(text.get(), used);
    used = 0;
}

char* NonZeroRunLister::appendOffset(char* dst, std::uint64_t offset) {
    static const char kHexDigits[] = "0123456789ABCDEF";
    int digits = 8;
    while (digits < 16 && (offset >> (4 * digits)) != 0) ++digits;
    for (int i = digits - 1; i >= 0; --i) *dst++ = kHexDigits[(offset >> (4 * i)) & 0xF];
    return dst;
}

void NonZeroRunLister::feed(const unsigned char* bytes, std::size_t length) {
    while (length > 0) {
        if (kTextCapacity - used < kMostTextPerByte) flush();
        // As many bytes as the free text space surely holds, without checks
        // inside the loop.
        std::size_t step = std::min(length, (kTextCapacity - used) / kMostTextPerByte);
        char* dst = text.get() + used;
        for (std::size_t i = 0; i < step; ++i) {
            unsigned char c = bytes[i];
            if (c != 0) {
                if (first) {
                    first = false;
                    dst = appendOffset(dst, byte_offset + i);
                    *dst++ = ' ';
                }
                if (c == '\n') {
                    *dst++ = '\\';
                    *dst++ = 'n';
                } else {
                    *dst++ = char(c);
                }
                *dst++ = ' ';
            } else if (!first) {
                first = true;
                *dst++ = '\n';
            } else {
                // Between runs: jump over the zeros eight bytes at a time.
                i = firstNonZero(bytes, i + 1, step) - 1;
            }
        }
        byte_offset += step;
        used = std::size_t(dst - text.get());
        bytes += step;
        length -= step;
    }
}
