// The ordered pipeline's drain: a read that asks for it sees every block
// read before it retired, whatever the workers and blocks, and the blocks
// still come out in order, each worked on once; the steps, on whichever
// thread runs them, go in input order, one at a time. Work takes varied
// times so that the workers finish out of order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "OrderedPipeline.h"

namespace {

struct Numbered {
    std::uint64_t number = 0;
    std::uint64_t squared = 0;  // work 1
    std::uint64_t shifted = 0;  // work 2, from the step's value
    std::uint64_t stepped = 0;  // the step, in order
};

using Pipeline = OrderedPipeline<Numbered>;

class CountingStages : public Pipeline::Stages {
public:
    CountingStages(std::uint64_t blocks, std::uint64_t drain_every) : blocks_(blocks), drain_every_(drain_every) {}

    Pipeline::Read read(Numbered& block) override {
        if (next_ == blocks_) return Pipeline::Read::ended;
        // Block 0 drains with nothing in flight; others with blocks in flight.
        if (next_ % drain_every_ == 0 && !drained_) {
            drained_ = true;
            ++drains;
            return Pipeline::Read::drain;
        }
        if (drained_) {
            EXPECT_EQ(retired, next_) << "block " << next_ << " read before the blocks in flight were retired";
            drained_ = false;
        }
        block = Numbered();
        block.number = next_++;
        return Pipeline::Read::filled;
    }

    bool needsWork(unsigned, const Numbered&) const override { return true; }

    void work(unsigned stage, Numbered& block) override {
        std::this_thread::sleep_for(std::chrono::microseconds((block.number * 7919) % 300));
        if (stage == 1)
            block.squared = block.number * block.number;
        else
            block.shifted = block.stepped << 1;
    }

    void step(unsigned, Numbered& block) override {
        EXPECT_FALSE(in_step_.exchange(true)) << "two steps at once";
        EXPECT_EQ(block.number, stepped_) << "a step out of order";
        std::this_thread::sleep_for(std::chrono::microseconds(block.number % 3 * 50));
        block.stepped = block.squared + 1;
        ++stepped_;
        in_step_.store(false);
    }

    bool retire(Numbered& block) override {
        EXPECT_EQ(block.number, retired);
        EXPECT_EQ(block.shifted, (block.number * block.number + 1) << 1);
        ++retired;
        return true;
    }

    void abandon(Numbered&) override {}

    std::uint64_t retired = 0;
    std::uint64_t drains = 0;

private:
    const std::uint64_t blocks_;
    const std::uint64_t drain_every_;
    std::uint64_t next_ = 0;
    bool drained_ = false;
    std::atomic<bool> in_step_{false};
    std::uint64_t stepped_ = 0;  // steps so far: only one runs at a time
};

TEST(OrderedPipeline, DrainRetiresEveryBlockInFlightFirst) {
    for (unsigned workers : {0u, 1u, 2u, 8u}) {
        for (std::size_t block_count : {std::size_t{2}, std::size_t{3}, std::size_t{16}}) {
            for (std::uint64_t drain_every : {1u, 5u, 40u}) {
                std::vector<std::unique_ptr<Numbered>> blocks;
                for (std::size_t i = 0; i < block_count; ++i) blocks.emplace_back(new Numbered);
                Pipeline pipeline(2, std::move(blocks), workers);
                CountingStages stages(120, drain_every);
                pipeline.run(stages);
                EXPECT_EQ(stages.retired, 120u) << workers << " workers, " << block_count << " blocks";
                EXPECT_EQ(stages.drains, (120 + drain_every - 1) / drain_every);
            }
        }
    }
}

}  // namespace
