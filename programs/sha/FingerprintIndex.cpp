#include "FingerprintIndex.h"

FingerprintIndex::Key FingerprintIndex::keyOf(const unsigned* fingerprint) {
    return Key{fingerprint[0], fingerprint[1], fingerprint[2], fingerprint[3], fingerprint[4]};
}

std::uint64_t FingerprintIndex::hashOf(const Key& key) {
    // Digests are already well mixed, but keys chosen by hand (tests, small
    // counters) are not: fold all words through a multiplicative mix.
    std::uint64_t h = 0x9E3779B97F4A7C15ULL;
    for (unsigned word : key) {
        h ^= word;
        h *= 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 31;
    }
    return h;
}

std::size_t FingerprintIndex::find(const Key& key) const {
    const std::size_t mask = slots.size() - 1;
    for (std::size_t slot = hashOf(key) & mask;; slot = (slot + 1) & mask)
        if (!slots[slot].used || slots[slot].key == key) return slot;
}

bool FingerprintIndex::contains(const Key& key) const { return !slots.empty() && slots[find(key)].used; }

void FingerprintIndex::insert(const Key& key) {
    if ((count + 1) * 8 > slots.size() * 5) grow();
    Slot& slot = slots[find(key)];
    if (slot.used) return;
    slot = {key, 1};
    ++count;
}

void FingerprintIndex::grow() {
    std::vector<Slot> old(slots.empty() ? 64 : 2 * slots.size(), Slot{});
    old.swap(slots);
    for (const Slot& slot : old)
        if (slot.used) slots[find(slot.key)] = slot;
}
