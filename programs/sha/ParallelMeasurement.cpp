#include "ParallelMeasurement.h"

#include <atomic>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "WorkerPool.h"

namespace {

// The chunks cut from one read block, measured together.
struct Batch {
    // The block is left unset: only what is read into it is used.
    explicit Batch(std::size_t block_size) : block(new unsigned char[block_size]) {}

    std::unique_ptr<unsigned char[]> block;
    std::vector<const unsigned char*> chunks;  // in order; into block, or the assembled chunk
    unsigned char* assembled = nullptr;        // a straddling chunk's buffer, kept until tallied
    std::vector<ChunkMeasurement> measurements;
    std::atomic<bool> done{false};
    std::exception_ptr failure;
};

// Collects the framer's chunks into the batch being cut; an assembled chunk
// keeps its buffer, and the framer goes on in a free one.
class BatchSink : public ChunkSink {
public:
    explicit BatchSink(std::vector<unsigned char*>& free_candidates) : free_candidates_(free_candidates) {}

    void cutInto(Batch* batch) { batch_ = batch; }

    unsigned char* chunk(const unsigned char* bytes, unsigned char* candidate) override {
        batch_->chunks.push_back(bytes);
        if (candidate == nullptr) return nullptr;
        batch_->assembled = candidate;
        unsigned char* next = free_candidates_.back();
        free_candidates_.pop_back();
        return next;
    }

private:
    std::vector<unsigned char*>& free_candidates_;
    Batch* batch_ = nullptr;
};

}  // namespace

bool canMeasureInParallel(std::int64_t chunkSize) {
    return chunkSize >= kSmallestParallelChunk && chunkSize <= static_cast<std::int64_t>(readBlockSize());
}

bool measureInParallel(InputFile& file, std::int64_t beginOffset, ChunkMeasurer& measurer, unsigned threads,
                       ProgressLine& progress, std::int64_t& totalBytes, std::int64_t& paddingBytes) {
    const std::size_t block_size = readBlockSize();
    const std::size_t chunk_size = static_cast<std::size_t>(measurer.chunkComparison().chunkSize());
    const std::size_t batch_count = 2 * std::size_t{threads} + 2;

    // A chunk fits a block, so a block completes at most one assembled
    // chunk: one buffer per batch, and one being filled.
    std::vector<std::unique_ptr<Batch>> batches;
    std::vector<Batch*> free_batches;
    for (std::size_t i = 0; i < batch_count; ++i) {
        batches.emplace_back(new Batch(block_size));
        free_batches.push_back(batches.back().get());
    }
    std::vector<std::unique_ptr<unsigned char[]>> candidates;
    std::vector<unsigned char*> free_candidates;
    for (std::size_t i = 0; i <= batch_count; ++i) {
        candidates.emplace_back(new unsigned char[chunk_size]);
        free_candidates.push_back(candidates.back().get());
    }
    unsigned char* first_candidate = free_candidates.back();
    free_candidates.pop_back();
    BatchSink sink(free_candidates);
    ChunkFramer framer(beginOffset, static_cast<std::int64_t>(chunk_size), first_candidate, sink);

    const ChunkComparison& comparison = measurer.chunkComparison();
    WorkerPool<Batch*> pool(threads, batch_count, [&comparison](Batch* const& batch) {
        try {
            batch->measurements.resize(batch->chunks.size());
            for (std::size_t i = 0; i < batch->chunks.size(); ++i)
                batch->measurements[i] = comparison.measure(batch->chunks[i]);
        } catch (const std::bad_alloc&) {
            batch->failure = std::current_exception();  // raised again when tallied
        }
        batch->done = true;
    });
    auto dispatch = [&](Batch* batch) {
        if (pool.threads() == 0) {
            // No worker could be started: measure here.
            for (const unsigned char* chunk : batch->chunks) batch->measurements.push_back(comparison.measure(chunk));
            batch->done = true;
        } else {
            pool.push(batch);
        }
    };

    // The batches being measured, in chunk order: a ring.
    std::vector<Batch*> in_flight(batch_count);
    std::size_t oldest = 0, count = 0;
    bool reading = true, finishing = false, read_failed = false;
    std::uint64_t done_bytes = 0;
    const long long file_size = file.regularFileSize();
    for (;;) {
        bool moved = false;
        while (count > 0 && in_flight[oldest]->done) {
            Batch* batch = in_flight[oldest];
            oldest = (oldest + 1) % batch_count;
            --count;
            if (batch->failure != nullptr) std::rethrow_exception(batch->failure);
            for (const ChunkMeasurement& measurement : batch->measurements) measurer.tally(measurement);
            if (batch->assembled != nullptr) free_candidates.push_back(batch->assembled);
            batch->assembled = nullptr;
            free_batches.push_back(batch);
            moved = true;
        }
        // Read ahead and cut chunks; after the last block, the padded last
        // chunk goes in a batch of its own (a batch keeps one assembled chunk).
        while ((reading || finishing) && !free_batches.empty()) {
            Batch* batch = free_batches.back();
            free_batches.pop_back();
            batch->chunks.clear();
            batch->measurements.clear();
            batch->done = false;
            batch->failure = nullptr;
            sink.cutInto(batch);
            if (reading) {
                const std::size_t got = file.read(batch->block.get(), block_size);
                framer.feed(batch->block.get(), got);
                done_bytes += got;
                progress.update(done_bytes, done_bytes, file_size, std::string());
                if (got < block_size) {
                    reading = false;
                    read_failed = file.failed();
                    finishing = !read_failed;
                }
            } else {
                framer.finish();
                finishing = false;
            }
            in_flight[(oldest + count++) % batch_count] = batch;
            dispatch(batch);
            moved = true;
        }
        if (!reading && !finishing && count == 0) break;
        if (!moved) pool.waitFor([&] { return in_flight[oldest]->done.load(); });
    }
    totalBytes = framer.totalBytes();
    paddingBytes = framer.paddingBytes();
    return !read_failed;
}
