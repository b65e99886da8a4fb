// Faults in, on a thread of its own, the pages of a buffer the store will
// write soon: the kernel supplies fresh pages slowly, and the thread that
// records the chunks in order should not wait for it.
#ifndef DEDUP_TOLVANE_PAGEWARMER_H
#define DEDUP_TOLVANE_PAGEWARMER_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

class PageWarmer {
public:
    PageWarmer() = default;
    ~PageWarmer() { stop(); }
    PageWarmer(const PageWarmer&) = delete;
    PageWarmer& operator=(const PageWarmer&) = delete;

    // Queues the buffer's pages to be faulted in; the thread starts with the
    // first buffer. Its contents are never changed.
    void warm(void* buffer, std::size_t bytes);
    // Returns once no buffer is being warmed: they may then be released.
    void stop();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable work_;
    std::deque<std::pair<void*, std::size_t>> queued_;
    bool stopping_ = false;
    std::thread thread_;
};

#endif
