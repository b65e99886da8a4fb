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
#include <string>

#include "ChunkingRun.h"
#include "Clock.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "ListReader.h"
#include "NumberArgument.h"
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

// Chunks every file the list names; false when some entry could not be used.
bool processList(ListReader& list, const char* list_name, ChunkingRun& chunking, OutputStream& out,
                 Messages& messages) {
    bool every_file_read = true;
    std::string path;
    while (!out.failed() && list.next(path)) {
        if (path.find('\0') != std::string::npos) {
            // No file has such a name: the list was written with NUL separators.
            messages.error("list entry %" PRIu64 " holds a NUL byte", list.entryNumber());
            every_file_read = false;
            continue;
        }
        every_file_read = chunking.processFile(path) && every_file_read;
    }
    if (list.failed()) {
        messages.error("error reading file %s", list_name);
        every_file_read = false;
    }
    return every_file_read;
}

int run(int argc, char* argv[], OutputStream& out, Messages& messages) {
    ChunkingParameters params;
    if (argc != 2 && argc != 8) {
        usage(out);
        return tolvane_status::kUsage;
    }
    if (argc == 8 && !readParameters(argv, params, messages)) return tolvane_status::kUsage;

    const char* list_name = argv[1];
    InputFile list_file(list_name);
    if (!list_file.isOpen()) {
        messages.error("unable to open file %s", list_name);
        return tolvane_status::kUnreadableInput;
    }
    // A list that opens but cannot be read (a directory, say) is no empty list.
    ListReader list(list_file, ListReader::Separator::white_space);
    if (!list.start()) {
        messages.error("error reading file %s", list_name);
        return tolvane_status::kUnreadableInput;
    }
    ChunkingRun chunking(params, out, messages);

    hrtime_t start_time = 0;
    hrtime_t end_time = 0;
    if (!readClock(start_time, out)) return tolvane_status::kClockFailed;
    chunking.createFingerprint();
    const bool every_file_read = processList(list, list_name, chunking, out, messages);
    if (out.failed()) return tolvane_status::kOutputFailed;
    if (!readClock(end_time, out)) return tolvane_status::kClockFailed;
    chunking.printReport(start_time, end_time);
    return every_file_read ? tolvane_status::kSuccess : tolvane_status::kUnreadableInput;
}

}  // namespace

int runTolvane(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    const ToolFrame frame{"Tolvane", tolvane_status::kOutOfMemory, tolvane_status::kOutputFailed};
    return runTool(frame, out, err, [&](OutputStream& output, Messages& messages) {
        return run(argc, argv, output, messages);
    });
}
