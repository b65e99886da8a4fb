#include "ThreadName.h"

#include <pthread.h>

void nameThisThread(const char* name) {
#ifdef __linux__
    pthread_setname_np(pthread_self(), name);
#else
    (void)name;
#endif
}
