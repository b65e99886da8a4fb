// The set of chunk fingerprints of a run: a binary search tree (which the
// driver treats as the slow on-disk fingerprint index) fronted by a summary
// vector, a bit array in which every inserted fingerprint sets five bits. A
// fingerprint with one of its bits clear was certainly never inserted.
//
// A fingerprint is five unsigned 32-bit words, word 0 first; the store copies
// what it keeps. The tree is never rebalanced, so its shape is that of the
// order the fingerprints came in; the store keeps that order and finds a
// fingerprint in constant time (FingerprintTable), and builds the tree only
// when asked for a listing. The first remove builds it for good: from then
// on the tree itself is changed, as removing reshapes it.
#ifndef DEDUP_TOLVANE_FINGERPRINTSTORE_H
#define DEDUP_TOLVANE_FINGERPRINTSTORE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "FingerprintTable.h"
#include "FingerprintTree.h"

class FingerprintStore {
public:
    using tree_node = FingerprintTree::tree_node;

    // A summary vector of SUMMARY_VECTOR_CAPACITY words (1 ... 2^27 - 1),
    // all clear, and an empty tree. Listings and the messages of remove go
    // to out.
    explicit FingerprintStore(unsigned int SUMMARY_VECTOR_CAPACITY, std::FILE* out = stdout);
    ~FingerprintStore();

    FingerprintStore(const FingerprintStore&) = delete;
    FingerprintStore& operator=(const FingerprintStore&) = delete;

    // Sets the five bits of d, then adds d to the tree; false when an equal
    // fingerprint was already stored.
    bool insert(const unsigned int* d);
    // The same, and vector_passed says what fast_lookup(d) said before.
    bool insert(const unsigned int* d, bool& vector_passed);
    // Removes d from the tree (its bits stay set); an empty tree or an absent
    // fingerprint is reported on out.
    void remove(const unsigned int* d);
    // Membership through the summary vector, then the tree; counts calls and
    // the false alarms of the summary vector.
    bool contains(const unsigned int* d);
    // The summary vector alone: false when one of d's five bits is clear.
    bool fast_lookup(const unsigned int* d) const;
    // Brings what fast_lookup(d) and insert(d) read first into the cache:
    // a caller with several fingerprints at hand lets their misses overlap.
    // A summary vector small enough to stay in the cache is left out:
    // fetching its bits as well made a large table's lookups slower.
    void prefetch(const unsigned int* d) const;
    // After prefetch(d), a while later: what a lookup of a stored d reads
    // next.
    void prefetchEntry(const unsigned int* d) const;

    // The number of fingerprints stored, in 32 bits (get_size) or in full.
    unsigned int get_size() const;
    std::uint64_t stored() const { return size; }
    bool isEmpty() const;
    // False positives per call of contains; 0 before the first call.
    float get_false_positive_rate() const;
    // Bytes that hold the fingerprints (the summary vector aside).
    std::size_t fingerprintBytes() const;

    // Listings on out. The summary vector: four words a line in
    // "%x"; the tree: each fingerprint as 40 hexadecimal digits between two
    // spaces, no line breaks.
    void print_summary_vector() const;
    void print_inorder() const;
    void print_preorder() const;
    void print_postorder() const;
    void inorder(const tree_node* p) const;
    void preorder(const tree_node* p) const;
    void postorder(const tree_node* p) const;

private:
    // 256 KiB.
    static constexpr unsigned int kCachedSummaryWords = 1u << 16;
    // The tree the fingerprints make in the order they came in.
    std::unique_ptr<FingerprintTree> buildTree() const;
    // Lists the tree, built for the listing unless it is kept already.
    void list(void (*order)(const tree_node*, std::FILE*)) const;
    bool contains_lookup(const unsigned int* d) const;
    // The five bit positions of a fingerprint: word i modulo the bit count.
    void summary_vector_hash(const unsigned int* fingerprint, unsigned int* indexes) const;
    bool bit_set(unsigned int position) const {
        return (summary_vector[position / 32] & (1u << (position % 32))) != 0;
    }

    unsigned int* summary_vector;
    std::uint64_t size;
    unsigned int SUMMARY_VECTOR_CAPACITY;
    unsigned int num_contains_calls;
    unsigned int num_false_positives;
    // For word % (SUMMARY_VECTOR_CAPACITY * 32) by two multiplications: a
    // division per word would cost more than the rest of a lookup.
    std::uint64_t bit_count_inverse;
    std::FILE* out;
    // Until the first remove the table holds the fingerprints; from then on
    // the tree does.
    std::unique_ptr<FingerprintTable> table;
    std::unique_ptr<FingerprintTree> tree;
};

#endif
