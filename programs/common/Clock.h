// The wall clock that the tools time their work with.
#ifndef DEDUP_COMMON_CLOCK_H
#define DEDUP_COMMON_CLOCK_H

#include <cstdint>

class OutputStream;

// A signed count of nanoseconds.
using hrtime_t = std::int64_t;

// Seconds * 10^9 + microseconds * 10^3 from gettimeofday. When the clock
// cannot be read, prints "gettimeofday ERROR" on out and returns false.
bool readClock(hrtime_t& stamp, OutputStream& out);

#endif
