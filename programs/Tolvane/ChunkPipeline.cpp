#include "ChunkPipeline.h"

#include <cinttypes>
#include <cstring>
#include <new>
#include <vector>

#include "BlockReader.h"
#include "ChunkStages.h"
#include "InputFile.h"
#include "WorkerPool.h"

namespace {

struct Job {
    enum class Kind { anchors, digests } kind = Kind::anchors;
    ChunkBlock* block = nullptr;
    const ChunkBlock* previous = nullptr;  // for digests: the block whose open chunk continues
    std::uint64_t sequence = 0;            // the block's place in the input: older blocks go first
};

// Blocks in input order, from the oldest not yet recorded.
class BlocksInFlight {
public:
    explicit BlocksInFlight(std::size_t capacity) : ring_(capacity) {}
    std::size_t size() const { return count_; }
    ChunkBlock& at(std::size_t index) { return *ring_[(first_ + index) % ring_.size()]; }
    void pushBack(ChunkBlock* block) { ring_[(first_ + count_++) % ring_.size()] = block; }
    ChunkBlock* popFront() {
        ChunkBlock* block = ring_[first_];
        first_ = (first_ + 1) % ring_.size();
        --count_;
        return block;
    }

private:
    std::vector<ChunkBlock*> ring_;
    std::size_t first_ = 0;
    std::size_t count_ = 0;
};

void prepareForReading(ChunkBlock& block) {
    block.anchors_done = false;
    block.carry_ready = false;
    block.digests_done = false;
    block.failure = nullptr;
    block.closings.clear();
    block.digests.clear();
}

}  // namespace

ChunkPipeline::ChunkPipeline(const ChunkingParameters& params, unsigned threads, ChunkRecorder& recorder,
                             Messages& messages, ProgressLine& progress)
    : params_(params), threads_(threads), recorder_(recorder), messages_(messages), progress_(progress) {}

void ChunkPipeline::createFingerprint(std::FILE* out) {
    finder_.reset(new AnchorFinder(params_, out, messages_.stream()));
    if (params_.compression.codec != Codec::none) compressor_.reset(new ChunkCompressor(params_.compression));
}

