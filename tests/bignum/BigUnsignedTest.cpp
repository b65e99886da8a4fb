// BigUnsigned: thrown texts, aliasing, capacities and boundary values.

#include "BignumTestSupport.h"

namespace {

const char *const negativeResult = "BigUnsigned::subtract: Negative result in unsigned calculation";
const BigUnsigned two32 = BigUnsigned(1u) << 32u;

TEST(BigUnsignedBasics, ZeroFromEveryPrimitiveHasNoArray) {
    for (const BigUnsigned &z : {BigUnsigned(0UL), BigUnsigned(0L), BigUnsigned(0u), BigUnsigned(0),
                                 BigUnsigned((unsigned short)0), BigUnsigned((short)0)}) {
        EXPECT_EQ(z.getLength(), 0u);
        EXPECT_TRUE(z.isZero());
        EXPECT_EQ(z.compareTo(BigUnsigned()), BigUnsigned::equal);
        EXPECT_EQ((unsigned long)z + (unsigned long)(long)z + (unsigned int)z + (unsigned long)(int)z +
                      (unsigned short)z + (unsigned long)(short)z,
                  0ul);
    }
    EXPECT_EQ(BigUnsigned(0).getCapacity(), 0u);
}

TEST(BigUnsignedBasics, ConversionBoundsAndThrownTexts) {
    BigUnsigned big(2147483648u), twoBlocks = two32;
    EXPECT_EQ((unsigned long)big, 2147483648ul);
    EXPECT_EQ((unsigned int)big, 2147483648u);
    EXPECT_EQ((int)BigUnsigned(2147483647), 2147483647);
    EXPECT_EQ((long)BigUnsigned(2147483647), 2147483647L);
    EXPECT_EQ((unsigned short)BigUnsigned(65535), 65535);
    EXPECT_EQ((short)BigUnsigned(32767), 32767);
    const std::vector<std::pair<std::function<void()>, std::string>> failures = {
        {[] { BigUnsigned(-1L); }, "BigUnsigned::BigUnsigned(long): Cannot construct a BigUnsigned from a negative number"},
        {[] { BigUnsigned(-1); }, "BigUnsigned::BigUnsigned(int): Cannot construct a BigUnsigned from a negative number"},
        {[] { BigUnsigned(short(-1)); }, "BigUnsigned::BigUnsigned(short): Cannot construct a BigUnsigned from a negative number"},
        {[&] { (void)(unsigned long)twoBlocks; }, "BigUnsigned::operator unsigned long: Value is too big for an unsigned long"},
        {[&] { (void)(long)big; }, "BigUnsigned::operator long: Value is too big for a long"},
        {[&] { (void)(unsigned int)twoBlocks; }, "BigUnsigned::operator unsigned int: Value is too big for an unsigned int"},
        {[&] { (void)(int)big; }, "BigUnsigned::operator int: Value is too big for an int"},
        {[] { (void)(unsigned short)BigUnsigned(65536); }, "BigUnsigned::operator unsigned short: Value is too big for an unsigned short"},
        {[] { (void)(short)BigUnsigned(32768); }, "BigUnsigned::operator short: Value is too big for a short"},
        {[] { BigUnsigned z; z--; }, "BigUnsigned::operator --(): Cannot decrement an unsigned zero"},
        {[] { BigUnsigned a(5), b(0); a.divideWithRemainder(b, a); },
         "BigUnsigned::divideWithRemainder: Cannot write quotient and remainder into the same variable"},
    };
    for (const auto &f : failures)
        EXPECT_EQ(thrownText(f.first), f.second);
}

TEST(BigUnsignedBasics, FailedSubtractionLeavesTheDocumentedState) {
    BigUnsigned r(9), three(3), five(5);
    EXPECT_EQ(thrownText([&] { r.subtract(three, five); }), negativeResult);
    EXPECT_TRUE(r.isZero()) << "the borrow out of the top block leaves zero";
    r = 9;
    EXPECT_EQ(thrownText([&] { r.subtract(BigUnsigned(), BigUnsigned(1)); }), negativeResult);
    EXPECT_EQ(r, BigUnsigned(9)) << "the length test throws before anything changes";
    EXPECT_EQ(thrownText([&] { three.subtract(three, five); }), negativeResult);
    EXPECT_EQ(three, BigUnsigned(3)) << "an aliased result keeps its value";
}

TEST(BigUnsignedBasics, OperandsMayBeTheResult) {
    BigUnsigned x = toBU("89abcdef:fedcba98:1234567"), y = x, expected;
    expected.multiply(x, y);
    x *= x;
    EXPECT_EQ(x, expected);
    y.add(y, y);
    EXPECT_EQ(y, toBU("13579bde:fdb97531:2468acf"));
    BigUnsigned shifted = toBU("f0000001");
    shifted.bitShiftLeft(shifted, 4);
    EXPECT_EQ(describe(shifted), "10:f");
    shifted.bitShiftRight(shifted, 4);
    EXPECT_EQ(describe(shifted), "f0000001");
    shifted.bitXor(shifted, shifted);
    EXPECT_EQ(shifted.getLength(), 0u);

    BigUnsigned a = toBU("1:2:3"), q(77);
    a.divideWithRemainder(a, q);
    EXPECT_TRUE(a.isZero());
    EXPECT_EQ(q, BigUnsigned(1));
    BigUnsigned r(100), d(7);
    r.divideWithRemainder(d, d); // the quotient may overwrite the divisor
    EXPECT_EQ(r, BigUnsigned(2));
    EXPECT_EQ(d, BigUnsigned(14));
}

TEST(BigUnsignedBasics, DivisionEdges) {
    BigUnsigned r(7), q(3);
    r.divideWithRemainder(BigUnsigned(), q);
    EXPECT_EQ(r, BigUnsigned(7));
    EXPECT_TRUE(q.isZero());
    r %= BigUnsigned(0);
    EXPECT_EQ(r, BigUnsigned(7));
    BigUnsigned shorter(123456u);
    shorter.divideWithRemainder(two32, q);
    EXPECT_EQ(shorter, BigUnsigned(123456u));
    EXPECT_TRUE(q.isZero());
    BigUnsigned two64 = two32 * two32, divisor = two32 + BigUnsigned(1);
    two64.divideWithRemainder(divisor, q);
    EXPECT_EQ(describe(q), "ffffffff");
    EXPECT_EQ(describe(two64), "1");
}

TEST(BigUnsignedBasics, CapacityIsExactAndNeverShrinks) {
    BigUnsigned threeBlocks = toBU("1:2:3"), r(5);
    EXPECT_EQ(r.getCapacity(), 1u);
    r.add(threeBlocks, BigUnsigned(1));
    EXPECT_EQ(r.getCapacity(), 4u) << "room for a carry out of the top";
    EXPECT_EQ(BigUnsigned(r).getCapacity(), 3u) << "a copy gets just its length";
    r = BigUnsigned(1);
    EXPECT_EQ(r.getCapacity(), 4u);
    r.multiply(threeBlocks, threeBlocks);
    EXPECT_EQ(r.getCapacity(), 6u);
    BigUnsigned dividend(r), q; // five blocks, no spare room
    dividend.divideWithRemainder(two32, q);
    EXPECT_EQ(dividend.getCapacity(), 6u) << "one block above the dividend";
    EXPECT_EQ(q.getCapacity(), 4u);
    r.bitShiftLeft(threeBlocks, 100);
    EXPECT_EQ(r.getCapacity(), 7u) << "3 blocks + 3 shifted in + 1 carried out";
}

TEST(BigUnsignedBasics, BlockBoundaries) {
    BigUnsigned max32(4294967295u), sum = max32 + BigUnsigned(1), stepped = max32;
    ++stepped;
    EXPECT_EQ(describe(sum), "0:1");
    EXPECT_EQ(describe(stepped), "0:1");
    stepped--;
    EXPECT_EQ(describe(stepped), "ffffffff");
    EXPECT_EQ(BigUnsigned(1u) > BigUnsigned(4294967295u), false);
    EXPECT_EQ(toBU("0:1").compareTo(toBU("ffffffff")), BigUnsigned::greater) << "more blocks win";
    EXPECT_EQ(getShiftedBlock(toBU("80000001:3"), 2, 31), 1u) << "bits carried out of the top";
    EXPECT_EQ(getShiftedBlock(toBU("80000001:3"), 1, 1), 7u);
    EXPECT_EQ(getShiftedBlock(toBU("80000001:3"), 1, 0), 3u);
}

TEST(BigUnsignedBasics, ShiftEdges) {
    EXPECT_EQ((BigUnsigned() << 64u).getLength(), 0u);
    EXPECT_EQ((BigUnsigned(1) >> 1u).getLength(), 0u);
    EXPECT_EQ(describe(two32 >> 1u), "80000000");
    BigUnsigned x = toBU("ffffffff:ffffffff:ffffffff");
    EXPECT_EQ(x >> 0u, x);
    EXPECT_EQ(x << 0u, x);
    for (BigUnsigned::Index huge : {0xFFFFFFFFu, 0xFFFFFFE1u, 0xFFFFFFE0u, 0x80000000u})
        EXPECT_TRUE((x >> huge).isZero()) << huge;
    EXPECT_EQ(x >> -4, x << 4u) << "a negative amount shifts the other way";
    BigUnsigned y = x;
    y <<= -4;
    EXPECT_EQ(y, x >> 4u);
    EXPECT_EQ(x << int(0x80000000u), x >> 0x80000000u) << "the most negative int";
}

} // namespace
