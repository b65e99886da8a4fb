#include "FingerprintTable.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "LargeBuffer.h"
#include "PageWarmer.h"

namespace {

// Log places: 2^36, 69 thousand million entries, some 1.7 TB of memory.
constexpr unsigned kPlaceBits = 36;
constexpr std::uint64_t kPlaceMask = (std::uint64_t{1} << kPlaceBits) - 1;
constexpr std::uint64_t kSlotBytes = sizeof(std::uint64_t);
// A shard of 2^34 slots (128 GiB) does not grow further: out of memory.
constexpr std::uint64_t kMostSlots = std::uint64_t{1} << 34;

std::uint32_t tagOfEntry(std::uint64_t entry) { return static_cast<std::uint32_t>(entry >> kPlaceBits); }
std::uint64_t placeOfEntry(std::uint64_t entry) { return (entry & kPlaceMask) - 1; }
// A table grows by a quarter.
std::uint64_t aQuarterMore(std::uint64_t bytes) { return bytes + bytes / 4; }

// A shard's slots are written by the caller while the grower reads them
// (both relaxed: the grower takes what it finds, an entry or 0, of the
// entries added since it started, and leaves them to the caller).
std::uint64_t loadSlot(const std::uint64_t& slot) { return __atomic_load_n(&slot, __ATOMIC_RELAXED); }
void storeSlot(std::uint64_t& slot, std::uint64_t entry) { __atomic_store_n(&slot, entry, __ATOMIC_RELAXED); }

}  // namespace

bool FingerprintTable::Remainder::operator==(const Remainder& other) const {
    return words[0] == other.words[0] && words[1] == other.words[1] && words[2] == other.words[2] &&
           words[3] == other.words[3];
}

FingerprintTable::FingerprintTable(Growth growth)
    : shards_(std::size_t{1} << kShardBits),
      background_fill_(growth == Growth::inPlace      ? 0
                       : growth == Growth::background ? kBackgroundFill
                                                      : kInPlaceFill),
      grower_("store grower") {}

FingerprintTable::~FingerprintTable() {
    warmer_.stop();  // before what it warms is released
    grower_.stop();  // and what it reads and fills
    releaseLargeBuffer(growth_.table, growth_.mapped_bytes);
    releaseLargeBuffer(spare_table_, spare_bytes_);
    releaseLargeBuffer(next_segment_, kLogSegment * sizeof(Remainder));
    for (Shard& shard : shards_) {
        if (shard.mapped_bytes != 0) releaseLargeBuffer(shard.slots, shard.mapped_bytes);
        releaseLargeBuffer(shard.next_table, kHugePage);
    }
    releaseLargeBuffer(first_tables_, kHugePage);
    for (Remainder* segment : log_) releaseLargeBuffer(segment, kLogSegment * sizeof(Remainder));
}

FingerprintTable::Remainder FingerprintTable::remainderOf(const unsigned int* d) {
    return {{d[0], d[2], d[3], d[4]}};
}

std::uint64_t FingerprintTable::find(const Shard& shard, std::uint32_t tag, const Remainder& remainder,
                                     bool& found) const {
    std::uint64_t slot = homeSlot(tag, shard.slot_count);
    for (;;) {
        const std::uint64_t entry = shard.slots[slot];
        if (entry == 0 || (tagOfEntry(entry) == tag && logEntry(placeOfEntry(entry)) == remainder)) {
            found = entry != 0;
            return slot;
        }
        if (++slot == shard.slot_count) slot = 0;
    }
}

namespace {

// Puts entries in a table being filled anew, each in the first empty slot
// from its home up. Entries of one home usually come together, so the slot
// after the last one placed is where the next of that home goes.
class Placer {
public:
    Placer(std::uint64_t* slots, std::uint64_t end) : slots_(slots), end_(end) {}

