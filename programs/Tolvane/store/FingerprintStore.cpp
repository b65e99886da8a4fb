#include "FingerprintStore.h"

#include <cstdio>

FingerprintStore::FingerprintStore(unsigned int SUMMARY_VECTOR_CAPACITY, std::FILE* out)
    : root(nullptr),
      summary_vector(new unsigned int[SUMMARY_VECTOR_CAPACITY]()),
      size(0),
      SUMMARY_VECTOR_CAPACITY(SUMMARY_VECTOR_CAPACITY),
      num_contains_calls(0),
      num_false_positives(0),
      out(out)
{
}

FingerprintStore::~FingerprintStore() { delete[] summary_vector; }

bool FingerprintStore::insert(const unsigned int* d)
{
    unsigned int indexes[5];
    summary_vector_hash(d, indexes);
    for (unsigned int position : indexes) {
        summary_vector[position / 32] |= 1u << (position % 32);
    }

    tree_node** link = &root;
    while (*link != nullptr) {
        const int c = compareTo((*link)->data, d);
        if (c == 0) {
            return false;
        }
        link = c > 0 ? &(*link)->right : &(*link)->left;
    }
    *link = new_node(d);
    ++size;
    return true;
}

void FingerprintStore::remove(const unsigned int* d)
{
    if (root == nullptr) {
        std::fprintf(out, " This Tree is empty! \n");
        std::fflush(out);
        return;
    }

    // link is the parent's pointer to the node being looked at (or root).
    tree_node** link = &root;
    while (*link != nullptr) {
        const int c = compareTo((*link)->data, d);
        if (c == 0) {
            break;
        }
        link = c > 0 ? &(*link)->right : &(*link)->left;
    }
    tree_node* node = *link;
    if (node == nullptr) {
        std::fprintf(out, " Data not found! \n");
        std::fflush(out);
        return;
    }
    --size;

    if (node->left == nullptr || node->right == nullptr) {
        // No child or one: the link takes the only child, or null.
        *link = node->left != nullptr ? node->left : node->right;
        nodes.release(node);
        return;
    }

    // Two children: the node takes the fingerprint of its successor, the
    // leftmost node of its right subtree, and the successor is unlinked.
    tree_node** successor_link = &node->right;
    while ((*successor_link)->left != nullptr) {
        successor_link = &(*successor_link)->left;
    }
    tree_node* successor = *successor_link;
    for (int i = 0; i < 5; ++i) {
        node->data[i] = successor->data[i];
    }
    *successor_link = successor->right;
    nodes.release(successor);
}

bool FingerprintStore::contains(const unsigned int* d)
{
    ++num_contains_calls;
    if (!fast_lookup(d)) {
        return false;
    }
    if (contains_lookup(root, d)) {
        return true;
    }
    ++num_false_positives;
    return false;
}

bool FingerprintStore::fast_lookup(const unsigned int* d) const
{
    unsigned int indexes[5];
    summary_vector_hash(d, indexes);
    for (unsigned int position : indexes) {
        if ((summary_vector[position / 32] & (1u << (position % 32))) == 0) {
            return false;
        }
    }
    return true;
}

unsigned int FingerprintStore::get_size() const { return size; }

bool FingerprintStore::isEmpty() const { return root == nullptr; }

float FingerprintStore::get_false_positive_rate() const
{
    if (num_contains_calls == 0) {
        return 0.0f;
    }
    return static_cast<float>(static_cast<double>(num_false_positives) /
                              static_cast<double>(num_contains_calls));
}

int FingerprintStore::compareTo(const unsigned int* reference, const unsigned int* other)
{
    for (int i = 0; i < 5; ++i) {
        if (other[i] < reference[i]) {
            return -1;
        }
        if (other[i] > reference[i]) {
            return 1;
        }
    }
    return 0;
}

bool FingerprintStore::contains_lookup(const tree_node* current_node, const unsigned int* d) const
{
    while (current_node != nullptr) {
        const int c = compareTo(current_node->data, d);
        if (c == 0) {
            return true;
        }
        current_node = c > 0 ? current_node->right : current_node->left;
    }
    return false;
}

