// Names the calling thread, so that `top -H`, `ps -L` and the benchmark's
// shares of each thread tell the threads apart. A hint only: where threads
// have no names, nothing happens.
#ifndef DEDUP_COMMON_THREADNAME_H
#define DEDUP_COMMON_THREADNAME_H

// name: at most 15 characters, the kernel's limit.
void nameThisThread(const char* name);

#endif
