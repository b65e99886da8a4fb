#include "ThreadCount.h"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

unsigned availableCpus() {
    // A mask of the CPUs the kernel knows, grown until it holds them all.
    for (int cpus = 1024; cpus <= (1 << 22); cpus *= 2) {
        cpu_set_t* mask = CPU_ALLOC(cpus);
        if (mask == nullptr) return 1;
        const std::size_t size = CPU_ALLOC_SIZE(cpus);
        CPU_ZERO_S(size, mask);
        const bool got = sched_getaffinity(0, size, mask) == 0;
        const int error = errno;
        const int count = got ? CPU_COUNT_S(size, mask) : 0;
        CPU_FREE(mask);
        if (got) return count > 0 ? static_cast<unsigned>(count) : 1;
        if (error != EINVAL) return 1;
    }
    return 1;
}

bool readThreadCount(const CommandLine& command_line, Messages& messages, unsigned& threads) {
    if (!command_line.has("threads")) {
        threads = availableCpus();
        return true;
    }
    const std::string text = command_line.value("threads");
    const bool digits = !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long value = digits ? std::strtoul(text.c_str(), nullptr, 10) : 0;
    if (value < 1 || value > kMostThreads) {
        messages.error("--threads takes a number from 1 to %u, not %s", kMostThreads, text.c_str());
        return false;
    }
    threads = static_cast<unsigned>(value);
    return true;
}

std::size_t blocksInFlight(unsigned threads) {
    return std::min(2 * std::size_t{threads} + 2, kMostBlocksInFlight);
}
