// The summary vector: bit positions, the listing, and what contains counts.
#include <sstream>

#include "store_test_support.h"

namespace {

// The listing read back as words, checking four words a line and a short
// last line.
std::vector<unsigned int> listed_words(const FingerprintStore& store, unsigned int capacity)
{
    const std::string text = captured_stdout([&] { store.print_summary_vector(); });
    std::vector<unsigned int> words;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::size_t on_line = 0;
        for (std::string word; in >> word; ++on_line) {
            EXPECT_EQ(word.find_first_not_of("0123456789abcdef"), std::string::npos) << word;
            words.push_back(static_cast<unsigned int>(std::stoul(word, nullptr, 16)));
        }
        const bool last = words.size() == capacity;
        EXPECT_EQ(on_line, last ? (capacity - 1) % 4 + 1 : 4u) << "line: " << line;
    }
    EXPECT_EQ(text.back(), '\n');
    return words;
}

TEST(SummaryVector, FiveWordsSetFiveBitPositions)
{
    FingerprintStore store(3125);  // 100000 bits
    const Fingerprint d = {0x00000000, 0x000186A0, 0x000186A1, 0xFFFFFFFF, 0x0000001F};
    EXPECT_TRUE(store.insert(d.data()));

    std::vector<unsigned int> expected(3125, 0);
    expected[0] = 0x80000003;     // positions 0, 0, 1 and 31
    expected[2102] = 0x80000000;  // 0xFFFFFFFF mod 100000 = 67295 = 2102 * 32 + 31
    EXPECT_EQ(listed_words(store, 3125), expected);

    FingerprintStore one_line(4);
    EXPECT_EQ(captured_stdout([&] { one_line.print_summary_vector(); }), "0 0 0 0\n");
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
