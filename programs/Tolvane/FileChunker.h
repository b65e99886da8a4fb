// Cuts files into content-defined chunks and hands each chunk's digest to
// the recorder, in order. Every byte rolls the fingerprint and grows the
// chunk; a chunk closes at the first anchor once it holds min_chunk_size
// bytes, at max_chunk_size bytes, and at the end of its file. The first
// window_size bytes of a file only load the fingerprint.
#ifndef DEDUP_TOLVANE_FILECHUNKER_H
#define DEDUP_TOLVANE_FILECHUNKER_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ChunkRecorder.h"
#include "ChunkingParameters.h"
#include "InputFile.h"
#include "Messages.h"
#include "ProgressLine.h"
#include "rabin.h"
#include "sha1.h"

class FileChunker {
public:
    FileChunker(const ChunkingParameters& params, ChunkRecorder& recorder, Messages& messages,
                ProgressLine& progress);

    // Builds the rolling fingerprint (its table is part of the timed work);
    // its listings go to out.
    void createFingerprint(std::FILE* out);

    // Chunks the file the recorder's current file names. False when it could
    // not be opened or read: the message is written and the file's error set.
    bool chunkFile();

private:
    void closeChunk();
    void chunkSpan(const unsigned char* bytes, std::size_t count);
    bool readFailed(InputFile& file);

    const ChunkingParameters params_;
    ChunkRecorder& recorder_;
    Messages& messages_;
    ProgressLine& progress_;

    SHA1 sha_;
    std::unique_ptr<Rabin> rabin_;
    std::vector<unsigned char> window_;
    std::vector<unsigned char> block_;
    std::vector<std::uint64_t> anchor_bits_;
    unsigned sha_value_[5] = {0, 0, 0, 0, 0};

    std::uint64_t anchor_counter_ = 0;  // chunk closings, failed digests included
    std::uint64_t chunk_size_ = 0;      // bytes in the chunk being built
    std::uint64_t chunk_offset_ = 0;    // where it starts in the file
};

#endif
