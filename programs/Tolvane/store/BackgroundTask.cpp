#include "BackgroundTask.h"

#include <system_error>
#include <utility>

#include "ThreadName.h"

bool BackgroundTask::start(std::function<void()> task) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] {
                nameThisThread(thread_name_);
                run();
            });
        } catch (const std::system_error&) {
            return false;
        }
    }
    task_ = std::move(task);
    done_.store(false, std::memory_order_relaxed);
    changed_.notify_all();
    return true;
}

void BackgroundTask::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return done_.load(std::memory_order_relaxed); });
}

void BackgroundTask::stop() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return done_.load(std::memory_order_relaxed); });
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void BackgroundTask::run() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || task_; });
            if (stopping_) return;
            task = std::move(task_);
            task_ = nullptr;
        }
        task();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_.store(true, std::memory_order_release);
        }
        changed_.notify_all();
    }
}