bool ChunkPipeline::run(ListReader& list, const char* list_name, const std::function<void(FileResult&)>& entry_done,
                        const std::function<bool()>& stop) {
    // With workers, they read the blocks of regular files themselves.
    BlockReader reader(list, contextBytes(params_), readBlockSize(), threads_ > 1);
    // One thread: a block and the one before it, whose open chunk it may
    // continue. More: enough to keep every worker busy while the blocks
    // before are recorded.
    const std::size_t slot_count = threads_ > 1 ? 2 * std::size_t{threads_} + 2 : 2;
    std::vector<std::unique_ptr<ChunkBlock>> slots;
    std::vector<ChunkBlock*> free_slots;
    for (std::size_t i = 0; i < slot_count; ++i) {
        slots.emplace_back(new ChunkBlock(contextBytes(params_), reader.dataCapacity()));
        free_slots.push_back(slots.back().get());
    }

    const AnchorFinder& finder = *finder_;
    BoundaryChooser chooser(params_, finder);
    const ChunkCompressor* compressor = compressor_.get();
    WorkerPool<Job>* pool_in_use = nullptr;
    const CarryHandoff handoff{
        [&pool_in_use](const ChunkBlock& previous) {
            if (pool_in_use != nullptr) pool_in_use->waitFor([&previous] { return previous.carry_ready.load(); });
        },
        [&pool_in_use] {
            if (pool_in_use != nullptr) pool_in_use->notify();
        }};
    const std::size_t window_size = contextBytes(params_);
    auto runJob = [&finder, &handoff, compressor, window_size](const Job& job) {
        ChunkBlock& block = *job.block;
        try {
            if (job.kind == Job::Kind::anchors) {
                readPlannedBlock(block, window_size);
                findAnchors(finder, block);
            } else
                digestChunks(block, job.previous, handoff, compressor);
        } catch (const std::bad_alloc&) {
            block.failure = std::current_exception();
            block.carry_ready = true;  // nothing after it is recorded anyway
        }
        (job.kind == Job::Kind::anchors ? block.anchors_done : block.digests_done) = true;
    };
    WorkerPool<Job> pool(threads_ > 1 ? threads_ : 0, 2 * slot_count, runJob);
    const bool inline_jobs = pool.threads() == 0;
    if (!inline_jobs) pool_in_use = &pool;
    auto dispatch = [&](const Job& job) {
        if (inline_jobs)
            runJob(job);
        else
            pool.push(job, job.sequence);
    };

    BlocksInFlight blocks(slot_count);
    std::size_t chosen = 0;            // blocks in flight whose boundaries are chosen
    ChunkBlock* last_recorded = nullptr;  // kept: the next block may continue its chunk
    bool reading = true;
    bool every_entry_used = true;
    std::uint64_t ended_file = 0;  // the serial of a file that ended before its planned blocks did
    std::uint64_t sequence = 0;  // of the next block read
    for (;;) {
        bool moved = false;
        // Record in order, as far as the digests are done.
        while (chosen > 0 && blocks.at(0).digests_done) {
            ChunkBlock* block = blocks.popFront();
            --chosen;
            every_entry_used = record(*block, list_name, entry_done) && every_entry_used;
            if (last_recorded != nullptr) free_slots.push_back(last_recorded);
            last_recorded = block;
            moved = true;
            if (stop()) return every_entry_used;
        }
        // Choose boundaries in order, as far as the anchors are found.
        while (chosen < blocks.size() && blocks.at(chosen).anchors_done) {
            ChunkBlock& block = blocks.at(chosen);
            const ChunkBlock* previous =
                block.entry_start ? nullptr : chosen > 0 ? &blocks.at(chosen - 1) : last_recorded;
            ++chosen;
            moved = true;
            if (block.entry == ChunkBlock::Entry::file) {
                // A file read in planned blocks ends at its first short block.
                if (block.file_serial == ended_file) {
                    block.past_end = true;
                } else if (block.short_read && !block.entry_end) {
                    block.entry_end = true;
                    ended_file = block.file_serial;
                }
            }
            if (block.failure == nullptr && block.entry == ChunkBlock::Entry::file && !block.past_end) {
                try {
                    chooser.choose(block);
                    dispatch({Job::Kind::digests, &block, previous, block.sequence});
                    continue;
                } catch (const std::bad_alloc&) {
                    block.failure = std::current_exception();
                }
            }
            block.digests_done = true;
        }
        // Read ahead into free blocks.
        while (reading && !free_slots.empty()) {
            ChunkBlock* block = free_slots.back();
            prepareForReading(*block);
            bool filled = false;
            try {
                filled = reader.fill(*block);
            } catch (const std::bad_alloc&) {
                // Raised again in its place, after the blocks before it.
                block->failure = std::current_exception();
                filled = true;
            }
            if (!filled) {
                reading = false;
                break;
            }
            free_slots.pop_back();
            blocks.pushBack(block);
            moved = true;
            if (block->failure != nullptr || block->entry == ChunkBlock::Entry::list_end) reading = false;
            block->sequence = sequence++;
            if (block->failure == nullptr && block->entry == ChunkBlock::Entry::file)
                dispatch({Job::Kind::anchors, block, nullptr, block->sequence});
            else
                block->anchors_done = true;
        }
        if (blocks.size() == 0 && !reading) return every_entry_used;
        if (!moved) {
            pool.waitFor([&] {
                return (chosen > 0 && blocks.at(0).digests_done) ||
                       (chosen < blocks.size() && blocks.at(chosen).anchors_done);
            });
        }
    }
}

bool ChunkPipeline::record(ChunkBlock& block, const char* list_name,
                           const std::function<void(FileResult&)>& entry_done) {
    if (block.failure != nullptr) std::rethrow_exception(block.failure);
    if (block.past_end) return true;
    FileResult& file = recorder_.currentFile();
    switch (block.entry) {
        case ChunkBlock::Entry::list_end:
            if (block.list_failed) messages_.error("error reading file %s", list_name);
            return !block.list_failed;
        case ChunkBlock::Entry::nul_byte:
            recorder_.beginFile(block.path);
            // No file has such a name: the list was written with NUL separators.
            messages_.error("list entry %" PRIu64 " holds a NUL byte; for NUL-separated lists use --null",
                            block.entry_number);
            file.error = "the list entry holds a NUL byte";
            entry_done(file);
            return false;
        case ChunkBlock::Entry::open_failed:
            recorder_.beginFile(block.path);
            messages_.error("unable to open file %s", block.path.c_str());
            file.error = std::strerror(block.error);
            entry_done(file);
            return false;
        case ChunkBlock::Entry::file:
            break;
    }
    if (block.entry_start) recorder_.beginFile(block.path);
    recorder_.addBytes(block.size);
    for (std::size_t i = 0; i < block.closings.size(); ++i) {
        ++anchor_counter_;
        const ChunkDigest& digest = block.digests[i];
        const ChunkClosing& closing = block.closings[i];
        if (!digest.computed) {
            messages_.line("sha: could not compute message digest for chunk %" PRIu64 "\n", anchor_counter_);
            continue;
        }
        recorder_.record(digest.words, closing.size, block.file_offset + closing.end - closing.size,
                         digest.compressed_size);
    }
    progress_.update(recorder_.totals().byte_counter, file.bytes, block.file_size, file.path);
    if (!block.entry_end) return true;
    if (block.error != 0) {
        file.error = std::strerror(block.error);
        messages_.error("error reading file %s: %s", file.path.c_str(), file.error.c_str());
    } else {
        file.read = true;
    }
    entry_done(file);
    return file.read;
}
