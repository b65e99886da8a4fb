#include "ChunkMeasurer.h"

#include "ChunkSimilarity.h"
#include "Concordance.h"
#include "sha1.h"

ChunkComparison::ChunkComparison(const unsigned char* templateChunk, int chunkSize, int windowSize)
    : template_chunk(templateChunk),
      chunk_size(chunkSize),
      window_size(windowSize),
      templateChunkConcordance(templateChunk, chunkSize) {}

ChunkMeasurement ChunkComparison::measure(const unsigned char* chunk) const {
    ChunkMeasurement measurement;
    const Concordance candidateChunkConcordance(chunk, chunk_size);
    const double sim = candidateChunkConcordance.getSimilarity(&templateChunkConcordance);
    measurement.fraction_non_zeros = candidateChunkConcordance.fractionNonZeros;
    if (sim >= -0.01 && sim <= 0.01) {
        // The whole chunk is at hand, so the engine takes it in one span; only
        // digested chunks pay for hashing.
        measurement.near_empty = true;
        SHA1 sha;
        sha.Input(chunk, unsigned(chunk_size));
        measurement.digest_computed = sha.Result(measurement.digest);
        return measurement;
    }
    ChunkSimilarity cs;
    ChunkWindow* list = cs.getChunkSimilarity(template_chunk, chunk, unsigned(chunk_size), unsigned(window_size));
    for (ChunkWindow* window = list; window != nullptr; window = window->next) ++measurement.windows;
    ChunkWindow::releaseList(list);
    return measurement;
}

ChunkMeasurer::ChunkMeasurer(const unsigned char* templateChunk, int chunkSize, int windowSize,
                             Messages& messages)
    : comparison(templateChunk, chunkSize, windowSize), messages(messages) {}

void ChunkMeasurer::tally(const ChunkMeasurement& measurement) {
    if (measurement.near_empty) {
        if (!measurement.digest_computed) {
            messages.error("could not compute message digest for chunk %lld", static_cast<long long>(chunk_count));
        } else {
            Concordance candidateChunkConcordance;
            candidateChunkConcordance.fractionNonZeros = measurement.fraction_non_zeros;
            store.add_unique(measurement.digest, &candidateChunkConcordance);
        }
    } else {
        ++total_window_linked_lists;
        total_windows += measurement.windows;
    }
    ++chunk_count;
}
