// An output stream whose every write is checked. The first failure and its
// reason are kept, so that the driver can stop early and report it once: a
// tool whose output is lost must not exit as if it had succeeded.
#ifndef DEDUP_COMMON_OUTPUTSTREAM_H
#define DEDUP_COMMON_OUTPUTSTREAM_H

#include <cstddef>
#include <cstdio>

class OutputStream {
public:
    explicit OutputStream(std::FILE* stream) : stream_(stream) {}

    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void write(const void* bytes, std::size_t size);
    // Writes out what the stream buffers; false when any write so far failed.
    bool flush();

    bool failed() const { return error_ != 0; }
    // The errno of the first failure.
    int error() const { return error_; }
    std::FILE* stream() const { return stream_; }

private:
    void check(bool ok);

    std::FILE* stream_;
    int error_ = 0;
};

#endif
