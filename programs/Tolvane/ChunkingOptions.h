// The options that choose Tolvane's chunker, compression and sample, and their names
// as the report gives them.
#ifndef DEDUP_TOLVANE_CHUNKINGOPTIONS_H
#define DEDUP_TOLVANE_CHUNKINGOPTIONS_H

#include <string>

#include "ChunkingParameters.h"
#include "CommandLine.h"
#include "Messages.h"

// --chunker NAME, --compress CODEC and --sample N into params; false, with
// a message, for a value they do not take.
bool readChunkingOptions(const CommandLine& command_line, Messages& messages, ChunkingParameters& params);

const char* chunkerName(Chunker chunker);

// "zstd:LEVEL", "lz4" or "none".
std::string compressionName(const Compression& compression);

#endif
