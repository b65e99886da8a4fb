#include "ScratchFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "FuzzCheck.h"

ScratchFile::~ScratchFile() { unlink(path_.c_str()); }

void ScratchFile::write(const std::string& bytes) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    FUZZ_CHECK(std::fclose(file) == 0);
}

std::string ScratchFile::directory() {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir != nullptr && *tmpdir != '\0') return tmpdir;
    struct stat info;
    return stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm" : "/tmp";
}

std::string ScratchFile::pathFor(const std::string& tag) {
    return directory() + "/dedup-fuzz-" + std::to_string(getpid()) + "-" + tag;
}
