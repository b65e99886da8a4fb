// Helpers shared by the SHA-1 tests: digests as words, reference vectors, and
// a fixture that runs a test once per compression function.
#ifndef DEDUP_TESTS_SHA1_TEST_SUPPORT_H
#define DEDUP_TESTS_SHA1_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "sha1.h"
#include "sha1_compress.h"

using Digest = std::array<unsigned, 5>;

// "a9993e36..." (40 hex digits) -> H0..H4.
Digest digest_from_hex(const std::string& hex);

// Digest of bytes given in one Input call.
Digest digest_in_one_call(const std::string& bytes);

struct ReferenceVector {
    std::string message;  // raw bytes
    Digest digest;        // computed by hashlib
};

// The vectors written by make_sha1_vectors.py at build time.
const std::vector<ReferenceVector>& reference_vectors();

// Parameter: true runs the test with the SHA-extensions compression (skipped
// where the CPU lacks it), false with the portable one.
class EachCompression : public testing::TestWithParam<bool> {
protected:
    void SetUp() override;
    void TearDown() override;
};

#endif
