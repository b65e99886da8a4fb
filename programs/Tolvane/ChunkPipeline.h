// Runs Tolvane's whole list through the chunking stages: reading, finding
// anchors, choosing boundaries, digesting, recording. With one thread every
// stage runs in turn on the caller's thread; with more, anchors and digests
// are computed on worker threads while the caller reads ahead, chooses the
// boundaries and records, always in input order. The store, the counters,
// the messages and the outputs therefore see exactly what one thread would
// give them, and at most a few blocks per thread are in memory.
#ifndef DEDUP_TOLVANE_CHUNKPIPELINE_H
#define DEDUP_TOLVANE_CHUNKPIPELINE_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

#include "AnchorFinder.h"
#include "ChunkBlock.h"
#include "ChunkCompressor.h"
#include "ChunkRecorder.h"
#include "ChunkingParameters.h"
#include "ListReader.h"
#include "Messages.h"
#include "ProgressLine.h"

class ChunkPipeline {
public:
    ChunkPipeline(const ChunkingParameters& params, unsigned threads, ChunkRecorder& recorder, Messages& messages,
                  ProgressLine& progress);

    // Builds the chunker's hash (the rolling fingerprint's table is part of
    // the timed work); its listings go to out.
    void createFingerprint(std::FILE* out);

    // Chunks every file the list names, calling entry_done for each entry in
    // list order, until the list ends or stop() says so. False when some
    // entry could not be used or the list could not be read to its end.
    bool run(ListReader& list, const char* list_name, const std::function<void(FileResult&)>& entry_done,
             const std::function<bool()>& stop);

private:
    // Records a block in input order; false when it leaves an entry unused.
    bool record(ChunkBlock& block, const char* list_name, const std::function<void(FileResult&)>& entry_done);

    const ChunkingParameters params_;
    const unsigned threads_;
    ChunkRecorder& recorder_;
    Messages& messages_;
    ProgressLine& progress_;
    std::unique_ptr<AnchorFinder> finder_;
    std::unique_ptr<ChunkCompressor> compressor_;  // null without compression
    std::uint64_t anchor_counter_ = 0;  // chunk closings, failed digests included
};

#endif