    // False when no slot is empty between home and the end.
    bool place(std::uint64_t entry, std::uint64_t home) {
        std::uint64_t slot = home == last_home_ ? next_ : home;
        // Eight slots at a time, their empty ones found without a branch
        // each: which slot is the first empty one is as good as random, and
        // a branch a slot, mispredicted half the time, cost the pass most
        // of its time.
        for (; slot + kWindow <= end_; slot += kWindow) {
            unsigned empty = 0;
            for (unsigned k = 0; k < kWindow; ++k) empty |= static_cast<unsigned>(slots_[slot + k] == 0) << k;
            if (empty != 0) return put(entry, home, slot + static_cast<unsigned>(__builtin_ctz(empty)));
        }
        for (; slot < end_; ++slot)
            if (slots_[slot] == 0) return put(entry, home, slot);
        return false;
    }

private:
    static constexpr unsigned kWindow = 8;

    bool put(std::uint64_t entry, std::uint64_t home, std::uint64_t slot) {
        slots_[slot] = entry;
        last_home_ = home;
        next_ = slot + 1;
        return true;
    }

    std::uint64_t* const slots_;
    const std::uint64_t end_;
    std::uint64_t last_home_ = UINT64_MAX;
    std::uint64_t next_ = 0;
};

// An entry placed in the first empty slot from its home up, round the end.
void placeRoundTheEnd(Placer& placer, std::uint64_t* slots, std::uint64_t entry, std::uint64_t home) {
    if (!placer.place(entry, home)) Placer(slots, home).place(entry, 0);
}

}  // namespace

std::uint64_t FingerprintTable::nextUnroundedBytes(const Shard& shard) {
    if (shard.unrounded_bytes != 0) return aQuarterMore(shard.unrounded_bytes);
    const std::uint64_t wanted = aQuarterMore(shard.slot_count * kSlotBytes);
    if (wanted < kSpreadFromBytes) return 0;
    return static_cast<std::uint64_t>(static_cast<double>(wanted) * shard.spread);
}

std::uint64_t FingerprintTable::nextTableBytes(const Shard& shard) {
    // Spread sizes are rounded to the nearest huge page, so that on average
    // they take no more memory than sizes rounded up from a quarter more.
    const std::uint64_t unrounded = nextUnroundedBytes(shard);
    if (unrounded != 0) return (unrounded + kHugePage / 2) / kHugePage * kHugePage;
    const std::uint64_t wanted = std::max(aQuarterMore(shard.slot_count * kSlotBytes), kHugePage);
    return (wanted + kHugePage - 1) / kHugePage * kHugePage;
}

void FingerprintTable::mapNextTable(Shard& shard) {
    const std::uint64_t bytes = nextTableBytes(shard);
    // A shard at its largest cannot grow: a full one is out of memory, not
    // a loop.
    if (bytes / kSlotBytes > kMostSlots) throw std::bad_alloc();
    if (shard.mapped_bytes == 0) {
        // Its first table of its own.
        shard.next_table = static_cast<std::uint64_t*>(allocateLargeBuffer(bytes));
        return;
    }
    shard.slots = static_cast<std::uint64_t*>(resizeLargeBuffer(shard.slots, shard.mapped_bytes, bytes));
    shard.mapped_bytes = bytes;
}

void FingerprintTable::readyGrowth(Shard& shard) {
    shard.growth_ready = true;
    if (shard.mapped_bytes == 0) {
        mapNextTable(shard);
        warmer_.warm(shard.next_table, kHugePage);
        return;
    }
    const std::uint64_t old_bytes = shard.mapped_bytes;
    mapNextTable(shard);
    warmer_.warm(reinterpret_cast<unsigned char*>(shard.slots) + old_bytes, shard.mapped_bytes - old_bytes);
}

