#include "FileChunker.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

FileChunker::FileChunker(const ChunkingParameters& params, ChunkRecorder& recorder, Messages& messages,
                         ProgressLine& progress)
    : params_(params), recorder_(recorder), messages_(messages), progress_(progress), window_(params.window_size),
      block_(kReadBlockSize), anchor_bits_(kReadBlockSize / 64 + 1) {}

void FileChunker::createFingerprint(std::FILE* out) {
    rabin_.reset(new Rabin(static_cast<unsigned short>(params_.num_comp_bits),
                           static_cast<unsigned short>(params_.window_size), out, messages_.stream()));
}

void FileChunker::closeChunk() {
    ++anchor_counter_;
    if (!sha_.Result(sha_value_)) {
        // The chunk is not recorded; its bytes stay at the head of the next.
        messages_.line("sha: could not compute message digest for chunk %" PRIu64 "\n", anchor_counter_);
        return;
    }
    recorder_.record(sha_value_, chunk_size_, chunk_offset_);
    sha_.Reset();
    chunk_offset_ += chunk_size_;
    chunk_size_ = 0;
}

namespace {

// The first position in [from, end) whose bit is set, or end.
std::size_t firstAnchor(const std::uint64_t* anchor_bits, std::size_t from, std::size_t end) {
    while (from < end) {
        const std::uint64_t bits = anchor_bits[from / 64] >> (from % 64);
        if (bits != 0) return std::min(end, from + static_cast<std::size_t>(__builtin_ctzll(bits)));
        from = (from / 64 + 1) * 64;
    }
    return end;
}

}  // namespace

// The main phase over a span of the file.
void FileChunker::chunkSpan(const unsigned char* bytes, std::size_t count) {
    rabin_->IncrementSpan(bytes, count, anchor_bits_.data());
    recorder_.addBytes(count);
    const std::uint64_t min_chunk_size = params_.min_chunk_size;
    const std::uint64_t max_chunk_size = params_.max_chunk_size;
    std::size_t chunk_start = 0;  // where the bytes not yet digested begin
    std::size_t next = 0;         // the next position to decide
    while (next < count) {
        // Counting the byte at a position, the chunk reaches the maximum
        // (a forced close) and the minimum (anchors count from there) at:
        const std::uint64_t to_max = chunk_size_ < max_chunk_size ? max_chunk_size - chunk_size_ : 1;
        const std::uint64_t to_min = chunk_size_ < min_chunk_size ? min_chunk_size - chunk_size_ : 1;
        const std::size_t left = count - next;
        const std::size_t forced = to_max <= left ? next + to_max - 1 : count;
        std::size_t close = forced;
        if (to_min <= left) close = firstAnchor(anchor_bits_.data(), next + to_min - 1, forced);
        if (close >= count) {
            chunk_size_ += left;
            break;
        }
        chunk_size_ += close + 1 - next;
        sha_.Input(bytes + chunk_start, static_cast<unsigned>(close + 1 - chunk_start));
        chunk_start = close + 1;
        closeChunk();
        next = close + 1;
    }
    sha_.Input(bytes + chunk_start, static_cast<unsigned>(count - chunk_start));
}

bool FileChunker::chunkFile() {
    FileResult& result = recorder_.currentFile();
    InputFile file(result.path.c_str());
    if (!file.isOpen()) {
        messages_.error("unable to open file %s", result.path.c_str());
        result.error = std::strerror(file.openError());
        return false;
    }
    const long long file_size = file.regularFileSize();
    sha_.Reset();
    chunk_offset_ = 0;

    // Priming: the first window_size bytes load the fingerprint and start the
    // first chunk; no boundary is tested among them.
    const std::size_t window_size = window_.size();
    std::size_t primed = 0;
    std::size_t have = 0;  // bytes of block_ read from the file
    std::size_t used = 0;  // bytes of block_ already consumed
    while (primed < window_size) {
        if (used == have) {
            have = file.read(block_.data(), block_.size());
            used = 0;
            if (have == 0) break;
        }
        const std::size_t take = std::min(window_size - primed, have - used);
        std::memcpy(window_.data() + primed, block_.data() + used, take);
        used += take;
        primed += take;
    }
    sha_.Input(window_.data(), static_cast<unsigned>(primed));
    recorder_.addBytes(primed);
    chunk_size_ = primed;
    if (primed < window_size) return !readFailed(file);

    rabin_->Initialize(window_.data());
    for (;;) {
        if (used == have) {
            have = file.read(block_.data(), block_.size());
            used = 0;
            if (have == 0) break;
        }
        chunkSpan(block_.data() + used, have - used);
        used = have;
        progress_.update(recorder_.totals().byte_counter, file_size, result.path);
    }
    if (readFailed(file)) return false;
    if (chunk_size_ > 0) closeChunk();
    return true;
}

// Reports the read error that ended the file, if one did.
bool FileChunker::readFailed(InputFile& file) {
    if (!file.failed()) return false;
    FileResult& result = recorder_.currentFile();
    result.error = std::strerror(file.readError());
    messages_.error("error reading file %s: %s", result.path.c_str(), result.error.c_str());
    return true;
}
