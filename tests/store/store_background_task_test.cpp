// The store's background task: what its caller relies on when it hands a
// table to be filled and later takes it over.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "BackgroundTask.h"

namespace {

TEST(StoreBackgroundTask, WhatATaskWroteIsSeenOnceDoneOrWaitedFor) {
    BackgroundTask task("test task");
    EXPECT_TRUE(task.done());  // nothing started yet
    std::vector<int> filled(1 << 16, 0);
    for (int round = 1; round <= 50; ++round) {
        // Plain writes on the task's thread, plain reads here: only the
        // hand-over orders them (the thread sanitizer checks it).
        ASSERT_TRUE(task.start([&filled, round] {
            for (int& value : filled) value = round;
        }));
        if (round % 2 == 0) {
            task.wait();
        } else {
            while (!task.done()) std::this_thread::yield();
        }
        ASSERT_EQ(filled.front(), round);
        ASSERT_EQ(filled.back(), round);
    }
}

TEST(StoreBackgroundTask, StopWaitsForTheRunningTaskAndStartsNoMore) {
    BackgroundTask task("test task");
    std::atomic<bool> began{false};
    bool finished = false;
    ASSERT_TRUE(task.start([&] {
        began = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        finished = true;
    }));
    while (!began) std::this_thread::yield();
    task.stop();
    EXPECT_TRUE(finished);
    EXPECT_TRUE(task.done());
    EXPECT_FALSE(task.start([] {}));
    task.stop();  // a second stop is harmless
}

}  // namespace