void FingerprintTable::grow(Shard& shard) {
    const std::uint64_t old_count = shard.slot_count;
    const std::uint64_t unrounded_bytes = nextUnroundedBytes(shard);
    if (shard.mapped_bytes == 0) {
        // Out of the first tables: the entries go where they were, and are
        // placed anew from there.
        if (shard.next_table == nullptr) mapNextTable(shard);
        std::copy(shard.slots, shard.slots + old_count, shard.next_table);
        shard.slots = shard.next_table;
        shard.next_table = nullptr;
        shard.mapped_bytes = kHugePage;
    } else if (shard.mapped_bytes < nextTableBytes(shard)) {
        mapNextTable(shard);
    }
    shard.growth_ready = false;
    shard.unrounded_bytes = unrounded_bytes;
    std::uint64_t* const slots = shard.slots;
    const std::uint64_t count = shard.mapped_bytes / kSlotBytes;
    shard.slot_count = count;
    // From the last bucket down: every slot from the bucket just read on is
    // cleared and belongs to the larger table, so an entry whose new home
    // is there goes in at once (one that ran round the end of the old table
    // too); one whose new home lies lower waits until its home is reached,
    // and one that runs past the end of the new table goes in last, round
    // the end. A bucket's entries fill it from its first slot, so the first
    // empty slot ends them.
    Placer placer(slots, count);
    std::vector<std::uint64_t> waiting, round_the_end;
    for (std::uint64_t bucket = old_count; bucket != 0;) {
        bucket -= kBucketSlots;
        std::uint64_t entries[kBucketSlots];
        std::copy(slots + bucket, slots + bucket + kBucketSlots, entries);
        std::fill(slots + bucket, slots + bucket + kBucketSlots, 0);
        for (std::uint64_t i = 0; i < kBucketSlots && entries[i] != 0; ++i) {
            const std::uint64_t entry = entries[i];
            const std::uint64_t home = homeSlot(tagOfEntry(entry), count);
            if (home < bucket)
                waiting.push_back(entry);
            else if (!placer.place(entry, home))
                round_the_end.push_back(entry);
        }
        if (waiting.empty()) continue;
        auto home_reached = [&](std::uint64_t entry) { return homeSlot(tagOfEntry(entry), count) == bucket; };
        for (std::uint64_t entry : waiting)
            if (home_reached(entry) && !placer.place(entry, bucket)) round_the_end.push_back(entry);
        waiting.erase(std::remove_if(waiting.begin(), waiting.end(), home_reached), waiting.end());
    }
    for (std::uint64_t entry : round_the_end)
        placeRoundTheEnd(placer, slots, entry, homeSlot(tagOfEntry(entry), count));
}

bool FingerprintTable::startGrowth(Shard& shard) {
    // Room for every entry the shard can take before it grows in place, when
    // the growth is finished: adding one then cannot fail half done.
    const std::uint64_t most = shard.slot_count * kInPlaceFill / 1000;
    growth_.arrived.clear();
    growth_.arrived.reserve(most + 1 - std::min(shard.count, most));
    std::uint64_t* table = nullptr;
    std::uint64_t bytes = kHugePage;
    std::uint64_t used_bytes = 0;  // of a table used before, to be cleared
    if (shard.mapped_bytes == 0 && shard.next_table != nullptr) {
        table = shard.next_table;  // readied, and faulted in already
    } else {
        bytes = nextTableBytes(shard);
        if (bytes / kSlotBytes > kMostSlots) throw std::bad_alloc();
        if (spare_table_ != nullptr) {
            table = static_cast<std::uint64_t*>(resizeLargeBuffer(spare_table_, spare_bytes_, bytes));
            used_bytes = std::min(spare_bytes_, bytes);
            spare_table_ = nullptr;
            spare_bytes_ = 0;
        } else {
            table = static_cast<std::uint64_t*>(allocateLargeBuffer(bytes));
        }
    }
    const std::uint64_t* const from = shard.slots;
    const std::uint64_t from_count = shard.slot_count;
    const std::uint64_t to_count = bytes / kSlotBytes;
    const std::uint64_t first_new_place = size_;
    auto task = [=] {
        std::fill(table, table + used_bytes / kSlotBytes, 0);
        fillNextTable(from, from_count, table, to_count, first_new_place);
    };
    if (!grower_.start(task)) {
        if (table != shard.next_table) releaseLargeBuffer(table, bytes);
        return false;
    }
    if (table == shard.next_table) shard.next_table = nullptr;
    growth_.shard = &shard;
    growth_.unrounded_bytes = nextUnroundedBytes(shard);
    growth_.table = table;
    growth_.slot_count = to_count;
    growth_.mapped_bytes = bytes;
    return true;
}

