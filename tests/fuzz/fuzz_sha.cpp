// The sha driver in process on a fuzzed file (at times longer than a read
// block) and fuzzed numeric arguments. Numbers beyond an int and sizes it
// cannot work with are refused with status 3; a missing file and a directory
// give status 2; otherwise fields 1 to 8 of the result line must match a model that frames the chunks
// byte by byte, tells near-empty chunks apart by counting bytes, finds
// duplicates by comparing bytes, and counts the differing windows of the
// others. The measuring runs on 1, 2, 3 or 8 threads with read blocks of
// various sizes.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ArgumentText.h"
#include "DriverRun.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "RunVariant.h"
#include "ScratchFile.h"
#include "sha.h"

namespace {

const char* const kUsage =
    "usage: sha <file> <chunk size in bytes> <chunk window size in bytes> <begin offset> <end offset>\n";
// Larger chunks are accepted but only make a run slow.
const std::int64_t kLargestChunkRun = 1 << 20;

// Fields 3 to 8 of the result line.
struct ShaCounts {
    long long chunks = 0, distinct = 0, total_bytes = 0, padding = 0, window_lists = 0, windows = 0;
};

ShaCounts expectedCounts(const std::string& file, int begin, int chunkSize, int window) {
    ShaCounts counts;
    std::set<std::string> digested;
    std::string chunk;
    const auto measure = [&] {
        ++counts.chunks;
        std::size_t nonZero = 0;
        for (char byte : chunk) nonZero += byte != 0;
        if (static_cast<double>(nonZero) / chunkSize <= 0.01) {
            digested.insert(chunk);
            return;
        }
        ++counts.window_lists;
        unsigned differing = 0;
        // Each window looks at its own bytes only: a search to the end of the
        // chunk would make a long zero tail quadratic.
        for (std::size_t start = 0; start < chunk.size(); start += window) {
            const std::size_t end = std::min(chunk.size(), start + std::size_t(window));
            differing += std::any_of(chunk.begin() + start, chunk.begin() + end, [](char b) { return b != 0; });
        }
        if ((unsigned(window) + 8) * differing < unsigned(chunkSize)) counts.windows += differing == 0 ? 1 : differing;
    };
    long long skipped = 0;
    for (char byte : file) {
        if (skipped++ >= begin) chunk += byte;
        if (chunk.size() == std::size_t(chunkSize)) {
            counts.total_bytes += chunkSize;
            measure();
            chunk.clear();
            skipped = 0;
        }
    }
    if (!chunk.empty()) {
        counts.total_bytes += chunk.size();
        counts.padding = chunkSize - chunk.size();
        chunk.resize(chunkSize, '\0');
        measure();
    }
    counts.distinct = digested.size();
    return counts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file("sha-input");
    static const std::string missing = ScratchFile::pathFor("missing");
    static const std::string directory = ScratchFile::directory();

    FuzzInput in(data, size);
    const std::uint8_t shape = in.takeByte();
    if (shape % 16 == 0) {
        std::vector<std::string> arguments(1 + (in.takeByte() % 9), "4");
        if (arguments.size() == 6) arguments.push_back("4");
        const DriverRun run = runDriver(runSha, arguments);
        FUZZ_CHECK(run.status == 1 && run.out == kUsage && run.err.empty());
        return 0;
    }
    const ArgumentText chunkText(in, kLargestChunkRun), windowText(in, 4096), beginText(in, 4096), endText(in, 4096);
    const std::string contents = (shape & 0xF0) == 0xF0 ? in.takeRuns(kLongFileBytes) : in.takeRest();
    file.write(contents);
    const std::string& path = shape % 16 == 1 ? missing : shape % 16 == 2 ? directory : file.path();
    const std::vector<std::string> arguments = {"sha", path, chunkText.text(), windowText.text(), beginText.text(),
                                                endText.text()};

    // A number beyond the range of an int is refused, not read as another number.
    const std::pair<const char*, const ArgumentText*> numbers[] = {
        {"chunk size", &chunkText}, {"chunk window size", &windowText}, {"begin offset", &beginText},
        {"end offset", &endText}};
    for (const auto& [name, number] : numbers) {
        if (number->value() >= INT_MIN && number->value() <= INT_MAX) continue;
        const DriverRun run = runDriver(runSha, arguments);
        FUZZ_CHECK(run.status == 3 && run.out.empty());
        FUZZ_CHECK(run.err == "sha: " + std::string(name) + " " + number->text() + " is out of range\n");
        return 0;
    }
    const int chunkArgument = int(chunkText.value()), window = int(windowText.value());
    const int begin = int(beginText.value()), end = int(endText.value());
    const std::int64_t chunkSize = std::int64_t{chunkArgument} - begin - end;

    if (chunkSize < window || window < 1 || chunkSize > INT_MAX) {
        const DriverRun run = runDriver(runSha, arguments);
        FUZZ_CHECK(run.status == 3 && run.out.empty() && startsWith(run.err, "sha: "));
        if (chunkSize < window) FUZZ_CHECK(run.err == "sha: min chunk size is " + std::to_string(window) + "\n");
        return 0;
    }
    if (chunkSize > kLargestChunkRun) return 0;

    const RunVariant variant(data, size, contents.size());
    const DriverRun run = runDriver(runSha, variant.arguments(arguments));
    if (path != file.path()) {
        FUZZ_CHECK(run.status == 2 && run.out.empty());
        FUZZ_CHECK(run.err == (path == missing ? "sha: unable to open file " + path + "\n"
                                               : "sha: error reading file " + path + ": Is a directory\n"));
        return 0;
    }
    FUZZ_CHECK(run.status == 0 && run.err.empty());
    ShaCounts got;
    int gotChunkArgument = 0, gotWindow = 0, fieldsEnd = 0;
    long long milliseconds = -1;
    FUZZ_CHECK(std::sscanf(run.out.c_str(), "%d %d %lld %lld %lld %lld %lld %lld %lld\n%n", &gotChunkArgument,
                           &gotWindow, &got.chunks, &got.distinct, &got.total_bytes, &got.padding, &got.window_lists,
                           &got.windows, &milliseconds, &fieldsEnd) == 9);
    FUZZ_CHECK(std::size_t(fieldsEnd) == run.out.size() && milliseconds >= 0);
    const ShaCounts expected = expectedCounts(contents, begin, int(chunkSize), window);
    FUZZ_CHECK(gotChunkArgument == chunkArgument && gotWindow == window);
    FUZZ_CHECK(got.chunks == expected.chunks && got.distinct == expected.distinct);
    FUZZ_CHECK(got.total_bytes == expected.total_bytes && got.padding == expected.padding);
    FUZZ_CHECK(got.window_lists == expected.window_lists && got.windows == expected.windows);
    return 0;
}
