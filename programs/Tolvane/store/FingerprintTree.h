// The store's binary search tree: fingerprints ordered by their words as
// unsigned numbers, word 0 first, never rebalanced, so that its shape is
// that of the order the fingerprints came in. Sorted input makes it a list,
// so every walk here is a loop or uses an explicit stack.
#ifndef DEDUP_TOLVANE_FINGERPRINTTREE_H
#define DEDUP_TOLVANE_FINGERPRINTTREE_H

#include <cstddef>
#include <cstdio>
#include <vector>

class FingerprintTree {
public:
    struct tree_node {
        tree_node* left;   // smaller fingerprints
        tree_node* right;  // greater fingerprints
        unsigned int data[5];
    };

    FingerprintTree() = default;
    FingerprintTree(const FingerprintTree&) = delete;
    FingerprintTree& operator=(const FingerprintTree&) = delete;

    // False when an equal fingerprint is in the tree already.
    bool insert(const unsigned int* d);
    // False when d is not in the tree.
    bool remove(const unsigned int* d);
    bool contains(const unsigned int* d) const;

    const tree_node* root() const { return root_; }

    // Sign of other - reference, the words read as one 160-bit number with
    // word 0 most significant.
    static int compareTo(const unsigned int* reference, const unsigned int* other);

    // The subtree at p in the named order, each fingerprint as 40
    // hexadecimal digits between two spaces, no line breaks.
    static void inorder(const tree_node* p, std::FILE* out);
    static void preorder(const tree_node* p, std::FILE* out);
    static void postorder(const tree_node* p, std::FILE* out);

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

    tree_node* new_node(const unsigned int* d);

    tree_node* root_ = nullptr;
    NodeArena nodes_;
};

#endif