void FingerprintTable::fillNextTable(const std::uint64_t* from, std::uint64_t from_count, std::uint64_t* to,
                                     std::uint64_t to_count, std::uint64_t first_new_place) {
    Placer placer(to, to_count);
    for (std::uint64_t slot = 0; slot < from_count; ++slot) {
        const std::uint64_t entry = loadSlot(from[slot]);
        if (entry == 0 || placeOfEntry(entry) >= first_new_place) continue;
        placeRoundTheEnd(placer, to, entry, homeSlot(tagOfEntry(entry), to_count));
    }
}

void FingerprintTable::keepSpare(std::uint64_t* table, std::uint64_t bytes) {
    if (bytes < spare_bytes_) {
        releaseLargeBuffer(table, bytes);
        return;
    }
    releaseLargeBuffer(spare_table_, spare_bytes_);
    spare_table_ = table;
    spare_bytes_ = bytes;
}

void FingerprintTable::finishGrowth() {
    Shard& shard = *growth_.shard;
    // The entries' buckets lie at random in a table not read yet: fetched
    // a burst ahead, as the lookups' are.
    const std::vector<std::uint64_t>& arrived = growth_.arrived;
    std::uint64_t* const table = growth_.table;
    const std::uint64_t count = growth_.slot_count;
    auto home = [count](std::uint64_t entry) { return homeSlot(tagOfEntry(entry), count); };
    constexpr std::size_t kAhead = 32;
    for (std::size_t i = 0; i < std::min(kAhead, arrived.size()); ++i) __builtin_prefetch(table + home(arrived[i]));
    Placer placer(table, count);
    for (std::size_t i = 0; i < arrived.size(); ++i) {
        if (i + kAhead < arrived.size()) __builtin_prefetch(table + home(arrived[i + kAhead]));
        placeRoundTheEnd(placer, table, arrived[i], home(arrived[i]));
    }
    if (shard.mapped_bytes != 0) keepSpare(shard.slots, shard.mapped_bytes);
    shard.slots = table;
    shard.slot_count = count;
    shard.mapped_bytes = growth_.mapped_bytes;
    shard.unrounded_bytes = growth_.unrounded_bytes;
    shard.growth_ready = false;
    growth_.shard = nullptr;
    growth_.table = nullptr;
    growth_.mapped_bytes = 0;
    growth_.arrived.clear();
}

void FingerprintTable::start() {
    first_tables_ = static_cast<std::uint64_t*>(allocateLargeBuffer(kHugePage));
    warmer_.warm(first_tables_, kHugePage);
    const std::uint64_t first_slots = kHugePage / kSlotBytes / shards_.size();
    for (std::size_t i = 0; i < shards_.size(); ++i) {
        shards_[i].slots = first_tables_ + i * first_slots;
        shards_[i].slot_count = first_slots;
        const double from_middle = static_cast<double>(i) - static_cast<double>(shards_.size() - 1) / 2;
        shards_[i].spread = std::pow(1.25, from_middle / static_cast<double>(shards_.size()));
    }
    const std::size_t segment_bytes = kLogSegment * sizeof(Remainder);
    next_segment_ = static_cast<Remainder*>(allocateLargeBuffer(segment_bytes));
    warmer_.warm(next_segment_, segment_bytes);
}

void FingerprintTable::append(const Remainder& remainder) {
    const std::uint64_t place = size_;
    const std::size_t segment_bytes = kLogSegment * sizeof(Remainder);
    if (place % kLogSegment == 0) {
        log_.reserve(log_.size() + 1);  // so that the push cannot fail once the segment is there
        Remainder* segment = next_segment_;
        if (segment == nullptr) segment = static_cast<Remainder*>(allocateLargeBuffer(segment_bytes));
        next_segment_ = nullptr;
        log_.push_back(segment);
    } else if (place % kLogSegment == kLogSegment / 2) {
        // The segment after this one is made ready while this one fills.
        next_segment_ = static_cast<Remainder*>(allocateLargeBuffer(segment_bytes));
        warmer_.warm(next_segment_, segment_bytes);
    }
    log_[place / kLogSegment][place % kLogSegment] = remainder;
}

