// The Nimbrel driver in process on fuzzed file contents (at times longer than
// a read block): the listing must be exactly the runs of non-zero bytes with
// their offsets; a wrong argument count, a missing file and a directory give
// their message and status.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "DriverRun.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "Nimbrel.h"
#include "ScratchFile.h"

namespace {

std::string expectedListing(const std::string& contents) {
    std::string listing;
    bool inRun = false;
    char offset[16];
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const char byte = contents[i];
        if (byte == 0) {
            if (inRun) listing += '\n';
            inRun = false;
            continue;
        }
        if (!inRun) {
            std::snprintf(offset, sizeof offset, "%08X ", static_cast<unsigned>(i));
            listing += offset;
            inRun = true;
        }
        listing += byte == '\n' ? std::string("\\n") : std::string(1, byte);
        listing += ' ';
    }
    return listing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file("nimbrel-input");
    static const std::string missing = ScratchFile::pathFor("missing");
    static const std::string directory = ScratchFile::directory();

    FuzzInput in(data, size);
    const std::uint8_t shape = in.takeByte();
    const std::string contents = (shape & 0xF0) == 0xF0 ? in.takeRuns(kLongFileBytes) : in.takeRest();
    file.write(contents);
    switch (shape % 8) {
        case 0: {
            const DriverRun run = runDriver(runNimbrel, std::vector<std::string>(shape & 8 ? 3 : 1, file.path()));
            FUZZ_CHECK(run.status == 1 && run.out == "usage: Nimbrel <filename>\n" && run.err.empty());
            break;
        }
        case 1: {
            const DriverRun run = runDriver(runNimbrel, {"Nimbrel", missing});
            FUZZ_CHECK(run.status == 2 && run.out.empty() && run.err == "Nimbrel: unable to open file " + missing + "\n");
            break;
        }
        case 2: {
            const DriverRun run = runDriver(runNimbrel, {"Nimbrel", directory});
            FUZZ_CHECK(run.status == 2 && run.out.empty());
            FUZZ_CHECK(run.err == "Nimbrel: error reading file " + directory + ": Is a directory\n");
            break;
        }
        default: {
            const DriverRun run = runDriver(runNimbrel, {"Nimbrel", file.path()});
            FUZZ_CHECK(run.status == 0 && run.err.empty() && run.out == expectedListing(contents));
        }
    }
    return 0;
}
