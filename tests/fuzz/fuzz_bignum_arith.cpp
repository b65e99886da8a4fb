// Big-number arithmetic against 128-bit machine integers on values that fit:
// BigUnsigned comparison, add, subtract (and its throw when negative),
// multiply, divideWithRemainder (by zero too), shifts, and/or/xor, ++/--,
// conversions; BigInteger add, subtract, multiply and floor division.
#include <climits>
#include <cstddef>
#include <cstdint>

#include "BignumReference.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"

namespace {

const char* const kNegativeResult = "BigUnsigned::subtract: Negative result in unsigned calculation";
const char* const kSameVariable =
    "BigUnsigned::divideWithRemainder: Cannot write quotient and remainder into the same variable";
const char* const kSignedSameVariable =
    "BigInteger::divideWithRemainder: Cannot write quotient and remainder into the same variable";
const char* const kDecrementZero = "BigUnsigned::operator --(): Cannot decrement an unsigned zero";

u128 takeValue(FuzzInput& in) {
    u128 value = 0;
    for (int bytes = in.takeByte() % 17; bytes > 0; --bytes) value = value << 8 | in.takeByte();
    return value;
}

template <class Integer>
BigUnsigned::CmpRes expectedOrder(Integer a, Integer b) {
    return a < b ? BigUnsigned::less : a > b ? BigUnsigned::greater : BigUnsigned::equal;
}

void checkComparison(u128 a, u128 b) {
    const BigUnsigned x = bigFrom(a), y = bigFrom(b);
    FUZZ_CHECK(x.compareTo(y) == expectedOrder(a, b));
    FUZZ_CHECK((x < y) == (a < b) && (x <= y) == (a <= b) && (x > y) == (a > b) && (x >= y) == (a >= b));
    FUZZ_CHECK((x == y) == (a == b) && (x != y) == (a != b));
}

void checkAddSubtract(u128 a, u128 b, u128 other) {
    const BigUnsigned x = bigFrom(a), y = bigFrom(b);
    u128 sum;
    const bool carry = __builtin_add_overflow(a, b, &sum);
    BigUnsigned result;
    result.add(x, y);
    FUZZ_CHECK(carry ? result.getLength() == 5 && result.getBlock(4) == 1 && low128(result) == sum
                     : sameValue(result, sum));
    BigUnsigned aliased = x;
    aliased.add(aliased, y);
    FUZZ_CHECK(aliased == result);
    result.subtract(result, y);
    FUZZ_CHECK(result == x);

    BigUnsigned difference = bigFrom(other);
    if (a >= b) {
        difference.subtract(x, y);
        FUZZ_CHECK(sameValue(difference, a - b));
        return;
    }
    // A shorter first operand is refused before the result is touched; an
    // equally long one leaves the result zero.
    FUZZ_CHECK(throwsText([&] { difference.subtract(x, y); }, kNegativeResult));
    FUZZ_CHECK(x.getLength() < y.getLength() ? sameValue(difference, other) : difference.isZero());
    aliased = x;
    FUZZ_CHECK(throwsText([&] { aliased.subtract(aliased, y); }, kNegativeResult));
    FUZZ_CHECK(aliased == x);
}

void checkMultiplyDivide(u128 a, u128 b) {
    const BigUnsigned x = bigFrom(a), y = bigFrom(b);
    BigUnsigned product;
    product.multiply(x, y);
    u128 expected;
    if (!__builtin_mul_overflow(a, b, &expected)) FUZZ_CHECK(sameValue(product, expected));
    BigUnsigned remainder = product, quotient;
    remainder.divideWithRemainder(y, quotient);  // exact, or by zero
    FUZZ_CHECK(b == 0 ? quotient.isZero() && remainder.isZero() : quotient == x && remainder.isZero());

    remainder = x;
    remainder.divideWithRemainder(y, quotient);
    FUZZ_CHECK(b == 0 ? quotient.isZero() && sameValue(remainder, a)
                      : sameValue(quotient, a / b) && sameValue(remainder, a % b));
    remainder = x;
    FUZZ_CHECK(throwsText([&] { remainder.divideWithRemainder(y, remainder); }, kSameVariable));
    FUZZ_CHECK(remainder == x);
    remainder.divideWithRemainder(remainder, quotient);
    FUZZ_CHECK(remainder.isZero() && sameValue(quotient, a == 0 ? 0 : 1));

    BigUnsigned square = x;
    square *= square;
    if (!__builtin_mul_overflow(a, a, &expected)) FUZZ_CHECK(sameValue(square, expected));
}

void checkBitsAndShifts(u128 a, u128 b, unsigned shift) {
    const BigUnsigned x = bigFrom(a), y = bigFrom(b);
    FUZZ_CHECK(sameValue(x & y, a & b) && sameValue(x | y, a | b) && sameValue(x ^ y, a ^ b));

    const BigUnsigned right = x >> shift;
    FUZZ_CHECK(sameValue(right, shift >= 128 ? 0 : a >> shift));
    FUZZ_CHECK((x << -static_cast<int>(shift)) == right);
    BigUnsigned left = x << shift;
    const bool fits = shift < 128 && (shift == 0 || (a >> (128 - shift)) == 0);
    if (fits) FUZZ_CHECK(sameValue(left, a << shift));
    unsigned bits = 0;
    for (u128 rest = a; rest != 0; rest >>= 1) ++bits;
    FUZZ_CHECK(left.getLength() == (a == 0 ? 0 : (bits + shift + 31) / 32));
    left >>= shift;
    FUZZ_CHECK(left == x);
}

void checkStepsAndConversions(u128 a) {
    BigUnsigned x = bigFrom(a);
    ++x;
    FUZZ_CHECK(a == ~u128{0} ? x.getLength() == 5 && x.getBlock(4) == 1 && low128(x) == 0 : sameValue(x, a + 1));
    --x;
    FUZZ_CHECK(sameValue(x, a));
    if (a == 0) {
        FUZZ_CHECK(throwsText([&] { --x; }, kDecrementZero) && x.isZero());
    } else {
        x--;
        FUZZ_CHECK(sameValue(x, a - 1));
    }

    // Conversions follow a 32-bit long; constructors take a 64-bit one exactly.
    const BigUnsigned y = bigFrom(a);
    const auto converts = [&](auto target, u128 largest, const char* tooBig) {
        using Target = decltype(target);
        return a <= largest ? static_cast<u128>(static_cast<Target>(y)) == a
                            : throwsText([&] { (void)static_cast<Target>(y); }, tooBig);
    };
    FUZZ_CHECK(converts(0UL, UINT32_MAX, "BigUnsigned::operator unsigned long: Value is too big for an unsigned long"));
    FUZZ_CHECK(converts(0L, INT32_MAX, "BigUnsigned::operator long: Value is too big for a long"));
    FUZZ_CHECK(converts(0U, UINT32_MAX, "BigUnsigned::operator unsigned int: Value is too big for an unsigned int"));
    FUZZ_CHECK(converts(0, INT32_MAX, "BigUnsigned::operator int: Value is too big for an int"));
    FUZZ_CHECK(converts(static_cast<unsigned short>(0), UINT16_MAX,
                        "BigUnsigned::operator unsigned short: Value is too big for an unsigned short"));
    FUZZ_CHECK(converts(static_cast<short>(0), INT16_MAX, "BigUnsigned::operator short: Value is too big for a short"));

    const auto low = static_cast<std::uint64_t>(a);
    FUZZ_CHECK(sameValue(BigUnsigned(static_cast<unsigned long>(low)), low));
    const auto asInt = static_cast<std::int32_t>(low);
    if (asInt >= 0)
        FUZZ_CHECK(sameValue(BigUnsigned(asInt), static_cast<u128>(asInt)));
    else
        FUZZ_CHECK(throwsText([&] { BigUnsigned{asInt}; },
                              "BigUnsigned::BigUnsigned(int): Cannot construct a BigUnsigned from a negative number"));
}

// Signed values below 2^126 in magnitude: sums and differences fit 128 bits.
void checkSigned(i128 a, i128 b) {
    const BigInteger x = bigFrom(a), y = bigFrom(b);
    FUZZ_CHECK(x.compareTo(y) == expectedOrder(a, b));
    FUZZ_CHECK(sameValue(x + y, a + b) && sameValue(x - y, a - b));
    BigInteger aliased = x;
    aliased.subtract(aliased, y);
    FUZZ_CHECK(sameValue(aliased, a - b));
    i128 product;
    if (!__builtin_mul_overflow(a, b, &product)) FUZZ_CHECK(sameValue(x * y, product));
    FUZZ_CHECK(sameValue(-x, -a));

    BigInteger remainder = x, quotient;
    remainder.divideWithRemainder(y, quotient);
    if (b == 0) {
        FUZZ_CHECK(quotient.getSign() == BigInteger::zero && sameValue(remainder, a));
    } else {
        i128 q = a / b, r = a % b;  // rounded toward zero, then down
        if (r != 0 && (r < 0) != (b < 0)) {
            q -= 1;
            r += b;
        }
        FUZZ_CHECK(sameValue(quotient, q) && sameValue(remainder, r));
    }
    FUZZ_CHECK(throwsText([&] { remainder.divideWithRemainder(y, remainder); }, kSignedSameVariable));

    BigInteger step = x;
    ++step;
    FUZZ_CHECK(sameValue(step, a + 1));
    step--;
    step--;
    FUZZ_CHECK(sameValue(step, a - 1));
    const bool fitsInt = a >= -INT32_MAX && a <= INT32_MAX;
    FUZZ_CHECK(fitsInt ? static_cast<int>(x) == a
                       : throwsText([&] { (void)static_cast<int>(x); }, "BigInteger operator int() const: Value is too big for an int"));
    if (a < 0)
        FUZZ_CHECK(throwsText([&] { (void)static_cast<unsigned>(x); },
                              "BigInteger operator unsigned int() const: Cannot convert a negative integer to an unsigned type"));
}

// The low bit gives the sign, the bits above it (but the top one) the magnitude.
i128 signedFrom(u128 bits) {
    const auto magnitude = static_cast<i128>(bits >> 2);
    return bits & 1 ? -magnitude : magnitude;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const u128 a = takeValue(in), b = takeValue(in), other = takeValue(in);
    const unsigned shift = static_cast<unsigned>(in.takeNumber(300));
    checkComparison(a, b);
    checkAddSubtract(a, b, other);
    checkMultiplyDivide(a, b);
    checkBitsAndShifts(a, b, shift);
    checkStepsAndConversions(a);
    checkSigned(signedFrom(a), signedFrom(b));
    return 0;
}
