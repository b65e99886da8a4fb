// The set of chunk fingerprints of a run: an unbalanced binary search tree
// (which the driver treats as the slow on-disk fingerprint index) fronted by
// a summary vector, a bit array in which every inserted fingerprint sets five
// bits. A fingerprint with one of its bits clear was certainly never inserted.
//
// A fingerprint is five unsigned 32-bit words, word 0 first; the store copies
// what it keeps. The tree is never rebalanced and sorted input makes it a
// list, so every walk here is a loop or uses an explicit stack.
#ifndef DEDUP_TOLVANE_FINGERPRINTSTORE_H
#define DEDUP_TOLVANE_FINGERPRINTSTORE_H

#include <cstddef>
#include <cstdio>
#include <vector>

class FingerprintStore {
public:
    struct tree_node {
        tree_node* left;   // smaller fingerprints
        tree_node* right;  // greater fingerprints
        unsigned int data[5];
    };

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
    // Removes d from the tree (its bits stay set); an empty tree or an absent
    // fingerprint is reported on out.
    void remove(const unsigned int* d);
    // Membership through the summary vector, then the tree; counts calls and
    // the false alarms of the summary vector.
    bool contains(const unsigned int* d);
    // The summary vector alone: false when one of d's five bits is clear.
    bool fast_lookup(const unsigned int* d) const;

    unsigned int get_size() const;
    bool isEmpty() const;
    // False positives per call of contains; 0 before the first call.
    float get_false_positive_rate() const;

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
    // Nodes come from blocks that are released all at once, so neither the
    // destructor nor a huge degenerate tree needs a tree walk to free them;
    // removed nodes wait on a free list for reuse.
    class NodeArena {
    public:
        NodeArena() = default;
        ~NodeArena();
        NodeArena(const NodeArena&) = delete;
        NodeArena& operator=(const NodeArena&) = delete;

        tree_node* allocate();
        void release(tree_node* node);

    private:
        static constexpr std::size_t kNodesPerBlock = 4096;
        std::vector<tree_node*> blocks;
        std::size_t used_in_last_block = kNodesPerBlock;
        tree_node* free_list = nullptr;  // chained through left
    };

    // Sign of other - reference, the words read as one 160-bit number with
    // word 0 most significant.
    static int compareTo(const unsigned int* reference, const unsigned int* other);
    bool contains_lookup(const tree_node* current_node, const unsigned int* d) const;
    // The five bit positions of a fingerprint: word i modulo the bit count.
    void summary_vector_hash(const unsigned int* fingerprint, unsigned int* indexes) const;

    tree_node* new_node(const unsigned int* d);
    void print_node(const tree_node* node) const;

    tree_node* root;
    unsigned int* summary_vector;
    unsigned int size;
    unsigned int SUMMARY_VECTOR_CAPACITY;
    unsigned int num_contains_calls;
    unsigned int num_false_positives;
    std::FILE* out;
    NodeArena nodes;
};

#endif
