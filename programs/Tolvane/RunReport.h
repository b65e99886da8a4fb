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
#include "SampleEstimates.h"

struct RunReport {
    const ChunkingParameters& params;
    const RunTotals& totals;
    std::uint64_t stored_chunks;
    hrtime_t start_time;
    hrtime_t end_time;
};

void printTextReport(const RunReport& report, OutputStream& out);

// A file's duplicate chunks as its per-file line gives them: the count, or
// in a sampled run "~VALUE[LOW,HIGH]", the estimate and its 95 % interval.
std::string duplicatesText(const FileResult& file, std::uint32_t sample);

// list: the list file's name ("-" for standard input).
void printJsonReport(const RunReport& report, const std::string& list, const std::vector<FileResult>& files,
                     OutputStream& out);

#endif
