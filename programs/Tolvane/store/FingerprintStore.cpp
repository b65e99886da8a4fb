#include "FingerprintStore.h"

#include <cstdio>

FingerprintStore::FingerprintStore(unsigned int SUMMARY_VECTOR_CAPACITY, std::FILE* out)
    : summary_vector(new unsigned int[SUMMARY_VECTOR_CAPACITY]()),
      size(0),
      SUMMARY_VECTOR_CAPACITY(SUMMARY_VECTOR_CAPACITY),
      num_contains_calls(0),
      num_false_positives(0),
      bit_count_inverse(UINT64_MAX / (std::uint64_t{SUMMARY_VECTOR_CAPACITY} * 32) + 1),
      out(out),
      table(new FingerprintTable)
{
}

FingerprintStore::~FingerprintStore() { delete[] summary_vector; }

bool FingerprintStore::insert(const unsigned int* d)
{
    bool vector_passed = false;
    return insert(d, vector_passed);
}

bool FingerprintStore::insert(const unsigned int* d, bool& vector_passed)
{
    unsigned int indexes[5];
    summary_vector_hash(d, indexes);
    vector_passed = true;
    for (unsigned int position : indexes) {
        vector_passed = vector_passed && bit_set(position);
    }
    for (unsigned int position : indexes) {
        summary_vector[position / 32] |= 1u << (position % 32);
    }
    const bool added = table ? table->insert(d) : tree->insert(d);
    if (added) {
        ++size;
    }
    return added;
}

void FingerprintStore::remove(const unsigned int* d)
{
    if (size == 0) {
        std::fprintf(out, " This Tree is empty! \n");
        std::fflush(out);
        return;
    }
    if (table) {
        tree = buildTree();
        table.reset();
    }
    if (!tree->remove(d)) {
        std::fprintf(out, " Data not found! \n");
        std::fflush(out);
        return;
    }
    --size;
}

bool FingerprintStore::contains(const unsigned int* d)
{
    ++num_contains_calls;
    if (!fast_lookup(d)) {
        return false;
    }
    if (contains_lookup(d)) {
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
        if (!bit_set(position)) {
            return false;
        }
    }
    return true;
}

void FingerprintStore::prefetch(const unsigned int* d) const
{
    if (table) {
        table->prefetch(d);
    }
    if (SUMMARY_VECTOR_CAPACITY > kCachedSummaryWords) {
        unsigned int indexes[5];
        summary_vector_hash(d, indexes);
        for (unsigned int position : indexes) {
            __builtin_prefetch(&summary_vector[position / 32]);
        }
    }
}

void FingerprintStore::prefetchEntry(const unsigned int* d) const
{
    if (table) {
        table->prefetchEntry(d);
    }
}

unsigned int FingerprintStore::get_size() const { return static_cast<unsigned int>(size); }

bool FingerprintStore::isEmpty() const { return size == 0; }

float FingerprintStore::get_false_positive_rate() const
{
    if (num_contains_calls == 0) {
        return 0.0f;
    }
    return static_cast<float>(static_cast<double>(num_false_positives) /
                              static_cast<double>(num_contains_calls));
}

std::size_t FingerprintStore::fingerprintBytes() const
{
    return table ? table->memoryBytes() : static_cast<std::size_t>(size) * sizeof(tree_node);
}

bool FingerprintStore::contains_lookup(const unsigned int* d) const
{
    return table ? table->contains(d) : tree->contains(d);
}

void FingerprintStore::summary_vector_hash(const unsigned int* fingerprint,
                                           unsigned int* indexes) const
{
    // mod_val = SUMMARY_VECTOR_CAPACITY * 32; word % mod_val, exactly, as
    // the low bits of word / mod_val scaled back (a word is below 2^32).
    const std::uint64_t mod_val = std::uint64_t{SUMMARY_VECTOR_CAPACITY} * 32;
    for (int i = 0; i < 5; ++i) {
        const std::uint64_t fraction = bit_count_inverse * fingerprint[i];
        indexes[i] = static_cast<unsigned int>((static_cast<unsigned __int128>(fraction) * mod_val) >> 64);
    }
}

std::unique_ptr<FingerprintTree> FingerprintStore::buildTree() const
{
    std::unique_ptr<FingerprintTree> built(new FingerprintTree);
    for (const FingerprintTable::Fingerprint& fingerprint : table->inInsertionOrder()) {
        built->insert(fingerprint.data());
    }
    return built;
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

void FingerprintStore::list(void (*order)(const tree_node*, std::FILE*)) const
{
    if (tree) {
        order(tree->root(), out);
        return;
    }
    const std::unique_ptr<FingerprintTree> built = buildTree();
    order(built->root(), out);
}

void FingerprintStore::print_inorder() const { list(FingerprintTree::inorder); }
void FingerprintStore::print_preorder() const { list(FingerprintTree::preorder); }
void FingerprintStore::print_postorder() const { list(FingerprintTree::postorder); }
void FingerprintStore::inorder(const tree_node* p) const { FingerprintTree::inorder(p, out); }
void FingerprintStore::preorder(const tree_node* p) const { FingerprintTree::preorder(p, out); }
void FingerprintStore::postorder(const tree_node* p) const { FingerprintTree::postorder(p, out); }
