// The engine's states (Accumulating, Computed, Corrupted), its operator<<
// forms, and the 64-bit bit count at its limit.
#include <functional>

#include "sha1_test_support.h"

// Reaches the bit count, which input alone cannot bring near 2^64 bits.
struct SHA1TestPeer {
    static void set_bit_count(SHA1& sha, unsigned long long bits)
    {
        sha.Length_Low = static_cast<unsigned>(bits);
        sha.Length_High = static_cast<unsigned>(bits >> 32);
    }
    // Everything a later Input or Result can depend on.
    static std::string state(const SHA1& sha)
    {
        std::string s(reinterpret_cast<const char*>(sha.H), sizeof sha.H);
        s += std::to_string(sha.Length_High) + "/" + std::to_string(sha.Length_Low) + "/" +
             std::to_string(sha.Message_Block_Index) + std::to_string(sha.Corrupted) + std::to_string(sha.Computed);
        return s.append(reinterpret_cast<const char*>(sha.Message_Block), sha.Message_Block_Index);
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
    EXPECT_EQ(result_of(sha), kAbc);
    EXPECT_EQ(result_of(sha), kAbc);
    sha.Input("xyz", 0);  // still Computed
    EXPECT_EQ(result_of(sha), kAbc);
}

// Every input operation, used after Result, corrupts the engine until Reset.
TEST(Sha1State, InputAfterResultCorruptsUntilReset)
{
    const std::function<void(SHA1&)> late_inputs[] = {
        [](SHA1& s) { s.Input('x'); },
        [](SHA1& s) { s.Input(static_cast<unsigned char>(0xF0)); },
        [](SHA1& s) { s.Input("xy", 2); },
        [](SHA1& s) { s.Input(reinterpret_cast<const unsigned char*>("xy"), 2); },
        [](SHA1& s) { s << "x"; },
    };
    for (const auto& late_input : late_inputs) {
        SHA1 sha;
        sha << "ab";
        result_of(sha);
        late_input(sha);
        Digest digest = kUntouched;
        EXPECT_FALSE(sha.Result(digest.data()));
        sha.Input("", 0);
        sha << 'c';
        EXPECT_FALSE(sha.Result(digest.data()));
        EXPECT_EQ(digest, kUntouched);
        sha.Reset();
        sha << "abc";
        EXPECT_EQ(result_of(sha), kAbc);
    }
}

TEST(Sha1State, ShiftOperatorsHashTheStringWithoutItsTerminator)
{
    const ReferenceVector* longest = nullptr;  // longest reference message without a zero byte
    for (const ReferenceVector& v : reference_vectors()) {
        if (v.message.find('\0') == std::string::npos && (!longest || v.message.size() > longest->message.size())) longest = &v;
    }
    ASSERT_TRUE(longest != nullptr && longest->message.size() > 64);
    SHA1 by_chars, by_bytes, chained;
    by_chars << longest->message.c_str();
    by_bytes << reinterpret_cast<const unsigned char*>(longest->message.c_str());
    EXPECT_EQ(result_of(by_chars), longest->digest);
    EXPECT_EQ(result_of(by_bytes), longest->digest);
    EXPECT_EQ(result_of(chained << "a" << 'b' << static_cast<unsigned char>('c')), kAbc);
}

// Bytes above 0x7F through char (negative values) and unsigned char.
TEST(Sha1State, HighBytesAsCharAndUnsignedChar)
{
    int checked = 0;
    for (const ReferenceVector& v : reference_vectors()) {
        if (v.message.find('\xFF') == std::string::npos) continue;
        SHA1 as_char, as_unsigned;
        for (char c : v.message) {
            as_char.Input(c);
            as_unsigned.Input(static_cast<unsigned char>(c));
        }
        EXPECT_EQ(result_of(as_char), v.digest);
        EXPECT_EQ(result_of(as_unsigned), v.digest);
        ++checked;
    }
    EXPECT_GT(checked, 50);
}

// The bit count carries into its high word and finally overflows: the byte
// that overflows it is still taken, later ones are not, and a span leaves
// exactly the state that byte-by-byte input leaves.
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
        }
    }
    SHA1 carried;
    SHA1TestPeer::set_bit_count(carried, 0xFFFFFFF0u);
    carried.Input(bytes.data(), 5);
    EXPECT_EQ(SHA1TestPeer::state(carried).substr(20, 5), "1/24/");  // 2^32 + 24 bits
}

}  // namespace
