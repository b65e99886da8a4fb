#include "RunReport.h"

#include <cinttypes>
#include <cstdint>

#include "ChunkingOptions.h"
#include "JsonWriter.h"

namespace {

// 2^num_comp_bits by doubling in 32 bits: 32 or more bits give 0.
std::uint32_t desiredAverage(const ChunkingParameters& params) {
    std::uint32_t avg_chunk_size = 1;
    for (std::uint32_t i = 0; i < params.num_comp_bits; ++i) avg_chunk_size *= 2;
    return avg_chunk_size;
}

bool compressing(const ChunkingParameters& params) { return params.compression.codec != Codec::none; }

double elapsedSeconds(const RunReport& report) {
    return static_cast<double>(report.end_time - report.start_time) / 1000000000.0;
}

// A quotient as a double; 0 / 0 is not a number and x / 0 infinite, which
// JSON writes as null.
double ratio(std::uint64_t numerator, std::uint64_t denominator) {
    return static_cast<double>(numerator) / static_cast<double>(denominator);
}

}  // namespace

void printTextReport(const RunReport& report, OutputStream& out) {
    const ChunkingParameters& params = report.params;
    const RunTotals& totals = report.totals;
    out.print("\n");
    out.print("number of false positives = %" PRIu64 "\n", totals.false_pos);
    out.print("length of summary vector = %" PRIu32 " (in num. of 32-bit words)\n", params.sum_vec_size);
    out.print("number of chunks stored = %" PRIu64 "\n", report.stored_chunks);
    out.print("window size = %" PRIu32 "\n", params.window_size);
    out.print("set min. chunk size = %" PRIu32 "\n", params.min_chunk_size);
    out.print("set max. chunk size = %" PRIu32 "\n", params.max_chunk_size);
    out.print("original number of chunks = %" PRIu64 "\n", totals.total_chunks);
    // The chunk count goes through single precision, as the report always did.
    out.print("compression ratio = %f:1\n", static_cast<double>(static_cast<float>(totals.total_chunks)) /
                                                static_cast<double>(report.stored_chunks));
    out.print("number of on-disk fingerprint lookups = %" PRIu64 "\n", totals.on_disk_hash_lookup_total);
    const float actual_average = static_cast<float>(ratio(totals.byte_counter, totals.total_chunks));
    out.print("average chunk size = %" PRIu32 " (desired), %f (actual)\n", desiredAverage(params),
              static_cast<double>(actual_average));
    out.print("squared sum of chunk sizes = %" PRIu64 "\n", totals.sumsqr_chunksize);
    out.print("byte count = %" PRIu64 "\n", totals.byte_counter);
    // Lines only the options add, before the time that always ends the report.
    if (params.chunker_named) out.print("chunker = %s\n", chunkerName(params.chunker));
    if (compressing(params)) {
        out.print("compressed size of stored chunks = %" PRIu64 " (%s)\n", totals.compressed_stored_bytes,
                  compressionName(params.compression).c_str());
        out.print("data reduction ratio = %f:1\n", ratio(totals.chunked_bytes, totals.compressed_stored_bytes));
    }
    out.print("time = %lf seconds\n", elapsedSeconds(report));
}

namespace {

void writeFiles(JsonWriter& json, const std::vector<FileResult>& files) {
    json.key("files");
    json.beginArray();
    for (const FileResult& file : files) {
        json.beginObject();
        json.pathMember("path", file.path);
        json.member("chunks", file.chunks);
        json.member("duplicates", file.duplicates);
        json.member("bytes", file.bytes);
        json.member("read", file.read);
        if (!file.read) json.member("error", file.error);
        json.endObject();
    }
    json.endArray();
}

// The buckets that hold chunks, smallest sizes first.
void writeHistogram(JsonWriter& json, const RunTotals& totals) {
    json.key("chunk_size_histogram");
    json.beginArray();
    for (std::size_t bucket = 0; bucket < totals.size_histogram.size(); ++bucket) {
        if (totals.size_histogram[bucket] == 0) continue;
        const std::uint64_t from = bucket == 0 ? 0 : std::uint64_t{1} << (bucket - 1);
        const std::uint64_t to = bucket == 0 ? 0 : from + (from - 1);
        json.beginObject();
        json.member("from", from);
        json.member("to", to);
        json.member("chunks", totals.size_histogram[bucket]);
        json.endObject();
    }
    json.endArray();
}

}  // namespace

void printJsonReport(const RunReport& report, const std::string& list, const std::vector<FileResult>& files,
                     OutputStream& out) {
    const ChunkingParameters& params = report.params;
    const RunTotals& totals = report.totals;
    const std::uint64_t stored = report.stored_chunks;
    JsonWriter json(out);
    json.beginObject();
    json.pathMember("list", list);
    json.member("window_size", std::uint64_t{params.window_size});
    json.member("min_chunk_size", std::uint64_t{params.min_chunk_size});
    json.member("max_chunk_size", std::uint64_t{params.max_chunk_size});
    json.member("anchor_bits", std::uint64_t{params.num_comp_bits});
    json.member("summary_vector_words", std::uint64_t{params.sum_vec_size});
    json.member("summary_vector_used", params.use_summary_vec);
    if (params.chunker_named) json.member("chunker", std::string(chunkerName(params.chunker)));
    if (compressing(params)) json.member("compression", compressionName(params.compression));
    json.member("false_positives", totals.false_pos);
    json.member("chunks_stored", stored);
    json.member("original_chunks", totals.total_chunks);
    json.member("compression_ratio", ratio(totals.total_chunks, stored));
    json.member("on_disk_lookups", totals.on_disk_hash_lookup_total);
    json.member("desired_average_chunk_size", std::uint64_t{desiredAverage(params)});
    json.member("actual_average_chunk_size", ratio(totals.byte_counter, totals.total_chunks));
    json.member("squared_sum_of_chunk_sizes", totals.sumsqr_chunksize);
    json.member("byte_count", totals.byte_counter);
    json.member("chunked_bytes", totals.chunked_bytes);
    json.member("unique_bytes", totals.unique_bytes);
    json.member("byte_dedup_ratio", ratio(totals.chunked_bytes, totals.unique_bytes));
    if (compressing(params)) {
        json.member("compressed_stored_bytes", totals.compressed_stored_bytes);
        json.member("data_reduction_ratio", ratio(totals.chunked_bytes, totals.compressed_stored_bytes));
    }
    json.member("seconds", elapsedSeconds(report));
    writeFiles(json, files);
    writeHistogram(json, totals);
    json.endObject();
    json.finish();
}
