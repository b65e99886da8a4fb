#include "FingerprintTable.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "LargeBuffer.h"

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
    for (Shard& shard : shards_)
        if (shard.slots != nullptr) releaseLargeBuffer(shard.slots, slotCount(shard) * sizeof(std::uint64_t));
    for (std::size_t i = 0; i < log_.size(); ++i)
        releaseLargeBuffer(log_[i], (i == 0 ? first_segment_capacity_ : kLogSegment) * sizeof(Remainder));
}

FingerprintTable::Remainder FingerprintTable::remainderOf(const unsigned int* d) {
    constexpr unsigned kLowBits = 32 - kTagBits;  // of word 1, below the tag
    return {{(d[0] << kLowBits) | (d[1] & ((1u << kLowBits) - 1)), d[2], d[3], d[4]}};
}

std::uint64_t FingerprintTable::find(const Shard& shard, std::uint32_t tag, const Remainder& remainder,
                                     bool& found) const {
    found = false;
    const std::uint64_t end = shard.capacity == 0 ? 0 : slotCount(shard);
    std::uint64_t slot = shard.capacity == 0 ? 0 : home(tag, shard.capacity);
    for (; slot < end; ++slot) {
        const std::uint64_t entry = shard.slots[slot];
        if (entry == 0 || tagOfEntry(entry) > tag) break;
        if (tagOfEntry(entry) == tag && logEntry(placeOfEntry(entry)) == remainder) {
            found = true;
            break;
        }
    }
    return slot;
}

bool FingerprintTable::place(Shard& shard, std::uint64_t at, std::uint64_t entry) {
    const std::uint64_t end = slotCount(shard);
    std::uint64_t empty = at;
    while (empty < end && shard.slots[empty] != 0) ++empty;
    if (empty == end) return false;
    std::memmove(shard.slots + at + 1, shard.slots + at, (empty - at) * sizeof(std::uint64_t));
    shard.slots[at] = entry;
    return true;
}

void FingerprintTable::grow(Shard& shard) {
    const std::uint64_t old_end = shard.capacity == 0 ? 0 : slotCount(shard);
    // Where each entry goes, in tag order: at its home, or right after the
    // one before. By a quarter: the table is then between 0.68 and 17/20
    // full; should the last run outgrow the spare slots, by more.
    std::vector<std::uint32_t> placed(shard.count);
    std::uint64_t capacity = shard.capacity == 0 ? 8 : std::uint64_t{shard.capacity} + shard.capacity / 4 + 1;
    std::uint64_t end = 0;
    for (;; capacity += capacity / 4 + 1) {
        capacity = std::min<std::uint64_t>(capacity, UINT32_MAX / 2);
        end = capacity + spare(capacity);
        std::uint64_t next_free = 0;
        std::size_t entry_number = 0;
        for (std::uint64_t slot = 0; slot < old_end; ++slot) {
            const std::uint64_t entry = shard.slots[slot];
            if (entry == 0) continue;
            next_free = std::max<std::uint64_t>(home(tagOfEntry(entry), static_cast<std::uint32_t>(capacity)),
                                                next_free);
            placed[entry_number++] = static_cast<std::uint32_t>(next_free++);
        }
        if (next_free <= end) break;
    }
    // Larger in place: no entry moves down, so from the last one back each
    // moves up over slots already read, and what lies between is cleared.
    auto* slots = static_cast<std::uint64_t*>(
        resizeLargeBuffer(shard.slots, old_end * sizeof(std::uint64_t), end * sizeof(std::uint64_t)));
    std::uint64_t cleared_from = end;  // slots from here on are final
    std::size_t entry_number = shard.count;
    for (std::uint64_t slot = old_end; slot-- > 0;) {
        const std::uint64_t entry = slots[slot];
        if (entry == 0) continue;
        const std::uint64_t at = placed[--entry_number];
        std::fill(slots + at + 1, slots + cleared_from, 0);
        slots[at] = entry;
        cleared_from = at;
    }
    std::fill(slots, slots + cleared_from, 0);
    shard.slots = slots;
    shard.capacity = static_cast<std::uint32_t>(capacity);
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
        log_.push_back(static_cast<Remainder*>(allocateLargeBuffer(kLogSegment * sizeof(Remainder))));
    }
    log_[place / kLogSegment][place % kLogSegment] = remainder;
}

bool FingerprintTable::insert(const unsigned int* d) {
    Shard& shard = shards_[shardOf(d)];
    const std::uint32_t tag = tagOf(d);
    const Remainder remainder = remainderOf(d);
    bool found = false;
    std::uint64_t at = find(shard, tag, remainder, found);
    if (found) return false;
    // The slot holds no larger place; memory runs out long before.
    if (size_ + 1 > kPlaceMask) throw std::bad_alloc();
    append(remainder);
    const std::uint64_t entry = std::uint64_t{tag} << kPlaceBits | (size_ + 1);
    const bool full = (std::uint64_t{shard.count} + 1) * 20 > std::uint64_t{shard.capacity} * 17;
    while (full || !place(shard, at, entry)) {
        grow(shard);
        at = find(shard, tag, remainder, found);
        if (place(shard, at, entry)) break;
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
    // Its run of slots may go on into the next cache line.
    const std::uint64_t* at = &shard.slots[home(tagOf(d), shard.capacity)];
    __builtin_prefetch(at);
    __builtin_prefetch(at + 8);
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
            constexpr unsigned kLowBits = 32 - kTagBits;
            fingerprints[place] = {(shard_number << (32 - kShardBits)) | (remainder.words[0] >> kLowBits),
                                   (tagOfEntry(entry) << kLowBits) | (remainder.words[0] & ((1u << kLowBits) - 1)),
                                   remainder.words[1], remainder.words[2], remainder.words[3]};
        }
    }
    return fingerprints;
}

std::size_t FingerprintTable::memoryBytes() const {
    std::size_t bytes = shards_.size() * sizeof(Shard) + log_.size() * sizeof(log_[0]);
    for (const Shard& shard : shards_)
        if (shard.capacity != 0) bytes += slotCount(shard) * sizeof(std::uint64_t);
    if (!log_.empty()) bytes += (first_segment_capacity_ + (log_.size() - 1) * kLogSegment) * sizeof(Remainder);
    return bytes;
}
