// The Tolvane driver in process on fuzzed files (some longer than a read
// block) and fuzzed arguments. The list file names two fuzzed files (some
// more than once), a path that does not exist and a directory, in fuzzed
// order, on 1, 2, 3 or 8 threads with read blocks of various sizes, with
// each of the chunkers (half the inputs without --chunker). The status,
// every per-file line and the report's counts must match an independent
// model; refused arguments, a wrong argument count and a list
// file that is missing or a directory give their message and status and
// nothing else.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ArgumentText.h"
#include "DriverRun.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "RunVariant.h"
#include "ScratchFile.h"
#include "Tolvane.h"
#include "TolvaneModel.h"

namespace {

const char* const kUsageFirstLine = "usage: Tolvane <f> <min> <max> <nmb> <win> <svl> <usv>\n";

bool inRange(const ArgumentText& argument, long long lowest, long long highest) {
    return argument.value() >= lowest && argument.value() <= highest;
}

// The number after a report line's label.
std::uint64_t numberAfter(const std::string& line, const std::string& label) {
    FUZZ_CHECK(startsWith(line, label));
    return std::stoull(line.substr(label.size()));
}

void checkReport(const std::vector<std::string>& lines, std::size_t first, const TolvaneModel& model,
                 const TolvaneParameters& parameters, std::uint64_t summaryWords, bool useSummaryVector,
                 bool chunkerNamed) {
    // --chunker adds its line before the time.
    FUZZ_CHECK(lines.size() == first + (chunkerNamed ? 15 : 14) && lines[first].empty());
    const std::string* line = &lines[first + 1];
    const std::uint64_t falsePositives = numberAfter(line[0], "number of false positives = ");
    FUZZ_CHECK(line[1] == "length of summary vector = " + std::to_string(summaryWords) + " (in num. of 32-bit words)");
    FUZZ_CHECK(line[2] == "number of chunks stored = " + std::to_string(model.storedChunks()));
    FUZZ_CHECK(line[3] == "window size = " + std::to_string(parameters.window_size));
    FUZZ_CHECK(line[4] == "set min. chunk size = " + std::to_string(parameters.min_chunk_size));
    FUZZ_CHECK(line[5] == "set max. chunk size = " + std::to_string(parameters.max_chunk_size));
    FUZZ_CHECK(line[6] == "original number of chunks = " + std::to_string(model.totalChunks()));
    FUZZ_CHECK(startsWith(line[7], "compression ratio = "));
    const std::uint64_t lookups = numberAfter(line[8], "number of on-disk fingerprint lookups = ");
    const std::uint64_t desired = parameters.num_comp_bits >= 32 ? 0 : std::uint64_t{1} << parameters.num_comp_bits;
    FUZZ_CHECK(startsWith(line[9], "average chunk size = " + std::to_string(desired) + " (desired), "));
    FUZZ_CHECK(line[10] == "squared sum of chunk sizes = " + std::to_string(model.sumOfSquares()));
    FUZZ_CHECK(line[11] == "byte count = " + std::to_string(model.byteCount()));
    FUZZ_CHECK(!chunkerNamed || startsWith(line[12], "chunker = "));
    FUZZ_CHECK(startsWith(line[chunkerNamed ? 13 : 12], "time = "));
    // A stored fingerprint always passes the summary vector.
    if (useSummaryVector)
        FUZZ_CHECK(lookups == falsePositives + model.duplicates() && falsePositives <= model.storedChunks());
    else
        FUZZ_CHECK(lookups == model.totalChunks() && falsePositives == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile list("list"), fileA("a"), fileB("b");
    static const std::string missing = ScratchFile::pathFor("missing");
    static const std::string directory = ScratchFile::directory();

    FuzzInput in(data, size);
    const std::uint8_t shape = in.takeByte();
    std::vector<std::string> arguments = {"Tolvane", list.path()};
    if (shape % 16 == 0) {
        const unsigned count = in.takeByte() % 10;  // arguments after the program name
        arguments.resize(1 + (count == 1 || count == 7 ? count + 1 : count), "1");
        const DriverRun run = runDriver(runTolvane, arguments);
        FUZZ_CHECK(run.status == -1 && startsWith(run.out, kUsageFirstLine) && splitLines(run.out).size() == 8);
        FUZZ_CHECK(run.err.empty());
        return 0;
    }

    TolvaneParameters parameters;
    std::uint64_t summaryWords = 3125;
    bool useSummaryVector = true, refused = false;
    if (shape % 16 >= 5) {
        const ArgumentText min(in, 70000), max(in, 70000), bits(in, 40), window(in, 4096), words(in, 4096);
        const char* const switches[] = {"y", "n", "no", "N", "", "x"};
        const std::string summarySwitch = switches[in.takeByte() % 6];
        arguments.insert(arguments.end(), {min.text(), max.text(), bits.text(), window.text(), words.text(), summarySwitch});
        refused = !inRange(min, 0, UINT32_MAX) || !inRange(max, 0, UINT32_MAX) || !inRange(bits, 0, 32) ||
                  !inRange(window, 1, 65535) || !inRange(words, 1, 134217727);
        parameters = {std::uint64_t(min.value()), std::uint64_t(max.value()), unsigned(bits.value()), unsigned(window.value())};
        summaryWords = std::uint64_t(words.value());
        useSummaryVector = summarySwitch[0] != 'n';
    }
    if (refused) {
        const DriverRun run = runDriver(runTolvane, arguments);
        FUZZ_CHECK(run.status == -1 && run.out.empty() && startsWith(run.err, "Tolvane: "));
        FUZZ_CHECK(splitLines(run.err).size() == 1);
        return 0;
    }
    if ((shape & 0xC0) == 0xC0) {
        arguments[1] = shape & 0x20 ? directory : missing;
        const DriverRun run = runDriver(runTolvane, arguments);
        FUZZ_CHECK(run.status == 2 && run.out.empty());
        FUZZ_CHECK(run.err == (shape & 0x20 ? "Tolvane: error reading file " + directory + "\n"
                                            : "Tolvane: unable to open file " + missing + "\n"));
        return 0;
    }

    // The list: up to five entries, each a fuzzed file, the missing path or
    // the directory, separated by assorted white space.
    const std::uint8_t entryForm = in.takeByte();
    const unsigned entries = 1 + entryForm % 5;
    const std::uint64_t kinds = in.takeNumber(1023);
    const char* const separators[] = {" ", "\n", "\t", " \n\t "};
    const std::uint8_t separatorChoice = in.takeByte();
    const std::size_t lengthA = static_cast<std::size_t>(in.takeNumber(UINT16_MAX) % (in.remaining() + 1));
    const std::string bytesA = (entryForm & 0xF0) == 0xF0 ? in.takeRuns(kLongFileBytes) : in.takeBytes(lengthA);
    const std::string bytesB = in.takeRest();
    fileA.write(bytesA);
    fileB.write(bytesB);

    // The chunker, like the threads and blocks, from the hash of the input.
    const char* const kChunkers[] = {"rabin", "gear", "fastcdc", "fixed"};
    const std::uint64_t chunkerChoice = (RunVariant::hashOf(data, size) >> 8) % 8;
    const std::string chunker = chunkerChoice < 4 ? std::string() : kChunkers[chunkerChoice - 4];
    if (!chunker.empty()) arguments.insert(arguments.begin() + 1, {"--chunker", chunker});
    TolvaneModel model(parameters, chunker);
    std::string listText, expectedErr;
    std::vector<std::string> expectedOut;
    int expectedStatus = 0;
    for (unsigned i = 0; i < entries; ++i) {
        const unsigned kind = (kinds >> (2 * i)) & 3;
        const std::string& path = kind == 0 ? fileA.path() : kind == 1 ? fileB.path() : kind == 2 ? missing : directory;
        listText += path + separators[(separatorChoice >> (2 * (i % 4))) & 3];
        if (kind >= 2) {
            expectedStatus = 2;
            expectedErr += kind == 2 ? "Tolvane: unable to open file " + path + "\n"
                                     : "Tolvane: error reading file " + path + ": Is a directory\n";
            continue;
        }
        const std::string line = model.addFile(kind == 0 ? bytesA : bytesB) + " " + path;
        expectedOut.push_back(line);
        expectedErr += line + "\n";
    }
    list.write(listText);

    const RunVariant variant(data, size, std::max(bytesA.size(), bytesB.size()));
    const DriverRun run = runDriver(runTolvane, variant.arguments(arguments));
    FUZZ_CHECK(run.status == expectedStatus);
    FUZZ_CHECK(run.err == expectedErr);
    const std::vector<std::string> lines = splitLines(run.out);
    FUZZ_CHECK(lines.size() >= expectedOut.size());
    for (std::size_t i = 0; i < expectedOut.size(); ++i) FUZZ_CHECK(lines[i] == expectedOut[i]);
    checkReport(lines, expectedOut.size(), model, parameters, summaryWords, useSummaryVector, !chunker.empty());
    return 0;
}
