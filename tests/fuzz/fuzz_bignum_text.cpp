// Text to big number and back. Fuzzed text goes through easyStringToBU and
// easyStringToBI (and through BigUnsignedInABase in a fuzzed base), checked
// against an independent decimal reading; bad symbols and bases must throw
// their texts. Values go to the digits of every base from 2 to 36 and back,
// checked against the digits of a 128-bit machine integer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BigIntegerUtils.h"
#include "BignumReference.h"
#include "DecimalReference.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"

namespace {

const char* const kBadSymbol =
    "BigUnsignedInABase(std::string, Base): Bad symbol in input.  Only 0-9, A-Z, a-z are accepted.";
const char* const kStringBaseTooLarge =
    "BigUnsignedInABase(std::string, Base): The default string conversion routines use the symbol set 0-9, A-Z "
    "and therefore support only up to base 36.  You tried a conversion with a base over 36; write your own string "
    "conversion routine.";
const char* const kToStringBaseTooLarge =
    "BigUnsignedInABase ==> std::string: The default string conversion routines use the symbol set 0-9, A-Z and "
    "therefore support only up to base 36.  You tried a conversion with a base over 36; write your own string "
    "conversion routine.";
const char* const kBaseTooSmall = "BigUnsignedInABase(BigUnsigned, Base): The base must be at least 2";

// Longer texts only make each run slower: the arithmetic is quadratic.
const std::size_t kMaxTextLength = 200;

int symbolValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return -1;
}

// The numeral s in base b (symbol values not limited by b) as decimal text;
// false when s holds a bad symbol.
bool referenceDecimal(const std::string& s, unsigned base, std::string& decimal) {
    DecimalReference value;
    for (char c : s) {
        if (symbolValue(c) < 0) return false;
        value.multiplyAdd(base, static_cast<std::uint32_t>(symbolValue(c)));
    }
    decimal = value.toString();
    return true;
}

std::string referenceDigits(u128 value, unsigned base) {
    std::string digits;
    do {
        const unsigned digit = static_cast<unsigned>(value % base);
        digits.insert(digits.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'A' + digit - 10));
        value /= base;
    } while (value != 0);
    return digits;
}

void checkUnsignedText(const std::string& s) {
    std::string decimal;
    if (!referenceDecimal(s, 10, decimal)) {
        FUZZ_CHECK(throwsText([&] { easyStringToBU(s); }, kBadSymbol));
        return;
    }
    const BigUnsigned x = easyStringToBU(s);
    FUZZ_CHECK(easyBUtoString(x) == decimal);
    FUZZ_CHECK(easyStringToBU(decimal) == x);
}

void checkSignedText(const std::string& s) {
    const bool minus = !s.empty() && s[0] == '-';
    std::string magnitude;
    if (!referenceDecimal(s.substr(minus ? 1 : 0), 10, magnitude)) {
        FUZZ_CHECK(throwsText([&] { easyStringToBI(s); }, kBadSymbol));
        return;
    }
    const BigInteger x = easyStringToBI(s);
    const bool zero = magnitude == "0";
    FUZZ_CHECK(x.getSign() == (zero ? BigInteger::zero : minus ? BigInteger::negative : BigInteger::positive));
    const std::string text = (minus && !zero ? "-" : "") + magnitude;
    FUZZ_CHECK(easyBItoString(x) == text);
    FUZZ_CHECK(easyStringToBI(text) == x);
}

void checkNumeralInBase(const std::string& s, unsigned base) {
    const auto read = [&] { return BigUnsigned(BigUnsignedInABase(s, static_cast<BigUnsignedInABase::Base>(base))); };
    std::string decimal;
    if (base > 36)
        FUZZ_CHECK(throwsText(read, kStringBaseTooLarge));
    else if (!referenceDecimal(s, base, decimal))
        FUZZ_CHECK(throwsText(read, kBadSymbol));
    else
        FUZZ_CHECK(easyBUtoString(read()) == decimal);
}

// Digits and text in every base, and back, in lower case as well.
void checkEveryBase(u128 value) {
    const BigUnsigned x = bigFrom(value);
    for (unsigned base = 2; base <= 36; ++base) {
        const std::string text = BigUnsignedInABase(x, static_cast<BigUnsignedInABase::Base>(base));
        FUZZ_CHECK(text == referenceDigits(value, base));
        std::string lower = text;
        for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        FUZZ_CHECK(BigUnsigned(BigUnsignedInABase(lower, static_cast<BigUnsignedInABase::Base>(base))) == x);
    }
}

// A value of any size through one base and back; bases beyond the symbols
// still hold the digits but refuse to write them.
void checkRoundTrip(const BigUnsigned& x, BigUnsignedInABase::Base base) {
    if (base < 2) {
        FUZZ_CHECK(throwsText([&] { BigUnsignedInABase(x, base); }, kBaseTooSmall));
        return;
    }
    const BigUnsignedInABase digits(x, base);
    FUZZ_CHECK(BigUnsigned(digits) == x);
    if (base > 36) {
        FUZZ_CHECK(throwsText([&] { (void)std::string(digits); }, kToStringBaseTooLarge));
        return;
    }
    const std::string text = digits;
    FUZZ_CHECK(text == "0" || text[0] != '0');
    for (char c : text) FUZZ_CHECK(symbolValue(c) >= 0 && symbolValue(c) < base);
    FUZZ_CHECK(BigUnsigned(BigUnsignedInABase(text, base)) == x);
}

// Raw bytes as blocks, least significant first: a value for texts that are
// no numeral.
BigUnsigned valueOfBytes(const std::string& bytes) {
    std::vector<BigUnsigned::Blk> blocks((bytes.size() + 3) / 4);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        blocks[i / 4] |= static_cast<BigUnsigned::Blk>(static_cast<unsigned char>(bytes[i])) << (8 * (i % 4));
    return BigUnsigned(blocks.data(), static_cast<BigUnsigned::Index>(blocks.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const unsigned numeralBase = 2 + in.takeByte() % 40;
    const std::uint8_t roundTripForm = in.takeByte();
    const std::uint16_t wideBase = static_cast<std::uint16_t>(in.takeNumber(UINT16_MAX));
    const std::string text = in.takeBytes(kMaxTextLength);

    checkUnsignedText(text);
    checkSignedText(text);
    checkNumeralInBase(text, numeralBase);

    std::string decimal;
    const BigUnsigned value = referenceDecimal(text, 10, decimal) ? easyStringToBU(text) : valueOfBytes(text);
    checkEveryBase(low128(value));
    const bool symbolBase = roundTripForm < 224;
    checkRoundTrip(value, symbolBase ? static_cast<BigUnsignedInABase::Base>(2 + roundTripForm % 35) : wideBase);
    return 0;
}
