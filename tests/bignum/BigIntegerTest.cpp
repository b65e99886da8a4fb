// BigInteger: floor division, sign rules, conversions and text.

#include "BigIntegerUtils.h"
#include "BignumTestSupport.h"

namespace {

typedef BigInteger BI;

TEST(BigIntegerDivision, FloorsTowardsMinusInfinity) {
    // a, b, quotient, remainder; x / 0 = 0 leaves x, as for BigUnsigned.
    const std::vector<std::vector<int>> cases = {{-7, 2, -4, 1}, {7, -2, -4, -1}, {-7, -2, 3, -1}, {7, 2, 3, 1}, {-6, 2, -3, 0},
                                                 {5, 0, 0, 5},   {-5, 0, 0, -5},  {0, -3, 0, 0},   {-1, 3, -1, 2}, {1, -3, -1, -2}};
    for (const std::vector<int> &c : cases) {
        BI r(c[0]), q(99);
        r.divideWithRemainder(BI(c[1]), q);
        EXPECT_EQ(describe(q) + " " + describe(r), describe(BI(c[2])) + " " + describe(BI(c[3]))) << c[0] << " / " << c[1];
    }
}

TEST(BigIntegerDivision, AliasedOperands) {
    BI a(-12), q, r(-100), d(7);
    EXPECT_EQ(thrownText([&] { a.divideWithRemainder(q, a); }),
              "BigInteger::divideWithRemainder: Cannot write quotient and remainder into the same variable");
    EXPECT_EQ((int)a, -12);
    a.divideWithRemainder(a, q);
    EXPECT_EQ(describe(a) + " " + describe(q), "_ 1");
    r.divideWithRemainder(d, d);
    EXPECT_EQ(describe(r) + " " + describe(d), "5 -f");
}

TEST(BigIntegerArithmetic, SignOfResults) {
    EXPECT_EQ(describe(BI(3) + BI(-3)) + describe(BI(-5) - BI(-5)) + describe(BI(-2) * BI(0)), "___");
    EXPECT_EQ((int)(BI(0) - BI(5)) + (int)(BI(-2) * BI(3)), -11);
    BI x(-6);
    x.add(x, x);
    EXPECT_EQ((int)x, -12);
    x *= x;
    x.negate(x);
    EXPECT_EQ((int)x, -144);
    x.flipSign();
    EXPECT_EQ((int)-x, -144);
    x -= x;
    EXPECT_EQ(describe(x), "_");
}

TEST(BigIntegerArithmetic, IncrementAndDecrementAcrossZero) {
    BI x(-1);
    std::string steps;
    ++x, steps += describe(x) + " ";
    x--, steps += describe(x) + " ";
    x++, x++, steps += describe(x) + " ";
    --x, steps += describe(x);
    EXPECT_EQ(steps, "_ -1 1 _");
}

TEST(BigIntegerConversion, BoundsAndThrownTexts) {
    BI most(int(-2147483647 - 1)), minusOne(-1), zero;
    EXPECT_EQ(describe(most), "-80000000");
    EXPECT_EQ((int)BI(-2147483647) + (long)BI(-2147483647) + (short)BI(short(-32767)), -2 * 2147483647L - 32767);
    EXPECT_EQ((unsigned long)zero + (unsigned long)(long)zero + (unsigned)zero + (unsigned short)zero + (int)zero + (short)zero, 0u);
    EXPECT_EQ(describe(BI(-4294967296L)), "-0:1") << "a wide long keeps its whole value";
    const std::string toUnsigned = "Cannot convert a negative integer to an unsigned type";
    const std::vector<std::pair<std::function<void()>, std::string>> failures = {
        {[&] { (void)(int)most; }, "BigInteger operator int() const: Value is too big for an int"},
        {[&] { (void)(long)most; }, "BigInteger operator long() const: Value is too big for a long"},
        {[] { (void)(short)BI(-32768); }, "BigInteger operator short() const: Value is too big for a short"},
        {[] { (void)(unsigned short)BI(65536); }, "BigInteger operator unsigned short() const: Value is too big for an unsigned short"},
        {[] { (void)(unsigned int)toBI("0:1"); }, "BigInteger operator unsigned int() const: Value is too big for an unsigned int"},
        {[] { (void)(unsigned long)toBI("0:1"); }, "BigInteger operator unsigned long() const: Value is too big for an unsigned long"},
        {[&] { (void)(unsigned int)minusOne; }, "BigInteger operator unsigned int() const: " + toUnsigned},
        {[&] { (void)(unsigned long)minusOne; }, "BigInteger operator unsigned long() const: " + toUnsigned},
        {[&] { (void)(unsigned short)minusOne; }, "BigInteger operator unsigned short() const: " + toUnsigned},
    };
    for (const auto &f : failures)
        EXPECT_EQ(thrownText(f.first), f.second);
}

TEST(BigIntegerConstruction, SignMustMatchTheMagnitude) {
    const std::string invalid = "BigInteger::BigInteger(Blk *, Index, Sign): Invalid sign";
    const BigUnsigned::Blk seven = 7, none = 0;
    EXPECT_EQ(describe(BI(&none, 1, BI::negative)) + describe(BI(BigUnsigned(), BI::positive)) + describe(BI(&seven, 1)), "__7");
    EXPECT_EQ(thrownText([&] { BI(&seven, 1, BI::Sign(2)); }), invalid);
    EXPECT_EQ(thrownText([&] { BI(BigUnsigned(7), BI::Sign(-2)); }), invalid);
    EXPECT_EQ(thrownText([&] { BI(&seven, 1, BI::zero); }), invalid) << "would break the sign invariant";
    EXPECT_EQ(thrownText([&] { BI(BigUnsigned(7), BI::zero); }), invalid);
}

// A value whose sign was corrupted from a derived class.
struct CorruptSign : BI {
    CorruptSign() : BI(5) { sign = Sign(3); }
};

TEST(BigIntegerConstruction, CorruptSignIsAnInternalError) {
    CorruptSign bad;
    EXPECT_EQ(thrownText([&] { (void)(int)bad; }), "BigInteger: Internal error");
    EXPECT_EQ(thrownText([&] { bad.compareTo(bad); }), "BigInteger: Internal error");
    ++bad;
    EXPECT_EQ(describe(static_cast<const BigUnsigned &>(bad)), "5") << "steps leave it unchanged";
}

TEST(BigIntegerOrder, SignDecidesBeforeMagnitude) {
    BI bigNegative = toBI("-0:0:1"), smallNegative(-1), zero, smallPositive(1);
    EXPECT_TRUE(bigNegative < zero && smallNegative < zero && zero < smallPositive && bigNegative < smallPositive);
    EXPECT_LT(bigNegative, smallNegative) << "the larger magnitude is less";
    EXPECT_EQ(bigNegative.compareTo(toBI("-0:0:1")), BigUnsigned::equal);
}

TEST(BigIntegerText, SignedDecimalText) {
    EXPECT_EQ(easyBItoString(BI(-12)) + " " + easyBItoString(BI()), "-12 0");
    EXPECT_EQ(describe(easyStringToBI("-0")) + describe(easyStringToBI("-")) + describe(easyStringToBI("")), "___");
    EXPECT_EQ((int)easyStringToBI("-00012"), -12);
    EXPECT_EQ(thrownText([] { easyStringToBI("+5"); }),
              "BigUnsignedInABase(std::string, Base): Bad symbol in input.  Only 0-9, A-Z, a-z are accepted.");
}

} // namespace
