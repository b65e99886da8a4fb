#include "PageWarmer.h"

#include <sys/mman.h>

#include <system_error>

#include "ThreadName.h"

void PageWarmer::warm(void* buffer, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return;  // no thread: the pages come when they are first written, as always
        }
    }
    queued_.emplace_back(buffer, bytes);
    work_.notify_one();
#else
    (void)buffer;
    (void)bytes;
#endif
}

void PageWarmer::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queued_.clear();
    }
    work_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void PageWarmer::run() {
    nameThisThread("store warmer");
    for (;;) {
        std::pair<void*, std::size_t> buffer;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
            if (stopping_) return;
            buffer = queued_.front();
            queued_.pop_front();
        }
#ifdef MADV_POPULATE_WRITE
        // A hint: should the kernel refuse, the pages come when first written.
        madvise(buffer.first, buffer.second, MADV_POPULATE_WRITE);
#endif
    }
}
