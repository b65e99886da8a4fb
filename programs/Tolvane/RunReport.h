// Tolvane's report of a run: as text (the report lines after the per-file
// lines) or as one JSON document that holds every figure of the text, the
// parameters, every listed file and the chunk-size histogram.
#ifndef DEDUP_TOLVANE_RUNREPORT_H
#define DEDUP_TOLVANE_RUNREPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "ChunkRecorder.h"
#include "ChunkingParameters.h"
#include "Clock.h"
#include "OutputStream.h"

struct RunReport {
    const ChunkingParameters& params;
    const RunTotals& totals;
    std::uint64_t stored_chunks;
    hrtime_t start_time;
    hrtime_t end_time;
};

void printTextReport(const RunReport& report, OutputStream& out);

// list: the list file's name ("-" for standard input).
void printJsonReport(const RunReport& report, const std::string& list, const std::vector<FileResult>& files,
                     OutputStream& out);

#endif
