// Runs one task at a time on a thread of its own, for work the thread that
// records the chunks in order should not wait for: a part of the store's
// table rebuilt larger while the recorder goes on with the old one.
#ifndef DEDUP_TOLVANE_BACKGROUNDTASK_H
#define DEDUP_TOLVANE_BACKGROUNDTASK_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class BackgroundTask {
public:
    // thread_name: the thread's name (see ThreadName.h), a literal.
    explicit BackgroundTask(const char* thread_name) : thread_name_(thread_name) {}
    ~BackgroundTask() { stop(); }
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Starts task on the thread, which is made at the first task. False, and
    // task not run, when no thread can be made. A task must not throw, and
    // the one before must be done.
    bool start(std::function<void()> task);
    // True once the last task started has returned; what it wrote is then
    // visible to the caller.
    bool done() const { return done_.load(std::memory_order_acquire); }
    // Returns once the last task started has returned.
    void wait();
    // Waits for a running task, then ends the thread.
    void stop();

private:
    void run();

    const char* const thread_name_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> task_;  // the task to run, empty once taken
    bool stopping_ = false;
    std::atomic<bool> done_{true};
    std::thread thread_;
};

#endif
