// The rolling fingerprint: the documented table and window values, and every
// rolled fingerprint against the polynomial computed directly from the window.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "rabin.h"

namespace {

std::uint32_t powerOf7(unsigned exponent) {
    std::uint32_t value = 1;
    while (exponent-- > 0) value *= 7;
    return value;
}

// sum of window[j] * 7^(n-1-j) mod 2^32, oldest byte first; a first byte of 0
// counts as 1, as the first window of a stream does.
std::uint32_t directFingerprint(const unsigned char* window, unsigned n) {
    std::uint32_t value = 0;
    for (unsigned j = 0; j < n; ++j) value = value * 7 + window[j];
    return value;
}

TEST(Rabin, WindowOfFourMatchesTheWorkedValues) {
    Rabin r(2, 4);
    unsigned char abcd[] = {97, 98, 99, 100};
    EXPECT_FALSE(r.Initialize(abcd));
    EXPECT_EQ(r.getFingerprint(), 38866u);
    EXPECT_FALSE(r.Increment(101));
    EXPECT_EQ(r.getFingerprint(), 39266u);

    Rabin direct(2, 4);
    unsigned char bcde[] = {98, 99, 100, 101};
    direct.Initialize(bcde);
    EXPECT_EQ(direct.getFingerprint(), 39266u);

    // A zero first byte counts as 1: 1*343 + 98*49 + 99*7 + 100.
    unsigned char zero_first[] = {0, 98, 99, 100};
    direct.Initialize(zero_first);
    EXPECT_EQ(direct.getFingerprint(), 5938u);
}

TEST(Rabin, TableRemovesTheOldestByte) {
    // table[b] = b * 7^3: visible as what leaves the window after a zero-filled one.
    for (unsigned b : {1u, 2u, 255u}) {
        Rabin r(2, 4);
        unsigned char window[] = {static_cast<unsigned char>(b), 0, 0, 0};
        r.Initialize(window);
        EXPECT_EQ(r.getFingerprint(), b * 343u);
        r.Increment(0);
        EXPECT_EQ(r.getFingerprint(), 0u) << b;
    }
}

TEST(Rabin, ShortWindowIsPaddedAndTooLongIsRefused) {
    Rabin r(2, 4);
    unsigned char window[] = {97, 98, 7, 7, 7};
    EXPECT_FALSE(r.Initialize(2, window));
    EXPECT_EQ(r.getFingerprint(), 38073u);
    const unsigned char* ring = r.getBuffer();
    EXPECT_EQ(ring[0], 97);
    EXPECT_EQ(ring[1], 98);
    EXPECT_EQ(ring[2], 0);
    EXPECT_EQ(ring[3], 0);
    r.Increment(5);  // removes the 97
    EXPECT_EQ(r.getFingerprint(), (38073u - 97u * 343u) * 7u + 5u);

    testing::internal::CaptureStderr();
    const std::uint32_t before = r.getFingerprint();
    EXPECT_FALSE(r.Initialize(5, window));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "rabin: size cannot be larger than window_size\n");
    EXPECT_EQ(r.getFingerprint(), before);
    r.Increment(9);  // continues from the unchanged state: removes the 98
    EXPECT_EQ(r.getFingerprint(), (before - 98u * 343u) * 7u + 9u);
}

TEST(Rabin, DefaultWindowTableAndMasks) {
    Rabin defaults(13, 48);
    unsigned char window[48] = {1};
    defaults.Initialize(window);
    EXPECT_EQ(defaults.getFingerprint(), 1488408887u);  // table[1] = 7^47 mod 2^32
    EXPECT_EQ(powerOf7(47), 1488408887u);

    // Anchor bits: 0 bits -> every position; 32 or more -> only a zero fingerprint.
    for (unsigned short bits : {0, 32, 40}) {
        Rabin r(bits, 1);
        unsigned char first[] = {3};
        EXPECT_EQ(r.Initialize(first), bits == 0);
        EXPECT_EQ(r.Increment(0), true);  // window 1: the fingerprint is the byte itself
        EXPECT_EQ(r.Increment(9), bits == 0);
    }
}

