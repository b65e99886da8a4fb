// How many threads a tool runs its work on: --threads N, or by default as
// many as the CPUs the process may use; and how many read blocks they keep
// in flight.
#ifndef DEDUP_COMMON_THREADCOUNT_H
#define DEDUP_COMMON_THREADCOUNT_H

#include <cstddef>

#include "CommandLine.h"
#include "Messages.h"

// The most --threads takes.
constexpr unsigned kMostThreads = 1024;

// Each thread keeps about two read blocks in flight, and the run at most
// this many in all: memory stays bounded whatever the number of threads.
constexpr std::size_t kMostBlocksInFlight = 256;

// The CPUs in the process's affinity mask (at least 1), however many the
// machine has.
unsigned availableCpus();

// The value of --threads, or availableCpus() without it. False, with a
// message, when the value is not a number from 1 to kMostThreads written in
// decimal digits.
bool readThreadCount(const CommandLine& command_line, Messages& messages, unsigned& threads);

// The blocks a pipeline of that many threads keeps in flight: enough to
// keep every worker busy while the blocks before are retired, at most
// kMostBlocksInFlight.
std::size_t blocksInFlight(unsigned threads);

#endif
