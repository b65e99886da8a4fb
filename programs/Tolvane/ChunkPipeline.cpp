#include "ChunkPipeline.h"

#include <algorithm>
#include <vector>

#include "BlockReader.h"
#include "ChunkBlock.h"
#include "ChunkStages.h"
#include "OrderedPipeline.h"
#include "StoreLookahead.h"
#include "ThreadCount.h"

namespace {

using Pipeline = OrderedPipeline<ChunkBlock>;

// With workers, read blocks are this many times the read block size.
constexpr std::size_t kWorkerBlockScale = 4;

// Work 1: anchors (and the closings guessed); step 1: boundaries; work 2:
// digests; retire: records.
enum Stage : unsigned { kAnchors = 1, kDigests = 2 };

class TolvaneStages : public Pipeline::Stages {
public:
    TolvaneStages(const ChunkingParameters& params, const AnchorFinder& finder, GearAnchors gear_anchors,
                  const ChunkCompressor* compressor, BlockReader& reader, ChunkRecorder& recorder,
                  ProgressLine& progress, ChunkEvents& events)
        : window_size_(contextBytes(params)), finder_(finder), compressor_(compressor), reader_(reader),
          chooser_(params, finder, gear_anchors), recorder_(recorder), progress_(progress), events_(events) {}

    // Set once the pipeline exists: digests wait on it for the carry.
    void setPipeline(Pipeline& pipeline) {
        handoff_.wait = [&pipeline](const ChunkBlock& previous) {
            pipeline.waitFor([&previous] { return previous.carry_ready.load(); });
        };
        handoff_.ready = [&pipeline] { pipeline.notify(); };
    }

    Pipeline::Read read(ChunkBlock& block) override {
        switch (reader_.fill(block)) {
            case BlockReader::Fill::filled:
                return Pipeline::Read::filled;
            case BlockReader::Fill::ended:
                return Pipeline::Read::ended;
            case BlockReader::Fill::drain:
                break;
        }
        return Pipeline::Read::drain;
    }

    bool needsWork(unsigned stage, const ChunkBlock& block) const override {
        return block.entry == ChunkBlock::Entry::file && (stage == kAnchors || !block.past_end);
    }

    void work(unsigned stage, ChunkBlock& block) override {
        if (stage == kAnchors) {
            readPlannedBlock(block, window_size_);
            chooser_.prepare(finder_, block);
        } else {
            digestChunks(block, block.previous, handoff_, compressor_);
        }
    }

    void step(unsigned, ChunkBlock& block) override {
        const ChunkBlock* before = last_chosen_;
        last_chosen_ = &block;
        if (block.entry != ChunkBlock::Entry::file) return;
        block.previous = block.entry_start ? nullptr : before;
        // A file read in planned blocks ends at its first short block.
        if (block.file_serial == ended_file_) {
            block.past_end = true;
            return;
        }
        if (block.short_read && !block.entry_end) {
            block.entry_end = true;
            ended_file_ = block.file_serial;
        }
        chooser_.choose(block);
    }

    bool retire(ChunkBlock& block) override {
        record(block);
        return !events_.stop();
    }

    void abandon(ChunkBlock& block) override {
        block.carry_ready = true;
        handoff_.ready();
    }

private:
    void record(ChunkBlock& block);
    void entryNotRead(ChunkBlock& block, FileResult::Problem problem);

