// A hash set of five-word fingerprints: the lookup side of
// FingerPrintLinkedList, which keeps the entries themselves in its chain.
#ifndef DEDUP_SHA_FINGERPRINTINDEX_H
#define DEDUP_SHA_FINGERPRINTINDEX_H

#include <array>
#include <cstddef>
#include <unordered_set>

class FingerprintIndex {
public:
    using Key = std::array<unsigned, 5>;

    static Key keyOf(const unsigned* fingerprint);
    bool contains(const Key& key) const;
    void insert(const Key& key);

private:
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    std::unordered_set<Key, KeyHash> keys;
};

#endif
