// The store's table against a model of std containers (a set for
// membership, a vector for the order of first insertion), through the
// growths of its parts. Fingerprints are chosen to reach every place the
// table treats apart: one tag shared by thousands (a run far longer than a
// bucket), tags at the top of the range (runs that go round the end of the
// table, and must still do so after it grows), tags at 0, and fingerprints
// that differ only in the words the table keeps in its log. Each test runs
// with every way a part can grow: in the background (its next table filled
// on another thread while the part is still looked up and added to), in
// place, and in the background waited for at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "FingerprintTable.h"

namespace {

using Fingerprint = FingerprintTable::Fingerprint;

using Growth = FingerprintTable::Growth;

class TableAndModel {
public:
    explicit TableAndModel(Growth growth) : table_(growth) {}
    void insert(const Fingerprint& f) {
        const bool added = model_.insert(f).second;
        if (added) order_.push_back(f);
        ASSERT_EQ(table_.insert(f.data()), added) << "fingerprint " << order_.size();
    }
    void expectSame(const std::vector<Fingerprint>& absent) {
        EXPECT_EQ(table_.size(), model_.size());
        for (const Fingerprint& f : order_) ASSERT_TRUE(table_.contains(f.data()));
        for (const Fingerprint& f : absent) ASSERT_EQ(table_.contains(f.data()), model_.count(f) == 1);
        EXPECT_TRUE(table_.inInsertionOrder() == order_);
    }
    const std::vector<Fingerprint>& order() const { return order_; }

private:
    FingerprintTable table_;
    std::set<Fingerprint> model_;
    std::vector<Fingerprint> order_;
};

unsigned word(std::mt19937& rng) { return static_cast<unsigned>(rng()); }

// Word 1 is the shard (its top 4 bits) and the tag (the other 28).
Fingerprint withWord1(std::uint32_t word1, std::mt19937& rng) {
    return {word(rng), word1, word(rng), word(rng), word(rng)};
}

// Enough for a part of the table to grow three times (its first table
// holds 16,384 slots, the next 262,144, and each grows once 17/20 full).
constexpr std::size_t kGrowsThrice = 300000;

class StoreTable : public ::testing::TestWithParam<Growth> {};

TEST_P(StoreTable, RunsRoundTheEndSurviveGrowth) {
    std::mt19937 rng(15);
    TableAndModel table(GetParam());
    std::vector<Fingerprint> absent;
    std::uniform_int_distribution<std::uint32_t> any_tag(0, (1u << 28) - 1);
    for (std::size_t i = 0; i < kGrowsThrice; ++i) {
        // Shard 3 all along; one in 64 at the last home, one in 128 at the
        // first, the rest anywhere.
        std::uint32_t tag = any_tag(rng);
        if (i % 64 == 0) tag = (1u << 28) - 1 - (i / 64) % 4;
        if (i % 128 == 1) tag = static_cast<std::uint32_t>(i / 128) % 2;
        table.insert(withWord1(3u << 28 | tag, rng));
        if (i % 1000 == 0) {
            absent.push_back(withWord1(3u << 28 | tag, rng));
            table.insert(table.order()[word(rng) % table.order().size()]);  // a duplicate
        }
    }
    table.expectSame(absent);
}

TEST_P(StoreTable, ThousandsOfOneTagAndWordsApartOnlyInTheLog) {
    std::mt19937 rng(16);
    TableAndModel table(GetParam());
    std::vector<Fingerprint> absent;
    const Fingerprint base = {0x01234567, 0x89abcdef, 0x02468ace, 0x13579bdf, 0xfedcba98};
    for (std::uint32_t i = 0; i < 6000; ++i) {
        // Each of words 0, 2, 3 and 4 set apart in turn.
        Fingerprint f = base;
        f[i % 4 == 0 ? 0 : i % 4 + 1] ^= i + 1;
        table.insert(f);
        Fingerprint other = f;
        other[4] ^= 0x80000000u;
        absent.push_back(other);
        if (i % 7 == 0) table.insert(f);
    }
    // Random ones around them in their shard, through its growths, and a
    // few in every other shard.
    for (std::size_t i = 0; i < kGrowsThrice; ++i) table.insert(withWord1(0x8u << 28 | (word(rng) >> 4), rng));
    for (std::size_t i = 0; i < 10000; ++i) table.insert(withWord1(word(rng), rng));
    table.expectSame(absent);
}

TEST_P(StoreTable, PartsGrowingTogether) {
    // Every part filled in step, as uniform digests fill them, and fast (the
    // model is checked after): all 16 leave their first tables together, so
    // while one grows in the background the others reach the fill at which
    // they grow in place.
    std::mt19937 rng(17);
    std::vector<Fingerprint> fingerprints;
    for (std::size_t i = 0; i < kGrowsThrice; ++i) {
        fingerprints.push_back(withWord1(word(rng), rng));
        if (i % 100 == 0) fingerprints.push_back(fingerprints[word(rng) % fingerprints.size()]);
    }
    FingerprintTable table(GetParam());
    std::vector<bool> added;
    added.reserve(fingerprints.size());
    for (const Fingerprint& f : fingerprints) added.push_back(table.insert(f.data()));
    std::set<Fingerprint> seen;
    std::vector<Fingerprint> order;
    for (std::size_t i = 0; i < fingerprints.size(); ++i) {
        const bool first = seen.insert(fingerprints[i]).second;
        ASSERT_EQ(added[i], first) << "fingerprint " << i;
        if (first) order.push_back(fingerprints[i]);
    }
    EXPECT_EQ(table.size(), order.size());
    for (const Fingerprint& f : order) ASSERT_TRUE(table.contains(f.data()));
    EXPECT_TRUE(table.inInsertionOrder() == order);
}

TEST_P(StoreTable, OnePartPastTheGrowthThatSpreadsItsSize) {
    // 1.7 million in the first part: its tables go 1, 2, 3 and 4 huge
    // pages, then by a share of their own to 5 (4.5 unrounded), 6 (5.63; 7
    // from 5 by a quarter rounded up), 7 (7.04) and 9 (8.8). Random digests
    // are distinct; one in 1000 inserted is a repeat of an earlier one.
    std::mt19937 rng(18);
    std::vector<Fingerprint> fingerprints;
    std::vector<bool> repeat;
    for (std::size_t i = 0; i < 1700000; ++i) {
        const bool again = i % 1000 == 999;
        fingerprints.push_back(again ? fingerprints[word(rng) % fingerprints.size()] : withWord1(word(rng) >> 4, rng));
        repeat.push_back(again);
    }
    FingerprintTable table(GetParam());
    std::vector<Fingerprint> order;
    for (std::size_t i = 0; i < fingerprints.size(); ++i) {
        ASSERT_EQ(table.insert(fingerprints[i].data()), !repeat[i]) << "fingerprint " << i;
        if (!repeat[i]) order.push_back(fingerprints[i]);
    }
    EXPECT_EQ(table.size(), order.size());
    for (std::size_t i = 0; i < order.size(); i += 7) ASSERT_TRUE(table.contains(order[i].data()));
    EXPECT_TRUE(table.inInsertionOrder() == order);
}

INSTANTIATE_TEST_SUITE_P(EveryGrowth, StoreTable,
                         ::testing::Values(Growth::background, Growth::inPlace, Growth::backgroundAwaited),
                         [](const ::testing::TestParamInfo<Growth>& info) {
                             switch (info.param) {
                                 case Growth::background:
                                     return "background";
                                 case Growth::inPlace:
                                     return "inPlace";
                                 default:
                                     return "backgroundAwaited";
                             }
                         });

}  // namespace
