// Turns a byte stream into the listing of its runs of non-zero bytes: one
// line per run, the run's offset in upper-case hexadecimal (at least eight
// digits) and then every byte of the run followed by a space, a line feed
// shown as a backslash and the letter n. The zero byte after a run ends its
// line; a run that reaches the end of the input keeps its line open.
//
// The text is gathered in a large buffer and written in big blocks.
#ifndef DEDUP_NIMBREL_NONZERORUNLISTER_H
#define DEDUP_NIMBREL_NONZERORUNLISTER_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "OutputStream.h"

class NonZeroRunLister {
public:
    explicit NonZeroRunLister(OutputStream& out);
    ~NonZeroRunLister();  // writes what is still buffered

    NonZeroRunLister(const NonZeroRunLister&) = delete;
    NonZeroRunLister& operator=(const NonZeroRunLister&) = delete;

    // The next bytes of the input, in order.
    void feed(const unsigned char* bytes, std::size_t length);
    // Writes the buffered text to the output stream.
    void flush();

private:
    static char* appendOffset(char* dst, std::uint64_t offset);

    OutputStream& out;
    std::unique_ptr<char[]> text;
    std::size_t used = 0;
    bool first = true;  // the next non-zero byte starts a run
    std::uint64_t byte_offset = 0;
};

#endif
