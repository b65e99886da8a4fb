// A test hook for the failure paths of the tools' pipelines: every stage
// call (reading a block, each work stage, each step, retiring) is counted,
// and a test may make the k-th call from now on fail as if memory had run
// out. Without a test asking, calls are only counted.
#ifndef DEDUP_COMMON_STAGEFAULTS_H
#define DEDUP_COMMON_STAGEFAULTS_H

#include <cstdint>

namespace stageFaults {

// Counts a stage call; throws std::bad_alloc when it is the one to fail.
void check();

// Starts counting from 0; the call numbered fail_at (1 for the next) will
// fail, 0 for none.
void resetForTesting(std::uint64_t fail_at = 0);
// Stage calls counted since the last reset.
std::uint64_t callsForTesting();

}  // namespace stageFaults

#endif
