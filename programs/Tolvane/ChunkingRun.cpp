// Content-defined chunking of one file after another: every byte rolls the
// fingerprint and grows the chunk; a chunk closes at the first anchor once it
// holds min_chunk_size bytes, at max_chunk_size bytes, and at the end of its
// file. Each chunk's SHA-1 digest is looked up in the store.
#include "ChunkingRun.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

ChunkingRun::ChunkingRun(const ChunkingParameters& params, OutputStream& out, Messages& messages)
    : params_(params), out_(out), messages_(messages), store_(params.sum_vec_size, out.stream()),
      window_(params.window_size), block_(kReadBlockSize), anchor_bits_(kReadBlockSize / 64 + 1) {}

void ChunkingRun::createFingerprint() {
    rabin_.reset(new Rabin(static_cast<unsigned short>(params_.num_comp_bits),
                           static_cast<unsigned short>(params_.window_size), out_.stream(), messages_.stream()));
}

void ChunkingRun::closeChunk() {
    ++anchor_counter_;
    if (!sha_.Result(sha_value_)) {
        // The chunk is not recorded; its bytes stay at the head of the next.
        messages_.line("sha: could not compute message digest for chunk %" PRIu64 "\n", anchor_counter_);
        return;
    }
    if (params_.use_summary_vec) {
        if (store_.fast_lookup(sha_value_)) {
            ++on_disk_hash_lookup_total_;
            if (store_.insert(sha_value_))
                ++false_pos_;
            else
                ++copy_found_;
        } else if (!store_.insert(sha_value_)) {
            ++copy_found_;
        }
    } else {
        ++on_disk_hash_lookup_total_;
        if (!store_.insert(sha_value_)) ++copy_found_;
    }
    ++num_chunks_this_file_only_;
    ++total_chunks_;
    sha_.Reset();
    sumsqr_chunksize_ += chunk_size_ * chunk_size_;
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
void ChunkingRun::chunkSpan(const unsigned char* bytes, std::size_t count) {
    rabin_->IncrementSpan(bytes, count, anchor_bits_.data());
    byte_counter_ += count;
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

bool ChunkingRun::processFile(const std::string& path) {
    InputFile file(path.c_str());
    if (!file.isOpen()) {
        messages_.error("unable to open file %s", path.c_str());
        return false;
    }
    sha_.Reset();
    copy_found_ = 0;
    num_chunks_this_file_only_ = 0;

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
    byte_counter_ += primed;
    chunk_size_ = primed;
    if (primed < window_size) return finishFile(file, path);

    rabin_->Initialize(window_.data());
    for (;;) {
        if (used == have) {
            have = file.read(block_.data(), block_.size());
            used = 0;
            if (have == 0) break;
        }
        chunkSpan(block_.data() + used, have - used);
        used = have;
    }
    if (chunk_size_ > 0 && !file.failed()) closeChunk();
    return finishFile(file, path);
}

// Writes the file's line, or reports the read error that ended it.
bool ChunkingRun::finishFile(InputFile& file, const std::string& path) {
    if (file.failed()) {
        messages_.error("error reading file %s: %s", path.c_str(), std::strerror(file.readError()));
        return false;
    }
    messages_.line("%" PRIu64 " %" PRIu64 " %s\n", copy_found_, num_chunks_this_file_only_, path.c_str());
    out_.print("%" PRIu64 " %" PRIu64 " %s\n", copy_found_, num_chunks_this_file_only_, path.c_str());
    return true;
}

void ChunkingRun::printReport(hrtime_t start_time, hrtime_t end_time) {
    // 2^num_comp_bits by doubling in 32 bits: 32 or more bits give 0.
    std::uint32_t avg_chunk_size = 1;
    for (std::uint32_t i = 0; i < params_.num_comp_bits; ++i) avg_chunk_size *= 2;
    const unsigned stored = store_.get_size();

    out_.print("\n");
    out_.print("number of false positives = %" PRIu64 "\n", false_pos_);
    out_.print("length of summary vector = %" PRIu32 " (in num. of 32-bit words)\n", params_.sum_vec_size);
    out_.print("number of chunks stored = %u\n", stored);
    out_.print("window size = %" PRIu32 "\n", params_.window_size);
    out_.print("set min. chunk size = %" PRIu32 "\n", params_.min_chunk_size);
    out_.print("set max. chunk size = %" PRIu32 "\n", params_.max_chunk_size);
    out_.print("original number of chunks = %" PRIu64 "\n", total_chunks_);
    out_.print("compression ratio = %f:1\n",
               static_cast<double>(static_cast<float>(total_chunks_)) / static_cast<double>(stored));
    out_.print("number of on-disk fingerprint lookups = %" PRIu64 "\n", on_disk_hash_lookup_total_);
    const float actual_average =
        static_cast<float>(static_cast<double>(byte_counter_) / static_cast<double>(total_chunks_));
    out_.print("average chunk size = %" PRIu32 " (desired), %f (actual)\n", avg_chunk_size,
               static_cast<double>(actual_average));
    out_.print("squared sum of chunk sizes = %" PRIu64 "\n", sumsqr_chunksize_);
    out_.print("byte count = %" PRIu64 "\n", byte_counter_);
    out_.print("time = %lf seconds\n", static_cast<double>(end_time - start_time) / 1000000000.0);
}
