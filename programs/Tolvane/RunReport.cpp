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

// The figures of a sampled run that estimate the whole: all from the
// sampled chunks' counts, the exact ones bounding them.
struct RunEstimates {
    TotalEstimate distinct;
    TotalEstimate unique_bytes;
    TotalEstimate duplicates;
    TotalEstimate compressed;
    RatioEstimate chunk_dedup;
    RatioEstimate byte_dedup;
    RatioEstimate data_reduction;
};

RunEstimates estimate(const RunReport& report) {
    const RunTotals& totals = report.totals;
    const std::uint32_t sample = report.params.sample;
    const std::uint64_t distinct = report.stored_chunks;
    RunEstimates e;
    e.distinct = estimateTotal(sample, distinct, distinct, distinct, totals.total_chunks);
    e.unique_bytes =
        estimateTotal(sample, totals.unique_bytes, totals.unique_squares, totals.unique_bytes, totals.chunked_bytes);
    const std::uint64_t duplicates = totals.sampled_chunks - distinct;
    e.duplicates = estimateTotal(sample, duplicates, totals.duplicate_squares, duplicates, totals.total_chunks - distinct);
    e.compressed = estimateTotal(sample, totals.compressed_stored_bytes, totals.compressed_squares,
                                 totals.compressed_stored_bytes, totals.chunked_bytes);
    e.chunk_dedup = estimateRatio(totals.total_chunks, e.distinct);
    e.byte_dedup = estimateRatio(totals.chunked_bytes, e.unique_bytes);
    e.data_reduction = estimateRatio(totals.chunked_bytes, e.compressed);
    return e;
}

void printEstimate(OutputStream& out, const char* what, const TotalEstimate& e, const char* after = "") {
    out.print("estimated %s = %" PRIu64 "%s (95%% interval %.0f to %.0f)\n", what, e.value, after, e.low, e.high);
}

void printEstimate(OutputStream& out, const char* what, const RatioEstimate& e, const char* after = "") {
    out.print("estimated %s = %f%s (95%% interval %f to %f)\n", what, e.value, after, e.low, e.high);
}

// An estimate as {"value", "low", "high"}: a count's value an integer.
template <typename Estimate>
void writeEstimate(JsonWriter& json, const char* name, const Estimate& e) {
    json.key(name);
    json.beginObject();
    json.member("value", e.value);
    json.member("low", e.low);
    json.member("high", e.high);
    json.endObject();
}

TotalEstimate fileDuplicates(const FileResult& file, std::uint32_t sample) {
    return estimateTotal(sample, file.duplicates, file.duplicate_squares, file.duplicates, file.chunks);
}

}  // namespace

std::string duplicatesText(const FileResult& file, std::uint32_t sample) {
    if (sample == 1) return std::to_string(file.duplicates);
    const TotalEstimate e = fileDuplicates(file, sample);
    char text[96];
    std::snprintf(text, sizeof text, "~%" PRIu64 "[%.0f,%.0f]", e.value, e.low, e.high);
    return text;
}

void printTextReport(const RunReport& report, OutputStream& out) {
    const ChunkingParameters& params = report.params;
    const RunTotals& totals = report.totals;
    // A sampled run's store holds the sampled chunks only: its lines say so,
    // and the whole run's figures are estimates.
    const bool sampled = params.sample > 1;
    const char* store = sampled ? " in the sampled store" : "";
    out.print("\n");
    out.print("number of false positives%s = %" PRIu64 "\n", store, totals.false_pos);
    out.print("length of summary vector = %" PRIu32 " (in num. of 32-bit words)\n", params.sum_vec_size);
    out.print("number of chunks stored%s = %" PRIu64 "\n", store, report.stored_chunks);
    out.print("window size = %" PRIu32 "\n", params.window_size);
    out.print("set min. chunk size = %" PRIu32 "\n", params.min_chunk_size);
    out.print("set max. chunk size = %" PRIu32 "\n", params.max_chunk_size);
    out.print("original number of chunks = %" PRIu64 "\n", totals.total_chunks);
    const RunEstimates e = sampled ? estimate(report) : RunEstimates{};
    if (sampled) {
        printEstimate(out, "compression ratio", e.chunk_dedup, ":1");
    } else {
        // The chunk count goes through single precision, as the report always did.
        out.print("compression ratio = %f:1\n", static_cast<double>(static_cast<float>(totals.total_chunks)) /
                                                    static_cast<double>(report.stored_chunks));
    }
    out.print("number of on-disk fingerprint lookups%s = %" PRIu64 "\n", store, totals.on_disk_hash_lookup_total);
    const float actual_average = static_cast<float>(ratio(totals.byte_counter, totals.total_chunks));
    out.print("average chunk size = %" PRIu32 " (desired), %f (actual)\n", desiredAverage(params),
              static_cast<double>(actual_average));
    out.print("squared sum of chunk sizes = %" PRIu64 "\n", totals.sumsqr_chunksize);
    out.print("byte count = %" PRIu64 "\n", totals.byte_counter);
    // Lines only the options add, before the time that always ends the report.
    if (params.chunker_named) out.print("chunker = %s\n", chunkerName(params.chunker));
    if (sampled) {
        out.print("sample = 1 in %" PRIu32 ": %" PRIu64 " sampled chunks, %" PRIu64 " distinct, %" PRIu64
                  " bytes\n",
                  params.sample, totals.sampled_chunks, report.stored_chunks, totals.unique_bytes);
        printEstimate(out, "distinct chunks", e.distinct);
        printEstimate(out, "unique bytes", e.unique_bytes);
        printEstimate(out, "byte dedup ratio", e.byte_dedup);
        printEstimate(out, "duplicate chunks", e.duplicates);
    }
    if (compressing(params)) {
        const std::string codec = " (" + compressionName(params.compression) + ")";
        if (sampled) {
            printEstimate(out, "compressed size of stored chunks", e.compressed, codec.c_str());
            printEstimate(out, "data reduction ratio", e.data_reduction, ":1");
        } else {
            out.print("compressed size of stored chunks = %" PRIu64 "%s\n", totals.compressed_stored_bytes,
                      codec.c_str());
            out.print("data reduction ratio = %f:1\n", ratio(totals.chunked_bytes, totals.compressed_stored_bytes));
        }
    }
    out.print("time = %lf seconds\n", elapsedSeconds(report));
}

