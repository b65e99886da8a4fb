// The distinct fingerprints of a store, found in constant time however many
// there are, and kept in the order they were first inserted (which decides
// the shape of the store's tree, rebuilt from it for a listing).
//
// A fingerprint is a SHA-1 digest, so its bits are uniform and serve as the
// hash themselves:
//   - the top 4 bits of word 1 choose one of 16 shards, each an
//     open-addressed table of its own that grows on its own, so growing
//     touches 1/16 of the index at a time, never the whole;
//   - the other 28 bits of word 1 (the tag) give the entry's home slot in its
//     shard and tell most entries apart without a further look;
//   - the other 128 bits are kept in a log in insertion order, 16 bytes an
//     entry, which the slot points to.
// A slot is 8 bytes: the tag and the entry's place in the log. A shard
// keeps its entries sorted by tag, each at or below its home slot with no
// empty slot between (linear probing downwards, in order): a lookup stops at
// the first smaller tag. A few spare slots below the first home take the
// start of the first run. Shards grow by a quarter once 17/20 full, in
// place: every home moves up with the capacity, so every entry moves up,
// and from the last one down each finds its slot in one pass. With the log
// a fingerprint takes 16 bytes plus 8 / load (9.4 to 11.8 bytes, and the
// spare slots).
#ifndef DEDUP_TOLVANE_FINGERPRINTTABLE_H
#define DEDUP_TOLVANE_FINGERPRINTTABLE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "PageWarmer.h"

class FingerprintTable {
public:
    using Fingerprint = std::array<unsigned int, 5>;

    FingerprintTable();
    ~FingerprintTable();
    FingerprintTable(const FingerprintTable&) = delete;
    FingerprintTable& operator=(const FingerprintTable&) = delete;

    // Adds d unless an equal fingerprint is kept; true when added.
    bool insert(const unsigned int* d);
    bool contains(const unsigned int* d) const;
    // Brings the memory that insert(d) or contains(d) will touch first into
    // the cache, so that lookups of several chunks overlap their misses.
    void prefetch(const unsigned int* d) const;
    // Once prefetch(d) has brought d's slots in: brings in the log entry of
    // a slot that may hold d, so that a duplicate's lookup is no second
    // miss either.
    void prefetchEntry(const unsigned int* d) const;

    std::uint64_t size() const { return size_; }
    // Every fingerprint kept, in the order they were first inserted.
    std::vector<Fingerprint> inInsertionOrder() const;
    // Bytes held by the index and the log.
    std::size_t memoryBytes() const;

private:
    // The 128 bits of a fingerprint that neither its shard nor its slot
    // keep: words 0, 2, 3 and 4.
    struct Remainder {
        std::uint32_t words[4];
        bool operator==(const Remainder& other) const;
    };
    struct Shard {
        std::uint64_t* slots = nullptr;  // 0: empty; else tag << 36 | (log place + 1)
        std::uint32_t capacity = 0;      // home slots, above spare(capacity) spare ones
        std::uint32_t count = 0;
    };
    static constexpr unsigned kShardBits = 4;
    static constexpr unsigned kTagBits = 28;
    static constexpr std::size_t kLogSegment = std::size_t{1} << 17;  // entries in a full log segment: 2 MiB

    // From word 1: a sample keeps the fingerprints whose word 0 begins with
    // zero bits, which must not all fall in one shard.
    static std::uint32_t shardOf(const unsigned int* d) { return d[1] >> kTagBits; }
    static std::uint32_t tagOf(const unsigned int* d) { return d[1] & ((1u << kTagBits) - 1); }
    static Remainder remainderOf(const unsigned int* d);
    // The home slot: the tag scaled to the capacity, so that slots in tag
    // order are slots in home order whatever the capacity, above the spare
    // slots.
    static std::uint32_t home(std::uint32_t tag, std::uint32_t capacity) {
        return static_cast<std::uint32_t>(spare(capacity) + ((std::uint64_t{tag} * capacity) >> kTagBits));
    }
    static std::uint64_t spare(std::uint64_t capacity) { return 16 + capacity / 32; }
    static std::uint64_t slotCount(const Shard& shard) { return shard.capacity + spare(shard.capacity); }

    // The slot holding d, or, when d is absent, where it goes: the first
    // slot from d's home down that is empty or holds a smaller tag (-1 when
    // there is none). found tells which.
    std::int64_t find(const Shard& shard, std::uint32_t tag, const Remainder& remainder, bool& found) const;
    // Puts the entry at slot `at`, moving the entries from there down one
    // slot further down to the first empty slot; false when there is none.
    static bool place(Shard& shard, std::int64_t at, std::uint64_t entry);
    // A larger table for the shard, its entries placed anew.
    static void grow(Shard& shard);
    void append(const Remainder& remainder);
    const Remainder& logEntry(std::uint64_t place) const {
        return log_[place / kLogSegment][place % kLogSegment];
    }

    std::vector<Shard> shards_;
    // The log in segments, so that it grows without moving what it holds;
    // the first segment grows by doubling up to a full one.
    std::vector<Remainder*> log_;
    std::size_t first_segment_capacity_ = 0;
    Remainder* next_segment_ = nullptr;  // the full segment after the last, its pages faulted in ahead
    PageWarmer warmer_;
    std::uint64_t size_ = 0;
};

#endif
