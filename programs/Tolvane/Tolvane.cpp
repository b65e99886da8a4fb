// Tolvane: what content-defined chunking would deduplicate in a list of files.
//
// Every listed file is cut into chunks at the anchors of a rolling
// fingerprint (within a minimum and a maximum chunk size), each chunk is
// digested with SHA-1, and the digests are looked up in one fingerprint store
// shared by the whole run. Per file: duplicate and chunk counts; at the end a
// report of the run.
#include "Tolvane.h"

#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ChunkTrace.h"
#include "ChunkingOptions.h"
#include "ChunkingParameters.h"
#include "Clock.h"
#include "CommandLine.h"
#include "ExitStatus.h"
#include "FileIdentity.h"
#include "InputFile.h"
#include "ListReader.h"
#include "ListRun.h"
#include "NumberArgument.h"
#include "RunReport.h"
#include "ThreadCount.h"
#include "ToolRun.h"

namespace {

void usage(OutputStream& out) {
    out.print("usage: Tolvane <f> <min> <max> <nmb> <win> <svl> <usv>\n");
    out.print("            <f>   = filename\n");
    out.print("            <min> = minimum chunk size\n");
    out.print("            <max> = maximum chunk size\n");
    out.print("            <nmb> = no. bits for determining avg. chunk size\n");
    out.print("            <win> = sliding window size\n");
    out.print("            <svl> = summary vector size\n");
    out.print("            <usv> = use summary vector (y/n)\n");
}

// A numeric argument as atoi reads it, refused with a message when it is
// negative or outside [lowest, highest].
bool convertArgument(const char* text, const char* name, const char* meaning, std::uint32_t lowest,
                     std::uint32_t highest, std::uint32_t& value, Messages& messages) {
    long long parsed = 0;
    if (!readNumberArgument(text, lowest, highest, parsed)) {
        messages.error("%s (%s) must be from %" PRIu32 " to %" PRIu32 ", not %s", name, meaning, lowest, highest,
                       text);
        return false;
    }
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

bool readParameters(char* argv[], ChunkingParameters& params, Messages& messages) {
    if (!convertArgument(argv[2], "<min>", "minimum chunk size", 0, UINT32_MAX, params.min_chunk_size,
                         messages) ||
        !convertArgument(argv[3], "<max>", "maximum chunk size", 0, UINT32_MAX, params.max_chunk_size,
                         messages) ||
        !convertArgument(argv[4], "<nmb>", "no. bits for determining avg. chunk size", 0, 32,
                         params.num_comp_bits, messages) ||
        !convertArgument(argv[5], "<win>", "sliding window size", 1, 65535, params.window_size, messages) ||
        !convertArgument(argv[6], "<svl>", "summary vector size", 1, 134217727, params.sum_vec_size, messages))
        return false;
    // Only a lower-case n switches the summary vector off.
    params.use_summary_vec = argv[7][0] != 'n';
    return true;
}

const ToolSyntax kSyntax{
    "Tolvane",
    usage,
    "usage: Tolvane [options] <f> [<min> <max> <nmb> <win> <svl> <usv>]\n"
    "  <f>    list file: paths separated by white space; - reads standard input\n"
    "  <min>  minimum chunk size (1024)\n"
    "  <max>  maximum chunk size (65536)\n"
    "  <nmb>  no. bits for determining avg. chunk size, 0..32 (13)\n"
    "  <win>  sliding window size, 1..65535 (48)\n"
    "  <svl>  summary vector size in 32-bit words, 1..134217727 (3125)\n"
    "  <usv>  use summary vector: n switches it off (y)\n",
    {
        {"null", nullptr, "list entries are separated by NUL bytes (find -print0), not white space"},
        {"json", nullptr, "print one JSON document instead of the text"},
        {"trace", "FILE", "write one CSV row per chunk to FILE"},
        {"threads", "N", "spread the work over N threads (default: the CPUs this process may use)"},
        {"no-progress", nullptr, "no status line on a terminal"},
        {"chunker", "NAME", "how boundaries are found: rabin (default), gear, fastcdc or fixed"},
        {"compress", "CODEC", "compress the stored chunks: zstd, zstd:LEVEL, lz4 or none (default)"},
        {"sample", "N", "estimate from the chunks whose digest falls in 1 of N, a power of two (default 1: exact)"},
    },
};

// The list file, or standard input for "-".
InputFile openList(const char* name) {
    return std::strcmp(name, "-") == 0 ? InputFile::standardInput() : InputFile(name);
}

// The trace must not replace the list or the file standard output writes
// to (the report would be lost): refused, with a message, before anything is
// written.
bool traceIsNoInput(const std::string& trace_path, const InputFile& list_file, const OutputStream& out,
                    Messages& messages) {
    const FileIdentity trace = FileIdentity::ofPath(trace_path.c_str());
    if (sharesData(trace, list_file.identity())) {
        messages.error("trace file %s is also an input", trace_path.c_str());
        return false;
    }
    if (sharesData(trace, FileIdentity::ofStream(out.stream()))) {
        messages.error("trace file %s is also standard output", trace_path.c_str());
        return false;
    }
    return true;
}

int chunkList(const char* list_name, const ChunkingParameters& params, const TolvaneOutputs& outputs, OutputStream& out,
              Messages& messages) {
    InputFile list_file = openList(list_name);
    if (!list_file.isOpen()) {
        messages.error("unable to open file %s", list_name);
        return tolvane_status::kUnreadableInput;
    }
    // A list that opens but cannot be read (a directory, say) is no empty list.
    ListReader list(list_file, outputs.null_separated ? ListReader::Separator::nul : ListReader::Separator::white_space);
    if (!list.start()) {
        messages.error("error reading file %s", list_name);
        return tolvane_status::kUnreadableInput;
    }
    std::unique_ptr<ChunkTrace> trace;
    if (!outputs.trace_path.empty()) {
        if (!traceIsNoInput(outputs.trace_path, list_file, out, messages)) return tolvane_status::kOutputFailed;
        trace.reset(new ChunkTrace(outputs.trace_path, params));
        if (!trace->isOpen()) {
            messages.error("unable to open trace file %s: %s", outputs.trace_path.c_str(),
                           std::strerror(trace->openError()));
            return tolvane_status::kOutputFailed;
        }
    }
    ListRun run(params, outputs, trace.get(), out, messages, list_name);

    hrtime_t start_time = 0;
    hrtime_t end_time = 0;
    if (!readClock(start_time, out)) return tolvane_status::kClockFailed;
    run.createFingerprint();
    const bool every_entry_used = run.processList(list);
    run.eraseProgress();
    if (out.failed()) return tolvane_status::kOutputFailed;
    if (!readClock(end_time, out)) return tolvane_status::kClockFailed;

    const RunReport report{params, run.totals(), run.storedChunks(), start_time, end_time};
    if (outputs.json)
        printJsonReport(report, list_name, run.files(), out);
    else
        printTextReport(report, out);
    if (trace && trace->abandoned()) return tolvane_status::kOutputFailed;  // said when it was found
    if (trace && !trace->close(run.totals().total_chunks, run.totals().chunked_bytes)) {
        messages.error("error writing trace file %s: %s", outputs.trace_path.c_str(), std::strerror(trace->error()));
        return tolvane_status::kOutputFailed;
    }
    return every_entry_used ? tolvane_status::kSuccess : tolvane_status::kUnreadableInput;
}

int run(int argc, char* argv[], OutputStream& out, Messages& messages) {
    CommandLine command_line(argc, argv, kSyntax, out, messages);
    if (command_line.finished()) return command_line.exitStatus(tolvane_status::kUsage);
    TolvaneOutputs outputs;
    outputs.null_separated = command_line.has("null");
    outputs.json = command_line.has("json");
    outputs.trace_path = command_line.value("trace");
    if (command_line.has("trace") && outputs.trace_path.empty()) {
        messages.error("--trace needs a file name, not an empty value");
        return tolvane_status::kUsage;
    }
    outputs.progress = !command_line.has("no-progress");
    if (!readThreadCount(command_line, messages, outputs.threads)) return tolvane_status::kUsage;
    ChunkingParameters params;
    if (!readChunkingOptions(command_line, messages, params)) return tolvane_status::kUsage;

    argc = command_line.argc();
    argv = command_line.argv();
    if (argc != 2 && argc != 8) {
        usage(out);
        return tolvane_status::kUsage;
    }
    if (argc == 8 && !readParameters(argv, params, messages)) return tolvane_status::kUsage;
    return chunkList(argv[1], params, outputs, out, messages);
}

}  // namespace

int runTolvane(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    const ToolFrame frame{"Tolvane", tolvane_status::kOutOfMemory, tolvane_status::kOutputFailed};
    return runTool(frame, out, err, [&](OutputStream& output, Messages& messages) {
        return run(argc, argv, output, messages);
    });
}
