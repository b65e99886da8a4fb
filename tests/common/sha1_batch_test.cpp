// Many messages digested together, on each compression path, against
// hashlib's digests: every length from 0 to 300 bytes and some of several
// KiB, in orders that pair long with short, empty with long, and equal
// lengths, so that lanes finish at every point of one another's blocks.
#include <algorithm>
#include <random>

#include "sha1_batch.h"
#include "sha1_test_support.h"

namespace {

class BatchOnEachCompression : public EachCompression {};

void expect_hashlib_digests(const std::vector<const ReferenceVector*>& order)
{
    std::vector<Digest> got(order.size());
    std::vector<sha1_batch::Message> messages;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::string& bytes = order[i]->message;
        messages.push_back({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), got[i].data()});
    }
    sha1_batch::digestAll(messages.data(), messages.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        ASSERT_EQ(got[i], order[i]->digest) << "message " << i << " of " << order.size() << ", "
                                            << order[i]->message.size() << " bytes";
}

TEST_P(BatchOnEachCompression, MatchesHashlibInAnyOrder)
{
    std::vector<const ReferenceVector*> all;
    for (const ReferenceVector& vector : reference_vectors()) all.push_back(&vector);
    ASSERT_GT(all.size(), 300u);
    expect_hashlib_digests(all);  // lengths rising
    std::vector<const ReferenceVector*> falling(all.rbegin(), all.rend());
    expect_hashlib_digests(falling);
    std::mt19937 rng(5);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(all.begin(), all.end(), rng);
        const std::size_t count = round < 5 ? static_cast<std::size_t>(round) : rng() % all.size();
        expect_hashlib_digests({all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count)});
    }
}

TEST_P(BatchOnEachCompression, LongMessageBesideShortOnes)
{
    const std::string million(1000000, 'a');
    const ReferenceVector long_one{million, digest_from_hex("34aa973cd4c4daa4f61eeb2bdbad27316534016f")};
    const auto& vectors = reference_vectors();
    std::vector<const ReferenceVector*> order{&vectors[0], &long_one, &vectors[64], &vectors[300], &long_one};
    for (std::size_t i = 100; i < 140; ++i) order.push_back(&vectors[i]);
    expect_hashlib_digests(order);
}

INSTANTIATE_TEST_SUITE_P(Paths, BatchOnEachCompression, testing::Values(Path::portable, Path::sha_extensions),
                         [](const testing::TestParamInfo<Path>& info) {
                             return info.param == Path::portable ? "portable" : "sha_extensions";
                         });

}  // namespace
