// One run of Tolvane over its list, from the first clock reading to the
// report: the chunking pipeline, the store's figures, and what the run says
// of each entry (its messages, its per-file line, its JSON entry).
#ifndef DEDUP_TOLVANE_LISTRUN_H
#define DEDUP_TOLVANE_LISTRUN_H

#include <cstdint>
#include <string>
#include <vector>

#include "ChunkPipeline.h"
#include "ChunkRecorder.h"
#include "ChunkTrace.h"
#include "ChunkingParameters.h"
#include "ListReader.h"
#include "Messages.h"
#include "OutputStream.h"
#include "ProgressLine.h"
#include "TerminalText.h"

// What the options ask for besides the chunking.
struct TolvaneOutputs {
    bool null_separated = false;
    bool json = false;
    std::string trace_path;  // empty for no trace
    bool progress = true;
    unsigned threads = 1;
};

// Everything that lives from the first clock reading to the report, and
// what the run says of each entry.
class ListRun : private ChunkEvents {
public:
    ListRun(const ChunkingParameters& params, const TolvaneOutputs& outputs, ChunkTrace* trace, OutputStream& out,
            Messages& messages, const char* list_name)
        : outputs_(outputs), out_(out), messages_(messages), list_name_(list_name), sample_(params.sample),
          stdout_terminal_(isTerminal(out.stream())), trace_(trace), progress_(messages, outputs.progress),
          recorder_(params, out.stream()), pipeline_(params, outputs.threads, recorder_, progress_) {
        recorder_.setTrace(trace);
    }

    void createFingerprint() { pipeline_.createFingerprint(out_.stream(), messages_.stream()); }

    // Chunks every file the list names; false when some entry could not be
    // used or the list could not be read to its end.
    bool processList(ListReader& list) {
        pipeline_.run(list, trace_ != nullptr ? trace_->identities() : std::vector<FileIdentity>(), *this);
        return every_entry_used_;
    }

    const RunTotals& totals() const { return recorder_.totals(); }
    std::uint64_t storedChunks() const { return recorder_.storedChunks(); }
    const std::vector<FileResult>& files() const { return files_; }
    void eraseProgress() { progress_.erase(); }

private:
    void entryDone(FileResult& file) override;
    void digestFailed(std::uint64_t chunk_number) override;
    void listFailed() override;
    bool stop() override { return out_.failed(); }

    const TolvaneOutputs& outputs_;
    OutputStream& out_;
    Messages& messages_;
    const char* list_name_;
    const std::uint32_t sample_;
    const bool stdout_terminal_;  // the per-file lines there show control bytes as '?'
    ChunkTrace* trace_;
    ProgressLine progress_;
    ChunkRecorder recorder_;
    ChunkPipeline pipeline_;
    std::vector<FileResult> files_;  // kept for the JSON document only
    bool every_entry_used_ = true;
};

#endif
