// A CSV file with one row per chunk, in chunk order: the file's path, the
// chunk's offset in the file, its size, its SHA-1 in 40 lower-case
// hexadecimal digits, and 1 when it was new to the store (else 0); in a
// sampled run, a row per sampled chunk. A comment line before the header
// says how the chunks were cut and sampled, one after the rows how many
// chunks and bytes the run had in all, so that traces of several runs, from
// several machines, can be merged into one store's figures, and traces made
// alike told from others.
#ifndef DEDUP_TOLVANE_CHUNKTRACE_H
#define DEDUP_TOLVANE_CHUNKTRACE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ChunkingParameters.h"
#include "FileIdentity.h"
#include "OutputStream.h"

class ChunkTrace {
public:
    // Opens the trace; see isOpen(). A regular file (or a new one) is
    // written under a temporary name beside it (with the mode of the file it
    // replaces) and takes its name only when close() succeeds, so that a
    // failed or interrupted run leaves no half-written trace. Anything else
    // (a device, a pipe) is written directly.
    ChunkTrace(const std::string& path, const ChunkingParameters& params);
    // Without a successful close(), removes the temporary file.
    ~ChunkTrace();

    ChunkTrace(const ChunkTrace&) = delete;
    ChunkTrace& operator=(const ChunkTrace&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    int openError() const { return open_error_; }

    void beginFile(const std::string& path);
    void row(std::uint64_t offset, std::uint64_t size, const unsigned digest[5], bool is_new);

    // The files it writes: the one written now, and the one it replaces at
    // the end. No input may be either of them.
    std::vector<FileIdentity> identities() const { return {written_, replaced_}; }

    // Writes the closing line (the run's chunks and their bytes), closes the
    // file and gives it its name; false when any of it failed (error()).
    bool close(std::uint64_t chunks, std::uint64_t bytes);
    // The trace will not be written: its temporary file is removed now, and
    // no file takes its name.
    void abandon();
    bool abandoned() const { return abandoned_; }
    bool failed() const { return error() != 0; }
    int error() const { return output_.failed() ? output_.error() : close_error_; }

private:
    std::string path_;
    std::string temporary_path_;  // empty when the file is written directly
    int open_error_ = 0;          // before file_: opening the file sets it
    FileIdentity replaced_;       // before file_: the file there before the trace
    std::FILE* file_;
    int close_error_ = 0;
    bool closed_ = false;
    bool abandoned_ = false;
    int cleanup_ = -1;  // the temporary file's handle for removal on a signal
    FileIdentity written_;
    OutputStream output_;
    std::string quoted_path_;
};

// A field as RFC 4180 writes it: quoted (with quotes doubled) when it holds a
// comma, a quote or a line break, or begins with "#" (which readers that skip
// comment lines would take for one).
std::string csvField(const std::string& text);

#endif
