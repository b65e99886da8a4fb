#include "sha1_test_support.h"

#include <fstream>
#include <stdexcept>

Digest digest_from_hex(const std::string& hex)
{
    Digest digest{};
    for (int i = 0; i < 5; ++i) {
        digest[i] = static_cast<unsigned>(std::stoul(hex.substr(8 * i, 8), nullptr, 16));
    }
    return digest;
}

Digest digest_in_one_call(const std::string& bytes)
{
    SHA1 sha;
    sha.Input(bytes.data(), static_cast<unsigned>(bytes.size()));
    Digest digest{};
    EXPECT_TRUE(sha.Result(digest.data()));
    return digest;
}

namespace {

std::string bytes_from_hex(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<ReferenceVector> load_vectors()
{
    std::ifstream in(SHA1_VECTORS_FILE);
    if (!in) {
        throw std::runtime_error("cannot open " SHA1_VECTORS_FILE);
    }
    std::vector<ReferenceVector> vectors;
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t space = line.find(' ');
        vectors.push_back({bytes_from_hex(line.substr(0, space)),
                           digest_from_hex(line.substr(space + 1))});
    }
    return vectors;
}

}  // namespace

const std::vector<ReferenceVector>& reference_vectors()
{
    static const std::vector<ReferenceVector> vectors = load_vectors();
    return vectors;
}

void EachCompression::SetUp()
{
    if (GetParam() && !sha1_compress::sha_extensions_supported()) {
        GTEST_SKIP() << "this CPU has no SHA extensions (or they were not compiled in)";
    }
    ASSERT_EQ(sha1_compress::enable_sha_extensions(GetParam()), GetParam());
}

void EachCompression::TearDown()
{
    sha1_compress::enable_sha_extensions(sha1_compress::sha_extensions_supported());
}
