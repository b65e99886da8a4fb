// Digit strings, decimal text and stream output of big numbers.

#include <sstream>

#include "BigIntegerUtils.h"
#include "BignumTestSupport.h"

namespace {

const char *const badSymbol = "BigUnsignedInABase(std::string, Base): Bad symbol in input.  Only 0-9, A-Z, a-z are accepted.";

TEST(DecimalText, ValuesAtBlockBoundaries) {
    EXPECT_EQ(easyBUtoString(BigUnsigned()), "0");
    EXPECT_EQ(easyBUtoString(BigUnsigned(4294967295u)), "4294967295");
    EXPECT_EQ(easyBUtoString(toBU("0:1")), "4294967296");
}

TEST(DecimalText, ReadingIsLenientAboutZerosAndLetters) {
    EXPECT_EQ(easyStringToBU("").getLength(), 0u);
    EXPECT_EQ(easyStringToBU("000").getLength(), 0u);
    EXPECT_EQ(easyStringToBU("007"), BigUnsigned(7));
    EXPECT_EQ(easyStringToBU("1a"), BigUnsigned(20)) << "letters are 10 to 35 whatever the base";
    EXPECT_EQ(easyStringToBU("1A"), BigUnsigned(20));
    for (const char *text : {"-1", "+1", " 1", "1.0"})
        EXPECT_EQ(thrownText([&] { easyStringToBU(text); }), badSymbol) << text;
}

TEST(DigitStrings, BaseLimits) {
    for (int base : {0, 1})
        EXPECT_EQ(thrownText([&] { BigUnsignedInABase(BigUnsigned(5), BigUnsignedInABase::Base(base)); }),
                  "BigUnsignedInABase(BigUnsigned, Base): The base must be at least 2");
    BigUnsignedInABase wide(toBU("12345678:9abcdef"), 65535);
    EXPECT_EQ(describe(BigUnsigned(wide)), "12345678:9abcdef");
    const std::string tail = " The default string conversion routines use the symbol set 0-9, A-Z and therefore support only up "
                             "to base 36.  You tried a conversion with a base over 36; write your own string conversion routine.";
    EXPECT_EQ(thrownText([&] { (void)std::string(wide); }), "BigUnsignedInABase ==> std::string:" + tail);
    EXPECT_EQ(thrownText([] { BigUnsignedInABase("1", 37); }), "BigUnsignedInABase(std::string, Base):" + tail);
}

TEST(DigitStrings, DigitsAccessorsAndCopies) {
    BigUnsignedInABase five(BigUnsigned(5), 2), copy(five);
    EXPECT_EQ(std::string(five), "101");
    EXPECT_EQ(copy, five);
    EXPECT_EQ(copy.getCapacity(), 3u);
    EXPECT_EQ(five.getDigit(1), 0);
    EXPECT_EQ(five.getDigit(9), 0) << "digits above the length are 0";
    const BigUnsignedInABase::Digit digits[] = {7, 3, 0, 0};
    BigUnsignedInABase fromDigits(digits, 4, 8);
    EXPECT_EQ(fromDigits.getLength(), 2u);
    EXPECT_EQ(BigUnsigned(fromDigits), BigUnsigned(31));
    EXPECT_NE(fromDigits, BigUnsignedInABase(BigUnsigned(31), 16)) << "the base is part of equality";
    copy = fromDigits;
    EXPECT_EQ(copy.getBase(), 8);
    EXPECT_TRUE(BigUnsignedInABase(BigUnsigned(), 10).isZero());
}

std::string streamed(const BigInteger &x, std::ios_base::fmtflags flags) {
    std::ostringstream out;
    out.flags(flags);
    out << x;
    const BigUnsigned &magnitude = x;
    std::ostringstream outUnsigned;
    outUnsigned.flags(flags);
    outUnsigned << magnitude;
    EXPECT_EQ(x.getSign() == BigInteger::negative ? "-" + outUnsigned.str() : outUnsigned.str(), out.str());
    return out.str();
}

TEST(StreamOutput, BaseAndPrefixFromTheFlags) {
    using std::ios;
    EXPECT_EQ(streamed(255, ios::hex | ios::showbase), "0xFF");
    EXPECT_EQ(streamed(255, ios::hex | ios::showbase | ios::uppercase), "0xFF");
    EXPECT_EQ(streamed(255, ios::hex), "FF");
    EXPECT_EQ(streamed(8, ios::oct | ios::showbase), "010");
    EXPECT_EQ(streamed(0, ios::hex | ios::showbase), "0x0");
    EXPECT_EQ(streamed(255, ios::dec | ios::hex), "255");
    EXPECT_EQ(streamed(-255, ios::hex | ios::showbase), "-0xFF");
    EXPECT_EQ(streamed(easyStringToBI("-123456789012345678901234567890"), ios::dec),
              "-123456789012345678901234567890");
}

TEST(StreamOutput, NoBaseFlagThrowsAndWritesNothing) {
    std::ostringstream out;
    out.flags(std::ios::showbase);
    EXPECT_EQ(thrownText([&] { out << BigUnsigned(5); }),
              "std::ostream << BigUnsigned: Could not determine the desired base from output-stream flags");
    EXPECT_FALSE(thrownText([&] { out << BigInteger(-5); }).empty());
    EXPECT_EQ(out.str(), "");
}

} // namespace
