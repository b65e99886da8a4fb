#include "ThreadCount.h"

#include <sched.h>

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
        threads = availableCpus();
        return true;
    }
    const std::string text = command_line.value("threads");
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || text[0] == '-' || value < 1 || value > kMostThreads) {
        messages.error("--threads takes a number from 1 to %u, not %s", kMostThreads, text.c_str());
        return false;
    }
    threads = static_cast<unsigned>(value);
    return true;
}
