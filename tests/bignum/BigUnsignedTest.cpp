// BigUnsigned: thrown texts, aliasing, capacities and boundary values.

#include "BignumTestSupport.h"

namespace {

typedef BigUnsigned BU;
const char *const negativeResult = "BigUnsigned::subtract: Negative result in unsigned calculation";

TEST(BigUnsignedBasics, ZeroFromEveryPrimitiveHasNoArray) {
    for (const BU &z : {BU(0UL), BU(0L), BU(0u), BU(0), BU((unsigned short)0), BU((short)0)}) {
        EXPECT_EQ(z.getCapacity() + z.getLength(), 0u);
        EXPECT_TRUE(z.isZero() && z == BU());
        EXPECT_EQ((unsigned long)z + (unsigned long)(long)z + (unsigned)z + (unsigned)(int)z + (unsigned short)z + (unsigned)(short)z, 0u);
    }
}

TEST(BigUnsignedBasics, ConversionBoundsAndThrownTexts) {
    BU big(2147483648u), twoBlocks = toBU("0:1");
    EXPECT_EQ((unsigned long)big + (unsigned int)big, 2 * 2147483648ul);
    EXPECT_EQ((int)BU(2147483647) + (long)BU(2147483647), 2 * 2147483647L);
    EXPECT_EQ((unsigned short)BU(65535) + (short)BU(32767), 65535 + 32767);
    const std::vector<std::pair<std::function<void()>, std::string>> failures = {
        {[] { BU(-1L); }, "BigUnsigned::BigUnsigned(long): Cannot construct a BigUnsigned from a negative number"},
        {[] { BU(-1); }, "BigUnsigned::BigUnsigned(int): Cannot construct a BigUnsigned from a negative number"},
        {[] { BU(short(-1)); }, "BigUnsigned::BigUnsigned(short): Cannot construct a BigUnsigned from a negative number"},
        {[&] { (void)(unsigned long)twoBlocks; }, "BigUnsigned::operator unsigned long: Value is too big for an unsigned long"},
        {[&] { (void)(long)big; }, "BigUnsigned::operator long: Value is too big for a long"},
        {[&] { (void)(unsigned int)twoBlocks; }, "BigUnsigned::operator unsigned int: Value is too big for an unsigned int"},
        {[&] { (void)(int)big; }, "BigUnsigned::operator int: Value is too big for an int"},
        {[] { (void)(unsigned short)BU(65536); }, "BigUnsigned::operator unsigned short: Value is too big for an unsigned short"},
        {[] { (void)(short)BU(32768); }, "BigUnsigned::operator short: Value is too big for a short"},
        {[] { BU z; z--; }, "BigUnsigned::operator --(): Cannot decrement an unsigned zero"},
        {[] { BU a(5); a.divideWithRemainder(BU(2), a); },
         "BigUnsigned::divideWithRemainder: Cannot write quotient and remainder into the same variable"},
    };
    for (const auto &f : failures)
        EXPECT_EQ(thrownText(f.first), f.second);
}

TEST(BigUnsignedBasics, FailedSubtractionLeavesTheDocumentedState) {
    BU r(9), three(3);
    EXPECT_EQ(thrownText([&] { r.subtract(three, BU(5)); }), negativeResult);
    EXPECT_EQ(describe(r), "_") << "the borrow out of the top block leaves zero";
    r = 9;
    EXPECT_EQ(thrownText([&] { r.subtract(BU(), BU(1)); }), negativeResult);
    EXPECT_EQ(describe(r), "9") << "the length test throws before anything changes";
    EXPECT_EQ(thrownText([&] { three.subtract(three, BU(5)); }), negativeResult);
    EXPECT_EQ(describe(three), "3") << "an aliased result keeps its value";
}

TEST(BigUnsignedBasics, OperandsMayBeTheResult) {
    BU x = toBU("89abcdef:fedcba98:1234567"), y = x, expected = x * y;
    x *= x;
    EXPECT_EQ(x, expected);
    y.add(y, y);
    EXPECT_EQ(describe(y), "13579bde:fdb97531:2468acf");
    y = toBU("f0000001");
    y.bitShiftLeft(y, 4);
    EXPECT_EQ(describe(y), "10:f");
    y.bitShiftRight(y, 4);
    EXPECT_EQ(describe(y), "f0000001");
    y.bitXor(y, y);
    EXPECT_EQ(y.getLength(), 0u);
    BU a = toBU("1:2:3"), q(77), r(100), d(7);
    a.divideWithRemainder(a, q);
    EXPECT_EQ(describe(a) + " " + describe(q), "_ 1");
    r.divideWithRemainder(d, d); // the quotient may overwrite the divisor
    EXPECT_EQ(describe(r) + " " + describe(d), "2 e");
}

TEST(BigUnsignedBasics, DivisionEdges) {
    BU r(7), q(3), shorter(123456u), two64 = toBU("0:0:1");
    r.divideWithRemainder(BU(), q);
    EXPECT_EQ(describe(r) + " " + describe(q), "7 _") << "x / 0 = 0 and x % 0 = x";
    r %= BU(0);
    EXPECT_EQ(describe(r), "7");
    shorter.divideWithRemainder(toBU("0:1"), q);
    EXPECT_EQ(describe(shorter) + " " + describe(q), "1e240 _");
    two64.divideWithRemainder(toBU("1:1"), q);
    EXPECT_EQ(describe(two64) + " " + describe(q), "1 ffffffff");
}

// Sizes follow from the allocation rules: exact growth, never shrinking.
TEST(BigUnsignedBasics, CapacityIsExactAndNeverShrinks) {
    BU threeBlocks = toBU("1:2:3"), r(5), q;
    EXPECT_EQ(r.getCapacity(), 1u);
    r.add(threeBlocks, BU(1));
    EXPECT_EQ(r.getCapacity(), 4u) << "room for a carry out of the top";
    EXPECT_EQ(BU(r).getCapacity(), 3u) << "a copy gets just its length";
    r = BU(1);
    EXPECT_EQ(r.getCapacity(), 4u);
    r.multiply(threeBlocks, threeBlocks);
    EXPECT_EQ(r.getCapacity(), 6u);
    BU dividend(r); // five blocks, no spare room
    dividend.divideWithRemainder(toBU("0:1"), q);
    EXPECT_EQ(dividend.getCapacity(), 6u) << "one block above the dividend";
    EXPECT_EQ(q.getCapacity(), 4u);
    r.bitShiftLeft(threeBlocks, 100);
    EXPECT_EQ(r.getCapacity(), 7u) << "3 blocks + 3 shifted in + 1 carried out";
}

TEST(BigUnsignedBasics, BlockBoundaries) {
    BU max32(4294967295u), stepped = max32;
    ++stepped;
    EXPECT_EQ(describe(max32 + BU(1)) + " " + describe(stepped), "0:1 0:1");
    stepped--;
    EXPECT_EQ(describe(stepped), "ffffffff");
    EXPECT_EQ(toBU("0:1").compareTo(toBU("ffffffff")), BU::greater) << "more blocks win";
    BU x = toBU("80000001:3");
    EXPECT_EQ(getShiftedBlock(x, 2, 31), 1u) << "bits carried out of the top";
    EXPECT_EQ(getShiftedBlock(x, 1, 1), 7u);
    EXPECT_EQ(getShiftedBlock(x, 1, 0), 3u);
}

TEST(BigUnsignedBasics, ShiftEdges) {
    EXPECT_EQ(describe(BU() << 64u) + " " + describe(BU(1) >> 1u) + " " + describe(toBU("0:1") >> 1u), "_ _ 80000000");
    BU x = toBU("ffffffff:ffffffff:ffffffff");
    EXPECT_TRUE(x >> 0u == x && x << 0u == x);
    for (BU::Index huge : {0xFFFFFFFFu, 0xFFFFFFE1u, 0xFFFFFFE0u, 0x80000000u})
        EXPECT_EQ(describe(x >> huge), "_") << huge;
    EXPECT_EQ(x >> -4, x << 4u) << "a negative amount shifts the other way";
    BU y = x;
    y <<= -4;
    EXPECT_EQ(y, x >> 4u);
    EXPECT_EQ(x << int(0x80000000u), x >> 0x80000000u) << "the most negative int";
}

} // namespace
