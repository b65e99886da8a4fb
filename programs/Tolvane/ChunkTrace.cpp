#include "ChunkTrace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <vector>

#include "ChunkingOptions.h"
#include "SignalCleanup.h"

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

const char kTemporarySuffix[] = ".tmp-XXXXXX";

// The name mkstemp makes the temporary file from: the trace's name and the
// suffix, the name cut short when both would pass the folder's limit on a
// name.
std::string temporaryTemplate(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) limit = NAME_MAX;
    const std::size_t most = static_cast<std::size_t>(limit);
    const std::size_t suffix = sizeof kTemporarySuffix - 1;
    if (name.size() + suffix > most) name.resize(most > suffix ? most - suffix : 0);
    return path.substr(0, slash == std::string::npos ? 0 : slash + 1) + name + kTemporarySuffix;
}

// A new file beside path, with the permissions of the file it replaces
// (replaced), or those a new file would get.
std::FILE* openTemporaryBeside(const std::string& path, const struct stat* replaced, std::string& temporary_path) {
    std::string name = temporaryTemplate(path);
    const int fd = mkstemp(&name[0]);
    if (fd < 0) return nullptr;
    if (replaced != nullptr) {
        fchmod(fd, replaced->st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    temporary_path = name;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        unlink(temporary_path.c_str());
        temporary_path.clear();
        errno = error;
    }
    return file;
}

std::FILE* openForWriting(const std::string& path, std::string& temporary_path, int& error) {
    errno = 0;
    struct stat status;
    const bool exists = stat(path.c_str(), &status) == 0;
    std::FILE* file = exists && !S_ISREG(status.st_mode)
                          ? std::fopen(path.c_str(), "wb")
                          : openTemporaryBeside(path, exists ? &status : nullptr, temporary_path);
    if (file == nullptr) error = errno != 0 ? errno : EIO;
    return file;
}

}  // namespace

ChunkTrace::ChunkTrace(const std::string& path, const ChunkingParameters& params)
    : path_(path), replaced_(FileIdentity::ofPath(path.c_str())),
      file_(openForWriting(path, temporary_path_, open_error_)), output_(file_) {
    if (file_ == nullptr) return;
    written_ = FileIdentity::ofStream(file_);
    if (!temporary_path_.empty()) cleanup_ = signalCleanup::remember(temporary_path_.c_str());
    output_.print("# Tolvane trace: sample=%" PRIu32 " chunker=%s min=%" PRIu32 " max=%" PRIu32 " bits=%" PRIu32
                  " window=%" PRIu32 "\n",
                  params.sample, chunkerName(params.chunker), params.min_chunk_size, params.max_chunk_size,
                  params.num_comp_bits, params.window_size);
    output_.print("path,offset,size,sha1,new\n");
}

ChunkTrace::~ChunkTrace() {
    if (file_ != nullptr) std::fclose(file_);
    if (!closed_ && !temporary_path_.empty()) unlink(temporary_path_.c_str());
    signalCleanup::forget(cleanup_);
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
    if (closed_) signalCleanup::forget(cleanup_);
    return closed_;
}

void ChunkTrace::abandon() {
    abandoned_ = true;
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_path_.empty()) unlink(temporary_path_.c_str());
    temporary_path_.clear();
    signalCleanup::forget(cleanup_);
    cleanup_ = -1;
}
