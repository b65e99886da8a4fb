// The store's tree: ordering, the three removal cases, listings, a random
// workout against std::set, and trees too deep for recursion.
#include <pthread.h>

#include <memory>
#include <random>
#include <set>

#include "store_test_support.h"

namespace {

using Words = std::vector<unsigned int>;
const std::string kNotFound = " Data not found! \n";
const std::string kEmpty = " This Tree is empty! \n";
constexpr auto kInorder = &FingerprintStore::print_inorder;
constexpr auto kPreorder = &FingerprintStore::print_preorder;
constexpr auto kPostorder = &FingerprintStore::print_postorder;

std::unique_ptr<FingerprintStore> store_of(const Words& first_words_in_order)
{
    auto store = std::make_unique<FingerprintStore>(3125);
    for (unsigned int w : first_words_in_order) EXPECT_TRUE(store->insert(by_first_word(w).data()));
    return store;
}

std::string removal_output(FingerprintStore& store, unsigned int w)
{
    return captured_stdout([&] { store.remove(by_first_word(w).data()); });
}

TEST(StoreTree, OrdersWordsUnsignedFromWordZero)
{
    const std::vector<Fingerprint> ascending = {
        {0, 0, 0, 0, 1}, {0, 0, 0, 1, 0}, {0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
        {0x80000000, 0, 0, 0, 0}, {0xFFFFFFFF, 0, 0, 0, 0}};
    FingerprintStore store(16);
    for (int i : {3, 0, 4, 2, 1}) EXPECT_TRUE(store.insert(ascending[i].data()));
    EXPECT_EQ(listing_of(store, kInorder), ascending);
    FingerprintStore one(1);
    one.insert(ascending[2].data());
    EXPECT_EQ(captured_stdout([&] { one.print_preorder(); }), " 7fffffffffffffffffffffffffffffffffffffff ");
}

TEST(StoreTree, RemovingANodeWithTwoChildrenTakesItsSuccessor)
{
    auto store = store_of({50, 30, 70, 60, 80, 65});
    EXPECT_EQ(removal_output(*store, 50), "");
    EXPECT_EQ(store->get_size(), 5u);
    EXPECT_EQ(first_words(listing_of(*store, kInorder)), (Words{30, 60, 65, 70, 80}));
    EXPECT_EQ(first_words(listing_of(*store, kPreorder)), (Words{60, 30, 70, 65, 80}));  // 65 left of 70
    EXPECT_EQ(first_words(listing_of(*store, kPostorder)), (Words{30, 65, 80, 70, 60}));

    auto successor_is_right_child = store_of({50, 30, 70, 80});
    EXPECT_EQ(removal_output(*successor_is_right_child, 50), "");
    EXPECT_EQ(first_words(listing_of(*successor_is_right_child, kPreorder)), (Words{70, 30, 80}));
}

TEST(StoreTree, RemovingLeavesAndSingleChildren)
{
    auto store = store_of({50, 30, 70, 20, 80});
    EXPECT_EQ(removal_output(*store, 20), "");  // a leaf
    EXPECT_EQ(removal_output(*store, 70), "");  // one right child
    EXPECT_EQ(first_words(listing_of(*store, kPreorder)), (Words{50, 30, 80}));
    EXPECT_EQ(removal_output(*store, 50), "");
    EXPECT_EQ(removal_output(*store, 80), "");  // a root with one left child
    EXPECT_EQ(first_words(listing_of(*store, kPreorder)), (Words{30}));
    EXPECT_EQ(removal_output(*store, 31), kNotFound);
    EXPECT_EQ(store->get_size(), 1u);
    EXPECT_EQ(removal_output(*store, 30), "");  // the only fingerprint
    EXPECT_TRUE(store->isEmpty());
    EXPECT_EQ(store->get_size(), 0u);
    EXPECT_EQ(captured_stdout([&] { store->print_inorder(); }), "");
    EXPECT_EQ(removal_output(*store, 30), kEmpty);

    auto right_root = store_of({10, 20, 15});
    EXPECT_EQ(removal_output(*right_root, 10), "");
    EXPECT_EQ(first_words(listing_of(*right_root, kPreorder)), (Words{20, 15}));
    EXPECT_TRUE(right_root->insert(by_first_word(10).data()));  // reuses the freed node
    EXPECT_EQ(first_words(listing_of(*right_root, kInorder)), (Words{10, 15, 20}));
}

// Keys share leading words, so comparisons often reach words 3 and 4.
TEST(StoreTree, MatchesStdSetUnderRandomOperations)
{
    std::mt19937 rng(7);
    auto below = [&](unsigned int n) { return static_cast<unsigned int>(rng() % n); };
    FingerprintStore store(2);
    std::set<Fingerprint> model;
    for (int batch = 0; batch < 40; ++batch) {
        std::string expected_messages;
        const std::string messages = captured_stdout([&] {
            for (int op = 0; op < 250; ++op) {
                const Fingerprint key = {below(3), below(2), 0x80000000u + below(2), below(5), below(9)};
                const unsigned int kind = below(3);
                if (kind == 0) {
                    EXPECT_EQ(store.insert(key.data()), model.insert(key).second);
                } else if (kind == 1) {
                    expected_messages += model.empty() ? kEmpty : model.count(key) ? "" : kNotFound;
                    store.remove(key.data());
                    model.erase(key);
                } else {
                    EXPECT_EQ(store.contains(key.data()), model.count(key) == 1);
                }
            }
        });
        EXPECT_EQ(messages, expected_messages);
        EXPECT_EQ(store.get_size(), model.size());
        EXPECT_EQ(store.isEmpty(), model.empty());
        EXPECT_EQ(listing_of(store, kInorder), std::vector<Fingerprint>(model.begin(), model.end()));
    }
}

// Runs `body` on a thread whose stack is far too small for one frame per
// tree level, so any recursion over a deep tree crashes.
void run_on_small_stack(const std::function<void()>& body)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 128 * 1024);
    pthread_t thread;
    auto run = [](void* f) -> void* {
        (*static_cast<std::function<void()>*>(f))();
        return nullptr;
    };
    std::function<void()> copy = body;
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &copy), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST(StoreTree, DegenerateTreesNeedNoRecursion)
{
    constexpr unsigned int kDepth = 20000;  // a recursive walk needs > 128 KiB
    Words increasing(kDepth);
    for (unsigned int i = 0; i < kDepth; ++i) increasing[i] = i;
    const Words decreasing(increasing.rbegin(), increasing.rend());
    for (bool ascending : {true, false}) {
        std::vector<Fingerprint> inorder, preorder, postorder;
        bool found_deepest = false;
        run_on_small_stack([&] {
            FingerprintStore chain(3125);  // destroyed on the small stack too
            for (unsigned int w : ascending ? increasing : decreasing) chain.insert(by_first_word(w).data());
            found_deepest = chain.contains(by_first_word(ascending ? kDepth - 1 : 0).data());
            inorder = listing_of(chain, kInorder);
            preorder = listing_of(chain, kPreorder);
            postorder = listing_of(chain, kPostorder);
        });
        EXPECT_TRUE(found_deepest);
        EXPECT_EQ(first_words(inorder), increasing);
        EXPECT_EQ(first_words(preorder), ascending ? increasing : decreasing);
        EXPECT_EQ(first_words(postorder), ascending ? decreasing : increasing);
    }
}

// Many arena blocks, a free list in heavy use, and one release at the end.
TEST(StoreTree, MillionFingerprintsAreStoredAndReleased)
{
    std::mt19937 rng(11);
    std::vector<Fingerprint> keys(1000000);
    for (Fingerprint& k : keys) {
        for (unsigned int& word : k) word = static_cast<unsigned int>(rng());
    }
    FingerprintStore store(3125);
    for (const Fingerprint& k : keys) ASSERT_TRUE(store.insert(k.data()));
    for (std::size_t i = 0; i < keys.size(); i += 2) store.remove(keys[i].data());
    EXPECT_EQ(store.get_size(), keys.size() / 2);
    for (std::size_t i = 0; i < keys.size(); i += 2) ASSERT_TRUE(store.insert(keys[i].data()));
    EXPECT_EQ(store.get_size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); i += 1000) EXPECT_TRUE(store.contains(keys[i].data()));
}

}  // namespace
