// A file of this process under the temporary directory, rewritten for every
// fuzz input and removed when the process ends. The programs under test get
// its path, as they would get any user's file.
#ifndef DEDUP_FUZZ_SCRATCHFILE_H
#define DEDUP_FUZZ_SCRATCHFILE_H

#include <string>

class ScratchFile {
public:
    explicit ScratchFile(const std::string& tag) : path_(pathFor(tag)) {}
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }
    void write(const std::string& bytes) const;

    // The directory the files live in ($TMPDIR, else /dev/shm, else /tmp).
    static std::string directory();
    // A path of this process under directory() that is never created.
    static std::string pathFor(const std::string& tag);

private:
    std::string path_;
};

#endif
