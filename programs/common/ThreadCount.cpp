#include "ThreadCount.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <string>

unsigned availableCpus() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 1;
    const int count = CPU_COUNT(&cpus);
    return count > 0 ? static_cast<unsigned>(count) : 1;
}

bool readThreadCount(const CommandLine& command_line, Messages& messages, unsigned& threads) {
    if (!command_line.has("threads")) {
        threads = std::min(availableCpus(), kMostThreads);
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
