// The Nimbrel driver: lists every run of non-zero bytes of one file.
// Exit statuses: 0 success; 1 usage; 2 the file cannot be opened or read;
// 4 out of memory.
#include "Nimbrel.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "NonZeroRunLister.h"

namespace {

const std::size_t kReadBlockSize = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
};

int listRuns(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    if (argc != 2) {
        std::fprintf(out, "usage: Nimbrel <filename>\n");
        return 1;
    }
    const char* path = argv[1];
    std::unique_ptr<std::FILE, FileCloser> fp(std::fopen(path, "rb"));
    if (!fp) {
        std::fprintf(err, "Nimbrel: unable to open file %s\n", path);
        return 2;
    }
    std::unique_ptr<unsigned char[]> block(new unsigned char[kReadBlockSize]);
    NonZeroRunLister lister(out);
    for (;;) {
        std::size_t got = std::fread(block.get(), 1, kReadBlockSize, fp.get());
        lister.feed(block.get(), got);
        if (got == kReadBlockSize) continue;
        if (!std::ferror(fp.get())) return 0;
        // The listing so far is written before the message.
        int readError = errno;
        lister.flush();
        std::fprintf(err, "Nimbrel: error reading file %s: %s\n", path, std::strerror(readError));
        return 2;
    }
}

}  // namespace

int runNimbrel(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    try {
        return listRuns(argc, argv, out, err);
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "Nimbrel: out of memory\n");
        return 4;
    }
}
