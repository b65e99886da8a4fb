#include "FingerPrintLinkedList.h"

#include <cstring>

#include "FingerprintIndex.h"

namespace {
const unsigned kWords = 5;

bool sameWords(const unsigned* a, const unsigned* b) {
    return std::memcmp(a, b, kWords * sizeof(unsigned)) == 0;
}
}  // namespace

FingerPrintLinkedList::FingerPrintLinkedList()
    : num_entries(0), next(nullptr), data(new unsigned[kWords]()), last(this) {}

FingerPrintLinkedList::~FingerPrintLinkedList() {
    // Unlink each node before deleting it, so no destructor recurses down
    // the chain however long it is.
    FingerPrintLinkedList* node = next;
    next = nullptr;
    while (node != nullptr) {
        FingerPrintLinkedList* following = node->next;
        node->next = nullptr;
        delete node;
        node = following;
    }
    delete[] data;
}

bool FingerPrintLinkedList::headIsEmpty() const {
    static const unsigned zero[kWords] = {0, 0, 0, 0, 0};
    return sameWords(data, zero);
}

bool FingerPrintLinkedList::contains(const unsigned* fingerprint) const {
    if (sameWords(data, fingerprint)) return true;
    return laterNodes && laterNodes->contains(FingerprintIndex::keyOf(fingerprint));
}

bool FingerPrintLinkedList::add_unique(const unsigned* fingerprint, const Concordance* c) {
    if (contains(fingerprint)) return false;
    if (headIsEmpty()) {
        std::memcpy(data, fingerprint, kWords * sizeof(unsigned));
        concordance = *c;
    } else {
        std::unique_ptr<FingerPrintLinkedList> node(new FingerPrintLinkedList());
        std::memcpy(node->data, fingerprint, kWords * sizeof(unsigned));
        node->concordance = *c;
        if (!laterNodes) laterNodes.reset(new FingerprintIndex());
        laterNodes->insert(FingerprintIndex::keyOf(fingerprint));
        last->next = node.release();
        last = last->next;
    }
    ++num_entries;
    return true;
}

std::int64_t FingerPrintLinkedList::size() const { return num_entries; }
