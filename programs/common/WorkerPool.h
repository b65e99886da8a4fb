// A fixed set of worker threads that run jobs, those of the lowest rank
// first (in the order they were pushed among equals), and a way for any
// thread to wait until a condition that some job makes true holds. The tools
// rank a job by the place of its block in the input, so that the oldest
// block moves on first and few blocks need to be in flight.
//
// Jobs are small values kept in a heap of fixed capacity, so pushing never
// allocates: a tool that runs out of memory does so at the same point
// whatever the number of threads. When no thread can be started the pool has
// none, and its owner runs the jobs itself.
#ifndef DEDUP_COMMON_WORKERPOOL_H
#define DEDUP_COMMON_WORKERPOOL_H

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "ThreadName.h"

template <typename Job>
class WorkerPool {
public:
    // threads workers, each calling handler(job) for one job after another;
    // at most capacity jobs wait at a time.
    WorkerPool(unsigned threads, std::size_t capacity, std::function<void(const Job&)> handler)
        : handler_(std::move(handler)), capacity_(capacity) {
        waiting_.reserve(capacity);
        for (unsigned i = 0; i < threads; ++i) {
            try {
                workers_.emplace_back([this] {
                    nameThisThread("worker");
                    work();
                });
            } catch (const std::system_error&) {
                break;  // the system allows no more threads: run with those there are
            }
        }
    }

    ~WorkerPool() { stop(); }

    // Lets the workers finish the job in hand, drops the waiting ones, and
    // returns once every worker has ended. The pool takes no job afterwards.
    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        work_ready_.notify_all();
        for (std::thread& worker : workers_)
            if (worker.joinable()) worker.join();
    }

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned threads() const { return static_cast<unsigned>(workers_.size()); }

    // The caller keeps the number of waiting jobs within the capacity: one
    // more is a fault of the caller's, refused rather than allocated for.
    void push(const Job& job, std::uint64_t rank = 0) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (waiting_.size() == capacity_) throw std::logic_error("worker pool: more jobs than its capacity");
            waiting_.push_back({rank, pushed_++, job});
            std::push_heap(waiting_.begin(), waiting_.end(), Waiting::later);
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
                work_ready_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
                if (stopping_) return;
                std::pop_heap(waiting_.begin(), waiting_.end(), Waiting::later);
                job = waiting_.back().job;
                waiting_.pop_back();
            }
            handler_(job);
            notify();
        }
    }

    struct Waiting {
        std::uint64_t rank;
        std::uint64_t order;  // of pushing, among jobs of one rank
        Job job;
        // The heap's order: the job that runs next comes out first.
        static bool later(const Waiting& a, const Waiting& b) {
            return a.rank != b.rank ? a.rank > b.rank : a.order > b.order;
        }
    };

    std::function<void(const Job&)> handler_;
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable changed_;
    std::vector<Waiting> waiting_;  // a heap, its capacity reserved
    std::uint64_t pushed_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

#endif
