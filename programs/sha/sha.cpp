// The sha driver: reads one file, cuts it into fixed-size chunks (each
// trimmed by a begin and an end offset), measures every chunk against an
// all-zero template and prints one line of counts and the elapsed time.
//
// Exit statuses: 0 success; 1 usage or clock failure; 2 the file cannot be
// opened or read; 3 unusable sizes (chunk smaller than the window, window
// below one byte, chunk too large to measure, a number outside the range of
// an int); 4 out of memory.
#include "sha.h"

#include <sys/time.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "ChunkFramer.h"
#include "ChunkMeasurer.h"

namespace {

// Read in large blocks: the framing does not depend on the block size.
const std::size_t kReadBlockSize = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
using Buffer = std::unique_ptr<unsigned char[]>;

void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: sha <file> <chunk size in bytes> <chunk window size in bytes> "
                 "<begin offset> <end offset>\n");
}

// Wall-clock nanoseconds; false when the clock cannot be read.
bool readClock(std::int64_t& nanoseconds) {
    struct timeval tv;
    if (gettimeofday(&tv, nullptr) != 0) return false;
    nanoseconds = std::int64_t(tv.tv_sec) * 1000000000 + std::int64_t(tv.tv_usec) * 1000;
    return true;
}

// S bytes, all zero; null when they cannot be allocated.
Buffer zeroedBuffer(std::int64_t size) {
    return Buffer(new (std::nothrow) unsigned char[std::size_t(size)]());
}

struct Sizes {
    int chunk_size_argument;  // N
    int window_size;          // W
    int begin_offset;         // b
    int end_offset;           // e
    std::int64_t chunk_size;  // S = N - b - e, which 32 bits cannot always hold
};

// A number as atoi reads it (leading blanks, an optional sign, digits;
// anything else ends it, and no digits give 0), but refused with a message
// when it does not fit an int instead of being read as some other number.
bool readNumber(const char* text, const char* name, int& value, std::FILE* err) {
    errno = 0;
    const long long parsed = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) {
        std::fprintf(err, "sha: %s %s is out of range\n", name, text);
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// Refuses sizes the measurement cannot work with; returns 0 or the status.
int checkSizes(const Sizes& sizes, std::FILE* err) {
    if (sizes.chunk_size < sizes.window_size) {
        std::fprintf(err, "sha: min chunk size is %d\n", sizes.window_size);
        return 3;
    }
    if (sizes.window_size < 1) {
        std::fprintf(err, "sha: window size is %d, it must be at least 1\n", sizes.window_size);
        return 3;
    }
    if (sizes.chunk_size > INT_MAX) {
        std::fprintf(err, "sha: chunk size %lld is too large, at most %d\n",
                     static_cast<long long>(sizes.chunk_size), INT_MAX);
        return 3;
    }
    return 0;
}

// Reads the whole file through the framer; false on a read error.
bool readAll(std::FILE* fp, ChunkFramer& framer, unsigned char* block) {
    for (;;) {
        std::size_t got = std::fread(block, 1, kReadBlockSize, fp);
        if (got > 0) framer.feed(block, got);
        if (got < kReadBlockSize) return !std::ferror(fp);
    }
}

int measureFile(const Sizes& sizes, const char* path, std::FILE* out, std::FILE* err) {
    File fp(std::fopen(path, "rb"));
    if (!fp) {
        std::fprintf(err, "sha: unable to open file %s\n", path);
        return 2;
    }
    Buffer template_chunk = zeroedBuffer(sizes.chunk_size);
    Buffer candidate_chunk = zeroedBuffer(sizes.chunk_size);
    Buffer block(new (std::nothrow) unsigned char[kReadBlockSize]);
    if (!template_chunk || !candidate_chunk || !block) {
        std::fprintf(err, "sha: cannot allocate the chunk buffers of %lld bytes each\n",
                     static_cast<long long>(sizes.chunk_size));
        return 4;
    }
    const int chunk_size = int(sizes.chunk_size);
    ChunkMeasurer measurer(template_chunk.get(), chunk_size, sizes.window_size, err);
    ChunkFramer framer(sizes.begin_offset, chunk_size, candidate_chunk.get(), measurer);

    std::int64_t start_time = 0, end_time = 0;
    if (!readClock(start_time)) {
        std::fprintf(out, "gettimeofday ERROR\n");
        return 1;
    }
    if (!readAll(fp.get(), framer, block.get())) {
        std::fprintf(err, "sha: error reading file %s: %s\n", path, std::strerror(errno));
        return 2;
    }
    fp.reset();
    framer.finish();
    if (!readClock(end_time)) {
        std::fprintf(out, "gettimeofday ERROR\n");
        return 1;
    }

    std::fprintf(out, "%d %d %lld %lld %lld %lld %lld %lld %lld\n", sizes.chunk_size_argument,
                 sizes.window_size, static_cast<long long>(measurer.chunkCount()),
                 static_cast<long long>(measurer.distinctFingerprints()),
                 static_cast<long long>(framer.totalBytes()),
                 static_cast<long long>(framer.paddingBytes()),
                 static_cast<long long>(measurer.windowLinkedLists()),
                 static_cast<long long>(measurer.windows()),
                 static_cast<long long>((end_time - start_time) / 1000000));
    return 0;
}

}  // namespace

int runSha(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    if (argc != 6) {
        usage(out);
        return 1;
    }
    Sizes sizes;
    if (!readNumber(argv[2], "chunk size", sizes.chunk_size_argument, err) ||
        !readNumber(argv[3], "chunk window size", sizes.window_size, err) ||
        !readNumber(argv[4], "begin offset", sizes.begin_offset, err) ||
        !readNumber(argv[5], "end offset", sizes.end_offset, err))
        return 3;
    sizes.chunk_size =
        std::int64_t(sizes.chunk_size_argument) - sizes.begin_offset - sizes.end_offset;
    if (int status = checkSizes(sizes, err)) return status;
    try {
        return measureFile(sizes, argv[1], out, err);
    } catch (const std::bad_alloc&) {
        // Window lists and fingerprint entries grow with the input.
        std::fprintf(err, "sha: out of memory\n");
        return 4;
    }
}
