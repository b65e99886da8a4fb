// The least a store's insert and lookup can cost at a size on this machine:
// a table of 8-byte random keys in cache-line buckets of eight, 3/4 full at
// the end, its memory faulted in beforehand, each key's bucket fetched 32
// keys ahead (as far ahead as the store's lookups fetch). An insert or a
// lookup reads that one line (and the next when it is full) and does nothing
// else: no log, no growth, no summary vector. Timed as bench/store_cost
// times the store: inserts from n to 1.25 n keys, then lookups of the first
// ones. Prints "SIZE INSERT_NS LOOKUP_NS" a line, so that bench/run can show
// how much of the store's cost at a size is the machine's memory.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "LargeBuffer.h"
#include "SplitMix64.h"

namespace {

constexpr std::size_t kSlots = 8;  // a bucket: one cache line
constexpr std::size_t kAhead = 32;
constexpr std::size_t kBatch = std::size_t{1} << 12;
constexpr std::size_t kLookups = std::size_t{1} << 18;

// Random keys, never 0 (0 marks an empty slot).
struct Keys {
    std::uint64_t state = 0;
    void fill(std::vector<std::uint64_t>& keys) {
        for (std::uint64_t& key : keys) key = nextSplitMix64(state) | 1;
    }
};

class Table {
public:
    explicit Table(std::size_t keys)
        : buckets_(keys * 4 / 3 / kSlots + 1),
          memory_(makeLargeBuffer(buckets_ * kSlots * sizeof(std::uint64_t))),
          slots_(reinterpret_cast<std::uint64_t*>(memory_.get())) {
        // Faulted in now: fresh pages are not what is measured.
        for (std::size_t i = 0; i < buckets_ * kSlots; i += 512) slots_[i] = 0;
    }

    void prefetch(std::uint64_t key) const { __builtin_prefetch(slots_ + home(key) * kSlots); }

    // True when the key was added, false when it was there.
    bool insert(std::uint64_t key) {
        std::uint64_t* slot = find(key);
        if (*slot == key) return false;
        *slot = key;
        return true;
    }
    bool contains(std::uint64_t key) const { return *find(key) == key; }

private:
    std::size_t home(std::uint64_t key) const {
        return static_cast<std::size_t>((static_cast<unsigned __int128>(key) * buckets_) >> 64);
    }
    // The key's slot, or the empty slot where it goes.
    std::uint64_t* find(std::uint64_t key) const {
        for (std::size_t bucket = home(key);; bucket = bucket + 1 == buckets_ ? 0 : bucket + 1) {
            std::uint64_t* line = slots_ + bucket * kSlots;
            for (std::size_t i = 0; i < kSlots; ++i)
                if (line[i] == 0 || line[i] == key) return line + i;
        }
    }

    std::size_t buckets_;
    LargeBufferPtr memory_;
    std::uint64_t* slots_;
};

// Seconds to do work(key) for each key, its bucket fetched kAhead keys ahead;
// counts the calls that return true.
template <typename Work>
double timeBatch(const Table& table, const std::vector<std::uint64_t>& keys, std::size_t& hits, Work work) {
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i + kAhead < keys.size()) table.prefetch(keys[i + kAhead]);
        hits += work(keys[i]) ? 1 : 0;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    for (int a = 1; a < argc; ++a) {
        const std::size_t requested = std::strtoull(argv[a], nullptr, 10);
        const std::size_t size = requested / kBatch * kBatch;
        const std::size_t end = size + size / 4 / kBatch * kBatch;
        if (size == 0 || end == size) {
            std::fprintf(stderr, "memory_floor: sizes from %zu\n", 4 * kBatch);
            return 2;
        }
        Table table(end);
        Keys keys;
        std::vector<std::uint64_t> batch(kBatch);
        std::size_t added = 0;
        double insert_seconds = 0;
        for (std::size_t done = 0; done < end; done += kBatch) {
            keys.fill(batch);
            const double seconds =
                timeBatch(table, batch, added, [&table](std::uint64_t key) { return table.insert(key); });
            if (done >= size) insert_seconds += seconds;
        }
        Keys first;
        const std::size_t lookups = std::min(kLookups, size);
        std::size_t found = 0;
        double lookup_seconds = 0;
        for (std::size_t done = 0; done < lookups; done += kBatch) {
            first.fill(batch);
            lookup_seconds +=
                timeBatch(table, batch, found, [&table](std::uint64_t key) { return table.contains(key); });
        }
        // 64-bit random keys: a repeat among a few hundred million is a chance
        // of one in a hundred million; anything else is a broken table.
        if (added + 1 < end || found != lookups) {
            std::fprintf(stderr, "memory_floor: %zu of %zu keys added, %zu of %zu found\n", added, end, found, lookups);
            return 1;
        }
        std::printf("%zu %.1f %.1f\n", requested, 1e9 * insert_seconds / static_cast<double>(end - size),
                    1e9 * lookup_seconds / static_cast<double>(lookups));
    }
    return 0;
}