namespace {

void writeFiles(JsonWriter& json, const std::vector<FileResult>& files, std::uint32_t sample) {
    json.key("files");
    json.beginArray();
    for (const FileResult& file : files) {
        json.beginObject();
        json.pathMember("path", file.path);
        json.member("chunks", file.chunks);
        if (sample == 1) {
            json.member("duplicates", file.duplicates);
        } else {
            json.member("sampled_duplicates", file.duplicates);
            writeEstimate(json, "estimated_duplicates", fileDuplicates(file, sample));
        }
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
    // A sampled run names its store's figures so, and gives estimates for
    // the whole run in place of the ratios.
    const bool sampled = params.sample > 1;
    if (sampled) {
        json.member("sample", std::uint64_t{params.sample});
        json.member("sampled_store_false_positives", totals.false_pos);
    } else {
        json.member("false_positives", totals.false_pos);
        json.member("chunks_stored", stored);
    }
    json.member("original_chunks", totals.total_chunks);
    if (!sampled) json.member("compression_ratio", ratio(totals.total_chunks, stored));
    json.member(sampled ? "sampled_store_lookups" : "on_disk_lookups", totals.on_disk_hash_lookup_total);
    json.member("desired_average_chunk_size", std::uint64_t{desiredAverage(params)});
    json.member("actual_average_chunk_size", ratio(totals.byte_counter, totals.total_chunks));
    json.member("squared_sum_of_chunk_sizes", totals.sumsqr_chunksize);
    json.member("byte_count", totals.byte_counter);
    json.member("chunked_bytes", totals.chunked_bytes);
    if (!sampled) {
        json.member("unique_bytes", totals.unique_bytes);
        json.member("byte_dedup_ratio", ratio(totals.chunked_bytes, totals.unique_bytes));
        if (compressing(params)) {
            json.member("compressed_stored_bytes", totals.compressed_stored_bytes);
            json.member("data_reduction_ratio", ratio(totals.chunked_bytes, totals.compressed_stored_bytes));
        }
    } else {
        const RunEstimates e = estimate(report);
        json.member("sampled_chunks", totals.sampled_chunks);
        json.member("distinct_sampled_chunks", stored);
        json.member("distinct_sampled_bytes", totals.unique_bytes);
        if (compressing(params)) json.member("sampled_compressed_stored_bytes", totals.compressed_stored_bytes);
        json.key("estimates");
        json.beginObject();
        writeEstimate(json, "distinct_chunks", e.distinct);
        writeEstimate(json, "unique_bytes", e.unique_bytes);
        writeEstimate(json, "byte_dedup_ratio", e.byte_dedup);
        writeEstimate(json, "chunk_dedup_ratio", e.chunk_dedup);
        writeEstimate(json, "duplicate_chunks", e.duplicates);
        if (compressing(params)) {
            writeEstimate(json, "compressed_stored_bytes", e.compressed);
            writeEstimate(json, "data_reduction_ratio", e.data_reduction);
        }
        json.endObject();
    }
    json.member("seconds", elapsedSeconds(report));
    writeFiles(json, files, params.sample);
    writeHistogram(json, totals);
    json.endObject();
    json.finish();
}
