#include "FingerprintTable.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "LargeBuffer.h"
#include "PageWarmer.h"

namespace {

// Log places: 2^36, 69 thousand million entries, some 1.7 TB of memory.
constexpr unsigned kPlaceBits = 36;
constexpr std::uint64_t kPlaceMask = (std::uint64_t{1} << kPlaceBits) - 1;

std::uint32_t tagOfEntry(std::uint64_t entry) { return static_cast<std::uint32_t>(entry >> kPlaceBits); }
std::uint64_t placeOfEntry(std::uint64_t entry) { return (entry & kPlaceMask) - 1; }

}  // namespace

bool FingerprintTable::Remainder::operator==(const Remainder& other) const {
    return words[0] == other.words[0] && words[1] == other.words[1] && words[2] == other.words[2] &&
           words[3] == other.words[3];
}

FingerprintTable::FingerprintTable() : shards_(std::size_t{1} << kShardBits) {}

FingerprintTable::~FingerprintTable() {
    warmer_.stop();  // before what it warms is released
    releaseLargeBuffer(next_segment_, kLogSegment * sizeof(Remainder));
    for (Shard& shard : shards_)
        if (shard.slots != nullptr) releaseLargeBuffer(shard.slots, slotCount(shard) * sizeof(std::uint64_t));
    for (std::size_t i = 0; i < log_.size(); ++i)
        releaseLargeBuffer(log_[i], (i == 0 ? first_segment_capacity_ : kLogSegment) * sizeof(Remainder));
}

FingerprintTable::Remainder FingerprintTable::remainderOf(const unsigned int* d) {
    return {{d[0], d[2], d[3], d[4]}};
}

std::int64_t FingerprintTable::find(const Shard& shard, std::uint32_t tag, const Remainder& remainder,
                                    bool& found) const {
    found = false;
    if (shard.capacity == 0) return -1;
    std::int64_t slot = home(tag, shard.capacity);
    for (; slot >= 0; --slot) {
        const std::uint64_t entry = shard.slots[slot];
        if (entry == 0 || tagOfEntry(entry) < tag) break;
        if (tagOfEntry(entry) == tag && logEntry(placeOfEntry(entry)) == remainder) {
            found = true;
            break;
        }
    }
    return slot;
}

bool FingerprintTable::place(Shard& shard, std::int64_t at, std::uint64_t entry) {
    std::int64_t empty = at;
    while (empty >= 0 && shard.slots[empty] != 0) --empty;
    if (empty < 0) return false;
    std::memmove(shard.slots + empty, shard.slots + empty + 1, static_cast<std::size_t>(at - empty) * sizeof(std::uint64_t));
    shard.slots[at] = entry;
    return true;
}

void FingerprintTable::grow(Shard& shard) {
    // By a quarter: the table is then between 0.68 and 17/20 full.
    const std::uint64_t old_end = shard.capacity == 0 ? 0 : slotCount(shard);
    const std::uint64_t wanted = shard.capacity == 0 ? 8 : std::uint64_t{shard.capacity} + shard.capacity / 4 + 1;
    const auto capacity = static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, UINT32_MAX / 2));
    // A shard at its largest cannot grow: a full one is out of memory, not
    // a loop.
    if (capacity == shard.capacity) throw std::bad_alloc();
    const std::uint64_t end = capacity + spare(capacity);
    // Larger in place. With the larger capacity every home moves up, so
    // every entry does, or stays: from the last one back, each goes to its
    // new home or right below the one placed before it, over slots already
    // read, and what lies between is cleared. No entry ever goes below 0.
    auto* slots = static_cast<std::uint64_t*>(
        resizeLargeBuffer(shard.slots, old_end * sizeof(std::uint64_t), end * sizeof(std::uint64_t)));
    std::uint64_t cleared_to = end;  // slots from here on are final
    for (std::uint64_t slot = old_end; slot-- > 0;) {
        const std::uint64_t entry = slots[slot];
        if (entry == 0) continue;
        const std::uint64_t at = std::min<std::uint64_t>(home(tagOfEntry(entry), capacity), cleared_to - 1);
        std::fill(slots + at + 1, slots + cleared_to, 0);
        slots[at] = entry;
        cleared_to = at;
    }
    std::fill(slots, slots + cleared_to, 0);
    shard.slots = slots;
    shard.capacity = capacity;
}

