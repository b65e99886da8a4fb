// The Gear hash over whole stretches, on every path (portable, AVX-512),
// against one step per byte from the stream's start: the same anchors for
// both masks, whatever the stretch's length, the bytes before it and the
// masks (none, few, many bits); and the table's first words as the
// generator gives them.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "gear_roll.h"
#include "gear_table.h"

namespace {

using gear_roll::Path;

class GearRoll : public testing::TestWithParam<Path> {
protected:
    void SetUp() override {
        if (!gear_roll::supported(GetParam())) GTEST_SKIP() << "this CPU or build lacks the path";
        ASSERT_EQ(gear_roll::use(GetParam()), GetParam());
    }
    void TearDown() override { gear_roll::use(gear_roll::fastest()); }
};

// Bit i set when the hash of the whole stream at stream position first + i
// has no bit of mask set.
std::vector<bool> steppedAnchors(const std::vector<unsigned char>& stream, std::size_t first, std::size_t count,
                                 std::uint64_t mask) {
    const std::uint64_t* table = gear::table();
    std::vector<bool> anchors;
    std::uint64_t fp = 0;
    for (std::size_t i = 0; i < first + count; ++i) {
        fp = (fp << 1) + table[stream[i]];
        if (i >= first) anchors.push_back((fp & mask) == 0);
    }
    return anchors;
}

TEST_P(GearRoll, MatchesOneStepPerByteFromTheStreamsStart) {
    std::mt19937 rng(18);
    const unsigned mask_bits[][2] = {{0, 2}, {1, 5}, {4, 8}, {8, 12}, {13, 15}, {40, 64}, {64, 64}};
    for (const auto& bits : mask_bits) {
        const std::uint64_t loose = gear::topBitsMask(bits[0]), strict = gear::topBitsMask(bits[1]);
        for (int round = 0; round < 40; ++round) {
            const std::size_t count = round < 10 ? static_cast<std::size_t>(round) * 13 : rng() % 5000;
            const std::size_t before = round % 3 == 0 ? 0 : round % 3 == 1 ? rng() % 63 : 64;
            // Some streams of few distinct bytes, so that anchors repeat.
            std::vector<unsigned char> stream(before + count);
            for (auto& byte : stream) byte = static_cast<unsigned char>(round % 4 == 0 ? rng() % 3 : rng());
            const std::size_t words = (count + 63) / 64;
            std::vector<std::uint64_t> loose_bits(words + 1, 0x5A5A5A5A5A5A5A5Aull);
            std::vector<std::uint64_t> strict_bits(words + 1, 0x5A5A5A5A5A5A5A5Aull);
            const gear_roll::Stretch stretch{stream.data() + before, before, count};
            const bool with_strict = round % 2 == 0;
            gear_roll::current()(gear::table(), stretch,
                                 {loose, strict, loose_bits.data(), with_strict ? strict_bits.data() : nullptr});
            // Only the last 64 bytes count: hashing from the stream's start
            // is the same as from 63 bytes before the stretch.
            const std::vector<bool> want_loose = steppedAnchors(stream, before, count, loose);
            const std::vector<bool> want_strict = steppedAnchors(stream, before, count, strict);
            for (std::size_t i = 0; i < count; ++i) {
                ASSERT_EQ((loose_bits[i / 64] >> (i % 64) & 1) != 0, want_loose[i])
                    << "loose, " << bits[0] << " bits, count " << count << " before " << before << " at " << i;
                if (with_strict) {
                    ASSERT_EQ((strict_bits[i / 64] >> (i % 64) & 1) != 0, want_strict[i])
                        << "strict, " << bits[1] << " bits, count " << count << " before " << before << " at " << i;
                }
            }
            ASSERT_EQ(loose_bits[words], 0x5A5A5A5A5A5A5A5Aull) << "no word past the stretch is written";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, GearRoll, testing::Values(Path::portable, Path::avx512),
                         [](const testing::TestParamInfo<Path>& info) {
                             return info.param == Path::portable ? "portable" : "avx512";
                         });

TEST(GearTable, IsSplitMix64FromZero) {
    const std::uint64_t* table = gear::table();
    EXPECT_EQ(table[0], 0xE220A8397B1DCDAFull);
    EXPECT_EQ(table[1], 0x6E789E6AA1B965F4ull);
    EXPECT_EQ(table[2], 0x06C45D188009454Full);
}

}  // namespace
