// The distinct fingerprints of a store, found in constant time however many
// there are, and kept in the order they were first inserted (which decides
// the shape of the store's tree, rebuilt from it for a listing).
//
// A fingerprint is a SHA-1 digest, so its bits are uniform and serve as the
// hash themselves:
//   - the top 4 bits of word 1 choose one of 16 shards, each a table of its
//     own that grows on its own;
//   - the other 28 bits of word 1 (the tag) give the entry's home bucket in
//     its shard and tell most entries apart without a further look;
//   - the other 128 bits are kept in a log in insertion order, 16 bytes an
//     entry, which the slot points to.
// A slot is 8 bytes: the tag and the entry's place in the log. Eight slots
// make a bucket, one cache line. An entry goes to the first empty slot from
// the start of its home bucket on (round to the table's start after its
// end), so a lookup reads the home bucket's line, and the next one only
// when the home bucket is full; an insert moves nothing to make room.
//
// A shard's first table is a sixteenth of one huge page that holds them
// all, so that a small store stays small; every later one is whole huge
// pages of its own, mapped on a huge page's boundary. Huge pages are faulted
// in 2 MiB at a time (fresh memory is slow to come, a fault for every 4 KiB
// most of all), mostly ahead of need on a thread of its own, and a table
// read at random misses the address translation less. A table grows by a
// quarter (at least to the next huge page). Digests fill the shards in
// step: left alone, all 16 would reach a growth at once, more than the one
// thread that grows them can take. So the growth that first takes a shard
// past 8 MiB (some 13 million stored) makes it larger by a share of its
// own (shard i by 1.25^((i - 7.5) / 16) times a quarter more, from 13 to
// 39 per cent, a quarter on average), and from then on its size goes on by
// a quarter from there, unrounded (each table that size to the nearest
// huge page): the shards grow one after another.
// A shard grows in one of two ways:
//   - In the background: once the shard is 4/5 full, its next table is
//     filled from it on a thread of its own while the caller goes on with
//     it (and adds to it: what it adds goes into the next table when that
//     is done), so that the growth costs the caller next to nothing. One
//     shard grows so at a time, which costs one shard's next table more,
//     and the table given up is kept for the next one: memory the process
//     has had comes far faster than fresh memory, a fault every page.
//   - In place, on the caller's thread, when a shard is 17/20 full before
//     its turn in the background: homes scale with the number of buckets,
//     so every entry's home moves up, and from the last slot down each
//     entry finds its new slot over slots already read.
// With the log a fingerprint takes 16 bytes plus 8 / load (9.4 to 12.8
// bytes).
#ifndef DEDUP_TOLVANE_FINGERPRINTTABLE_H
#define DEDUP_TOLVANE_FINGERPRINTTABLE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "BackgroundTask.h"
#include "PageWarmer.h"

class FingerprintTable {
public:
    using Fingerprint = std::array<unsigned int, 5>;

    // How the shards grow (see above).
    enum class Growth {
        background,  // in place only when a shard is 17/20 full before its turn
        inPlace,     // always in place
        // In the background from 17/20 full, each growth then waited for at
        // once: tests reach that wait every time.
        backgroundAwaited,
    };

    explicit FingerprintTable(Growth growth = Growth::background);
    ~FingerprintTable();
    FingerprintTable(const FingerprintTable&) = delete;
    FingerprintTable& operator=(const FingerprintTable&) = delete;

    // Adds d unless an equal fingerprint is kept; true when added.
    bool insert(const unsigned int* d);
    bool contains(const unsigned int* d) const;
    // Brings the buckets that insert(d) or contains(d) reads first into the
    // cache, so that lookups of several chunks overlap their misses: the
    // home bucket, and the one after, into which a search runs on one time
    // in five at the loads the table keeps.
    void prefetch(const unsigned int* d) const;
    // Once prefetch(d) has brought d's bucket in: brings in the log entry of
    // a slot that may hold d, so that a duplicate's lookup is no second
    // miss either.
    void prefetchEntry(const unsigned int* d) const;

