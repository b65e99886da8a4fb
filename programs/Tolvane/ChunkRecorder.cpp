#include "ChunkRecorder.h"

#include "ChunkTrace.h"

std::size_t sizeBucket(std::uint64_t size) {
    return size == 0 ? 0 : 64 - static_cast<std::size_t>(__builtin_clzll(size));
}

ChunkRecorder::ChunkRecorder(const ChunkingParameters& params, std::FILE* listings)
    : use_summary_vec_(params.use_summary_vec), store_(params.sum_vec_size, listings) {}

void ChunkRecorder::beginFile(const std::string& path) {
    file_ = FileResult();
    file_.path = path;
    if (trace_ != nullptr) trace_->beginFile(path);
}

void ChunkRecorder::addBytes(std::uint64_t count) {
    file_.bytes += count;
    totals_.byte_counter += count;
}

void ChunkRecorder::record(const unsigned digest[5], std::uint64_t size, std::uint64_t offset,
                           std::uint64_t compressed_size) {
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
    if (!is_new) ++file_.duplicates;
    ++file_.chunks;
    ++totals_.total_chunks;
    totals_.sumsqr_chunksize += size * size;
    totals_.chunked_bytes += size;
    if (is_new) {
        totals_.unique_bytes += size;
        // Every stored chunk counts here; a sampled estimate would count only some.
        totals_.compressed_stored_bytes += compressed_size;
    }
    ++totals_.size_histogram[sizeBucket(size)];
    if (trace_ != nullptr) trace_->row(offset, size, digest, is_new);
}