bool FingerprintTable::insert(const unsigned int* d) {
    Shard& shard = shards_[shardOf(d)];
    const std::uint32_t tag = tagOf(d);
    const Remainder remainder = remainderOf(d);
    if (shard.slot_count == 0) start();
    if (growth_.shard != nullptr && grower_.done()) finishGrowth();
    bool found = false;
    std::uint64_t slot = find(shard, tag, remainder, found);
    if (found) return false;
    // The slot holds no larger place; memory runs out long before.
    if (size_ + 1 > kPlaceMask) throw std::bad_alloc();
    const std::uint64_t fill = (shard.count + 1) * 1000;  // in thousandths of a slot
    if (growth_.shard == nullptr && background_fill_ != 0 && fill > shard.slot_count * background_fill_ &&
        !startGrowth(shard))
        background_fill_ = 0;  // no thread for it: every growth in place
    const bool growing = growth_.shard == &shard;
    if (fill > shard.slot_count * kReadyFill && !shard.growth_ready && !growing) readyGrowth(shard);
    if (fill > shard.slot_count * kInPlaceFill) {
        if (growing) {
            grower_.wait();
            finishGrowth();
        } else {
            grow(shard);
        }
        slot = find(shard, tag, remainder, found);
    }
    const std::uint64_t entry = std::uint64_t{tag} << kPlaceBits | (size_ + 1);
    if (growth_.shard == &shard) growth_.arrived.push_back(entry);
    append(remainder);
    storeSlot(shard.slots[slot], entry);
    ++shard.count;
    ++size_;
    return true;
}

bool FingerprintTable::contains(const unsigned int* d) const {
    const Shard& shard = shards_[shardOf(d)];
    if (shard.slot_count == 0) return false;
    bool found = false;
    find(shard, tagOf(d), remainderOf(d), found);
    return found;
}

void FingerprintTable::prefetch(const unsigned int* d) const {
    const Shard& shard = shards_[shardOf(d)];
    if (shard.slot_count == 0) return;
    const std::uint64_t home = homeSlot(tagOf(d), shard.slot_count);
    __builtin_prefetch(shard.slots + home);
    __builtin_prefetch(shard.slots + (home + kBucketSlots == shard.slot_count ? 0 : home + kBucketSlots));
}

void FingerprintTable::prefetchEntry(const unsigned int* d) const {
    const Shard& shard = shards_[shardOf(d)];
    if (shard.slot_count == 0) return;
    const std::uint32_t tag = tagOf(d);
    const std::uint64_t home = homeSlot(tag, shard.slot_count);
    for (std::uint64_t slot = home; slot < home + kBucketSlots; ++slot) {
        const std::uint64_t entry = shard.slots[slot];
        if (entry == 0) return;
        if (tagOfEntry(entry) == tag) __builtin_prefetch(&logEntry(placeOfEntry(entry)));
    }
}

std::vector<FingerprintTable::Fingerprint> FingerprintTable::inInsertionOrder() const {
    std::vector<Fingerprint> fingerprints(size_);
    for (std::uint32_t shard_number = 0; shard_number < shards_.size(); ++shard_number) {
        const Shard& shard = shards_[shard_number];
        for (std::uint64_t slot = 0; slot < shard.slot_count; ++slot) {
            const std::uint64_t entry = shard.slots[slot];
            if (entry == 0) continue;
            const std::uint64_t place = placeOfEntry(entry);
            const Remainder& remainder = logEntry(place);
            fingerprints[place] = {remainder.words[0], (shard_number << kTagBits) | tagOfEntry(entry),
                                   remainder.words[1], remainder.words[2], remainder.words[3]};
        }
    }
    return fingerprints;
}

std::size_t FingerprintTable::memoryBytes() const {
    std::size_t bytes = shards_.size() * sizeof(Shard) + log_.size() * sizeof(log_[0]);
    if (first_tables_ != nullptr) bytes += kHugePage;
    for (const Shard& shard : shards_) bytes += shard.mapped_bytes + (shard.next_table != nullptr ? kHugePage : 0);
    bytes += growth_.mapped_bytes + spare_bytes_;
    const std::size_t segments = log_.size() + (next_segment_ != nullptr ? 1 : 0);
    return bytes + segments * kLogSegment * sizeof(Remainder);
}
