// Runs one of the programs' drivers in process, as its main would, with its
// standard output and standard error captured in memory.
#ifndef DEDUP_FUZZ_DRIVERRUN_H
#define DEDUP_FUZZ_DRIVERRUN_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// The longest fuzzed file: past the 1 MiB blocks the drivers read.
const std::size_t kLongFileBytes = (1 << 20) + (1 << 16);

using Driver = int (*)(int argc, char* argv[], std::FILE* out, std::FILE* err);

struct DriverRun {
    int status;
    std::string out;
    std::string err;
};

// arguments[0] is the program name.
DriverRun runDriver(Driver driver, std::vector<std::string> arguments);

// The text cut at line breaks; a last line without a break is kept.
std::vector<std::string> splitLines(const std::string& text);

bool startsWith(const std::string& text, const std::string& prefix);

#endif
