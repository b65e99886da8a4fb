#include "ChunkTrace.h"

#include <cerrno>
#include <cinttypes>

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

namespace {

std::FILE* openForWriting(const std::string& path, int& error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) error = errno != 0 ? errno : EIO;
    return file;
}

}  // namespace

ChunkTrace::ChunkTrace(const std::string& path)
    : file_(openForWriting(path, open_error_)), output_(file_) {
    if (file_ != nullptr) output_.print("path,offset,size,sha1,new\n");
}

ChunkTrace::~ChunkTrace() { close(); }

void ChunkTrace::beginFile(const std::string& path) { quoted_path_ = csvField(path); }

void ChunkTrace::row(std::uint64_t offset, std::uint64_t size, const unsigned digest[5], bool is_new) {
    output_.print("%s,%" PRIu64 ",%" PRIu64 ",%08x%08x%08x%08x%08x,%d\n", quoted_path_.c_str(), offset, size,
                  digest[0], digest[1], digest[2], digest[3], digest[4], is_new ? 1 : 0);
}

bool ChunkTrace::close() {
    if (file_ != nullptr) {
        output_.flush();
        errno = 0;
        // Some file systems report a failed write only when the file is closed.
        if (std::fclose(file_) != 0 && close_error_ == 0) close_error_ = errno != 0 ? errno : EIO;
        file_ = nullptr;
    }
    return error() == 0;
}
