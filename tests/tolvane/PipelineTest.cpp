// Tolvane and sha in process with tiny read blocks and 1, 2, 3 and 8
// threads, so that chunk boundaries, chunks spanning blocks and files
// shorter than the window meet the hand-offs between blocks and threads
// often. Tolvane's per-file lines and counts must match the independent
// model; every output (text, JSON, trace, messages, status) must be the same
// whatever the threads and blocks, the elapsed time aside.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "DriverRun.h"
#include "InputFile.h"
#include "ScratchFile.h"
#include "Tolvane.h"
#include "TolvaneModel.h"
#include "sha.h"

namespace {

const std::size_t kBlockSizes[] = {7, 64, 1000, kReadBlockSize};
const char* const kThreadCounts[] = {"1", "2", "3", "8"};

struct Outputs {
    DriverRun run;
    std::string trace;
};

// The text with the number after marker (up to end) taken out.
std::string withoutNumberAfter(std::string text, const std::string& marker, const std::string& end) {
    const std::size_t at = text.find(marker);
    if (at == std::string::npos) return text;
    const std::size_t from = at + marker.size();
    return text.erase(from, text.find(end, from) - from);
}

std::string withoutTime(std::string text) {
    text = withoutNumberAfter(text, "time = ", " seconds");
    text = withoutNumberAfter(text, "\"seconds\": ", "\n");
    // sha's last field, before the line's end.
    if (text.size() > 1 && text.back() == '\n' && text.find("time = ") == std::string::npos &&
        text.find('{') == std::string::npos) {
        const std::size_t space = text.rfind(' ');
        if (space != std::string::npos) text.erase(space + 1, text.size() - space - 2);
    }
    return text;
}

std::string contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A run with this block size and these arguments after the program name.
Outputs runWith(std::size_t block_size, Driver driver, std::vector<std::string> arguments,
                const std::string& trace_path = std::string()) {
    setReadBlockSizeForTesting(block_size);
    DriverRun run = runDriver(driver, arguments);
    setReadBlockSizeForTesting(0);
    run.out = withoutTime(run.out);
    return {run, trace_path.empty() ? std::string() : contents(trace_path)};
}

void expectSameOutputs(const Outputs& expected, const Outputs& actual, const std::string& what) {
    EXPECT_EQ(actual.run.status, expected.run.status) << what;
    EXPECT_EQ(actual.run.out, expected.run.out) << what;
    EXPECT_EQ(actual.run.err, expected.run.err) << what;
    EXPECT_EQ(actual.trace, expected.trace) << what;
}

class Pipeline : public testing::Test {
protected:
    std::mt19937 rng{2024};

    std::string randomBytes(std::size_t count) {
        std::string bytes(count, '\0');
        for (char& byte : bytes) byte = static_cast<char>(rng());
        return bytes;
    }
};

// Files that meet every hand-off: shifted repeats, zeros cut at the maximum,
// files around the window size, an empty and a missing one, a directory.
TEST_F(Pipeline, TolvaneGivesTheModelsFiguresWithAnyThreadsAndBlocks) {
    const std::string block = randomBytes(3000);
    const std::vector<std::string> bytes = {
        randomBytes(5000) + block + randomBytes(17) + block + std::string(9000, '\0') + block,
        std::string(40000, '\0'),
        block.substr(0, 47),
        block.substr(0, 48),
        std::string(1, '\0') + block.substr(0, 60),
        "",
        randomBytes(2000) + block,
    };
    std::vector<std::unique_ptr<ScratchFile>> files;
    std::string list;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        files.emplace_back(new ScratchFile("pipeline-" + std::to_string(i)));
        files.back()->write(bytes[i]);
        list += files.back()->path() + "\n";
        if (i == 3) list += ScratchFile::pathFor("missing") + "\n" + ScratchFile::directory() + "\n";
    }
    const ScratchFile list_file("pipeline-list"), trace("pipeline-trace");
    list_file.write(list);