    std::uint64_t size() const { return size_; }
    // Every fingerprint kept, in the order they were first inserted.
    std::vector<Fingerprint> inInsertionOrder() const;
    // Bytes held by the tables and the log.
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
        std::uint64_t slot_count = 0;    // a whole number of buckets and of huge pages
        std::uint64_t count = 0;         // entries
        // The table's own mapping, or the next table's once readied; 0 while
        // the table lies among the first tables.
        std::uint64_t mapped_bytes = 0;
        std::uint64_t* next_table = nullptr;  // its first own table, once readied
        bool growth_ready = false;
        // Once its growths are spread: the table's size before it was
        // rounded to a huge page, from which the next one's is reckoned; 0
        // before.
        std::uint64_t unrounded_bytes = 0;
        double spread = 1;  // its spreading growth's size over a growth by a quarter
    };
    // A shard's next table, being filled on the grower's thread from the
    // shard's table, which stays in use meanwhile.
    struct NextTable {
        Shard* shard = nullptr;  // none while null
        std::uint64_t* table = nullptr;
        std::uint64_t slot_count = 0;
        std::uint64_t mapped_bytes = 0;      // 0 while none
        std::uint64_t unrounded_bytes = 0;   // the shard's, once it is in use
        std::vector<std::uint64_t> arrived;  // entries added to the shard since it started
    };
    static constexpr unsigned kShardBits = 4;
    static constexpr unsigned kTagBits = 28;
    static constexpr std::uint64_t kBucketSlots = 8;
    static constexpr std::size_t kLogSegment = std::size_t{1} << 17;  // entries in a log segment: 2 MiB

    // From word 1: a sample keeps the fingerprints whose word 0 begins with
    // zero bits, which must not all fall in one shard.
    static std::uint32_t shardOf(const unsigned int* d) { return d[1] >> kTagBits; }
    static std::uint32_t tagOf(const unsigned int* d) { return d[1] & ((1u << kTagBits) - 1); }
    static Remainder remainderOf(const unsigned int* d);
    // The first slot of the tag's home bucket: the tag scaled to the
    // buckets, so that a larger table moves every home up.
    static std::uint64_t homeSlot(std::uint32_t tag, std::uint64_t slot_count) {
        return ((std::uint64_t{tag} * (slot_count / kBucketSlots)) >> kTagBits) * kBucketSlots;
    }

    // The slot holding d, or else the empty slot where it goes; found tells
    // which. The shard is never full, so there is one.
    std::uint64_t find(const Shard& shard, std::uint32_t tag, const Remainder& remainder, bool& found) const;
    // A larger table for the shard, its entries placed anew, in place.
    static void grow(Shard& shard);
    // A table given up by a growth, kept (the larger of it and the one kept
    // before) for the next: memory the process has had already comes far
    // faster than fresh memory, whose every page is a fault.
    void keepSpare(std::uint64_t* table, std::uint64_t bytes);
    // Starts filling the shard's next table on the grower's thread; false
    // when that thread cannot be made.
    bool startGrowth(Shard& shard);
    // Once the grower is done: the entries added meanwhile placed, and the
    // new table in use.
    void finishGrowth();
    // On the grower's thread: the entries of from with a log place below
    // first_new_place, placed in the empty table to.
    static void fillNextTable(const std::uint64_t* from, std::uint64_t from_count, std::uint64_t* to,
                              std::uint64_t to_count, std::uint64_t first_new_place);
    // The size of the shard's next table before it is rounded to a huge
    // page (0 while its growths are not spread), and after; and its memory
    // mapped.
    static std::uint64_t nextUnroundedBytes(const Shard& shard);
    static std::uint64_t nextTableBytes(const Shard& shard);
    static void mapNextTable(Shard& shard);
    // Once the shard is 41/50 full: its next table's memory is mapped, and
    // the new part faulted in on the warmer's thread, before it is needed.
    void readyGrowth(Shard& shard);
    // At the first fingerprint: the shards' first tables, 16,384 slots each
    // in one huge page, and the log's first segment, faulted in on the
    // warmer's thread while the caller goes on.
    void start();
    void append(const Remainder& remainder);
    const Remainder& logEntry(std::uint64_t place) const {
        return log_[place / kLogSegment][place % kLogSegment];
    }

    std::vector<Shard> shards_;
    std::uint64_t* first_tables_ = nullptr;  // one huge page, every shard's first table
    // The log in segments, so that it grows without moving what it holds.
    std::vector<Remainder*> log_;
    Remainder* next_segment_ = nullptr;  // the segment after the last, its pages faulted in ahead
    PageWarmer warmer_;
    // In thousandths of a shard's slots: the fills at which it starts
    // growing in the background (0: never), its next table is readied for a
    // growth in place, and it grows in place.
    unsigned background_fill_;
    static constexpr unsigned kBackgroundFill = 800;
    static constexpr unsigned kReadyFill = 820;
    static constexpr unsigned kInPlaceFill = 850;
    // Four huge pages: from there a quarter more is at least one more, so
    // that a size rounded from its unrounded one always grows.
    static constexpr std::uint64_t kSpreadFromBytes = std::uint64_t{8} << 20;
    NextTable growth_;
    std::uint64_t* spare_table_ = nullptr;
    std::uint64_t spare_bytes_ = 0;
    BackgroundTask grower_;
    std::uint64_t size_ = 0;
};

#endif
