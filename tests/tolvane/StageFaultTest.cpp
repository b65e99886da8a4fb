// Memory running out at any stage of any block, with any number of threads:
// each stage call (reading a block, the work stages, the in-order steps,
// retiring) is made to fail in turn. Every run must end, within seconds,
// with the out-of-memory message and status, and without the report: the
// output is one thread's up to the failing block, never half a report and
// never a hang.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DriverRun.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "ScratchFile.h"
#include "StageFaults.h"
#include "Tolvane.h"
#include "sha.h"

namespace {


// The driver run on another thread; a run that does not end in time cannot
// be stopped, so the test process ends with the failure said.
DriverRun runWithin(std::chrono::seconds limit, Driver driver, const std::vector<std::string>& arguments,
                    const std::string& what) {
    auto done = std::make_shared<std::promise<DriverRun>>();
    std::future<DriverRun> result = done->get_future();
    std::thread([done, driver, arguments] { done->set_value(runDriver(driver, arguments)); }).detach();
    if (result.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "hung: %s, %s\n", arguments[0].c_str(), what.c_str());
        std::_Exit(1);
    }
    return result.get();
}

struct FaultCase {
    Driver driver;
    std::vector<std::string> arguments;  // "--threads" and its value come second and third
    int out_of_memory_status;
    std::string message;
    std::string report_marker;  // a text only the report (or the result line) holds
};

// Runs the case failing at each stage call of a successful run in turn.
void failEveryStage(FaultCase c, std::size_t block_size, const std::vector<const char*>& thread_counts) {
    setReadBlockSizeForTesting(block_size);
    for (const char* threads : thread_counts) {
        c.arguments[2] = threads;
        stageFaults::resetForTesting();
        const DriverRun whole =
            runWithin(std::chrono::seconds(30), c.driver, c.arguments, std::string("threads ") + threads);
        ASSERT_NE(whole.out.find(c.report_marker), std::string::npos) << whole.out << whole.err;
        const std::uint64_t calls = stageFaults::callsForTesting();
        ASSERT_GT(calls, 10u);
        for (std::uint64_t k = 1; k <= calls; ++k) {
            stageFaults::resetForTesting(k);
            const std::string what = std::string("threads ") + threads + ", stage call " + std::to_string(k);
            const DriverRun failed = runWithin(std::chrono::seconds(30), c.driver, c.arguments, what);
            EXPECT_EQ(failed.status, c.out_of_memory_status) << what;
            EXPECT_EQ(failed.out.find(c.report_marker), std::string::npos) << what;
            ASSERT_GE(failed.err.size(), c.message.size()) << what;
            EXPECT_EQ(failed.err.substr(failed.err.size() - c.message.size()), c.message) << what;
        }
    }
    stageFaults::resetForTesting();
    setReadBlockSizeForTesting(0);
}

std::string pattern(std::size_t count, unsigned seed) {
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    return bytes;
}

TEST(StageFaults, TolvaneEndsWithOutOfMemoryAtEveryStage) {
    // Chunks that span blocks, a file shorter than the window, one missing.
    const ScratchFile one("faults-one"), two("faults-two"), short_file("faults-short"), list("faults-list");
    one.write(pattern(3000, 1));
    two.write(pattern(700, 2) + pattern(1500, 1));
    short_file.write("tiny");
    list.write(one.path() + "\n" + short_file.path() + "\n" + ScratchFile::pathFor("missing") + "\n" + two.path() +
               "\n");
    failEveryStage({runTolvane,
                    {"Tolvane", "--threads", "", list.path(), "100", "2000", "6", "16", "100", "y"},
                    tolvane_status::kOutOfMemory,
                    "Tolvane: out of memory\n",
                    "number of false positives"},
                   256, {"1", "2", "3", "8"});
}

TEST(StageFaults, ShaEndsWithOutOfMemoryAtEveryStage) {
    const ScratchFile file("faults-sha");
    file.write(pattern(2000, 3) + std::string(3000, '\0') + pattern(500, 4));
    failEveryStage({runSha,
                    {"sha", "--threads", "", file.path(), "300", "10", "4", "2"},
                    sha_status::kOutOfMemory,
                    "sha: out of memory\n",
                    "300 10 "},
                   512, {"2", "3", "8"});  // one thread measures without the pipeline
}

}  // namespace
