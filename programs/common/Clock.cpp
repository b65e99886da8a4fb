#include "Clock.h"

#include <sys/time.h>

#include "OutputStream.h"

bool readClock(hrtime_t& stamp, OutputStream& out) {
    struct timeval tv;
    if (gettimeofday(&tv, nullptr) < 0) {
        out.print("gettimeofday ERROR\n");
        return false;
    }
    stamp = static_cast<hrtime_t>(tv.tv_sec) * 1000000000 + static_cast<hrtime_t>(tv.tv_usec) * 1000;
    return true;
}
