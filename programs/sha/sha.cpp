// The sha driver: reads one file, cuts it into fixed-size chunks (each
// trimmed by a begin and an end offset), measures every chunk against an
// all-zero template and prints one line of counts and the elapsed time.
#include "sha.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "ChunkFramer.h"
#include "ChunkMeasurer.h"
#include "Clock.h"
#include "CommandLine.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "JsonWriter.h"
#include "NumberArgument.h"
#include "ParallelMeasurement.h"
#include "SerialMeasurement.h"
#include "ProgressLine.h"
#include "ThreadCount.h"
#include "ToolRun.h"

namespace {

using Buffer = std::unique_ptr<unsigned char[]>;

void usage(OutputStream& out) {
    out.print("usage: sha <file> <chunk size in bytes> <chunk window size in bytes> "
              "<begin offset> <end offset>\n");
}

const ToolSyntax kSyntax{
    "sha",
    usage,
    "usage: sha [options] <file> <chunk size in bytes> <chunk window size in bytes> <begin offset> <end offset>\n"
    "  <file>                         the file to measure\n"
    "  <chunk size in bytes>          nominal chunk size N\n"
    "  <chunk window size in bytes>   window size W of the window-by-window comparison\n"
    "  <begin offset>                 bytes skipped before every chunk\n"
    "  <end offset>                   bytes by which every chunk is shorter; nothing is skipped\n",
    {
        {"json", nullptr, "print one JSON document instead of the result line"},
        {"threads", "N", "measure chunks on N threads (default: the CPUs this process may use)"},
        {"no-progress", nullptr, "no status line on a terminal"},
    },
};

struct Outputs {
    bool json = false;
    bool progress = true;
    unsigned threads = 1;
};

struct Sizes {
    int chunk_size_argument;  // N
    int window_size;          // W
    int begin_offset;         // b
    int end_offset;           // e
    std::int64_t chunk_size;  // S = N - b - e, which 32 bits cannot always hold
};

// A number as atoi reads it, refused with a message when it does not fit an
// int instead of being read as some other number.
bool readNumber(const char* text, const char* name, int& value, Messages& messages) {
    long long parsed = 0;
    if (!readNumberArgument(text, INT_MIN, INT_MAX, parsed)) {
        messages.error("%s %s is out of range", name, text);
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool readSizes(char* argv[], Sizes& sizes, Messages& messages) {
    if (!readNumber(argv[2], "chunk size", sizes.chunk_size_argument, messages) ||
        !readNumber(argv[3], "chunk window size", sizes.window_size, messages) ||
        !readNumber(argv[4], "begin offset", sizes.begin_offset, messages) ||
        !readNumber(argv[5], "end offset", sizes.end_offset, messages))
        return false;
    sizes.chunk_size = std::int64_t(sizes.chunk_size_argument) - sizes.begin_offset - sizes.end_offset;
    return true;
}

// Refuses sizes the measurement cannot work with.
bool checkSizes(const Sizes& sizes, Messages& messages) {
    if (sizes.chunk_size < sizes.window_size) {
        messages.error("min chunk size is %d", sizes.window_size);
        return false;
    }
    if (sizes.window_size < 1) {
        messages.error("window size is %d, it must be at least 1", sizes.window_size);
        return false;
    }
    if (sizes.chunk_size > INT_MAX) {
        messages.error("chunk size %lld is too large, at most %d", static_cast<long long>(sizes.chunk_size),
                       INT_MAX);
        return false;
    }
    return true;
}

// size bytes, all zero; null when they cannot be allocated.
Buffer zeroedBuffer(std::int64_t size) {
    if (size < 1 || size > INT_MAX) return Buffer();  // checkSizes refused such sizes already
    return Buffer(new (std::nothrow) unsigned char[std::size_t(size)]());
}

// What measuring a file gave besides the measurer's counts.
struct FileTotals {
    std::int64_t bytes = 0;    // placed into chunks
    std::int64_t padding = 0;  // zeros that completed the last chunk
};

// The result line's figures, and the parameters, as one JSON document.
void printJson(const Sizes& sizes, const char* path, const ChunkMeasurer& measurer, const FileTotals& totals,
               hrtime_t elapsed, OutputStream& out) {
    JsonWriter json(out);
    json.beginObject();
    json.pathMember("path", path);
    json.member("chunk_size", std::int64_t{sizes.chunk_size_argument});
    json.member("window_size", std::int64_t{sizes.window_size});
    json.member("begin_offset", std::int64_t{sizes.begin_offset});
    json.member("end_offset", std::int64_t{sizes.end_offset});
    json.member("chunks", measurer.chunkCount());
    json.member("near_empty_chunks", measurer.chunkCount() - measurer.windowLinkedLists());
    json.member("unique_near_empty_fingerprints", measurer.distinctFingerprints());
    json.member("bytes", totals.bytes);
    json.member("padding_bytes", totals.padding);
    json.member("window_lists", measurer.windowLinkedLists());
    json.member("windows", measurer.windows());
    json.member("milliseconds", std::int64_t{elapsed / 1000000});
    json.member("seconds", static_cast<double>(elapsed) / 1000000000.0);
    json.endObject();
    json.finish();
}

int measureFile(const Sizes& sizes, const char* path, const Outputs& outputs, OutputStream& out,
                Messages& messages) {
    InputFile file(path);
    if (!openToolInput(file, path, out.stream(), messages)) return sha_status::kUnreadableInput;
    const bool parallel = outputs.threads > 1 && canMeasureInParallel(sizes.chunk_size);
    Buffer template_chunk = zeroedBuffer(sizes.chunk_size);
    Buffer candidate_chunk = parallel ? Buffer() : zeroedBuffer(sizes.chunk_size);
    if (!template_chunk || (!parallel && !candidate_chunk)) {
        messages.error("cannot allocate the chunk buffers of %lld bytes each", static_cast<long long>(sizes.chunk_size));
        return sha_status::kOutOfMemory;
    }
    Buffer block(parallel ? nullptr : new (std::nothrow) unsigned char[readBlockSize()]);
    if (!parallel && !block) {
        messages.error("cannot allocate the read block of %zu bytes", readBlockSize());
        return sha_status::kOutOfMemory;
    }
    ChunkMeasurer measurer(template_chunk.get(), int(sizes.chunk_size), sizes.window_size, messages);

    ProgressLine progress(messages, outputs.progress);
    hrtime_t start_time = 0, end_time = 0;
    if (!readClock(start_time, out)) return sha_status::kClockFailed;
    FileTotals totals;
    const bool read = parallel ? measureInParallel(file, sizes.begin_offset, measurer, outputs.threads, progress,
                                                   totals.bytes, totals.padding)
                               : measureInTurn(file, sizes.begin_offset, candidate_chunk.get(), block.get(), measurer,
                                               progress, totals.bytes, totals.padding);
    progress.erase();
    if (!read) {
        messages.error("error reading file %s: %s", path, std::strerror(file.readError()));
        return sha_status::kUnreadableInput;
    }
    if (!readClock(end_time, out)) return sha_status::kClockFailed;

    if (outputs.json) {
        printJson(sizes, path, measurer, totals, end_time - start_time, out);
        return sha_status::kSuccess;
    }
    out.print("%d %d %lld %lld %lld %lld %lld %lld %lld\n", sizes.chunk_size_argument, sizes.window_size,
              static_cast<long long>(measurer.chunkCount()), static_cast<long long>(measurer.distinctFingerprints()),
              static_cast<long long>(totals.bytes), static_cast<long long>(totals.padding),
              static_cast<long long>(measurer.windowLinkedLists()), static_cast<long long>(measurer.windows()),
              static_cast<long long>((end_time - start_time) / 1000000));
    return sha_status::kSuccess;
}

int measure(int argc, char* argv[], OutputStream& out, Messages& messages) {
    CommandLine command_line(argc, argv, kSyntax, out, messages);
    if (command_line.finished()) return command_line.exitStatus(sha_status::kUsage);
    Outputs outputs;
    outputs.json = command_line.has("json");
    outputs.progress = !command_line.has("no-progress");
    if (!readThreadCount(command_line, messages, outputs.threads)) return sha_status::kUsage;
    argc = command_line.argc();
    argv = command_line.argv();
    if (argc != 6) {
        usage(out);
        return sha_status::kUsage;
    }
    Sizes sizes;
    if (!readSizes(argv, sizes, messages) || !checkSizes(sizes, messages)) return sha_status::kBadSizes;
    return measureFile(sizes, argv[1], outputs, out, messages);
}

}  // namespace

int runSha(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    const ToolFrame frame{"sha", sha_status::kOutOfMemory, sha_status::kOutputFailed};
    return runTool(frame, out, err, [&](OutputStream& output, Messages& messages) {
        return measure(argc, argv, output, messages);
    });
}
