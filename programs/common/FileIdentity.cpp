#include "FileIdentity.h"

#include <sys/stat.h>

namespace {

FileIdentity fromStatus(bool looked, const struct stat& status) {
    FileIdentity identity;
    if (!looked) return identity;
    identity.known = true;
    identity.character_device = S_ISCHR(status.st_mode);
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    return identity;
}

}  // namespace

FileIdentity FileIdentity::ofPath(const char* path) {
    struct stat status;
    const bool looked = stat(path, &status) == 0;
    return fromStatus(looked, status);
}

FileIdentity FileIdentity::ofDescriptor(int fd) {
    struct stat status;
    const bool looked = fd >= 0 && fstat(fd, &status) == 0;
    return fromStatus(looked, status);
}

FileIdentity FileIdentity::ofStream(std::FILE* stream) {
    return ofDescriptor(stream != nullptr ? fileno(stream) : -1);
}

bool sharesData(const FileIdentity& a, const FileIdentity& b) {
    return a.known && b.known && !a.character_device && a.device == b.device && a.inode == b.inode;
}
