// Rolling over whole spans, on every path (portable, AVX2, AVX-512), against one
// Increment per byte: same fingerprints, anchors and ring.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "rabin.h"
#include "rabin_roll.h"

namespace {

using rabin_roll::Path;

class RabinSpan : public testing::TestWithParam<Path> {
protected:
    void SetUp() override {
        if (!rabin_roll::supported(GetParam())) GTEST_SKIP() << "this CPU or build lacks the path";
        ASSERT_EQ(rabin_roll::use(GetParam()), GetParam());
    }
    void TearDown() override { rabin_roll::use(rabin_roll::fastest()); }
};

void expectSameAsSingleSteps(unsigned short window_size, unsigned short anchor_bits, std::mt19937& rng,
                             const std::vector<std::size_t>& span_lengths, bool sparse) {
    Rabin stepped(anchor_bits, window_size);
    Rabin spanned(anchor_bits, window_size);
    std::vector<unsigned char> first(window_size);
    for (auto& byte : first) byte = static_cast<unsigned char>(sparse && rng() % 3 ? 0 : rng());
    stepped.Initialize(first.data());
    spanned.Initialize(first.data());

    for (std::size_t length : span_lengths) {
        std::vector<unsigned char> span(length);
        for (auto& byte : span) byte = static_cast<unsigned char>(sparse && rng() % 3 ? 0 : rng());
        std::vector<std::uint64_t> bits((length + 63) / 64 + 1, ~0ull);
        spanned.IncrementSpan(span.data(), length, bits.data());
        for (std::size_t i = 0; i < length; ++i) {
            const bool anchor = stepped.Increment(span[i]);
            ASSERT_EQ(anchor, (bits[i / 64] >> (i % 64) & 1) != 0)
                << "window " << window_size << " span " << length << " position " << i;
        }
        if (length % 64 != 0) {
            ASSERT_EQ(bits[length / 64] >> (length % 64), 0u) << "bits past the span are written clear";
        }
        ASSERT_EQ(spanned.getFingerprint(), stepped.getFingerprint());
        ASSERT_EQ(std::vector<unsigned char>(spanned.getBuffer(), spanned.getBuffer() + window_size),
                  std::vector<unsigned char>(stepped.getBuffer(), stepped.getBuffer() + window_size));
    }
}

TEST_P(RabinSpan, MatchesSingleStepsOverManyWindowsAndSpans) {
    std::mt19937 rng(99);
    for (unsigned short window_size = 1; window_size <= 70; ++window_size) {
        std::vector<std::size_t> lengths;
        for (int k = 0; k < 12; ++k) lengths.push_back(rng() % 200);
        lengths.push_back(window_size);
        lengths.push_back(1000 + rng() % 100);
        expectSameAsSingleSteps(window_size, static_cast<unsigned short>(rng() % 9), rng, lengths,
                                window_size % 2 == 0);
    }
}

TEST_P(RabinSpan, MatchesSingleStepsOnLargeWindowsAndAnchorMasks) {
    std::mt19937 rng(5);
    for (unsigned short anchor_bits : {0, 1, 13, 32, 40}) {
        expectSameAsSingleSteps(48, anchor_bits, rng, {5000, 17, 64, 3}, false);
    }
    expectSameAsSingleSteps(65535, 4, rng, {70000, 1, 65535, 100}, true);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, RabinSpan, testing::Values(Path::portable, Path::avx2, Path::avx512),
                         [](const testing::TestParamInfo<Path>& info) {
                             return info.param == Path::portable ? "Portable"
                                    : info.param == Path::avx2   ? "Avx2"
                                                                 : "Avx512";
                         });

}  // namespace
