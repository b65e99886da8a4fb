#include "BigInteger.h"

typedef BigUnsigned::Blk Blk;

namespace {

const char *const invalidSignText = "BigInteger::BigInteger(Blk *, Index, Sign): Invalid sign";
const char *const internalErrorText = "BigInteger: Internal error";

// Largest magnitude each bounded primitive type accepts (32-bit `long` model).
const Blk lMask = 0x7FFFFFFF;
const Blk uiMask = 0xFFFFFFFF;
const Blk iMask = 0x7FFFFFFF;
const Blk usMask = 0xFFFF;
const Blk sMask = 0x7FFF;

Blk magnitudeWithin(const BigInteger &x, Blk mask, const char *tooBig) {
    if (x.getLength() == 1 && (x.getBlock(0) & mask) == x.getBlock(0))
        return x.getBlock(0);
    throw tooBig;
}

template <class T>
T toUnsigned(const BigInteger &x, Blk mask, const char *tooBig, const char *negativeText) {
    switch (x.getSign()) {
    case BigInteger::zero:
        return 0;
    case BigInteger::positive:
        return T(magnitudeWithin(x, mask, tooBig));
    case BigInteger::negative:
        throw negativeText;
    default:
        throw internalErrorText;
    }
}

template <class T>
T toSigned(const BigInteger &x, Blk mask, const char *tooBig) {
    switch (x.getSign()) {
    case BigInteger::zero:
        return 0;
    case BigInteger::positive:
        return T(magnitudeWithin(x, mask, tooBig));
    case BigInteger::negative:
        // The magnitude is at most `mask`, so negating it cannot overflow.
        return T(-T(magnitudeWithin(x, mask, tooBig)));
    default:
        throw internalErrorText;
    }
}

// Magnitude of a signed value, without negating its most negative value.
unsigned long magnitudeOf(long x) { return x < 0 ? 0UL - (unsigned long)x : (unsigned long)x; }

BigInteger::Sign signOf(long x) { return x < 0 ? BigInteger::negative : x > 0 ? BigInteger::positive : BigInteger::zero; }

} // namespace

// ---- Construction and conversion ----

BigInteger::BigInteger(const Blk *b, Index l, Sign s) : BigUnsigned(b, l), sign(zero) {
    if (s != negative && s != zero && s != positive)
        throw invalidSignText;
    // A non-zero magnitude with sign `zero` would break the sign invariant.
    if (!isZero() && s == zero)
        throw invalidSignText;
    signFromMagnitude(s);
}

BigInteger::BigInteger(const BigUnsigned &x, Sign s) : BigUnsigned(x), sign(zero) {
    if (s != negative && s != zero && s != positive)
        throw invalidSignText;
    if (!isZero() && s == zero)
        throw invalidSignText;
    signFromMagnitude(s);
}

BigInteger::BigInteger(const Blk *b, Index l) : BigUnsigned(b, l), sign(zero) { signFromMagnitude(positive); }

BigInteger::BigInteger(const BigUnsigned &x) : BigUnsigned(x), sign(zero) { signFromMagnitude(positive); }

BigInteger::BigInteger(unsigned long x) : BigUnsigned(x), sign(x == 0 ? zero : positive) {}
BigInteger::BigInteger(long x) : BigUnsigned(magnitudeOf(x)), sign(signOf(x)) {}
BigInteger::BigInteger(unsigned int x) : BigUnsigned(x), sign(x == 0 ? zero : positive) {}
BigInteger::BigInteger(int x) : BigUnsigned(magnitudeOf(x)), sign(signOf(x)) {}
BigInteger::BigInteger(unsigned short x) : BigUnsigned(x), sign(x == 0 ? zero : positive) {}
BigInteger::BigInteger(short x) : BigUnsigned(magnitudeOf(x)), sign(signOf(x)) {}

// The magnitude is assigned first so that a failed allocation leaves the
// old value whole.
BigInteger &BigInteger::operator=(const BigInteger &x) {
    if (this == &x)
        return *this;
    BigUnsigned::operator=(x);
    sign = x.sign;
    return *this;
}