    const std::size_t window_size_;  // the context before a block
    const AnchorFinder& finder_;
    const ChunkCompressor* compressor_;  // null without compression
    BlockReader& reader_;
    BoundaryChooser chooser_;
    ChunkRecorder& recorder_;
    ProgressLine& progress_;
    ChunkEvents& events_;
    CarryHandoff handoff_;
    const ChunkBlock* last_chosen_ = nullptr;
    std::uint64_t ended_file_ = 0;     // the serial of a file that ended before its planned blocks did
    std::uint64_t anchor_counter_ = 0;  // chunk closings, failed digests included
    // Whether one in kManyStored or more of the last block's chunks were
    // stored already.
    static constexpr std::uint64_t kManyStored = 16;
    bool many_stored_ = false;
};

void TolvaneStages::entryNotRead(ChunkBlock& block, FileResult::Problem problem) {
    recorder_.beginFile(block.path);
    FileResult& file = recorder_.currentFile();
    file.problem = problem;
    file.error_number = block.error;
    file.entry_number = block.entry_number;
    events_.entryDone(file);
}

void TolvaneStages::record(ChunkBlock& block) {
    if (block.past_end) return;
    switch (block.entry) {
        case ChunkBlock::Entry::list_end:
            if (block.list_failed) events_.listFailed();
            return;
        case ChunkBlock::Entry::nul_byte:
            entryNotRead(block, FileResult::Problem::nul_byte);
            return;
        case ChunkBlock::Entry::open_failed:
            entryNotRead(block, FileResult::Problem::open_failed);
            return;
        case ChunkBlock::Entry::output:
            entryNotRead(block, FileResult::Problem::output);
            return;
        case ChunkBlock::Entry::file:
            break;
    }
    if (block.entry_start) recorder_.beginFile(block.path);
    FileResult& file = recorder_.currentFile();
    recorder_.addBytes(block.size);
    // The chunks of the block before tell whether a good share of these are
    // likely stored already.
    const std::uint64_t looked_up = recorder_.totals().sampled_chunks, stored = recorder_.storedChunks();
    lookUpInOrder(
        recorder_.store(), block.closings.size(), [&block](std::size_t i) { return block.digests[i].words; },
        [&](std::size_t i) {
            ++anchor_counter_;
            const ChunkDigest& digest = block.digests[i];
            const ChunkClosing& closing = block.closings[i];
            if (!digest.computed) {
                events_.digestFailed(anchor_counter_);
                return;
            }
            recorder_.record(digest.words, closing.size, block.file_offset + closing.end - closing.size,
                             digest.compressed_size);
        },
        many_stored_);
    const std::uint64_t found = recorder_.totals().sampled_chunks - looked_up - (recorder_.storedChunks() - stored);
    many_stored_ = found * kManyStored > recorder_.totals().sampled_chunks - looked_up;
    progress_.update(recorder_.totals().byte_counter, file.bytes, block.file_size, file.path);
    if (!block.entry_end) return;
    if (block.error != 0) {
        file.problem = FileResult::Problem::read_failed;
        file.error_number = block.error;
    } else {
        file.read = true;
    }
    events_.entryDone(file);
}

}  // namespace

ChunkPipeline::ChunkPipeline(const ChunkingParameters& params, unsigned threads, ChunkRecorder& recorder,
                             ProgressLine& progress)
    : params_(params), threads_(threads), recorder_(recorder), progress_(progress) {}

void ChunkPipeline::createFingerprint(std::FILE* out, std::FILE* err) {
    finder_.reset(new AnchorFinder(params_, out, err));
    if (params_.compression.codec != Codec::none) compressor_.reset(new ChunkCompressor(params_.compression, params_.sample));
}

void ChunkPipeline::run(ListReader& list, const std::vector<FileIdentity>& outputs, ChunkEvents& events) {
    // One thread: a block and the one before it, whose open chunk it may
    // continue. More: blocks of four times the memory (4 MiB with the
    // anchor bits and the context: two huge pages), as every block costs the
    // thread that keeps the order a hand-off between threads, and enough of
    // them to keep every worker busy while a block is recorded and the one
    // recorded before it is kept, within the same memory as
    // kMostBlocksInFlight blocks.
    const bool workers = threads_ > 1;
    const std::size_t block_size =
        workers ? std::max(ChunkBlock::dataFitting(kWorkerBlockScale * readBlockSize(), contextBytes(params_)),
                           readBlockSize())
                : readBlockSize();
    const std::size_t block_count =
        workers ? std::min<std::size_t>(std::size_t{threads_} + 2, kMostBlocksInFlight / kWorkerBlockScale) : 2;
    // With workers, they read the blocks of regular files themselves.
    BlockReader reader(list, contextBytes(params_), block_size, workers, outputs);
    std::vector<std::unique_ptr<ChunkBlock>> blocks;
    for (std::size_t i = 0; i < block_count; ++i)
        blocks.emplace_back(new ChunkBlock(contextBytes(params_), reader.dataCapacity()));

    // Without workers nothing is gained by finding the gear chunkers' anchors
    // ahead of the boundaries: the chooser hashes only where they may fall.
    const GearAnchors gear_anchors = workers ? GearAnchors::found_ahead : GearAnchors::hashed_in_order;
    TolvaneStages stages(params_, *finder_, gear_anchors, compressor_.get(), reader, recorder_, progress_, events);
    // Where the run waits for an open, the status line says so.
    reader.onBlockingOpen([this](const std::string& path) {
        progress_.show(recorder_.totals().byte_counter, "opening " + path);
    });
    Pipeline pipeline(2, std::move(blocks), threads_ > 1 ? threads_ : 0);
    stages.setPipeline(pipeline);
    pipeline.run(stages);
}
