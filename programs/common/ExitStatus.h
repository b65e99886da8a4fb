// The exit statuses of the three tools, in one place: the drivers return
// them, the tests read this file to know what to expect, and a test checks
// that the README and the man pages list the same numbers.
//
// Keep one constant per line in the form `constexpr int kName = value;`:
// the test support parses it.
#ifndef DEDUP_COMMON_EXITSTATUS_H
#define DEDUP_COMMON_EXITSTATUS_H

namespace tolvane_status {
constexpr int kSuccess = 0;
constexpr int kClockFailed = 1;
constexpr int kOutOfMemory = 1;
// The list, a listed file or a list entry could not be used; also a trace
// file that cannot be written.
constexpr int kUnreadableInput = 2;
constexpr int kOutputFailed = 2;
// A wrong argument count, a refused argument or option: 255 as a shell sees it.
constexpr int kUsage = -1;
}  // namespace tolvane_status

namespace sha_status {
constexpr int kSuccess = 0;
constexpr int kUsage = 1;
constexpr int kClockFailed = 1;
// The file cannot be opened or read, or it is also standard output.
constexpr int kUnreadableInput = 2;
constexpr int kOutputFailed = 2;
// Sizes the measurement cannot work with, or a number beyond an int.
constexpr int kBadSizes = 3;
constexpr int kOutOfMemory = 4;
}  // namespace sha_status

namespace nimbrel_status {
constexpr int kSuccess = 0;
constexpr int kUsage = 1;
// The file cannot be opened or read, or it is also standard output.
constexpr int kUnreadableInput = 2;
constexpr int kOutputFailed = 2;
constexpr int kOutOfMemory = 4;
}  // namespace nimbrel_status

#endif