BigInteger::operator unsigned long() const {
    return toUnsigned<unsigned long>(
        *this, uiMask, "BigInteger operator unsigned long() const: Value is too big for an unsigned long",
        "BigInteger operator unsigned long() const: Cannot convert a negative integer to an unsigned type");
}

BigInteger::operator long() const {
    return toSigned<long>(*this, lMask, "BigInteger operator long() const: Value is too big for a long");
}

BigInteger::operator unsigned int() const {
    return toUnsigned<unsigned int>(
        *this, uiMask, "BigInteger operator unsigned int() const: Value is too big for an unsigned int",
        "BigInteger operator unsigned int() const: Cannot convert a negative integer to an unsigned type");
}

BigInteger::operator int() const {
    return toSigned<int>(*this, iMask, "BigInteger operator int() const: Value is too big for an int");
}

BigInteger::operator unsigned short() const {
    return toUnsigned<unsigned short>(
        *this, usMask, "BigInteger operator unsigned short() const: Value is too big for an unsigned short",
        "BigInteger operator unsigned short() const: Cannot convert a negative integer to an unsigned type");
}

BigInteger::operator short() const {
    return toSigned<short>(*this, sMask, "BigInteger operator short() const: Value is too big for a short");
}

// ---- Comparison ----

BigUnsigned::CmpRes BigInteger::compareTo(const BigInteger &x) const {
    if (sign < x.sign)
        return less;
    if (sign > x.sign)
        return greater;
    switch (sign) {
    case zero:
        return equal;
    case positive:
        return BigUnsigned::compareTo(x);
    case negative:
        return CmpRes(-BigUnsigned::compareTo(x));
    default:
        throw internalErrorText;
    }
}

// ---- Arithmetic ----
// Each operation changes the magnitude before the sign, so an allocation
// failure in the magnitude leaves a consistent value behind.

void BigInteger::add(const BigInteger &a, const BigInteger &b) {
    if (this == &a || this == &b) {
        BigInteger tmpThis;
        tmpThis.add(a, b);
        *this = tmpThis;
        return;
    }
    if (a.isZero()) {
        *this = b;
        return;
    }
    if (b.isZero()) {
        *this = a;
        return;
    }
    if (a.sign == b.sign) {
        BigUnsigned::add(a, b);
        sign = a.sign;
        return;
    }
    setToDifference(a, b, b.sign);
}

void BigInteger::subtract(const BigInteger &a, const BigInteger &b) {
    if (this == &a || this == &b) {
        BigInteger tmpThis;
        tmpThis.subtract(a, b);
        *this = tmpThis;
        return;
    }
    if (a.isZero()) {
        BigUnsigned::operator=(b);
        sign = Sign(-b.sign);
        return;
    }
    if (b.isZero()) {
        *this = a;
        return;
    }
    if (a.sign != b.sign) {
        BigUnsigned::add(a, b);
        sign = a.sign;
        return;
    }
    setToDifference(a, b, Sign(-b.sign));
}

void BigInteger::setToDifference(const BigInteger &a, const BigInteger &b, Sign signWhenLess) {
    switch (a.magnitude().compareTo(b)) {
    case equal:
        len = 0;
        sign = zero;
        break;
    case greater:
        BigUnsigned::subtract(a, b);
        sign = a.sign;
        break;
    case less:
        BigUnsigned::subtract(b, a);
        sign = signWhenLess;
        break;
    }
}

void BigInteger::multiply(const BigInteger &a, const BigInteger &b) {
    if (this == &a || this == &b) {
        BigInteger tmpThis;
        tmpThis.multiply(a, b);
        *this = tmpThis;
        return;
    }
    if (a.isZero() || b.isZero()) {
        len = 0;
        sign = zero;
        return;
    }
    BigUnsigned::multiply(a, b);
    sign = a.sign == b.sign ? positive : negative;
}

