// Concordance (fraction of non-zero bytes) and FingerPrintLinkedList (each
// fingerprint once, in first-added order).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "Concordance.h"
#include "FingerPrintLinkedList.h"
#include "NonZeroCount.h"

namespace {

std::vector<unsigned char> withNonZeros(std::size_t size, std::size_t nonZeros) {
    std::vector<unsigned char> chunk(size, 0);
    for (std::size_t i = 0; i < nonZeros; ++i) chunk[(i * 97) % size] = static_cast<unsigned char>(1 + i % 255);
    return chunk;
}

TEST(Concordance, ExampleFractions) {
    struct Case { std::size_t size, nonZeros; double fraction; };
    for (Case c : {Case{100, 1, 0.01}, Case{4096, 40, 0.009765625}, Case{4096, 41, 0.010009765625},
                   Case{7, 0, 0.0}, Case{7, 7, 1.0}}) {
        auto chunk = withNonZeros(c.size, c.nonZeros);
        Concordance concordance(chunk.data(), int(c.size));
        EXPECT_EQ(concordance.fractionNonZeros, c.fraction) << c.size << " " << c.nonZeros;
    }
    EXPECT_EQ(Concordance().fractionNonZeros, 0.0);
}

TEST(Concordance, CountsLikeAByteLoopAtEveryAlignmentAndLength) {
    std::mt19937 random(7);
    std::vector<unsigned char> bytes(3000);
    for (auto& b : bytes) b = random() % 3 == 0 ? static_cast<unsigned char>(random()) : 0;
    bytes[100] = 0x80;  // only the top bit set
    bytes[101] = 0x01;  // only the low bit set
    for (std::size_t start = 0; start < 16; ++start)
        for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 63u, 2040u, 2041u, 2984u}) {
            std::size_t expected = 0;
            for (std::size_t i = start; i < start + length; ++i) expected += bytes[i] != 0;
            EXPECT_EQ(countNonZeroBytes(bytes.data() + start, length), expected) << start << "+" << length;
        }
}

TEST(Concordance, ZeroSizeGivesNaNWhichEqualsNothing) {
    unsigned char byte = 1;
    Concordance empty(&byte, 0), other(&byte, 1);
    EXPECT_TRUE(std::isnan(empty.fractionNonZeros));
    EXPECT_TRUE(std::isnan(empty.getSimilarity(&other)));
    EXPECT_TRUE(std::isnan(other.getSimilarity(&empty)));
    EXPECT_FALSE(empty.equals(&empty));
    EXPECT_TRUE(other.equals(&other));
}

TEST(Concordance, SimilarityIsSignedDifference) {
    auto a = withNonZeros(100, 30), b = withNonZeros(100, 5);
    Concordance ca(a.data(), 100), cb(b.data(), 100);
    EXPECT_DOUBLE_EQ(ca.getSimilarity(&cb), 0.25);
    EXPECT_EQ(cb.getSimilarity(&ca), -ca.getSimilarity(&cb));
    EXPECT_FALSE(ca.equals(&cb));
    cb.computeConcordance(a.data(), 100);  // recomputed in place
    EXPECT_TRUE(ca.equals(&cb));
}

struct Fingerprint {
    unsigned words[5];
};

TEST(FingerPrintLinkedList, NewListIsEmptyAndHoldsOnlyTheZeroHead) {
    FingerPrintLinkedList list;
    Fingerprint zero{{0, 0, 0, 0, 0}}, other{{0, 0, 0, 0, 1}};
    EXPECT_EQ(list.size(), 0);
    EXPECT_FALSE(list.contains(other.words));
    EXPECT_TRUE(list.contains(zero.words));
    Concordance c;
    EXPECT_FALSE(list.add_unique(zero.words, &c)) << "zero matches the empty head";
    EXPECT_EQ(list.size(), 0);
}

TEST(FingerPrintLinkedList, RefusesDuplicatesAndKeepsFirstAddedOrder) {
    FingerPrintLinkedList list;
    std::vector<Fingerprint> prints = {{{1, 2, 3, 4, 5}}, {{1, 2, 3, 4, 6}}, {{6, 2, 3, 4, 5}}};
    auto chunk = withNonZeros(10, 1);
    Concordance c(chunk.data(), 10);
    for (auto& p : prints) EXPECT_TRUE(list.add_unique(p.words, &c));
    for (auto& p : prints) EXPECT_FALSE(list.add_unique(p.words, &c));
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(list.concordance.fractionNonZeros, 0.1);

    std::size_t i = 0;
    for (FingerPrintLinkedList* node = &list; node; node = node->next, ++i) {
        ASSERT_LT(i, prints.size());
        EXPECT_TRUE(std::equal(node->data, node->data + 5, prints[i].words)) << i;
    }
    EXPECT_EQ(i, prints.size());
}

TEST(FingerPrintLinkedList, ZeroFingerprintIsStoredOnceTheListHoldsAnEntry) {
    FingerPrintLinkedList list;
    Fingerprint zero{{0, 0, 0, 0, 0}}, first{{9, 9, 9, 9, 9}};
    Concordance c;
    ASSERT_TRUE(list.add_unique(first.words, &c));
    EXPECT_FALSE(list.contains(zero.words));
    EXPECT_TRUE(list.add_unique(zero.words, &c));
    EXPECT_TRUE(list.contains(zero.words));
    EXPECT_FALSE(list.add_unique(zero.words, &c));
    EXPECT_EQ(list.size(), 2);
    ASSERT_NE(list.next, nullptr);
    EXPECT_TRUE(std::equal(list.next->data, list.next->data + 5, zero.words));
}

TEST(FingerPrintLinkedList, LongChainIsFoundAndReleasedWithoutRecursion) {
    // Deep enough that a destructor recursing node by node would overflow
    // the stack; the leak checker confirms every node is released.
    const unsigned count = 400000;
    auto list = std::make_unique<FingerPrintLinkedList>();
    Concordance c;
    for (unsigned i = 1; i <= count; ++i) {
        Fingerprint p{{i, i * 3u, 0, 0, ~i}};
        ASSERT_TRUE(list->add_unique(p.words, &c));
    }
    Fingerprint p{{count / 2, count / 2 * 3u, 0, 0, ~(count / 2)}};
    EXPECT_TRUE(list->contains(p.words));
    EXPECT_EQ(list->size(), count);
    list.reset();
}

}  // namespace
