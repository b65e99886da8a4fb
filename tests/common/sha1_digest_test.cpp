// Digests against FIPS 180-1 examples and hashlib, on each compression
// function, with the message cut into pieces of every form the engine takes.
#include <random>

#include "sha1_test_support.h"

namespace {

const Digest kEmpty = digest_from_hex("da39a3ee5e6b4b0d3255bfef95601890afd80709");
const Digest kAbc = digest_from_hex("a9993e364706816aba3e25717850c26c9cd0d89d");
const Digest kTwoBlock = digest_from_hex("84983e441c3bd26ebaae4aa1f95129e5e54670f1");
const Digest kMillionA = digest_from_hex("34aa973cd4c4daa4f61eeb2bdbad27316534016f");
const char* const kTwoBlockMessage = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

Digest digest_byte_by_byte(const std::string& bytes)
{
    SHA1 sha;
    for (char c : bytes) sha.Input(c);
    return result_of(sha);
}

// Feeds the message in random pieces, each through a randomly chosen
// operation: the four single-byte forms and the two span forms.
Digest digest_in_random_pieces(const std::string& bytes, std::mt19937& rng)
{
    SHA1 sha;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const int form = static_cast<int>(rng() % 6);
        const char c = bytes[at];
        const auto u = static_cast<unsigned char>(c);
        if (form == 0) sha.Input(c);
        if (form == 1) sha.Input(u);
        if (form == 2) sha << c;
        if (form == 3) sha << u;
        if (form < 4) { ++at; continue; }
        const std::size_t piece = std::min<std::size_t>(1 + rng() % 150, bytes.size() - at);
        const char* data = bytes.data() + at;
        if (form == 4) sha.Input(data, static_cast<unsigned>(piece));
        else sha.Input(reinterpret_cast<const unsigned char*>(data), static_cast<unsigned>(piece));
        sha.Input(data, 0);  // empty pieces change nothing
        at += piece;
    }
    return result_of(sha);
}

TEST_P(EachCompression, FipsExamples)
{
    EXPECT_EQ(digest_in_one_call(""), kEmpty);
    EXPECT_EQ(digest_in_one_call("abc"), kAbc);
    EXPECT_EQ(digest_byte_by_byte("abc"), kAbc);
    EXPECT_EQ(digest_in_one_call(kTwoBlockMessage), kTwoBlock);
    EXPECT_EQ(digest_byte_by_byte(kTwoBlockMessage), kTwoBlock);

    const std::string million_a(1000000, 'a');
    EXPECT_EQ(digest_in_one_call(million_a), kMillionA);
    EXPECT_EQ(digest_byte_by_byte(million_a), kMillionA);
    std::mt19937 rng(1);
    EXPECT_EQ(digest_in_random_pieces(million_a, rng), kMillionA);
}

TEST_P(EachCompression, RandomMessagesMatchHashlib)
{
    std::mt19937 rng(42);
    ASSERT_GT(reference_vectors().size(), 300u) << "vectors missing: " SHA1_VECTORS_FILE;
    for (const ReferenceVector& v : reference_vectors()) {
        SCOPED_TRACE("message of " + std::to_string(v.message.size()) + " bytes");
        EXPECT_EQ(digest_in_one_call(v.message), v.digest);
        EXPECT_EQ(digest_in_random_pieces(v.message, rng), v.digest);
    }
}

// 55 bytes pad within the block, 56 need one more, 64 fill it exactly.
TEST_P(EachCompression, PaddingBoundaries)
{
    for (std::size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u}) {
        const ReferenceVector& v = reference_vectors().at(length);
        ASSERT_EQ(v.message.size(), length);
        EXPECT_EQ(digest_in_one_call(v.message), v.digest) << length;
        EXPECT_EQ(digest_byte_by_byte(v.message), v.digest) << length;
    }
}

INSTANTIATE_TEST_SUITE_P(Sha1, EachCompression, testing::Values(Path::portable, Path::sha_extensions),
                         [](const testing::TestParamInfo<Path>& info) {
                             return info.param == Path::sha_extensions ? "ShaExtensions" : "Portable";
                         });

}  // namespace
