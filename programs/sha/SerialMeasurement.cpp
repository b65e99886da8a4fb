#include "SerialMeasurement.h"

#include "ChunkFramer.h"

namespace {

class MeasureAtOnce : public ChunkSink {
public:
    explicit MeasureAtOnce(ChunkMeasurer& measurer) : measurer_(measurer) {}
    unsigned char* chunk(const unsigned char* bytes, unsigned char* candidate) override {
        measurer_.measure(bytes);
        return candidate;
    }

private:
    ChunkMeasurer& measurer_;
};

}  // namespace

bool measureInTurn(InputFile& file, std::int64_t beginOffset, unsigned char* candidateChunk, unsigned char* block,
                   ChunkMeasurer& measurer, ProgressLine& progress, std::int64_t& totalBytes,
                   std::int64_t& paddingBytes) {
    MeasureAtOnce sink(measurer);
    ChunkFramer framer(beginOffset, measurer.chunkComparison().chunkSize(), candidateChunk, sink);
    const long long file_size = file.regularFileSize();
    const std::size_t block_size = readBlockSize();
    std::uint64_t done = 0;
    for (;;) {
        const std::size_t got = file.read(block, block_size);
        if (got > 0) framer.feed(block, got);
        done += got;
        progress.update(done, done, file_size, std::string());
        if (got < block_size) break;
    }
    if (!file.failed()) framer.finish();
    totalBytes = framer.totalBytes();
    paddingBytes = framer.paddingBytes();
    return !file.failed();
}
