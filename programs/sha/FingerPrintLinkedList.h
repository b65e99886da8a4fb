// The distinct 160-bit chunk fingerprints (five 32-bit words, word 0 first)
// of a run, each kept once, in the order they were first added.
//
// The list object is itself the first node (the head); further entries are
// nodes of the same class chained through next. The list is empty while the
// head's five words are all zero. Beside the chain the head keeps an index
// of the later nodes' fingerprints and a pointer to the last node, so that
// adding and looking up take constant time however long the list grows.
#ifndef DEDUP_SHA_FINGERPRINTLINKEDLIST_H
#define DEDUP_SHA_FINGERPRINTLINKEDLIST_H

#include <cstdint>
#include <memory>

#include "Concordance.h"

class FingerprintIndex;

class FingerPrintLinkedList {
public:
    FingerPrintLinkedList();
    // The head releases the whole chain, one node after another.
    ~FingerPrintLinkedList();

    FingerPrintLinkedList(const FingerPrintLinkedList&) = delete;
    FingerPrintLinkedList& operator=(const FingerPrintLinkedList&) = delete;

    // True when some node, the head included, holds these five words; so an
    // empty list "contains" the zero fingerprint.
    bool contains(const unsigned* fingerprint) const;
    // Appends a copy of the fingerprint (and of *c) unless present; true
    // when it was added.
    bool add_unique(const unsigned* fingerprint, const Concordance* c);
    std::int64_t size() const;

private:
    bool headIsEmpty() const;

    std::int64_t num_entries;  // kept on the head only

public:
    FingerPrintLinkedList* next;
    unsigned* data;  // five words, zero until an entry is stored
    Concordance concordance;

private:
    std::unique_ptr<FingerprintIndex> laterNodes;  // head only
    FingerPrintLinkedList* last;                   // head only: the last node
};

#endif
