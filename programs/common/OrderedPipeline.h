// Moves a tool's input, block after block, through its stages:
//
//   read -> work 1 -> step 1 -> work 2 -> ... -> step n-1 -> work n -> retire
//
// Reading and retiring run on the caller's thread, one block after another
// in input order; the work stages run on a worker pool, several blocks at a
// time (or on the caller's thread, in turn, when the pool has no thread).
// The steps between the work stages also run one block after another in
// input order, one at a time, but on whichever thread finds a step ready
// (mostly the worker that has just done the work before it, which then hands
// out the next work itself): the caller is woken only when a block can be
// retired, so the thread that keeps the order does little besides. A fixed
// set of blocks is reused: read ahead into whichever is free, retired in
// input order. Whatever the threads, every step and every retirement
// therefore sees exactly what one thread would give it.
//
// Reading may ask to drain first: every block in flight is then retired
// before the next stretch is read (a read that may block, such as opening a
// FIFO, must not hold back the output of the blocks before it).
//
// A failure (an exception) in any stage of a block skips the block's later
// work, stops reading, and is raised again on the caller's thread when the
// block's turn to be retired comes, after every block before it was retired:
// the output is the one thread's up to that point.
//
// The pool's invariant, which the work stages may rely on: a work job may
// wait for a work job of an older block (one read before it), and only for
// one that was handed out before it. Workers take the oldest block's jobs
// first, so the job waited for is already running or done when the waiting
// one starts, and no set of waiting jobs can hold every worker. A block whose
// later work is skipped is abandoned (Stages::abandon), which must release
// whatever a later block's work could be waiting for.
#ifndef DEDUP_COMMON_ORDEREDPIPELINE_H
#define DEDUP_COMMON_ORDEREDPIPELINE_H

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "StageFaults.h"
#include "WorkerPool.h"

template <typename Block>
class OrderedPipeline {
public:
    // What reading a stretch of input gave; see Stages::read.
    enum class Read { filled, ended, drain };

    // What a tool does at each stage. Work stages are numbered 1 .. n; step
    // k runs in order after work k (k = 1 .. n - 1).
    class Stages {
    public:
        virtual ~Stages() = default;
        // Reads the next stretch of input into block (reset for it): filled;
        // or the block stays unused: ended, the input has ended; drain,
        // read is called again once every block in flight is retired (at
        // once when none is), and must then read the stretch.
        virtual Read read(Block& block) = 0;
        // Whether the block needs work stage `stage`; one that needs none
        // passes it at once.
        virtual bool needsWork(unsigned stage, const Block& block) const = 0;
        // Work stage `stage` on any thread.
        virtual void work(unsigned stage, Block& block) = 0;
        // In order, after work stage `stage` (1 .. n - 1), on any thread but
        // never two at a time.
        virtual void step(unsigned stage, Block& block) = 0;
        // In order, last; false ends the run here.
        virtual bool retire(Block& block) = 0;
        // The block's later work is skipped: release what a later block's
        // work may wait for. Called on any thread.
        virtual void abandon(Block& block) = 0;
    };

    // blocks: the blocks to reuse, at least two (a retired block stays
    // untouched until the next one is retired, so later work may still read
    // what it left). workers: pool threads, 0 to run the work in turn; no
    // more are started than there are blocks, each of which has at most one
    // job at a time.
    OrderedPipeline(unsigned work_stages, std::vector<std::unique_ptr<Block>> blocks, unsigned workers);

    // Runs until the input ends or a retirement says stop; raises a stage's
    // failure in its block's place.
    void run(Stages& stages);

    // For the work stages: wait until ready() holds (tested again after
    // every job and every notify()), and say that something became ready.
    template <typename Ready>
    void waitFor(Ready ready) {
        if (pool_ != nullptr) pool_->waitFor(ready);
    }
    void notify() {
        if (pool_ != nullptr) pool_->notify();
    }

private:
    struct Slot {
        std::unique_ptr<Block> block;
        std::uint64_t sequence = 0;  // place in the input
        // Work stages done, 0 .. n; n also once the block is abandoned.
        std::atomic<unsigned> worked{0};
        std::exception_ptr failure;
    };
    struct Job {
        Slot* slot = nullptr;
        unsigned stage = 0;
    };