    struct Case {
        TolvaneParameters parameters;
        std::vector<std::string> operands;
    };
    const Case cases[] = {
        {{256, 4096, 6, 48}, {"256", "4096", "6", "48", "100", "y"}},
        {{0, 65536, 0, 48}, {"0", "65536", "0", "48", "3", "y"}},     // every position an anchor
        {{64, 0, 6, 48}, {"64", "0", "6", "48", "3125", "n"}},        // every byte closes a chunk
        {{5000, 3000, 4, 48}, {"5000", "3000", "4", "48", "10", "y"}},  // min above max
    };
    for (const Case& c : cases) {
        TolvaneModel model(c.parameters);
        std::vector<std::string> per_file;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            per_file.push_back(model.addFile(bytes[i]) + " " + files[i]->path());

        std::vector<std::string> arguments = {"Tolvane", "--trace", trace.path(), list_file.path()};
        arguments.insert(arguments.end(), c.operands.begin(), c.operands.end());
        std::vector<std::string> one_thread = arguments;
        one_thread.insert(one_thread.begin() + 1, {"--threads", "1"});
        const Outputs expected = runWith(0, runTolvane, one_thread, trace.path());
        const std::vector<std::string> lines = splitLines(expected.run.out);
        ASSERT_GE(lines.size(), per_file.size() + 3);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + per_file.size()), per_file);
        EXPECT_EQ(lines[per_file.size() + 7], "original number of chunks = " + std::to_string(model.totalChunks()));
        EXPECT_EQ(lines[per_file.size() + 3], "number of chunks stored = " + std::to_string(model.storedChunks()));

        for (const std::size_t block_size : kBlockSizes) {
            for (const char* threads : kThreadCounts) {
                // JSON too, with one block size: the trace must not change.
                for (int pass = 0; pass < (block_size == 64 ? 2 : 1); ++pass) {
                    const bool json = pass == 1;
                    std::vector<std::string> varied = arguments;
                    varied.insert(varied.begin() + 1, {"--threads", threads});
                    if (json) varied.insert(varied.begin() + 1, "--json");
                    const Outputs actual = runWith(block_size, runTolvane, varied, trace.path());
                    if (json) {
                        EXPECT_EQ(actual.trace, expected.trace);
                        continue;
                    }
                    expectSameOutputs(expected, actual,
                                      "block " + std::to_string(block_size) + ", threads " + threads);
                }
            }
        }
    }
}

