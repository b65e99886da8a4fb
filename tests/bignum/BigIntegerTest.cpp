// BigInteger: floor division, sign rules, conversions and text.

#include "BigIntegerUtils.h"
#include "BignumTestSupport.h"

namespace {

TEST(BigIntegerDivision, FloorsTowardsMinusInfinity) {
    struct Case { int a, b, quotient; std::string remainder; };
    for (const Case &c : std::vector<Case>{{-7, 2, -4, "1"}, {7, -2, -4, "-1"}, {-7, -2, 3, "-1"}, {7, 2, 3, "1"},
                                           {-6, 2, -3, "_"}, {5, 0, 0, "5"}, {-5, 0, 0, "-5"}, {0, -3, 0, "_"},
                                           {-1, 3, -1, "2"}, {1, -3, -1, "-2"}}) {
        BigInteger r(c.a), q(99);
        r.divideWithRemainder(BigInteger(c.b), q);
        EXPECT_EQ((int)q, c.quotient) << c.a << " / " << c.b;
        EXPECT_EQ(describe(q), describe(BigInteger(c.quotient)));
        EXPECT_EQ(describe(r), c.remainder) << c.a << " % " << c.b;
    }
}

TEST(BigIntegerDivision, AliasedOperands) {
    BigInteger a(-12), q;
    EXPECT_EQ(thrownText([&] { a.divideWithRemainder(q, a); }),
              "BigInteger::divideWithRemainder: Cannot write quotient and remainder into the same variable");
    EXPECT_EQ((int)a, -12);
    a.divideWithRemainder(a, q);
    EXPECT_EQ(describe(a), "_");
    EXPECT_EQ((int)q, 1);
    BigInteger r(-100), d(7);
    r.divideWithRemainder(d, d);
    EXPECT_EQ((int)r, 5);
    EXPECT_EQ((int)d, -15);
}

TEST(BigIntegerArithmetic, SignOfResults) {
    EXPECT_EQ(describe(BigInteger(3) + BigInteger(-3)), "_");
    EXPECT_EQ((int)(BigInteger(0) - BigInteger(5)), -5);
    EXPECT_EQ(describe(BigInteger(-5) - BigInteger(-5)), "_");
    EXPECT_EQ((int)(BigInteger(-2) * BigInteger(3)), -6);
    EXPECT_EQ(describe(BigInteger(-2) * BigInteger(0)), "_");
    BigInteger x(-6);
    x.add(x, x);
    EXPECT_EQ((int)x, -12);
    x *= x;
    EXPECT_EQ((int)x, 144);
    x.negate(x);
    EXPECT_EQ((int)x, -144);
    x.flipSign();
    EXPECT_EQ((int)-x, -144);
    x -= x;
    EXPECT_EQ(describe(x), "_");
}

TEST(BigIntegerArithmetic, IncrementAndDecrementAcrossZero) {
    BigInteger x(-1);
    ++x;
    EXPECT_EQ(describe(x), "_");
    x--;
    EXPECT_EQ((int)x, -1);
    x++;
    x++;
    EXPECT_EQ((int)x, 1);
    --x;
    EXPECT_EQ(describe(x), "_");
}

TEST(BigIntegerConversion, BoundsAndThrownTexts) {
    BigInteger most(int(-2147483647 - 1)), minusOne(-1), zero;
    EXPECT_EQ(describe(most), "-80000000");
    EXPECT_EQ((int)BigInteger(-2147483647), -2147483647);
    EXPECT_EQ((long)BigInteger(-2147483647), -2147483647L);
    EXPECT_EQ((short)BigInteger(short(-32767)), -32767);
    EXPECT_EQ((unsigned long)zero + (unsigned long)(long)zero + (unsigned int)zero + (unsigned short)zero, 0ul);
    EXPECT_EQ((int)zero + (short)zero, 0);
    EXPECT_EQ(describe(BigInteger(-4294967296L)), "-0:1") << "a wide long keeps its whole value";
    const std::vector<std::pair<std::function<void()>, std::string>> failures = {
        {[&] { (void)(int)most; }, "BigInteger operator int() const: Value is too big for an int"},
        {[&] { (void)(long)most; }, "BigInteger operator long() const: Value is too big for a long"},
        {[] { (void)(short)BigInteger(-32768); }, "BigInteger operator short() const: Value is too big for a short"},
        {[] { (void)(unsigned short)BigInteger(65536); }, "BigInteger operator unsigned short() const: Value is too big for an unsigned short"},
        {[] { (void)(unsigned int)toBI("0:1"); }, "BigInteger operator unsigned int() const: Value is too big for an unsigned int"},
        {[] { (void)(unsigned long)toBI("0:1"); }, "BigInteger operator unsigned long() const: Value is too big for an unsigned long"},
        {[&] { (void)(unsigned int)minusOne; }, "BigInteger operator unsigned int() const: Cannot convert a negative integer to an unsigned type"},
        {[&] { (void)(unsigned long)minusOne; }, "BigInteger operator unsigned long() const: Cannot convert a negative integer to an unsigned type"},
        {[&] { (void)(unsigned short)minusOne; }, "BigInteger operator unsigned short() const: Cannot convert a negative integer to an unsigned type"},
    };
    for (const auto &f : failures)
        EXPECT_EQ(thrownText(f.first), f.second);
}

TEST(BigIntegerConstruction, SignMustMatchTheMagnitude) {
    const std::string invalid = "BigInteger::BigInteger(Blk *, Index, Sign): Invalid sign";
    const BigUnsigned::Blk seven = 7, none = 0;
    EXPECT_EQ(describe(BigInteger(&none, 1, BigInteger::negative)), "_");
    EXPECT_EQ(describe(BigInteger(BigUnsigned(), BigInteger::positive)), "_");
    EXPECT_EQ(thrownText([&] { BigInteger(&seven, 1, BigInteger::Sign(2)); }), invalid);
    EXPECT_EQ(thrownText([&] { BigInteger(BigUnsigned(7), BigInteger::Sign(-2)); }), invalid);
    EXPECT_EQ(thrownText([&] { BigInteger(&seven, 1, BigInteger::zero); }), invalid) << "would break the invariant";
    EXPECT_EQ(thrownText([&] { BigInteger(BigUnsigned(7), BigInteger::zero); }), invalid);
    EXPECT_EQ(describe(BigInteger(&seven, 1)), "7");
}

// A value whose sign was corrupted from a derived class.
struct CorruptSign : BigInteger {
    CorruptSign() : BigInteger(5) { sign = Sign(3); }
};

TEST(BigIntegerConstruction, CorruptSignIsAnInternalError) {
    CorruptSign bad;
    EXPECT_EQ(thrownText([&] { (void)(int)bad; }), "BigInteger: Internal error");
    EXPECT_EQ(thrownText([&] { bad.compareTo(bad); }), "BigInteger: Internal error");
    ++bad;
    EXPECT_EQ(describe(static_cast<const BigUnsigned &>(bad)), "5") << "steps leave it unchanged";
}

TEST(BigIntegerOrder, SignDecidesBeforeMagnitude) {
    BigInteger bigNegative = toBI("-0:0:1"), smallNegative(-1), zero, smallPositive(1);
    EXPECT_LT(bigNegative, zero);
    EXPECT_LT(smallNegative, zero);
    EXPECT_LT(zero, smallPositive);
    EXPECT_LT(bigNegative, smallPositive);
    EXPECT_LT(bigNegative, smallNegative) << "the larger magnitude is less";
    EXPECT_EQ(bigNegative.compareTo(toBI("-0:0:1")), BigUnsigned::equal);
}

TEST(BigIntegerText, SignedDecimalText) {
    EXPECT_EQ(easyBItoString(BigInteger(-12)), "-12");
    EXPECT_EQ(easyBItoString(BigInteger()), "0");
    EXPECT_EQ(describe(easyStringToBI("-0")), "_");
    EXPECT_EQ(describe(easyStringToBI("-")), "_");
    EXPECT_EQ(describe(easyStringToBI("")), "_");
    EXPECT_EQ((int)easyStringToBI("-00012"), -12);
    EXPECT_EQ(thrownText([] { easyStringToBI("+5"); }),
              "BigUnsignedInABase(std::string, Base): Bad symbol in input.  Only 0-9, A-Z, a-z are accepted.");
}

} // namespace
