// A fixed set of worker threads that run jobs in the order they were
// pushed, and a way for any thread to wait until a condition that some job
// makes true holds.
//
// Jobs are small values kept in a ring of fixed capacity, so pushing never
// allocates: a tool that runs out of memory does so at the same point
// whatever the number of threads. When no thread can be started the pool has
// none, and its owner runs the jobs itself.
#ifndef DEDUP_COMMON_WORKERPOOL_H
#define DEDUP_COMMON_WORKERPOOL_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

template <typename Job>
class WorkerPool {
public:
    // threads workers, each calling handler(job) for one job after another;
    // at most capacity jobs wait at a time.
    WorkerPool(unsigned threads, std::size_t capacity, std::function<void(const Job&)> handler)
        : handler_(std::move(handler)), ring_(capacity) {
        for (unsigned i = 0; i < threads; ++i) {
            try {
                workers_.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                break;  // the system allows no more threads: run with those there are
            }
        }
    }

    // Lets the workers finish the job in hand, drops the waiting ones.
    ~WorkerPool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        work_ready_.notify_all();
        for (std::thread& worker : workers_) worker.join();
    }

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned threads() const { return static_cast<unsigned>(workers_.size()); }

    // The caller keeps the number of waiting jobs within the capacity.
    void push(const Job& job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ring_[(first_ + waiting_) % ring_.size()] = job;
            ++waiting_;
        }
        work_ready_.notify_one();
    }

    // Blocks until ready() holds; it is tested again after every job and
    // every notify().
    template <typename Ready>
    void waitFor(Ready ready) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, ready);
    }

    // A job made something ready part-way through (a waiting job may go on).
    void notify() {
        { std::lock_guard<std::mutex> lock(mutex_); }
        changed_.notify_all();
    }

private:
    void work() {
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                work_ready_.wait(lock, [this] { return stopping_ || waiting_ > 0; });
                if (stopping_) return;
                job = ring_[first_];
                first_ = (first_ + 1) % ring_.size();
                --waiting_;
            }
            handler_(job);
            notify();
        }
    }

    std::function<void(const Job&)> handler_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable changed_;
    std::vector<Job> ring_;
    std::size_t first_ = 0;
    std::size_t waiting_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

#endif