// With different signs, floor(a / b) = -(floor((|a| - 1) / |b|) + 1) and
// the remainder is |b| - ((|a| - 1) mod |b|) - 1, with b's sign.
void BigInteger::divideWithRemainder(const BigInteger &b, BigInteger &q) {
    if (this == &q)
        throw "BigInteger::divideWithRemainder: Cannot write quotient and remainder into the same variable";
    if (this == &b || &q == &b) {
        BigInteger tmpB(b);
        divideWithRemainder(tmpB, q);
        return;
    }
    if (b.isZero() || isZero()) {
        // x / 0 = 0 leaving x, like BigUnsigned; 0 / b = 0 remainder 0.
        q.len = 0;
        q.sign = zero;
        return;
    }
    bool differentSigns = sign != b.sign;
    try {
        q.sign = differentSigns ? negative : positive;
        if (differentSigns)
            BigUnsigned::operator--();
        BigUnsigned::divideWithRemainder(b, q);
        if (differentSigns) {
            q.BigUnsigned::operator++();
            BigUnsigned remainder(magnitude());
            BigUnsigned::subtract(b, remainder);
            BigUnsigned::operator--();
        }
        sign = b.sign;
    } catch (...) {
        // Keep both sign invariants for whatever magnitudes are left.
        if (isZero())
            sign = zero;
        if (q.isZero())
            q.sign = zero;
        throw;
    }
    if (isZero())
        sign = zero;
    if (q.isZero())
        q.sign = zero;
}

void BigInteger::divide(const BigInteger &a, const BigInteger &b) {
    BigInteger remainder(a);
    remainder.divideWithRemainder(b, *this);
}

void BigInteger::modulo(const BigInteger &a, const BigInteger &b) {
    BigInteger remainder(a);
    BigInteger quotient;
    remainder.divideWithRemainder(b, quotient);
    *this = remainder;
}

void BigInteger::operator/=(const BigInteger &x) {
    BigInteger q;
    divideWithRemainder(x, q);
    *this = q;
}

void BigInteger::operator%=(const BigInteger &x) {
    BigInteger q;
    divideWithRemainder(x, q);
}

void BigInteger::negate(const BigInteger &a) {
    if (this == &a) {
        BigInteger tmpThis;
        tmpThis.negate(a);
        *this = tmpThis;
        return;
    }
    BigUnsigned::operator=(a);
    sign = Sign(-a.sign);
}

// ---- Value operators ----

BigInteger BigInteger::operator+(const BigInteger &x) const {
    BigInteger ans;
    ans.add(*this, x);
    return ans;
}

BigInteger BigInteger::operator-(const BigInteger &x) const {
    BigInteger ans;
    ans.subtract(*this, x);
    return ans;
}

BigInteger BigInteger::operator*(const BigInteger &x) const {
    BigInteger ans;
    ans.multiply(*this, x);
    return ans;
}

BigInteger BigInteger::operator/(const BigInteger &x) const {
    BigInteger ans;
    ans.divide(*this, x);
    return ans;
}

BigInteger BigInteger::operator%(const BigInteger &x) const {
    BigInteger ans;
    ans.modulo(*this, x);
    return ans;
}

BigInteger BigInteger::operator-() const {
    BigInteger ans;
    ans.negate(*this);
    return ans;
}

// ---- Increment and decrement ----

void BigInteger::operator++() {
    switch (sign) {
    case zero:
        allocate(1);
        blk[0] = 1;
        len = 1;
        sign = positive;
        break;
    case positive:
        BigUnsigned::operator++();
        break;
    case negative:
        BigUnsigned::operator--();
        signFromMagnitude(negative);
        break;
    default:
        break;
    }
}

void BigInteger::operator--() {
    switch (sign) {
    case zero:
        allocate(1);
        blk[0] = 1;
        len = 1;
        sign = negative;
        break;
    case negative:
        BigUnsigned::operator++();
        break;
    case positive:
        BigUnsigned::operator--();
        signFromMagnitude(positive);
        break;
    default:
        break;
    }
}