void FingerprintStore::summary_vector_hash(const unsigned int* fingerprint,
                                           unsigned int* indexes) const
{
    const unsigned int mod_val = SUMMARY_VECTOR_CAPACITY * 32;
    for (int i = 0; i < 5; ++i) {
        indexes[i] = fingerprint[i] % mod_val;
    }
}

FingerprintStore::tree_node* FingerprintStore::new_node(const unsigned int* d)
{
    tree_node* node = nodes.allocate();
    node->left = nullptr;
    node->right = nullptr;
    for (int i = 0; i < 5; ++i) {
        node->data[i] = d[i];
    }
    return node;
}

// ---- listings ----

void FingerprintStore::print_summary_vector() const
{
    unsigned int i = 0;
    for (; i + 4 <= SUMMARY_VECTOR_CAPACITY; i += 4) {
        std::fprintf(out, "%x %x %x %x\n", summary_vector[i], summary_vector[i + 1],
                    summary_vector[i + 2], summary_vector[i + 3]);
    }
    if (i < SUMMARY_VECTOR_CAPACITY) {
        for (unsigned int j = i; j < SUMMARY_VECTOR_CAPACITY; ++j) {
            std::fprintf(out, j == i ? "%x" : " %x", summary_vector[j]);
        }
        std::fprintf(out, "\n");
    }
}

void FingerprintStore::print_inorder() const { inorder(root); }
void FingerprintStore::print_preorder() const { preorder(root); }
void FingerprintStore::print_postorder() const { postorder(root); }

void FingerprintStore::print_node(const tree_node* node) const
{
    std::fprintf(out, " %08x%08x%08x%08x%08x ", node->data[0], node->data[1], node->data[2],
                node->data[3], node->data[4]);
}

// Left subtree, node, right subtree.
void FingerprintStore::inorder(const tree_node* p) const
{
    std::vector<const tree_node*> pending;  // nodes whose left subtree is being listed
    while (p != nullptr || !pending.empty()) {
        if (p != nullptr) {
            pending.push_back(p);
            p = p->left;
            continue;
        }
        p = pending.back();
        pending.pop_back();
        print_node(p);
        p = p->right;
    }
}

// Node, left subtree, right subtree.
void FingerprintStore::preorder(const tree_node* p) const
{
    std::vector<const tree_node*> pending;  // subtrees still to list, next on top
    if (p != nullptr) {
        pending.push_back(p);
    }
    while (!pending.empty()) {
        p = pending.back();
        pending.pop_back();
        print_node(p);
        if (p->right != nullptr) {
            pending.push_back(p->right);
        }
        if (p->left != nullptr) {
            pending.push_back(p->left);
        }
    }
}

// Left subtree, right subtree, node.
void FingerprintStore::postorder(const tree_node* p) const
{
    std::vector<const tree_node*> ancestors;  // nodes not yet listed, on the path to p
    const tree_node* last_listed = nullptr;
    while (p != nullptr || !ancestors.empty()) {
        if (p != nullptr) {
            ancestors.push_back(p);
            p = p->left;
            continue;
        }
        const tree_node* top = ancestors.back();
        if (top->right != nullptr && top->right != last_listed) {
            p = top->right;  // its right subtree comes first
        } else {
            print_node(top);
            last_listed = top;
            ancestors.pop_back();
        }
    }
}

// ---- node memory ----

FingerprintStore::NodeArena::~NodeArena()
{
    for (tree_node* block : blocks) {
        delete[] block;
    }
}

FingerprintStore::tree_node* FingerprintStore::NodeArena::allocate()
{
    if (free_list != nullptr) {
        tree_node* node = free_list;
        free_list = node->left;
        return node;
    }
    if (used_in_last_block == kNodesPerBlock) {
        blocks.push_back(new tree_node[kNodesPerBlock]);
        used_in_last_block = 0;
    }
    return &blocks.back()[used_in_last_block++];
}

void FingerprintStore::NodeArena::release(tree_node* node)
{
    node->left = free_list;
    free_list = node;
}
