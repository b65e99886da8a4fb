// A hash set of five-word fingerprints: the lookup side of
// FingerPrintLinkedList, which keeps the entries themselves in its chain.
// An open-addressed table of the keys themselves (linear probing, at most
// 5/8 full): a lookup reads a slot or two, nothing is allocated per key, and
// its cost stays nearly the same as the set grows.
#ifndef DEDUP_SHA_FINGERPRINTINDEX_H
#define DEDUP_SHA_FINGERPRINTINDEX_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class FingerprintIndex {
public:
    using Key = std::array<unsigned, 5>;

    static Key keyOf(const unsigned* fingerprint);
    bool contains(const Key& key) const;
    // Adds the key unless it is in the set.
    void insert(const Key& key);

private:
    struct Slot {
        Key key;
        unsigned used;  // 0 for an empty slot: any key, all zeros too, may be stored
    };
    static std::uint64_t hashOf(const Key& key);
    // The slot holding the key, or the empty slot where it goes.
    std::size_t find(const Key& key) const;
    void grow();

    std::vector<Slot> slots;  // a power of two of them, or none yet
    std::size_t count = 0;
};

#endif
