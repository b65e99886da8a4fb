// The summary vector: bit positions, the listing, and what contains counts.
#include "store_test_support.h"

namespace {

TEST(SummaryVector, FiveWordsSetFiveBitPositions)
{
    FingerprintStore store(3125);  // 100000 bits
    const Fingerprint d = {0x00000000, 0x000186A0, 0x000186A1, 0xFFFFFFFF, 0x0000001F};
    EXPECT_TRUE(store.insert(d.data()));

    // Positions 0, 0, 1 and 31 in word 0; 0xFFFFFFFF mod 100000 = 67295 =
    // 2102 * 32 + 31. Four words a line, the last word alone.
    std::string expected;
    for (unsigned int i = 0; i < 3124; i += 4) {
        expected += i == 0 ? "80000003 0 0 0\n" : i == 2100 ? "0 0 80000000 0\n" : "0 0 0 0\n";
    }
    EXPECT_EQ(captured_stdout([&] { store.print_summary_vector(); }), expected + "0\n");

    FingerprintStore one_line(4);
    EXPECT_EQ(captured_stdout([&] { one_line.print_summary_vector(); }), "0 0 0 0\n");
    FingerprintStore two_lines(6);
    EXPECT_EQ(captured_stdout([&] { two_lines.print_summary_vector(); }), "0 0 0 0\n0 0\n");
}

TEST(SummaryVector, FastLookupSeesOnlyInsertedBits)
{
    FingerprintStore store(3125);
    const Fingerprint d = {12345, 678910, 0xDEADBEEF, 42, 7};
    const Fingerprint shares_four_bits = {12345, 678910, 0xDEADBEEF, 42, 8};
    EXPECT_FALSE(store.fast_lookup(d.data()));

    EXPECT_TRUE(store.insert(d.data()));
    EXPECT_TRUE(store.fast_lookup(d.data()));
    EXPECT_FALSE(store.fast_lookup(shares_four_bits.data()));
    EXPECT_FALSE(store.insert(d.data()));  // already stored
    EXPECT_EQ(store.get_size(), 1u);
}

TEST(SummaryVector, ContainsCountsFalseAlarms)
{
    FingerprintStore store(1);  // 32 bits
    EXPECT_EQ(store.get_false_positive_rate(), 0.0f);
    EXPECT_FALSE(store.contains(by_first_word(5).data()));  // ruled out by the vector
    EXPECT_EQ(store.get_false_positive_rate(), 0.0f);

    for (unsigned int bit = 0; bit < 32; ++bit) {
        const Fingerprint fills = {bit, bit + 32, bit + 64, bit, bit};
        EXPECT_TRUE(store.insert(fills.data()));
    }
    const Fingerprint never_inserted = {1000, 2001, 3002, 4003, 5004};
    EXPECT_TRUE(store.fast_lookup(never_inserted.data()));
    EXPECT_FALSE(store.contains(never_inserted.data()));  // a false positive
    EXPECT_TRUE(store.contains(Fingerprint{7, 39, 71, 7, 7}.data()));
    EXPECT_FLOAT_EQ(store.get_false_positive_rate(), 1.0f / 3.0f);

    // A removed fingerprint keeps its bits, so asking for it is a false alarm.
    const Fingerprint removed = {3, 35, 67, 3, 3};
    EXPECT_EQ(captured_stdout([&] { store.remove(removed.data()); }), "");
    EXPECT_FALSE(store.contains(removed.data()));
    EXPECT_FLOAT_EQ(store.get_false_positive_rate(), 2.0f / 4.0f);
}

}  // namespace