    Slot& inFlight(std::uint64_t sequence) { return *ring_[sequence % ring_.size()]; }
    bool workDone(std::uint64_t sequence, unsigned stage) { return inFlight(sequence).worked.load() >= stage; }
    // True when the slot comes after a block that failed: it is never retired.
    bool pastFailure(const Slot& slot) const { return slot.sequence > first_failure_.load(); }
    void readAhead();
    void runJob(const Job& job);
    // Hands out work stage `stage` of the slot, or passes it at once.
    void startWork(Slot& slot, unsigned stage);
    // The slot's work is done up to `stage`: a step may be ready, or, after
    // the last stage, the block may be retired.
    void setWorked(Slot& slot, unsigned stage);
    void fail(Slot& slot, std::exception_ptr failure);
    void skipWork(Slot& slot);
    // Runs every step that is ready, oldest blocks first, on the calling
    // thread; the number run.
    std::uint64_t advanceSteps();
    bool retireReady();
    void notifyRetire();

    const unsigned stages_;
    Stages* tool_ = nullptr;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::vector<Slot*> free_;
    std::vector<Slot*> ring_;  // the blocks in flight, by sequence
    std::unique_ptr<WorkerPool<Job>> pool_;
    bool reading_ = true;
    bool draining_ = false;  // the next read waits until every block in flight is retired
    // Sequences: the next block to read and to retire; stepped_[0] is the
    // next block to read, stepped_[k] the next block to pass step k.
    std::uint64_t retired_ = 0;
    std::unique_ptr<std::atomic<std::uint64_t>[]> stepped_;
    std::mutex step_mutex_;  // held while steps run
    // The caller waits here until the oldest block can be retired.
    std::mutex retire_mutex_;
    std::condition_variable retire_ready_;
    Slot* last_retired_ = nullptr;
    std::atomic<std::uint64_t> first_failure_{UINT64_MAX};
};

template <typename Block>
OrderedPipeline<Block>::OrderedPipeline(unsigned work_stages, std::vector<std::unique_ptr<Block>> blocks,
                                        unsigned workers)
    : stages_(work_stages), ring_(blocks.size()), stepped_(new std::atomic<std::uint64_t>[work_stages]) {
    for (unsigned k = 0; k < work_stages; ++k) stepped_[k] = 0;
    for (std::unique_ptr<Block>& block : blocks) {
        slots_.emplace_back(new Slot);
        slots_.back()->block = std::move(block);
        free_.push_back(slots_.back().get());
    }
    if (workers > 0) {
        // Each block has at most one job handed out at a time.
        const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(workers, slots_.size()));
        pool_.reset(new WorkerPool<Job>(threads, slots_.size(), [this](const Job& job) { runJob(job); }));
        if (pool_->threads() == 0) pool_.reset();  // no thread could be started: work in turn
    }
}

template <typename Block>
void OrderedPipeline<Block>::runJob(const Job& job) {
    Slot& slot = *job.slot;
    try {
        stageFaults::check();
        tool_->work(job.stage, *slot.block);
        setWorked(slot, job.stage);
    } catch (...) {
        fail(slot, std::current_exception());
    }
    // On a worker, the step this work readied (or passed, failing) runs at
    // once; without one, the caller's loop runs it.
    if (pool_ != nullptr) advanceSteps();
}

template <typename Block>
void OrderedPipeline<Block>::setWorked(Slot& slot, unsigned stage) {
    slot.worked.store(stage);
    if (stage == stages_) notifyRetire();
}

template <typename Block>
void OrderedPipeline<Block>::notifyRetire() {
    { std::lock_guard<std::mutex> lock(retire_mutex_); }
    retire_ready_.notify_one();
}

template <typename Block>
void OrderedPipeline<Block>::fail(Slot& slot, std::exception_ptr failure) {
    slot.failure = failure;
    // Keep the earliest failing block: blocks after it are not retired.
    std::uint64_t first = first_failure_.load();
    while (slot.sequence < first && !first_failure_.compare_exchange_weak(first, slot.sequence)) {
    }
    skipWork(slot);
}

template <typename Block>
void OrderedPipeline<Block>::skipWork(Slot& slot) {
    tool_->abandon(*slot.block);
    setWorked(slot, stages_);
    notify();
}

