#include "StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

void reserveStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // Input is read from it, the outputs are written to it: open it the
        // other way, so that both fail.
        const int opened = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        if (opened < 0 || opened == fd) continue;
        dup2(opened, fd);
        close(opened);
    }
}
