// How many threads a tool runs its work on: --threads N, or by default as
// many as the CPUs the process may use.
#ifndef DEDUP_COMMON_THREADCOUNT_H
#define DEDUP_COMMON_THREADCOUNT_H

#include "CommandLine.h"
#include "Messages.h"

constexpr unsigned kMostThreads = 1024;

// The CPUs in the process's affinity mask (at least 1).
unsigned availableCpus();

// The value of --threads, or availableCpus() without it. False, with a
// message, when the value is not a number from 1 to kMostThreads.
bool readThreadCount(const CommandLine& command_line, Messages& messages, unsigned& threads);

#endif
