#include "StageFaults.h"

#include <atomic>
#include <new>

namespace stageFaults {

namespace {
std::atomic<std::uint64_t> calls{0};
std::atomic<std::uint64_t> failing_call{0};
}  // namespace

void check() {
    const std::uint64_t call = calls.fetch_add(1, std::memory_order_relaxed) + 1;
    if (call == failing_call.load(std::memory_order_relaxed)) throw std::bad_alloc();
}

void resetForTesting(std::uint64_t fail_at) {
    failing_call.store(fail_at, std::memory_order_relaxed);
    calls.store(0, std::memory_order_relaxed);
}

std::uint64_t callsForTesting() { return calls.load(std::memory_order_relaxed); }

}  // namespace stageFaults
