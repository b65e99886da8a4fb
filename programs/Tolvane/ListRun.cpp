#include "ListRun.h"

#include <cinttypes>
#include <cstring>

#include "RunReport.h"

// After each list entry: what kept it from being read, or the per-file line
// of a file read to its end; the entry is kept for the JSON document.
void ListRun::entryDone(FileResult& file) {
    switch (file.problem) {
        case FileResult::Problem::none:
            break;
        case FileResult::Problem::nul_byte:
            // No file has such a name: the list was written with NUL separators.
            messages_.error("list entry %" PRIu64 " holds a NUL byte; for NUL-separated lists use --null",
                            file.entry_number);
            file.error = "the list entry holds a NUL byte";
            break;
        case FileResult::Problem::open_failed:
            messages_.error("unable to open file %s", file.path.c_str());
            file.error = std::strerror(file.error_number);
            break;
        case FileResult::Problem::read_failed:
            file.error = std::strerror(file.error_number);
            messages_.error("error reading file %s: %s", file.path.c_str(), file.error.c_str());
            break;
        case FileResult::Problem::output:
            // The trace would replace it at the end: it is neither read nor
            // overwritten, and the trace is not written.
            messages_.error("trace file %s is also an input", outputs_.trace_path.c_str());
            file.error = "the list entry is the trace file";
            if (trace_ != nullptr && !trace_->abandoned()) {
                recorder_.setTrace(nullptr);
                trace_->abandon();
            }
            break;
    }
    if (!file.read) every_entry_used_ = false;
    if (outputs_.json) files_.push_back(file);
    if (!file.read) return;
    const std::string duplicates = duplicatesText(file, sample_);
    messages_.line("%s %" PRIu64 " %s\n", duplicates.c_str(), file.chunks, file.path.c_str());
    if (outputs_.json) return;
    std::string shown;
    if (stdout_terminal_) hideControlBytes(shown = file.path);
    out_.print("%s %" PRIu64 " %s\n", duplicates.c_str(), file.chunks, (stdout_terminal_ ? shown : file.path).c_str());
}

void ListRun::digestFailed(std::uint64_t chunk_number) {
    messages_.line("sha: could not compute message digest for chunk %" PRIu64 "\n", chunk_number);
}

void ListRun::listFailed() {
    messages_.error("error reading file %s", list_name_);
    every_entry_used_ = false;
}