TEST(Rabin, EveryRolledFingerprintEqualsTheDirectPolynomial) {
    std::mt19937 rng(20261207);
    for (unsigned window_size = 1; window_size <= 64; ++window_size) {
        const unsigned short anchor_bits = static_cast<unsigned short>(window_size % 14);
        Rabin r(anchor_bits, static_cast<unsigned short>(window_size));
        std::vector<unsigned char> stream(window_size + 400);
        for (auto& byte : stream) byte = static_cast<unsigned char>(rng() % 4 == 0 ? 0 : rng());
        // The first-byte rule: a stream whose first byte is 0 carries 7^(W-1+k)
        // after k steps; test both kinds of stream.
        stream[0] = static_cast<unsigned char>(window_size % 2 == 0 ? 0 : 1 + rng() % 255);
        const std::uint32_t zero_first_offset = stream[0] == 0 ? powerOf7(window_size - 1) : 0;
        r.Initialize(stream.data());
        ASSERT_EQ(r.getFingerprint(), directFingerprint(stream.data(), window_size) + zero_first_offset);
        ASSERT_EQ(r.isAnchor(), ((directFingerprint(stream.data(), window_size) + zero_first_offset) &
                                 (anchor_bits == 0 ? 0u : 0xFFFFFFFFu >> (32 - anchor_bits))) == 0);
        std::uint32_t offset = zero_first_offset;
        const std::uint32_t mask = anchor_bits == 0 ? 0 : 0xFFFFFFFFu >> (32 - anchor_bits);
        for (std::size_t k = 1; k + window_size <= stream.size(); ++k) {
            offset *= 7;
            const bool anchor = r.Increment(stream[k + window_size - 1]);
            const std::uint32_t expected = directFingerprint(&stream[k], window_size) + offset;
            ASSERT_EQ(r.getFingerprint(), expected) << "window " << window_size << " step " << k;
            ASSERT_EQ(anchor, (expected & mask) == 0);
        }
    }
}

TEST(Rabin, DisplayBufferPrintsOldestFirst) {
    Rabin r(2, 4);
    unsigned char window[] = {'a', 'b', 'c', 'd'};
    r.Initialize(window);
    r.Increment('e');
    r.Increment('f');
    r.Increment('g');
    testing::internal::CaptureStdout();
    r.displayBuffer();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "defg\n");
}

// The word-arithmetic fingerprint of a window, which spares every file the
// big-number work, against Initialize's exact computation and against the
// fingerprint a stream reaches by rolling.
TEST(Rabin, WindowFingerprintInWordsEqualsTheExactAndTheRolledOne) {
    std::mt19937 rng(12);
    for (unsigned short window_size : {1, 2, 9, 10, 48, 1000, 65535}) {
        Rabin exact(13, window_size);
        std::vector<unsigned char> stream(window_size + 300);
        for (int trial = 0; trial < 4; ++trial) {
            for (auto& byte : stream) byte = static_cast<unsigned char>(rng() % 4 == 0 ? 0 : rng());
            if (trial % 2 == 0) stream[0] = 0;  // the first-byte rule
            const bool began_with_zero = stream[0] == 0;
            exact.Initialize(stream.data());
            EXPECT_EQ(exact.fingerprintOfWindow(stream.data(), 0, began_with_zero), exact.getFingerprint())
                << "window " << window_size;
            for (std::size_t k = 1; k <= 300; ++k) {
                exact.Increment(stream[window_size + k - 1]);
                ASSERT_EQ(exact.fingerprintOfWindow(stream.data() + k, k, began_with_zero), exact.getFingerprint())
                    << "window " << window_size << " after " << k << " steps";
            }
        }
    }
}

// A stretch rolled apart, from the window before it, gives the anchors and
// the fingerprint of rolling the whole stream.
TEST(Rabin, StretchRolledApartMatchesTheStream) {
    std::mt19937 rng(3);
    const unsigned short window_size = 48;
    Rabin stream_rabin(4, window_size), apart(4, window_size);
    std::vector<unsigned char> bytes(window_size + 5000);
    for (auto& byte : bytes) byte = static_cast<unsigned char>(rng());
    bytes[0] = 0;
    stream_rabin.Initialize(bytes.data());
    const std::size_t from = 1234;  // the stretch: positions window_size + from onwards
    for (std::size_t i = 0; i < from; ++i) stream_rabin.Increment(bytes[window_size + i]);
    const std::uint32_t before = apart.fingerprintOfWindow(bytes.data() + from, from, true);
    ASSERT_EQ(before, stream_rabin.getFingerprint());
    const std::size_t count = bytes.size() - window_size - from;
    std::vector<std::uint64_t> bits(count / 64 + 1);
    const std::uint32_t after = apart.rollStretch(before, bytes.data() + from, count, bits.data());
    for (std::size_t i = 0; i < count; ++i)
        ASSERT_EQ(stream_rabin.Increment(bytes[window_size + from + i]), (bits[i / 64] >> (i % 64) & 1) != 0) << i;
    EXPECT_EQ(after, stream_rabin.getFingerprint());
}

TEST(Rabin, RefusesAnEmptyWindow) { EXPECT_THROW(Rabin(13, 0), std::invalid_argument); }

}  // namespace
