#include "ChunkTrace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <vector>

#include "ChunkingOptions.h"

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos && (text.empty() || text[0] != '#')) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

namespace {

// A new file beside path, with the permissions a new file would get.
std::FILE* openTemporaryBeside(const std::string& path, std::string& temporary_path) {
    std::vector<char> name(path.begin(), path.end());
    for (char c : std::string(".tmp-XXXXXX")) name.push_back(c);
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return nullptr;
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    temporary_path = name.data();
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        unlink(temporary_path.c_str());
        errno = error;
    }
    return file;
}

std::FILE* openForWriting(const std::string& path, std::string& temporary_path, int& error) {
    errno = 0;
    struct stat status;
    const bool exists = stat(path.c_str(), &status) == 0;
    std::FILE* file = exists && !S_ISREG(status.st_mode) ? std::fopen(path.c_str(), "wb")
                                                         : openTemporaryBeside(path, temporary_path);
    if (file == nullptr) error = errno != 0 ? errno : EIO;
    return file;
}

}  // namespace

ChunkTrace::ChunkTrace(const std::string& path, const ChunkingParameters& params)
    : path_(path), file_(openForWriting(path, temporary_path_, open_error_)), output_(file_) {
    if (file_ == nullptr) return;
    output_.print("# Tolvane trace: sample=%" PRIu32 " chunker=%s min=%" PRIu32 " max=%" PRIu32 " bits=%" PRIu32
                  " window=%" PRIu32 "\n",
                  params.sample, chunkerName(params.chunker), params.min_chunk_size, params.max_chunk_size,
                  params.num_comp_bits, params.window_size);
    output_.print("path,offset,size,sha1,new\n");
}

ChunkTrace::~ChunkTrace() {
    if (file_ != nullptr) std::fclose(file_);
    if (!closed_ && !temporary_path_.empty()) unlink(temporary_path_.c_str());
}

void ChunkTrace::beginFile(const std::string& path) { quoted_path_ = csvField(path); }

void ChunkTrace::row(std::uint64_t offset, std::uint64_t size, const unsigned digest[5], bool is_new) {
    output_.print("%s,%" PRIu64 ",%" PRIu64 ",%08x%08x%08x%08x%08x,%d\n", quoted_path_.c_str(), offset, size,
                  digest[0], digest[1], digest[2], digest[3], digest[4], is_new ? 1 : 0);
}

bool ChunkTrace::close(std::uint64_t chunks, std::uint64_t bytes) {
    if (file_ == nullptr) return error() == 0;
    output_.print("# Tolvane trace end: chunks=%" PRIu64 " bytes=%" PRIu64 "\n", chunks, bytes);
    output_.flush();
    errno = 0;
    // Some file systems report a failed write only when the file is closed.
    if (std::fclose(file_) != 0 && close_error_ == 0) close_error_ = errno != 0 ? errno : EIO;
    file_ = nullptr;
    if (error() == 0 && !temporary_path_.empty() && std::rename(temporary_path_.c_str(), path_.c_str()) != 0)
        close_error_ = errno != 0 ? errno : EIO;
    closed_ = error() == 0;
    return closed_;
}
