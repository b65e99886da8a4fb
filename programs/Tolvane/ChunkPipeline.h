// Runs Tolvane's whole list through the chunking stages: reading, finding
// anchors, choosing boundaries, digesting, recording. Anchors and digests
// are computed on worker threads (in turn on the caller's thread with one
// thread) while the caller reads ahead, chooses the boundaries and records,
// always in input order. The store, the counters, the driver's messages and
// the outputs therefore see exactly what one thread would give them, and at
// most a few blocks per thread are in memory.
#ifndef DEDUP_TOLVANE_CHUNKPIPELINE_H
#define DEDUP_TOLVANE_CHUNKPIPELINE_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "AnchorFinder.h"
#include "ChunkCompressor.h"
#include "ChunkRecorder.h"
#include "ChunkingParameters.h"
#include "FileIdentity.h"
#include "ListReader.h"
#include "ProgressLine.h"

// What the run tells the driver, in input order.
class ChunkEvents {
public:
    virtual ~ChunkEvents() = default;
    // A list entry is done: read to its end, or not (file.problem says why).
    virtual void entryDone(FileResult& file) = 0;
    // The SHA-1 engine gave no digest for the chunk numbered chunk_number
    // (chunk closings counted from 1, failed ones included).
    virtual void digestFailed(std::uint64_t chunk_number) = 0;
    // The list could not be read to its end.
    virtual void listFailed() = 0;
    // Asked after every block recorded: true ends the run there.
    virtual bool stop() = 0;
};

class ChunkPipeline {
public:
    ChunkPipeline(const ChunkingParameters& params, unsigned threads, ChunkRecorder& recorder,
                  ProgressLine& progress);

    // Builds the chunker's hash (the rolling fingerprint's table is part of
    // the timed work); its listings go to out, its messages to err.
    void createFingerprint(std::FILE* out, std::FILE* err);

    // Chunks every file the list names, until the list ends or the events
    // say stop. An entry that is one of the outputs is not read.
    void run(ListReader& list, const std::vector<FileIdentity>& outputs, ChunkEvents& events);

private:
    const ChunkingParameters params_;
    const unsigned threads_;
    ChunkRecorder& recorder_;
    ProgressLine& progress_;
    std::unique_ptr<AnchorFinder> finder_;
    std::unique_ptr<ChunkCompressor> compressor_;  // null without compression
};

#endif
