#include "ParallelMeasurement.h"

#include <memory>
#include <vector>

#include "OrderedPipeline.h"
#include "ThreadCount.h"

namespace {

// The chunks cut from one read block, measured together.
struct Batch {
    // Allocated when first read into, so that a short file needs few blocks
    // whatever the threads; left unset: only what is read into it is used.
    std::unique_ptr<unsigned char[]> block;
    std::vector<const unsigned char*> chunks;  // in order; into block, or the assembled chunk
    unsigned char* assembled = nullptr;        // a straddling chunk's buffer, kept until tallied
    std::vector<ChunkMeasurement> measurements;
};

// Read and cut on the caller's thread; measure on any; tally in order.
class MeasurementStages : public OrderedPipeline<Batch>::Stages, private ChunkSink {
public:
    using Read = OrderedPipeline<Batch>::Read;

    MeasurementStages(InputFile& file, std::int64_t begin_offset, ChunkMeasurer& measurer, ProgressLine& progress)
        : file_(file), measurer_(measurer), comparison_(measurer.chunkComparison()), progress_(progress),
          block_size_(readBlockSize()), file_size_(file.regularFileSize()) {
        framer_.reset(new ChunkFramer(begin_offset, comparison_.chunkSize(), takeCandidate(), *this));
    }

    // After the last block, the padded last chunk goes in a batch of its own
    // (a batch keeps one assembled chunk).
    Read read(Batch& batch) override {
        if (!reading_ && !finishing_) return Read::ended;
        batch.chunks.clear();
        batch.measurements.clear();
        batch.assembled = nullptr;
        cutting_ = &batch;
        if (!reading_) {
            framer_->finish();
            finishing_ = false;
            return Read::filled;
        }
        if (!batch.block) batch.block.reset(new unsigned char[block_size_]);
        const std::size_t got = file_.read(batch.block.get(), block_size_);
        framer_->feed(batch.block.get(), got);
        done_bytes_ += got;
        progress_.update(done_bytes_, done_bytes_, file_size_, std::string());
        if (got < block_size_) {
            reading_ = false;
            finishing_ = !file_.failed();
        }
        return Read::filled;
    }

    bool needsWork(unsigned, const Batch&) const override { return true; }

    void work(unsigned, Batch& batch) override {
        batch.measurements.resize(batch.chunks.size());
        for (std::size_t i = 0; i < batch.chunks.size(); ++i)
            batch.measurements[i] = comparison_.measure(batch.chunks[i]);
    }

    void step(unsigned, Batch&) override {}

    bool retire(Batch& batch) override {
        for (const ChunkMeasurement& measurement : batch.measurements) measurer_.tally(measurement);
        if (batch.assembled != nullptr) free_candidates_.push_back(batch.assembled);
        batch.assembled = nullptr;
        return true;
    }

    void abandon(Batch&) override {}

    const ChunkFramer& framer() const { return *framer_; }

private:
    // A chunk the framer completed: an assembled one keeps its buffer, and
    // the framer goes on in a free one.
    unsigned char* chunk(const unsigned char* bytes, unsigned char* candidate) override {
        cutting_->chunks.push_back(bytes);
        if (candidate == nullptr) return nullptr;
        cutting_->assembled = candidate;
        return takeCandidate();
    }

    // A buffer to assemble a chunk in: a free one, or a new one. A block
    // completes at most one assembled chunk (a chunk fits a block), so there
    // are never more than one per batch and the one being filled.
    unsigned char* takeCandidate() {
        if (free_candidates_.empty()) {
            candidates_.emplace_back(new unsigned char[static_cast<std::size_t>(comparison_.chunkSize())]);
            free_candidates_.push_back(candidates_.back().get());
        }
        unsigned char* candidate = free_candidates_.back();
        free_candidates_.pop_back();
        return candidate;
    }

    InputFile& file_;
    ChunkMeasurer& measurer_;
    const ChunkComparison& comparison_;
    ProgressLine& progress_;
    const std::size_t block_size_;
    const long long file_size_;
    std::vector<std::unique_ptr<unsigned char[]>> candidates_;
    std::vector<unsigned char*> free_candidates_;
    std::unique_ptr<ChunkFramer> framer_;
    Batch* cutting_ = nullptr;
    bool reading_ = true;
    bool finishing_ = false;
    std::uint64_t done_bytes_ = 0;
};

}  // namespace

bool canMeasureInParallel(std::int64_t chunkSize) {
    return chunkSize >= kSmallestParallelChunk && chunkSize <= static_cast<std::int64_t>(readBlockSize());
}

bool measureInParallel(InputFile& file, std::int64_t beginOffset, ChunkMeasurer& measurer, unsigned threads,
                       ProgressLine& progress, std::int64_t& totalBytes, std::int64_t& paddingBytes) {
    std::vector<std::unique_ptr<Batch>> batches;
    for (std::size_t i = 0; i < blocksInFlight(threads); ++i) batches.emplace_back(new Batch);
    MeasurementStages stages(file, beginOffset, measurer, progress);
    OrderedPipeline<Batch> pipeline(1, std::move(batches), threads);
    pipeline.run(stages);
    totalBytes = stages.framer().totalBytes();
    paddingBytes = stages.framer().paddingBytes();
    return !file.failed();
}