// The other chunkers and compression: chunks whose first 64 bytes lie in an
// earlier block (min below 64), chunks of many tiny blocks gathered whole for
// compression, fastcdc's switch of masks, fixed chunks; against the model
// and the same whatever the threads and blocks.
TEST_F(Pipeline, EveryChunkerAndCompressionGiveTheSameWithAnyThreadsAndBlocks) {
    const std::string block = randomBytes(2500);
    const std::vector<std::string> bytes = {
        randomBytes(3000) + block + randomBytes(9) + block + std::string(7000, '\0') + block,
        std::string(1, 'x'),
        block.substr(0, 70),
        "",
        std::string(5000, 'a') + block,
    };
    std::vector<std::unique_ptr<ScratchFile>> files;
    std::string list;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        files.emplace_back(new ScratchFile("chunkers-" + std::to_string(i)));
        files.back()->write(bytes[i]);
        list += files.back()->path() + "\n";
    }
    const ScratchFile list_file("chunkers-list"), trace("chunkers-trace");
    list_file.write(list);

    struct Case {
        const char* chunker;
        TolvaneParameters parameters;
        std::vector<std::string> operands;
        const char* compress;
    };
    const Case cases[] = {
        {"gear", {0, 3000, 6, 48}, {"0", "3000", "6", "48", "100", "y"}, "zstd:1"},
        {"gear", {40, 65536, 8, 48}, {"40", "65536", "8", "48", "100", "y"}, "lz4"},
        {"fastcdc", {10, 4000, 7, 48}, {"10", "4000", "7", "48", "3125", "n"}, "zstd:3"},
        {"fastcdc", {200, 100000, 1, 48}, {"200", "100000", "1", "48", "3125", "y"}, nullptr},
        {"fixed", {0, 0, 9, 48}, {"0", "0", "9", "48", "3125", "y"}, "lz4"},
        {"rabin", {256, 20000, 11, 32}, {"256", "20000", "11", "32", "3125", "y"}, "zstd:1"},
    };
    for (const Case& c : cases) {
        TolvaneModel model(c.parameters, c.chunker);
        std::vector<std::string> per_file;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            per_file.push_back(model.addFile(bytes[i]) + " " + files[i]->path());
        std::vector<std::string> arguments = {"Tolvane", "--chunker", c.chunker, "--trace", trace.path()};
        if (c.compress != nullptr) arguments.insert(arguments.end(), {"--compress", c.compress});
        arguments.push_back(list_file.path());
        arguments.insert(arguments.end(), c.operands.begin(), c.operands.end());
        std::vector<std::string> one_thread = arguments;
        one_thread.insert(one_thread.begin() + 1, {"--threads", "1"});
        const Outputs expected = runWith(0, runTolvane, one_thread, trace.path());
        ASSERT_EQ(expected.run.status, 0) << expected.run.err;
        const std::vector<std::string> lines = splitLines(expected.run.out);
        ASSERT_GE(lines.size(), per_file.size() + 8);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + per_file.size()), per_file) << c.chunker;
        EXPECT_NE(expected.run.out.find("original number of chunks = " + std::to_string(model.totalChunks()) + "\n"),
                  std::string::npos)
            << c.chunker;
        EXPECT_NE(expected.run.out.find("number of chunks stored = " + std::to_string(model.storedChunks()) + "\n"),
                  std::string::npos)
            << c.chunker;
        for (const std::size_t block_size : kBlockSizes) {
            for (const char* threads : kThreadCounts) {
                std::vector<std::string> varied = arguments;
                varied.insert(varied.begin() + 1, {"--threads", threads});
                expectSameOutputs(expected, runWith(block_size, runTolvane, varied, trace.path()),
                                  std::string(c.chunker) + ": block " + std::to_string(block_size) + ", threads " +
                                      threads);
            }
        }
    }
}

TEST_F(Pipeline, ShaGivesTheSameLineWithAnyThreadsAndBlocks) {
    std::string bytes;
    for (int piece = 0; piece < 60; ++piece) {
        const std::size_t length = rng() % 700;
        bytes += rng() % 3 == 0 ? randomBytes(length) : std::string(length, '\0');
        if (rng() % 4 == 0) bytes += '\x7f';
    }
    const ScratchFile file("pipeline-sha");
    file.write(bytes);
    const std::vector<std::vector<std::string>> sizes = {
        {"100", "10", "0", "0"}, {"1000", "64", "3", "2"}, {"64", "8", "0", "0"}, {"300", "7", "-20", "5"}};
    for (const auto& operands : sizes) {
        std::vector<std::string> arguments = {"sha", file.path()};
        arguments.insert(arguments.end(), operands.begin(), operands.end());
        std::vector<std::string> one_thread = arguments;
        one_thread.insert(one_thread.begin() + 1, {"--threads", "1"});
        const Outputs expected = runWith(0, runSha, one_thread);
        ASSERT_EQ(expected.run.status, 0) << expected.run.err;
        for (const std::size_t block_size : kBlockSizes) {
            for (const char* threads : kThreadCounts) {
                std::vector<std::string> varied = arguments;
                varied.insert(varied.begin() + 1, {"--threads", threads});
                expectSameOutputs(expected, runWith(block_size, runSha, varied),
                                  operands[0] + ": block " + std::to_string(block_size) + ", threads " + threads);
            }
        }
    }
}

}  // namespace
