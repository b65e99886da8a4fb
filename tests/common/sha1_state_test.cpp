// The engine's states (Accumulating, Computed, Corrupted), its operator<<
// forms, and the 64-bit bit count at its limit.
#include <functional>

#include "sha1_test_support.h"

// Reaches the bit count and the block state, which input alone cannot put
// near 2^64 bits.
struct SHA1TestPeer {
    static void set_bit_count(SHA1& sha, unsigned long long bits)
    {
        sha.Length_Low = static_cast<unsigned>(bits);
        sha.Length_High = static_cast<unsigned>(bits >> 32);
    }
    static unsigned long long bit_count(const SHA1& sha)
    {
        return (static_cast<unsigned long long>(sha.Length_High) << 32) | sha.Length_Low;
    }
    // Everything a later Input or Result can depend on.
    static std::string state(const SHA1& sha)
    {
        std::string s(reinterpret_cast<const char*>(sha.H), sizeof sha.H);
        s += std::to_string(bit_count(sha)) + "/" + std::to_string(sha.Message_Block_Index) + "/" +
             std::to_string(sha.Corrupted) + std::to_string(sha.Computed) + "/";
        s.append(reinterpret_cast<const char*>(sha.Message_Block), sha.Message_Block_Index);
        return s;
    }
};

namespace {

const Digest kAbc = digest_from_hex("a9993e364706816aba3e25717850c26c9cd0d89d");
const Digest kUntouched = {1, 2, 3, 4, 5};

TEST(Sha1State, ResultTwiceGivesTheSameWordsAndLengthZeroChangesNothing)
{
    SHA1 sha;
    sha.Input("abc", 0);
    sha << "abc";
    Digest first{}, second{}, third{};
    ASSERT_TRUE(sha.Result(first.data()));
    ASSERT_TRUE(sha.Result(second.data()));
    sha.Input("xyz", 0);  // length 0 after Result: still Computed
    ASSERT_TRUE(sha.Result(third.data()));
    EXPECT_EQ(first, kAbc);
    EXPECT_EQ(second, kAbc);
    EXPECT_EQ(third, kAbc);
}

// Every input operation, used after Result, corrupts the engine until Reset.
TEST(Sha1State, InputAfterResultCorruptsUntilReset)
{
    const std::vector<std::function<void(SHA1&)>> late_inputs = {
        [](SHA1& s) { s.Input('x'); },
        [](SHA1& s) { s.Input(static_cast<unsigned char>(0xF0)); },
        [](SHA1& s) { s.Input("xy", 2); },
        [](SHA1& s) { s.Input(reinterpret_cast<const unsigned char*>("xy"), 2); },
        [](SHA1& s) { s << "x"; },
        [](SHA1& s) { s << 'x'; },
    };
    for (std::size_t i = 0; i < late_inputs.size(); ++i) {
        SCOPED_TRACE("input form " + std::to_string(i));
        SHA1 sha;
        sha << "ab";
        Digest digest{};
        ASSERT_TRUE(sha.Result(digest.data()));
        late_inputs[i](sha);
        digest = kUntouched;
        EXPECT_FALSE(sha.Result(digest.data()));
        sha.Input("", 0);
        sha << 'c';
        EXPECT_FALSE(sha.Result(digest.data()));
        EXPECT_EQ(digest, kUntouched);

        sha.Reset();
        sha << "abc";
        ASSERT_TRUE(sha.Result(digest.data()));
        EXPECT_EQ(digest, kAbc);
    }
}

TEST(Sha1State, ShiftOperatorsHashTheStringWithoutItsTerminator)
{
    const ReferenceVector* longest = nullptr;  // longest reference message without a zero byte
    for (const ReferenceVector& v : reference_vectors()) {
        if (v.message.find('\0') == std::string::npos &&
            (longest == nullptr || v.message.size() > longest->message.size())) {
            longest = &v;
        }
    }
    ASSERT_TRUE(longest != nullptr && longest->message.size() > 64);

    SHA1 by_chars, by_bytes;
    Digest a{}, b{};
    ASSERT_TRUE((by_chars << longest->message.c_str()).Result(a.data()));
    ASSERT_TRUE((by_bytes << reinterpret_cast<const unsigned char*>(longest->message.c_str())).Result(b.data()));
    EXPECT_EQ(a, longest->digest);
    EXPECT_EQ(b, longest->digest);

    SHA1 chained;
    ASSERT_TRUE((chained << "a" << 'b' << static_cast<unsigned char>('c')).Result(a.data()));
    EXPECT_EQ(a, kAbc);
}

// Bytes above 0x7F through char (negative values) and unsigned char.
TEST(Sha1State, HighBytesAsCharAndUnsignedChar)
{
    int checked = 0;
    for (const ReferenceVector& v : reference_vectors()) {
        if (v.message.find('\xFF') == std::string::npos) continue;
        ++checked;
        SHA1 as_char, as_unsigned;
        for (char c : v.message) {
            as_char.Input(c);
            as_unsigned.Input(static_cast<unsigned char>(c));
        }
        Digest a{}, b{};
        ASSERT_TRUE(as_char.Result(a.data()));
        ASSERT_TRUE(as_unsigned.Result(b.data()));
        EXPECT_EQ(a, v.digest);
        EXPECT_EQ(b, v.digest);
    }
    EXPECT_GT(checked, 50);
}

// The bit count carries into its high word and finally overflows: the byte
// that overflows it is still taken, later ones are not, and a span gives
// exactly the state that byte-by-byte input gives.
TEST(Sha1State, BitCountCarryAndOverflowMatchByteByByteInput)
{
    const std::string bytes = reference_vectors().at(200).message;
    const auto bytes_left = [](unsigned long long n) { return 0 - 8 * n; };
    struct Case { unsigned pending; unsigned long long start_bits; unsigned length; bool overflows; };
    const Case cases[] = {
        {10, 0xFFFFFFF0u, 100, false},     // Length_Low wraps into Length_High
        {10, bytes_left(3), 2, false},     // stops one byte short of the limit
        {10, bytes_left(3), 3, true},      // the last byte reaches it
        {61, bytes_left(3), 100, true},    // ... and completes a block
        {0, bytes_left(70), 150, true},    // whole blocks, then the limit
        {63, bytes_left(1), 1, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.pending) + " pending, " + std::to_string(k.length) + " fed");
        SHA1 span, single;
        for (SHA1* sha : {&span, &single}) {
            sha->Input(bytes.data(), k.pending);
            SHA1TestPeer::set_bit_count(*sha, k.start_bits);
        }
        span.Input(bytes.data() + k.pending, k.length);
        for (unsigned i = 0; i < k.length; ++i) single.Input(bytes[k.pending + i]);
        EXPECT_EQ(SHA1TestPeer::state(span), SHA1TestPeer::state(single));

        Digest digest = kUntouched;
        EXPECT_EQ(span.Result(digest.data()), !k.overflows);
        if (k.overflows) {
            EXPECT_EQ(digest, kUntouched);
            EXPECT_EQ(SHA1TestPeer::bit_count(single), 0u);
        }
    }
    SHA1 carried;
    SHA1TestPeer::set_bit_count(carried, 0xFFFFFFF0u);
    carried.Input(bytes.data(), 5);
    EXPECT_EQ(SHA1TestPeer::bit_count(carried), 0xFFFFFFF0ull + 40);
}

}  // namespace
