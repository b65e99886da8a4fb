// sha's measurement of a file on one thread: each chunk is measured as soon
// as the framer completes it, whatever its size.
#ifndef DEDUP_SHA_SERIALMEASUREMENT_H
#define DEDUP_SHA_SERIALMEASUREMENT_H

#include <cstdint>

#include "ChunkMeasurer.h"
#include "InputFile.h"
#include "ProgressLine.h"

// Reads the whole file in blocks of readBlockSize() bytes (block holds
// them) and measures every chunk, the padded last one included; chunks that
// straddle blocks are assembled in candidateChunk. False on a read error,
// after the chunks read before it were measured (the padded last chunk is
// then left out).
bool measureInTurn(InputFile& file, std::int64_t beginOffset, unsigned char* candidateChunk, unsigned char* block,
                   ChunkMeasurer& measurer, ProgressLine& progress, std::int64_t& totalBytes,
                   std::int64_t& paddingBytes);

#endif
