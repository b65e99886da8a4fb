// sha in process with one array allocation made to fail: the message must
// name what could not be allocated (the chunk buffers or the read block),
// and the run ends with the out-of-memory status and nothing on standard
// output.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "ExitStatus.h"
#include "InputFile.h"
#include "sha.h"

namespace {
std::size_t failingSize = 0;  // array allocations of this many bytes fail; 0: none
}  // namespace

void* operator new[](std::size_t size) {
    if (size == failingSize) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return size == failingSize ? nullptr : std::malloc(size ? size : 1);
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

struct ShaRun {
    int status;
    std::string out;
    std::string err;
};

// sha with these arguments on a small file, with allocations of failSize bytes failing.
ShaRun runShaFailing(std::size_t failSize, std::vector<std::string> arguments) {
    const std::string path = testing::TempDir() + "sha-allocation-input";
    std::FILE* input = std::fopen(path.c_str(), "wb");
    std::fputs("some bytes, then zeros", input);
    std::fclose(input);

    arguments.insert(arguments.end() - 4, path);
    arguments.insert(arguments.begin(), "sha");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    char *out_text = nullptr, *err_text = nullptr;
    std::size_t out_size = 0, err_size = 0;
    std::FILE* out = open_memstream(&out_text, &out_size);
    std::FILE* err = open_memstream(&err_text, &err_size);
    failingSize = failSize;
    const int status = runSha(static_cast<int>(arguments.size()), argv.data(), out, err);
    failingSize = 0;
    std::fclose(out);
    std::fclose(err);
    ShaRun run{status, std::string(out_text, out_size), std::string(err_text, err_size)};
    std::free(out_text);
    std::free(err_text);
    std::remove(path.c_str());
    return run;
}

TEST(ShaAllocationFailure, NamesTheReadBlock) {
    // One thread reads into one block.
    const ShaRun run = runShaFailing(kReadBlockSize, {"--threads", "1", "4096", "64", "0", "0"});
    EXPECT_EQ(run.status, sha_status::kOutOfMemory);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "sha: cannot allocate the read block of " + std::to_string(kReadBlockSize) + " bytes\n");
}

TEST(ShaAllocationFailure, NamesTheChunkBuffers) {
    // N - b - e = 4000 bytes per chunk buffer.
    const ShaRun run = runShaFailing(4000, {"4100", "64", "60", "40"});
    EXPECT_EQ(run.status, sha_status::kOutOfMemory);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "sha: cannot allocate the chunk buffers of 4000 bytes each\n");
}

TEST(ShaAllocationFailure, RunsWhenNothingFails) {
    const ShaRun run = runShaFailing(0, {"4096", "64", "0", "0"});
    EXPECT_EQ(run.status, sha_status::kSuccess);
    EXPECT_EQ(run.err, "");
}

}  // namespace
