// A CSV file with one row per chunk, in chunk order: the file's path, the
// chunk's offset in the file, its size, its SHA-1 in 40 lower-case
// hexadecimal digits, and 1 when it was new to the store (else 0). Traces of
// several runs, from several machines, can be merged into one store.
#ifndef DEDUP_TOLVANE_CHUNKTRACE_H
#define DEDUP_TOLVANE_CHUNKTRACE_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "OutputStream.h"

class ChunkTrace {
public:
    // Opens (creates or truncates) the file; see isOpen().
    explicit ChunkTrace(const std::string& path);
    ~ChunkTrace();

    ChunkTrace(const ChunkTrace&) = delete;
    ChunkTrace& operator=(const ChunkTrace&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    int openError() const { return open_error_; }

    void beginFile(const std::string& path);
    void row(std::uint64_t offset, std::uint64_t size, const unsigned digest[5], bool is_new);

    // Writes out and closes the file; false when any write failed (error()).
    bool close();
    bool failed() const { return error() != 0; }
    int error() const { return output_.failed() ? output_.error() : close_error_; }

private:
    int open_error_ = 0;  // before file_: opening the file sets it
    std::FILE* file_;
    int close_error_ = 0;
    OutputStream output_;
    std::string quoted_path_;
};

// A field as RFC 4180 writes it: quoted (with quotes doubled) when it holds a
// comma, a quote or a line break.
std::string csvField(const std::string& text);

#endif