void FingerprintTable::append(const Remainder& remainder) {
    const std::uint64_t place = size_;
    if (place < kLogSegment && place == first_segment_capacity_) {
        // The first segment doubles, so that a small store stays small.
        const std::size_t capacity = std::max<std::size_t>(16, 2 * first_segment_capacity_);
        auto* larger = static_cast<Remainder*>(allocateLargeBuffer(capacity * sizeof(Remainder)));
        if (log_.empty()) {
            log_.push_back(larger);
        } else {
            std::memcpy(larger, log_[0], place * sizeof(Remainder));
            releaseLargeBuffer(log_[0], first_segment_capacity_ * sizeof(Remainder));
            log_[0] = larger;
        }
        first_segment_capacity_ = capacity;
    } else if (place >= kLogSegment && place % kLogSegment == 0) {
        log_.reserve(log_.size() + 1);  // so that the push cannot fail once the segment is there
        if (next_segment_ == nullptr)
            next_segment_ = static_cast<Remainder*>(allocateLargeBuffer(kLogSegment * sizeof(Remainder)));
        log_.push_back(next_segment_);
        next_segment_ = nullptr;
        // The segment after it is made ready while this one fills.
        next_segment_ = static_cast<Remainder*>(allocateLargeBuffer(kLogSegment * sizeof(Remainder)));
        warmer_.warm(next_segment_, kLogSegment * sizeof(Remainder));
    }
    log_[place / kLogSegment][place % kLogSegment] = remainder;
}

bool FingerprintTable::insert(const unsigned int* d) {
    Shard& shard = shards_[shardOf(d)];
    const std::uint32_t tag = tagOf(d);
    const Remainder remainder = remainderOf(d);
    bool found = false;
    std::int64_t at = find(shard, tag, remainder, found);
    if (found) return false;
    // The slot holds no larger place; memory runs out long before.
    if (size_ + 1 > kPlaceMask) throw std::bad_alloc();
    append(remainder);
    const std::uint64_t entry = std::uint64_t{tag} << kPlaceBits | (size_ + 1);
    const bool full = (std::uint64_t{shard.count} + 1) * 20 > std::uint64_t{shard.capacity} * 17;
    // The entry goes where the search stopped, the run below it moved down
    // a slot; a run that reaches the table's first slot waits for a larger
    // table.
    bool placed = !full && at >= 0 && place(shard, at, entry);
    while (!placed) {
        grow(shard);
        at = find(shard, tag, remainder, found);
        placed = at >= 0 && place(shard, at, entry);
    }
    ++shard.count;
    ++size_;
    return true;
}

bool FingerprintTable::contains(const unsigned int* d) const {
    bool found = false;
    find(shards_[shardOf(d)], tagOf(d), remainderOf(d), found);
    return found;
}

void FingerprintTable::prefetch(const unsigned int* d) const {
    const Shard& shard = shards_[shardOf(d)];
    if (shard.capacity == 0) return;
    // Its run of slots may go on into the cache line before.
    const std::uint32_t at = home(tagOf(d), shard.capacity);
    __builtin_prefetch(&shard.slots[at]);
    if (at >= 8) __builtin_prefetch(&shard.slots[at - 8]);
}

void FingerprintTable::prefetchEntry(const unsigned int* d) const {
    const Shard& shard = shards_[shardOf(d)];
    if (shard.capacity == 0) return;
    const std::uint32_t tag = tagOf(d);
    for (std::int64_t slot = home(tag, shard.capacity); slot >= 0; --slot) {
        const std::uint64_t entry = shard.slots[slot];
        if (entry == 0 || tagOfEntry(entry) < tag) return;
        if (tagOfEntry(entry) == tag) __builtin_prefetch(&logEntry(placeOfEntry(entry)));
    }
}

std::vector<FingerprintTable::Fingerprint> FingerprintTable::inInsertionOrder() const {
    std::vector<Fingerprint> fingerprints(size_);
    for (std::uint32_t shard_number = 0; shard_number < shards_.size(); ++shard_number) {
        const Shard& shard = shards_[shard_number];
        const std::uint64_t end = shard.capacity == 0 ? 0 : slotCount(shard);
        for (std::uint64_t slot = 0; slot < end; ++slot) {
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
    std::size_t bytes = shards_.size() * sizeof(Shard) + log_.size() * sizeof(log_[0]) +
                        (next_segment_ != nullptr ? kLogSegment * sizeof(Remainder) : 0);
    for (const Shard& shard : shards_)
        if (shard.capacity != 0) bytes += slotCount(shard) * sizeof(std::uint64_t);
    if (!log_.empty()) bytes += (first_segment_capacity_ + (log_.size() - 1) * kLogSegment) * sizeof(Remainder);
    return bytes;
}
