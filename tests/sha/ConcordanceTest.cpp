// Concordance (fraction of non-zero bytes), FingerPrintLinkedList (each
// fingerprint once, in first-added order) and its index, against std::set.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "Concordance.h"
#include "FingerPrintLinkedList.h"
#include "FingerprintIndex.h"
#include "NonZeroCount.h"

namespace {

std::vector<unsigned char> withNonZeros(std::size_t size, std::size_t nonZeros) {
    std::vector<unsigned char> chunk(size, 0);
    for (std::size_t i = 0; i < nonZeros; ++i) chunk[(i * 97) % size] = static_cast<unsigned char>(1 + i % 255);
    return chunk;
}

double fraction(std::size_t size, std::size_t nonZeros) {
    auto chunk = withNonZeros(size, nonZeros);
    return Concordance(chunk.data(), int(size)).fractionNonZeros;
}

TEST(Concordance, ExampleFractions) {
    EXPECT_EQ(fraction(100, 1), 0.01);
    EXPECT_EQ(fraction(4096, 40), 0.009765625);
    EXPECT_EQ(fraction(4096, 41), 0.010009765625);
    EXPECT_EQ(fraction(7, 7), 1.0);
    EXPECT_EQ(Concordance().fractionNonZeros, 0.0);
}

// Every path the machine runs, against a byte loop: lengths about the word
// and the 32-byte lane, and past 255 rounds of lanes (8160 bytes), where
// all-zero input fills every lane to its limit before the lanes are summed.
TEST(Concordance, CountsLikeAByteLoopOnEveryPathAtEveryAlignmentAndLength) {
    using non_zero_count::Path;
    std::mt19937 random(7);
    std::vector<unsigned char> bytes(20000);
    for (auto& b : bytes) b = random() % 3 == 0 ? static_cast<unsigned char>(random()) : 0;
    bytes[100] = 0x80;  // only the top bit set
    bytes[101] = 0x01;  // only the low bit set
    const std::vector<unsigned char> zeros(20000, 0);
    for (Path path : {Path::portable, Path::avx2}) {
        if (!non_zero_count::supported(path)) continue;
        ASSERT_EQ(non_zero_count::use(path), path);
        for (std::size_t start = 0; start < 33; ++start)
            for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 31u, 32u, 33u, 2040u, 2041u, 8160u, 8191u, 8225u, 19900u}) {
                auto first = bytes.begin() + start;
                std::size_t expected = length - std::count(first, first + length, 0);
                EXPECT_EQ(countNonZeroBytes(bytes.data() + start, length), expected)
                    << "path " << int(path) << ", " << start << "+" << length;
                EXPECT_EQ(countNonZeroBytes(zeros.data() + start, length), 0u) << "path " << int(path);
            }
    }
    non_zero_count::use(non_zero_count::fastest());
}

TEST(Concordance, ZeroSizeGivesNaNAndSimilarityIsSigned) {
    unsigned char byte = 1;
    Concordance empty(&byte, 0), whole(&byte, 1), quarter;
    quarter.fractionNonZeros = 0.25;
    EXPECT_TRUE(std::isnan(empty.fractionNonZeros));
    EXPECT_TRUE(std::isnan(empty.getSimilarity(&whole)) && std::isnan(whole.getSimilarity(&empty)));
    EXPECT_FALSE(empty.equals(&empty));
    EXPECT_TRUE(whole.equals(&whole));
    EXPECT_EQ(whole.getSimilarity(&quarter), 0.75);
    EXPECT_EQ(quarter.getSimilarity(&whole), -0.75);
}

using Fingerprint = std::array<unsigned, 5>;

TEST(FingerPrintLinkedList, RefusesDuplicatesAndKeepsFirstAddedOrder) {
    FingerPrintLinkedList list;
    EXPECT_EQ(list.size(), 0);
    std::vector<Fingerprint> prints = {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 6}, {6, 2, 3, 4, 5}};
    EXPECT_FALSE(list.contains(prints[0].data()));
    Concordance c;
    c.fractionNonZeros = 0.1;
    for (auto& p : prints) EXPECT_TRUE(list.add_unique(p.data(), &c));
    for (auto& p : prints) EXPECT_FALSE(list.add_unique(p.data(), &c));
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(list.concordance.fractionNonZeros, 0.1);

    std::vector<Fingerprint> walked;
    for (FingerPrintLinkedList* node = &list; node; node = node->next)
        walked.push_back({node->data[0], node->data[1], node->data[2], node->data[3], node->data[4]});
    EXPECT_EQ(walked, prints);
}

TEST(FingerPrintLinkedList, ZeroFingerprintMatchesOnlyTheEmptyHead) {
    FingerPrintLinkedList list;
    Fingerprint zero{}, first{9, 9, 9, 9, 9};
    Concordance c;
    EXPECT_TRUE(list.contains(zero.data()));
    EXPECT_FALSE(list.add_unique(zero.data(), &c)) << "refused while the list is empty";
    EXPECT_EQ(list.size(), 0);
    ASSERT_TRUE(list.add_unique(first.data(), &c));
    EXPECT_FALSE(list.contains(zero.data()));
    EXPECT_TRUE(list.add_unique(zero.data(), &c)) << "stored like any other once not empty";
    EXPECT_TRUE(list.contains(zero.data()));
    EXPECT_FALSE(list.add_unique(zero.data(), &c));
    EXPECT_EQ(list.size(), 2);
}

TEST(FingerprintIndex, MatchesASetThroughGrowthWithKeysChosenByHand) {
    // Keys apart in one word only, the all-zero key among them, enough for
    // the table to grow many times; each inserted twice.
    FingerprintIndex index;
    std::set<Fingerprint> model;
    for (unsigned i = 0; i < 60000; ++i) {
        const Fingerprint key = i % 2 ? Fingerprint{i / 2, 0, 0, 0, 0} : Fingerprint{0, 0, 0, 0, i / 2};
        for (int twice = 0; twice < 2; ++twice) index.insert(key);
        model.insert(key);
    }
    for (unsigned i = 0; i < 70000; ++i)
        for (const Fingerprint& key : {Fingerprint{i, 0, 0, 0, 0}, Fingerprint{0, 0, 0, 0, i}, Fingerprint{0, i, 0, 0, 0}})
            ASSERT_EQ(index.contains(key), model.count(key) == 1) << key[0] << " " << key[1] << " " << key[4];
}

TEST(FingerPrintLinkedList, LongChainIsFoundAndReleasedWithoutRecursion) {
    // Deep enough that a destructor recursing node by node would overflow
    // the stack; the leak checker confirms every node is released.
    const unsigned count = 400000;
    auto list = std::make_unique<FingerPrintLinkedList>();
    Concordance c;
    for (unsigned i = 1; i <= count; ++i) {
        Fingerprint p{i, i * 3u, 0, 0, ~i};
        ASSERT_TRUE(list->add_unique(p.data(), &c));
    }
    Fingerprint middle{count / 2, count / 2 * 3u, 0, 0, ~(count / 2)};
    EXPECT_TRUE(list->contains(middle.data()));
    EXPECT_EQ(list->size(), count);
    list.reset();
}

}  // namespace
