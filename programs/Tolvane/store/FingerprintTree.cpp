#include "FingerprintTree.h"

bool FingerprintTree::insert(const unsigned int* d)
{
    tree_node** link = &root_;
    while (*link != nullptr) {
        const int c = compareTo((*link)->data, d);
        if (c == 0) {
            return false;
        }
        link = c > 0 ? &(*link)->right : &(*link)->left;
    }
    *link = new_node(d);
    return true;
}

bool FingerprintTree::remove(const unsigned int* d)
{
    // link is the parent's pointer to the node being looked at (or root).
    tree_node** link = &root_;
    while (*link != nullptr) {
        const int c = compareTo((*link)->data, d);
        if (c == 0) {
            break;
        }
        link = c > 0 ? &(*link)->right : &(*link)->left;
    }
    tree_node* node = *link;
    if (node == nullptr) {
        return false;
    }

    if (node->left == nullptr || node->right == nullptr) {
        // No child or one: the link takes the only child, or null.
        *link = node->left != nullptr ? node->left : node->right;
        nodes_.release(node);
        return true;
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
    nodes_.release(successor);
    return true;
}

bool FingerprintTree::contains(const unsigned int* d) const
{
    const tree_node* current_node = root_;
    while (current_node != nullptr) {
        const int c = compareTo(current_node->data, d);
        if (c == 0) {
            return true;
        }
        current_node = c > 0 ? current_node->right : current_node->left;
    }
    return false;
}

int FingerprintTree::compareTo(const unsigned int* reference, const unsigned int* other)
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

FingerprintTree::tree_node* FingerprintTree::new_node(const unsigned int* d)
{
    tree_node* node = nodes_.allocate();
    node->left = nullptr;
    node->right = nullptr;
    for (int i = 0; i < 5; ++i) {
        node->data[i] = d[i];
    }
    return node;
}

// ---- listings ----

namespace {

void print_node(const FingerprintTree::tree_node* node, std::FILE* out)
{
    std::fprintf(out, " %08x%08x%08x%08x%08x ", node->data[0], node->data[1], node->data[2], node->data[3],
                 node->data[4]);
}

}  // namespace

// Left subtree, node, right subtree.
void FingerprintTree::inorder(const tree_node* p, std::FILE* out)
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
        print_node(p, out);
        p = p->right;
    }
}

// Node, left subtree, right subtree.
void FingerprintTree::preorder(const tree_node* p, std::FILE* out)
{
    std::vector<const tree_node*> pending;  // subtrees still to list, next on top
    if (p != nullptr) {
        pending.push_back(p);
    }
    while (!pending.empty()) {
        p = pending.back();
        pending.pop_back();
        print_node(p, out);
        if (p->right != nullptr) {
            pending.push_back(p->right);
        }
        if (p->left != nullptr) {
            pending.push_back(p->left);
        }
    }
}

// Left subtree, right subtree, node.
void FingerprintTree::postorder(const tree_node* p, std::FILE* out)
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
            print_node(top, out);
            last_listed = top;
            ancestors.pop_back();
        }
    }
}

// ---- node memory ----

FingerprintTree::NodeArena::~NodeArena()
{
    for (tree_node* block : blocks) {
        delete[] block;
    }
}

FingerprintTree::tree_node* FingerprintTree::NodeArena::allocate()
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

void FingerprintTree::NodeArena::release(tree_node* node)
{
    node->left = free_list;
    free_list = node;
}
