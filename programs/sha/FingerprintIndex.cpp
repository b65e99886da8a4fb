#include "FingerprintIndex.h"

#include <cstdint>

FingerprintIndex::Key FingerprintIndex::keyOf(const unsigned* fingerprint) {
    return Key{fingerprint[0], fingerprint[1], fingerprint[2], fingerprint[3], fingerprint[4]};
}

bool FingerprintIndex::contains(const Key& key) const { return keys.count(key) != 0; }

void FingerprintIndex::insert(const Key& key) { keys.insert(key); }

std::size_t FingerprintIndex::KeyHash::operator()(const Key& key) const {
    // Digests are already well mixed, but keys chosen by hand (tests, small
    // counters) are not: fold all words through a multiplicative mix.
    std::uint64_t h = 0x9E3779B97F4A7C15ULL;
    for (unsigned word : key) {
        h ^= word;
        h *= 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 31;
    }
    return std::size_t(h);
}