template <typename Block>
void OrderedPipeline<Block>::startWork(Slot& slot, unsigned stage) {
    if (pastFailure(slot)) {
        skipWork(slot);
    } else if (!tool_->needsWork(stage, *slot.block)) {
        setWorked(slot, stage);
    } else if (pool_ != nullptr) {
        pool_->push({&slot, stage}, slot.sequence);
    } else {
        runJob({&slot, stage});
    }
}

template <typename Block>
void OrderedPipeline<Block>::readAhead() {
    while (reading_ && !free_.empty() && first_failure_.load() == UINT64_MAX) {
        const std::uint64_t read = stepped_[0].load();
        if (draining_) {
            if (retired_ < read) return;
            draining_ = false;
        }
        Slot& slot = *free_.back();
        slot.worked.store(0);
        slot.failure = nullptr;
        slot.sequence = read;
        try {
            stageFaults::check();
            const Read answer = tool_->read(*slot.block);
            if (answer == Read::ended) {
                reading_ = false;
                return;
            }
            if (answer == Read::drain) {
                draining_ = true;
                continue;  // the slot stays free
            }
        } catch (...) {
            // Raised again in its place, after the blocks before it.
            fail(slot, std::current_exception());
        }
        free_.pop_back();
        ring_[read % ring_.size()] = &slot;
        stepped_[0].store(read + 1);
        if (slot.failure == nullptr) startWork(slot, 1);
    }
}

template <typename Block>
std::uint64_t OrderedPipeline<Block>::advanceSteps() {
    std::lock_guard<std::mutex> lock(step_mutex_);
    std::uint64_t stepped = 0;
    for (bool went_on = true; went_on;) {
        went_on = false;
        // The later steps first: the oldest blocks move on first.
        for (unsigned k = stages_ - 1; k >= 1; --k) {
            for (std::uint64_t next = stepped_[k].load(); next < stepped_[k - 1].load() && workDone(next, k);
                 next = stepped_[k].load()) {
                Slot& slot = inFlight(next);
                stepped_[k].store(next + 1);
                ++stepped;
                went_on = true;
                if (slot.failure != nullptr) {  // its work is skipped already
                    if (k + 1 == stages_) notifyRetire();
                    continue;
                }
                if (pastFailure(slot)) {
                    skipWork(slot);
                    continue;
                }
                try {
                    stageFaults::check();
                    tool_->step(k, *slot.block);
                } catch (...) {
                    fail(slot, std::current_exception());
                    continue;
                }
                startWork(slot, k + 1);
            }
        }
    }
    return stepped;
}

// True when the oldest block can be retired.
template <typename Block>
bool OrderedPipeline<Block>::retireReady() {
    return retired_ < stepped_[stages_ - 1].load() && workDone(retired_, stages_);
}

template <typename Block>
void OrderedPipeline<Block>::run(Stages& stages) {
    tool_ = &stages;
    // However the run ends, no worker may still touch a block or the stages.
    struct StopWorkers {
        WorkerPool<Job>* pool;
        ~StopWorkers() {
            if (pool != nullptr) pool->stop();
        }
    } stop_workers{pool_.get()};
    for (;;) {
        const std::uint64_t before = retired_ + stepped_[0].load();
        // Retire in order, as far as the work is done.
        while (retireReady()) {
            Slot& slot = inFlight(retired_++);
            if (slot.failure != nullptr) std::rethrow_exception(slot.failure);
            stageFaults::check();
            const bool go_on = stages.retire(*slot.block);
            if (last_retired_ != nullptr) free_.push_back(last_retired_);
            last_retired_ = &slot;
            if (!go_on) return;
        }
        // Steps the workers left (or all of them, without workers).
        const std::uint64_t stepped = advanceSteps();
        readAhead();
        const std::uint64_t read = stepped_[0].load();
        if (retired_ == read && !(reading_ && first_failure_.load() == UINT64_MAX)) return;
        if (stepped == 0 && retired_ + read == before) {
            std::unique_lock<std::mutex> lock(retire_mutex_);
            retire_ready_.wait(lock, [this] { return retireReady(); });
        }
    }
}

#endif
