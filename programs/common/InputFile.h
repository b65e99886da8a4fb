// An input file opened for binary reading and read in large blocks; closed
// when it goes out of scope. It keeps the reason of a failed open or read,
// so the driver can say why.
#ifndef DEDUP_COMMON_INPUTFILE_H
#define DEDUP_COMMON_INPUTFILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "FileIdentity.h"

// The tools read their files in blocks this large; what they compute is the
// same as reading one byte at a time.
constexpr std::size_t kReadBlockSize = std::size_t{1} << 20;

// The block size the tools' parallel engines use: kReadBlockSize, unless a
// test asked for tiny blocks so that every hand-off between blocks and
// threads is met often. The output is the same for any block size.
std::size_t readBlockSize();
void setReadBlockSizeForTesting(std::size_t bytes);

class InputFile {
public:
    // Opens the path with mode "rb"; see isOpen().
    explicit InputFile(const char* path);
    // Standard input, which stays open afterwards.
    static InputFile standardInput();
    ~InputFile();

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&&) = delete;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool isOpen() const { return stream_ != nullptr; }
    // The errno of a failed open.
    int openError() const { return open_error_; }

    // Up to size bytes; fewer only at the end of the file or after a read
    // error (then failed() is true).
    std::size_t read(void* buffer, std::size_t size);
    // Up to size bytes, as many as one read gives: fewer than size need not
    // be the end of the file (a pipe gives what its writer wrote so far);
    // 0 at the end or after a read error. Not to be mixed with read().
    std::size_t readAvailable(void* buffer, std::size_t size);
    bool failed() const { return read_error_ != 0; }
    int readError() const { return read_error_; }

    // Up to size bytes from offset, without moving the read position: any
    // thread may call it at once. Fewer only at the end of the file or at a
    // read error, whose errno then goes to error (else it is set to 0).
    std::size_t readAt(void* buffer, std::size_t size, std::uint64_t offset, int& error) const;

    // Which file it is; unknown when it is not open.
    FileIdentity identity() const { return FileIdentity::ofStream(stream_); }
    // The file's size when it is a regular file, else -1.
    long long regularFileSize() const;
    // True when both are the same regular file: a tool reading the file it
    // writes to could feed on its own output without end.
    bool isSameFileAs(std::FILE* output) const;

private:
    InputFile(std::FILE* stream, bool owned) : stream_(stream), owned_(owned) {}

    std::FILE* stream_ = nullptr;
    bool owned_ = true;
    int open_error_ = 0;
    int read_error_ = 0;
};

class Messages;

// Opens a tool's one input file. When it cannot be opened, or when it is
// also the tool's standard output, says so ("unable to open file PATH",
// "input file is output file") and returns false.
bool openToolInput(InputFile& file, const char* path, std::FILE* output, Messages& messages);

#endif
