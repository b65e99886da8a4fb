// Helpers shared by the SHA-1 tests: digests as words and the reference
// vectors that make_sha1_vectors.py computes with hashlib at build time.
#ifndef DEDUP_TESTS_SHA1_TEST_SUPPORT_H
#define DEDUP_TESTS_SHA1_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "sha1.h"
#include "sha1_compress.h"

using Digest = std::array<unsigned, 5>;

// "a9993e36..." (40 hex digits) -> H0..H4.
inline Digest digest_from_hex(const std::string& hex)
{
    Digest digest{};
    for (int i = 0; i < 5; ++i) digest[i] = static_cast<unsigned>(std::stoul(hex.substr(8 * i, 8), nullptr, 16));
    return digest;
}

inline Digest result_of(SHA1& sha)
{
    Digest digest{};
    EXPECT_TRUE(sha.Result(digest.data()));
    return digest;
}

inline Digest digest_in_one_call(const std::string& bytes)
{
    SHA1 sha;
    sha.Input(bytes.data(), static_cast<unsigned>(bytes.size()));
    return result_of(sha);
}

struct ReferenceVector {
    std::string message;  // raw bytes; vector i holds i bytes for i <= 300
    Digest digest;
};

inline const std::vector<ReferenceVector>& reference_vectors()
{
    static const std::vector<ReferenceVector> vectors = [] {
        std::vector<ReferenceVector> loaded;
        std::ifstream in(SHA1_VECTORS_FILE);
        for (std::string hex, digest; std::getline(in, hex, ' ') && std::getline(in, digest);) {
            std::string bytes;
            for (std::size_t i = 0; i < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
            loaded.push_back({bytes, digest_from_hex(digest)});
        }
        return loaded;
    }();
    return vectors;
}

using sha1_compress::Path;

// Each test runs on the compression path of its parameter (skipped where the
// CPU or the build lacks it).
class EachCompression : public testing::TestWithParam<Path> {
protected:
    void SetUp() override
    {
        if (!sha1_compress::supported(GetParam())) GTEST_SKIP() << "this CPU or build lacks the path";
        ASSERT_EQ(sha1_compress::use(GetParam()), GetParam());
    }
    void TearDown() override { sha1_compress::use(sha1_compress::fastest()); }
};

#endif
