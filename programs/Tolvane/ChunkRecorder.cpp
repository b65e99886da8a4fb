#include "ChunkRecorder.h"

#include "ChunkTrace.h"

std::size_t sizeBucket(std::uint64_t size) {
    return size == 0 ? 0 : 64 - static_cast<std::size_t>(__builtin_clzll(size));
}

ChunkRecorder::ChunkRecorder(const ChunkingParameters& params, std::FILE* listings)
    : use_summary_vec_(params.use_summary_vec), sample_(params.sample), store_(params.sum_vec_size, listings) {}

bool ChunkRecorder::Digest::operator==(const Digest& other) const {
    for (int i = 0; i < 5; ++i)
        if (words[i] != other.words[i]) return false;
    return true;
}

void ChunkRecorder::beginFile(const std::string& path) {
    file_ = FileResult();
    file_copies_.clear();
    file_.path = path;
    if (trace_ != nullptr) trace_->beginFile(path);
}

void ChunkRecorder::addBytes(std::uint64_t count) {
    file_.bytes += count;
    totals_.byte_counter += count;
}

void ChunkRecorder::countCopy(const unsigned digest[5]) {
    Digest key;
    for (int i = 0; i < 5; ++i) key.words[i] = digest[i];
    // (m + 1)^2 - m^2: the sums of squares grow by 2m + 1.
    const std::uint64_t in_run = run_copies_[key]++;
    totals_.duplicate_squares += 2 * SquareSum{in_run} + 1;
    const std::uint64_t in_file = file_copies_[key]++;
    file_.duplicate_squares += 2 * SquareSum{in_file} + 1;
}

void ChunkRecorder::record(const unsigned digest[5], std::uint64_t size, std::uint64_t offset,
                           std::uint64_t compressed_size) {
    // What every chunk counts, sampled or not.
    ++file_.chunks;
    ++totals_.total_chunks;
    totals_.sumsqr_chunksize += size * size;
    totals_.chunked_bytes += size;
    ++totals_.size_histogram[sizeBucket(size)];
    const bool sampling = sample_ > 1;
    if (sampling && !inSample(digest, sample_)) return;
    ++totals_.sampled_chunks;

    bool is_new;
    if (use_summary_vec_) {
        // A fingerprint the summary vector rules out needs no lookup.
        bool maybe_stored = false;
        is_new = store_.insert(digest, maybe_stored);
        if (maybe_stored) {
            ++totals_.on_disk_hash_lookup_total;
            if (is_new) ++totals_.false_pos;
        }
    } else {
        ++totals_.on_disk_hash_lookup_total;
        is_new = store_.insert(digest);
    }
    if (is_new) {
        totals_.unique_bytes += size;
        totals_.compressed_stored_bytes += compressed_size;
        if (sampling) {
            totals_.unique_squares += SquareSum{size} * size;
            totals_.compressed_squares += SquareSum{compressed_size} * compressed_size;
        }
    } else {
        ++file_.duplicates;
        if (sampling) countCopy(digest);
    }
    if (trace_ != nullptr) trace_->row(offset, size, digest, is_new);
}
