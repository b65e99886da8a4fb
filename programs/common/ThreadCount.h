// How many threads a tool runs its work on: --threads N, or by default as
// many as the CPUs the process may use.
#ifndef DEDUP_COMMON_THREADCOUNT_H
#define DEDUP_COMMON_THREADCOUNT_H

#include "CommandLine.h"
#include "Messages.h"

// Each thread keeps a couple of read blocks in flight; more threads than this
// would hold much memory for no gain.
constexpr unsigned kMostThreads = 64;

// The CPUs in the process's affinity mask (at least 1).
unsigned availableCpus();

// The value of --threads, or availableCpus() (at most kMostThreads) without
// it. False, with a message, when the value is not a number from 1 to
// kMostThreads written in decimal digits.
bool readThreadCount(const CommandLine& command_line, Messages& messages, unsigned& threads);

#endif
