// Digit strings, decimal text and stream output of big numbers.

#include <sstream>

#include "BigIntegerUtils.h"
#include "BignumTestSupport.h"

namespace {

TEST(DecimalText, BoundariesZerosLettersAndBadSymbols) {
    EXPECT_EQ(easyBUtoString(BigUnsigned()) + " " + easyBUtoString(BigUnsigned(4294967295u)) + " " + easyBUtoString(toBU("0:1")),
              "0 4294967295 4294967296");
    EXPECT_EQ(describe(easyStringToBU("")) + describe(easyStringToBU("000")) + describe(easyStringToBU("007")), "__7");
    EXPECT_EQ(describe(easyStringToBU("1a")) + describe(easyStringToBU("1A")), "1414") << "letters are 10 to 35 in any base";
    for (const char *text : {"-1", "+1", " 1", "1.0"})
        EXPECT_EQ(thrownText([&] { easyStringToBU(text); }),
                  "BigUnsignedInABase(std::string, Base): Bad symbol in input.  Only 0-9, A-Z, a-z are accepted.");
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
    EXPECT_EQ(std::string(copy), "101");
    EXPECT_TRUE(copy == five && copy.getCapacity() == 3 && five.getDigit(1) == 0 && five.getDigit(9) == 0);
    const BigUnsignedInABase::Digit digits[] = {7, 3, 0, 0};
    BigUnsignedInABase octal(digits, 4, 8);
    EXPECT_EQ(octal.getLength(), 2u);
    EXPECT_EQ(BigUnsigned(octal), BigUnsigned(31));
    EXPECT_NE(octal, BigUnsignedInABase(BigUnsigned(31), 16)) << "the base is part of equality";
    copy = octal;
    EXPECT_EQ(copy.getBase(), 8);
}

// Streams x, and checks it agrees with streaming its magnitude.
std::string streamed(const BigInteger &x, std::ios_base::fmtflags flags) {
    std::ostringstream out, outMagnitude;
    out.flags(flags);
    outMagnitude.flags(flags);
    out << x;
    outMagnitude << static_cast<const BigUnsigned &>(x);
    EXPECT_EQ(out.str(), (x.getSign() == BigInteger::negative ? "-" : "") + outMagnitude.str());
    return out.str();
}

TEST(StreamOutput, BaseAndPrefixFromTheFlags) {
    using std::ios;
    EXPECT_EQ(streamed(255, ios::hex | ios::showbase), "0xFF");
    EXPECT_EQ(streamed(255, ios::hex | ios::uppercase), "FF");
    EXPECT_EQ(streamed(8, ios::oct | ios::showbase), "010");
    EXPECT_EQ(streamed(0, ios::hex | ios::showbase), "0x0");
    EXPECT_EQ(streamed(255, ios::dec | ios::hex | ios::showbase), "255");
    EXPECT_EQ(streamed(-255, ios::hex | ios::showbase), "-0xFF");
    EXPECT_EQ(streamed(easyStringToBI("-123456789012345678901234567890"), ios::dec), "-123456789012345678901234567890");
}

TEST(StreamOutput, NoBaseFlagThrowsAndWritesNothing) {
    std::ostringstream out;
    out.flags(std::ios::showbase);
    EXPECT_EQ(thrownText([&] { out << BigUnsigned(5); }),
              "std::ostream << BigUnsigned: Could not determine the desired base from output-stream flags");
    EXPECT_NE(thrownText([&] { out << BigInteger(-5); }), "");
    EXPECT_EQ(out.str(), "");
}

} // namespace
