// Which file a path or a descriptor is, by device and inode: an output must
// never be a file the tool reads, nor standard output, whatever the names
// they were given by.
#ifndef DEDUP_COMMON_FILEIDENTITY_H
#define DEDUP_COMMON_FILEIDENTITY_H

#include <sys/types.h>

#include <cstdio>

struct FileIdentity {
    bool known = false;  // false when the file could not be looked at (or does not exist)
    bool character_device = false;
    dev_t device = 0;
    ino_t inode = 0;

    static FileIdentity ofPath(const char* path);  // the file a symbolic link leads to
    static FileIdentity ofDescriptor(int fd);
    static FileIdentity ofStream(std::FILE* stream);  // unknown for a stream without a descriptor
};

// True when both are known and the same file whose data writing one would
// destroy or mix with the other's. A character device (a terminal,
// /dev/null) is never taken for such a file: it keeps no data.
bool sharesData(const FileIdentity& a, const FileIdentity& b);

#endif
