// sha's measurement of a file on several threads: the caller's thread reads
// ahead and cuts the chunks, worker threads measure them, and the tally takes
// the measurements in chunk order, so the counts, the fingerprints and the
// messages are exactly those of one thread. Chunks within a block are
// measured where they lie; a chunk that straddles blocks is assembled in a
// buffer of its own. At most a few blocks per thread are in memory.
#ifndef DEDUP_SHA_PARALLELMEASUREMENT_H
#define DEDUP_SHA_PARALLELMEASUREMENT_H

#include <cstdint>

#include "ChunkFramer.h"
#include "ChunkMeasurer.h"
#include "InputFile.h"
#include "ProgressLine.h"

// Chunks smaller than this are measured on one thread: per chunk there is
// too little work to share, and a block would hold too many of them.
constexpr std::int64_t kSmallestParallelChunk = 64;

// True when chunks of this size are measured in parallel: from
// kSmallestParallelChunk bytes up to a read block, so that memory stays
// bounded whatever the chunk size.
bool canMeasureInParallel(std::int64_t chunkSize);

// Reads the whole file and measures every chunk (the padded last one
// included) with threads workers; false on a read error, after the chunks
// read before it were tallied.
bool measureInParallel(InputFile& file, std::int64_t beginOffset, ChunkMeasurer& measurer, unsigned threads,
                       ProgressLine& progress, std::int64_t& totalBytes, std::int64_t& paddingBytes);

#endif
