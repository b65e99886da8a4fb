#include "BigUnsigned.h"

#include <memory>

typedef BigUnsigned::Blk Blk;
typedef BigUnsigned::Index Index;

namespace {

// Largest value each bounded primitive type accepts (32-bit `long` model).
const Blk lMask = 0x7FFFFFFF;
const Blk uiMask = 0xFFFFFFFF;
const Blk iMask = 0x7FFFFFFF;
const Blk usMask = 0xFFFF;
const Blk sMask = 0x7FFF;

// The value of x when it is zero or a single block within `mask`.
Blk blockWithin(const BigUnsigned &x, Blk mask, const char *tooBig) {
    if (x.getLength() == 0)
        return 0;
    if (x.getLength() == 1 && (x.getBlock(0) & mask) == x.getBlock(0))
        return x.getBlock(0);
    throw tooBig;
}

} // namespace

// ---- Construction and conversion ----

void BigUnsigned::setFromWideUnsigned(unsigned long x) {
    if (x == 0)
        return;
    unsigned long long wide = x;
    Blk high = Blk(wide >> N);
    Index blocks = high == 0 ? 1 : 2;
    allocate(blocks);
    blk[0] = Blk(wide);
    if (high != 0)
        blk[1] = high;
    len = blocks;
}

BigUnsigned::BigUnsigned(unsigned long x) { setFromWideUnsigned(x); }

BigUnsigned::BigUnsigned(long x) {
    if (x < 0)
        throw "BigUnsigned::BigUnsigned(long): Cannot construct a BigUnsigned from a negative number";
    setFromWideUnsigned((unsigned long)x);
}

BigUnsigned::BigUnsigned(unsigned int x) { setFromWideUnsigned(x); }

BigUnsigned::BigUnsigned(int x) {
    if (x < 0)
        throw "BigUnsigned::BigUnsigned(int): Cannot construct a BigUnsigned from a negative number";
    setFromWideUnsigned((unsigned long)x);
}

BigUnsigned::BigUnsigned(unsigned short x) { setFromWideUnsigned(x); }

BigUnsigned::BigUnsigned(short x) {
    if (x < 0)
        throw "BigUnsigned::BigUnsigned(short): Cannot construct a BigUnsigned from a negative number";
    setFromWideUnsigned((unsigned long)x);
}

BigUnsigned::operator unsigned long() const {
    return blockWithin(*this, uiMask, "BigUnsigned::operator unsigned long: Value is too big for an unsigned long");
}

BigUnsigned::operator long() const {
    return long(blockWithin(*this, lMask, "BigUnsigned::operator long: Value is too big for a long"));
}

BigUnsigned::operator unsigned int() const {
    return blockWithin(*this, uiMask, "BigUnsigned::operator unsigned int: Value is too big for an unsigned int");
}

BigUnsigned::operator int() const {
    return int(blockWithin(*this, iMask, "BigUnsigned::operator int: Value is too big for an int"));
}

BigUnsigned::operator unsigned short() const {
    return (unsigned short)blockWithin(*this, usMask,
                                       "BigUnsigned::operator unsigned short: Value is too big for an unsigned short");
}

BigUnsigned::operator short() const {
    return short(blockWithin(*this, sMask, "BigUnsigned::operator short: Value is too big for a short"));
}

// ---- Comparison ----

BigUnsigned::CmpRes BigUnsigned::compareTo(const BigUnsigned &x) const {
    if (len < x.len)
        return less;
    if (len > x.len)
        return greater;
    for (Index i = len; i-- > 0;) {
        if (blk[i] != x.blk[i])
            return blk[i] > x.blk[i] ? greater : less;
    }
    return equal;
}

Blk getShiftedBlock(const BigUnsigned &num, Index x, Index y) {
    Blk part1 = (x == 0 || y == 0) ? 0 : (num.blk[x - 1] >> (BigUnsigned::N - y));
    Blk part2 = (x == num.len) ? 0 : (num.blk[x] << y);
    return part1 | part2;
}

// ---- Addition and subtraction ----

void BigUnsigned::add(const BigUnsigned &a, const BigUnsigned &b) {
    if (this == &a || this == &b) {
        BigUnsigned tmpThis;
        tmpThis.add(a, b);
        *this = tmpThis;
        return;
    }
    if (a.len == 0) {
        *this = b;
        return;
    }
    if (b.len == 0) {
        *this = a;
        return;
    }
    const BigUnsigned &a2 = a.len >= b.len ? a : b;
    const BigUnsigned &b2 = a.len >= b.len ? b : a;
    allocate(a2.len + 1);
    bool carryIn = false;
    Index i;
    for (i = 0; i < b2.len; i++) {
        Blk temp = a2.blk[i] + b2.blk[i];
        bool carryOut = temp < a2.blk[i];
        if (carryIn) {
            temp++;
            carryOut = carryOut || temp == 0;
        }
        blk[i] = temp;
        carryIn = carryOut;
    }
    for (; i < a2.len && carryIn; i++) {
        Blk temp = a2.blk[i] + 1;
        carryIn = temp == 0;
        blk[i] = temp;
    }
    for (; i < a2.len; i++)
        blk[i] = a2.blk[i];
    if (carryIn)
        blk[i] = 1;
    len = carryIn ? a2.len + 1 : a2.len;
}

void BigUnsigned::subtract(const BigUnsigned &a, const BigUnsigned &b) {
    if (this == &a || this == &b) {
        BigUnsigned tmpThis;
        tmpThis.subtract(a, b);
        *this = tmpThis;
        return;
    }
    if (b.len == 0) {
        *this = a;
        return;
    }
    if (a.len < b.len)
        throw "BigUnsigned::subtract: Negative result in unsigned calculation";
    allocate(a.len);
    bool borrowIn = false;
    Index i;
    for (i = 0; i < b.len; i++) {
        Blk temp = a.blk[i] - b.blk[i];
        bool borrowOut = temp > a.blk[i];
        if (borrowIn) {
            borrowOut = borrowOut || temp == 0;
            temp--;
        }
        blk[i] = temp;
        borrowIn = borrowOut;
    }
    for (; i < a.len && borrowIn; i++) {
        borrowIn = a.blk[i] == 0;
        blk[i] = a.blk[i] - 1;
    }
    if (borrowIn) {
        // b was larger than a; the blocks written so far mean nothing.
        len = 0;
        throw "BigUnsigned::subtract: Negative result in unsigned calculation";
    }
    for (; i < a.len; i++)
        blk[i] = a.blk[i];
    len = a.len;
    zapLeadingZeros();
}

// ---- Multiplication and division ----
// Both work a whole block at a time with 64-bit intermediate products. They
// give the same blocks, and allocate the same sizes, as shifting and adding
// (or subtracting) one bit at a time would.

namespace {

typedef unsigned long long Wide;
const unsigned int blockBits = BigUnsigned::N;

Blk low(Wide w) { return Blk(w); }
Blk high(Wide w) { return Blk(w >> blockBits); }

// Schoolbook multiplication: product (zeroed, outerLen + innerLen blocks)
// += outer * inner.
void multiplyBlocks(Blk *product, const Blk *outer, Index outerLen, const Blk *inner, Index innerLen) {
    for (Index i = 0; i < outerLen; i++) {
        Blk carry = 0;
        for (Index j = 0; j < innerLen; j++) {
            Wide t = Wide(outer[i]) * inner[j] + product[i + j] + carry;
            product[i + j] = low(t);
            carry = high(t);
        }
        product[i + innerLen] = carry;
    }
}

// Division by a single block: u (uLen blocks) becomes the remainder in
// u[0], quotient receives uLen blocks.
void divideByBlock(Blk *u, Index uLen, Blk d, Blk *quotient) {
    Wide remainder = 0;
    for (Index i = uLen; i-- > 0;) {
        Wide current = (remainder << blockBits) | u[i];
        quotient[i] = low(current / d);
        remainder = current % d;
    }
    u[0] = low(remainder);
}

// Subtracts qhat * v (n blocks) from u[0..n]; adds v back and lowers qhat
// when that went below zero. Returns the corrected qhat.
Blk subtractMultiple(Blk *u, const Blk *v, Index n, Wide qhat) {
    Blk productCarry = 0, borrow = 0;
    for (Index i = 0; i < n; i++) {
        Wide p = qhat * v[i] + productCarry;
        productCarry = high(p);
        Wide difference = Wide(u[i]) - low(p) - borrow;
        u[i] = low(difference);
        borrow = Blk(difference >> 63);
    }
    Wide top = Wide(u[n]) - productCarry - borrow;
    u[n] = low(top);
    if ((top >> 63) == 0)
        return low(qhat);
    Blk carry = 0;
    for (Index i = 0; i < n; i++) {
        Wide sum = Wide(u[i]) + v[i] + carry;
        u[i] = low(sum);
        carry = high(sum);
    }
    u[n] += carry;
    return low(qhat - 1);
}

// Long division by a divisor v of n >= 2 blocks (Knuth's algorithm D).
// u holds uLen + 1 blocks with u[uLen] = 0 and becomes the remainder in
// its first n blocks; vn is scratch for n blocks; quotient receives
// uLen - n + 1 blocks.
void divideByBlocks(Blk *u, Index uLen, const Blk *v, Index n, Blk *vn, Blk *quotient) {
    // Scale both so that the divisor's top bit is set; the quotient stays
    // the same and each quotient estimate is then off by at most two.
    unsigned int shift = unsigned(__builtin_clz(v[n - 1]));
    for (Index i = n - 1; i > 0; i--)
        vn[i] = shift == 0 ? v[i] : (v[i] << shift) | (v[i - 1] >> (blockBits - shift));
    vn[0] = v[0] << shift;
    if (shift != 0) {
        for (Index i = uLen; i > 0; i--)
            u[i] = (u[i] << shift) | (u[i - 1] >> (blockBits - shift));
        u[0] <<= shift;
    }
    const Wide base = Wide(1) << blockBits;
    for (Index j = uLen - n + 1; j-- > 0;) {
        Wide numerator = (Wide(u[j + n]) << blockBits) | u[j + n - 1];
        Wide qhat = numerator / vn[n - 1];
        Wide rhat = numerator % vn[n - 1];
        while (qhat >= base || qhat * vn[n - 2] > ((rhat << blockBits) | u[j + n - 2])) {
            qhat--;
            rhat += vn[n - 1];
            if (rhat >= base)
                break;
        }
        quotient[j] = subtractMultiple(u + j, vn, n, qhat);
    }
    if (shift != 0) {
        for (Index i = 0; i < n; i++)
            u[i] = (u[i] >> shift) | (u[i + 1] << (blockBits - shift));
    }
}

} // namespace

void BigUnsigned::multiply(const BigUnsigned &a, const BigUnsigned &b) {
    if (this == &a || this == &b) {
        BigUnsigned tmpThis;
        tmpThis.multiply(a, b);
        *this = tmpThis;
        return;
    }
    if (a.len == 0 || b.len == 0) {
        len = 0;
        return;
    }
    Index productLen = a.len + b.len;
    allocate(productLen);
    for (Index i = 0; i < productLen; i++)
        blk[i] = 0;
    // The shorter operand outside keeps the inner loop long.
    if (a.len <= b.len)
        multiplyBlocks(blk, a.blk, a.len, b.blk, b.len);
    else
        multiplyBlocks(blk, b.blk, b.len, a.blk, a.len);
    // A product of normal-form factors has at most one zero block on top.
    len = blk[productLen - 1] == 0 ? productLen - 1 : productLen;
}

void BigUnsigned::divideWithRemainder(const BigUnsigned &b, BigUnsigned &q) {
    if (this == &q)
        throw "BigUnsigned::divideWithRemainder: Cannot write quotient and remainder into the same variable";
    if (this == &b || &q == &b) {
        BigUnsigned tmpB(b);
        divideWithRemainder(tmpB, q);
        return;
    }
    if (b.len == 0 || len < b.len) {
        // x / 0 = 0 and x % 0 = x; a shorter value is its own remainder.
        q.len = 0;
        return;
    }
    // Every allocation comes before the first change of value, so a failed
    // one leaves both objects as they were. The object itself is the
    // working dividend, with one block of room above its top.
    Index origLen = len;
    allocateAndCopy(origLen + 1);
    std::unique_ptr<Blk[]> scaledDivisor(new Blk[b.len]);
    Index quotientLen = origLen - b.len + 1;
    q.allocate(quotientLen);

    blk[origLen] = 0;
    if (b.len == 1)
        divideByBlock(blk, origLen, b.blk[0], q.blk);
    else
        divideByBlocks(blk, origLen, b.blk, b.len, scaledDivisor.get(), q.blk);
    q.len = q.blk[quotientLen - 1] == 0 ? quotientLen - 1 : quotientLen;
    len = b.len;
    zapLeadingZeros();
}

void BigUnsigned::divide(const BigUnsigned &a, const BigUnsigned &b) {
    BigUnsigned remainder(a);
    remainder.divideWithRemainder(b, *this);
}

void BigUnsigned::modulo(const BigUnsigned &a, const BigUnsigned &b) {
    BigUnsigned remainder(a);
    BigUnsigned quotient;
    remainder.divideWithRemainder(b, quotient);
    *this = remainder;
}

void BigUnsigned::operator/=(const BigUnsigned &x) {
    BigUnsigned q;
    divideWithRemainder(x, q);
    *this = q;
}

void BigUnsigned::operator%=(const BigUnsigned &x) {
    BigUnsigned q;
    divideWithRemainder(x, q);
}

// ---- Bitwise operations ----

void BigUnsigned::bitAnd(const BigUnsigned &a, const BigUnsigned &b) {
    if (this == &a || this == &b) {
        BigUnsigned tmpThis;
        tmpThis.bitAnd(a, b);
        *this = tmpThis;
        return;
    }
    Index shorter = a.len <= b.len ? a.len : b.len;
    allocate(shorter);
    for (Index i = 0; i < shorter; i++)
        blk[i] = a.blk[i] & b.blk[i];
    len = shorter;
    zapLeadingZeros();
}

void BigUnsigned::bitOr(const BigUnsigned &a, const BigUnsigned &b) {
    if (this == &a || this == &b) {
        BigUnsigned tmpThis;
        tmpThis.bitOr(a, b);
        *this = tmpThis;
        return;
    }
    const BigUnsigned &a2 = a.len >= b.len ? a : b;
    const BigUnsigned &b2 = a.len >= b.len ? b : a;
    allocate(a2.len);
    Index i;
    for (i = 0; i < b2.len; i++)
        blk[i] = a2.blk[i] | b2.blk[i];
    for (; i < a2.len; i++)
        blk[i] = a2.blk[i];
    len = a2.len;
}

void BigUnsigned::bitXor(const BigUnsigned &a, const BigUnsigned &b) {
    if (this == &a || this == &b) {
        BigUnsigned tmpThis;
        tmpThis.bitXor(a, b);
        *this = tmpThis;
        return;
    }
    const BigUnsigned &a2 = a.len >= b.len ? a : b;
    const BigUnsigned &b2 = a.len >= b.len ? b : a;
    allocate(a2.len);
    Index i;
    for (i = 0; i < b2.len; i++)
        blk[i] = a2.blk[i] ^ b2.blk[i];
    for (; i < a2.len; i++)
        blk[i] = a2.blk[i];
    len = a2.len;
    zapLeadingZeros();
}

void BigUnsigned::bitShiftLeft(const BigUnsigned &a, Index b) {
    if (this == &a) {
        BigUnsigned tmpThis;
        tmpThis.bitShiftLeft(a, b);
        *this = tmpThis;
        return;
    }
    if (a.len == 0) {
        len = 0;
        return;
    }
    Index shiftBlocks = b / N;
    Index shiftBits = b % N;
    Index shiftedLen = a.len + shiftBlocks + 1;
    allocate(shiftedLen);
    for (Index i = 0; i < shiftBlocks; i++)
        blk[i] = 0;
    for (Index j = 0; j <= a.len; j++)
        blk[shiftBlocks + j] = getShiftedBlock(a, j, shiftBits);
    len = blk[shiftedLen - 1] == 0 ? shiftedLen - 1 : shiftedLen;
}

// Shifts right by whole blocks rounded up, then left by the leftover bits.
void BigUnsigned::bitShiftRight(const BigUnsigned &a, Index b) {
    if (this == &a) {
        BigUnsigned tmpThis;
        tmpThis.bitShiftRight(a, b);
        *this = tmpThis;
        return;
    }
    // Rounded up without forming b + 31, which overflows for amounts near
    // 2^32; the leftover is right modulo 2^32 and lies in 0..31.
    Index rightShiftBlocks = b / N + (b % N != 0 ? 1 : 0);
    Index leftShiftBits = N * rightShiftBlocks - b;
    if (rightShiftBlocks >= a.len + 1) {
        len = 0;
        return;
    }
    Index shiftedLen = a.len - rightShiftBlocks + 1;
    allocate(shiftedLen);
    for (Index j = rightShiftBlocks, i = 0; j <= a.len; j++, i++)
        blk[i] = getShiftedBlock(a, j, leftShiftBits);
    len = blk[shiftedLen - 1] == 0 ? shiftedLen - 1 : shiftedLen;
}

// ---- Increment and decrement ----

void BigUnsigned::operator++() {
    bool carry = true;
    for (Index i = 0; i < len && carry; i++) {
        blk[i]++;
        carry = blk[i] == 0;
    }
    if (!carry)
        return;
    // Every block wrapped from all ones to zero (or the value was zero).
    try {
        allocateAndCopy(len + 1);
    } catch (...) {
        for (Index i = 0; i < len; i++)
            blk[i] = ~Blk(0);
        throw;
    }
    blk[len] = 1;
    len++;
}

void BigUnsigned::operator--() {
    if (len == 0)
        throw "BigUnsigned::operator --(): Cannot decrement an unsigned zero";
    bool borrow = true;
    for (Index i = 0; borrow; i++) {
        borrow = blk[i] == 0;
        blk[i]--;
    }
    if (blk[len - 1] == 0)
        len--;
}

// ---- Value operators and shifts by int ----

BigUnsigned BigUnsigned::operator+(const BigUnsigned &x) const {
    BigUnsigned ans;
    ans.add(*this, x);
    return ans;
}

BigUnsigned BigUnsigned::operator-(const BigUnsigned &x) const {
    BigUnsigned ans;
    ans.subtract(*this, x);
    return ans;
}

BigUnsigned BigUnsigned::operator*(const BigUnsigned &x) const {
    BigUnsigned ans;
    ans.multiply(*this, x);
    return ans;
}

BigUnsigned BigUnsigned::operator/(const BigUnsigned &x) const {
    BigUnsigned ans;
    ans.divide(*this, x);
    return ans;
}

BigUnsigned BigUnsigned::operator%(const BigUnsigned &x) const {
    BigUnsigned ans;
    ans.modulo(*this, x);
    return ans;
}

BigUnsigned BigUnsigned::operator&(const BigUnsigned &x) const {
    BigUnsigned ans;
    ans.bitAnd(*this, x);
    return ans;
}

BigUnsigned BigUnsigned::operator|(const BigUnsigned &x) const {
    BigUnsigned ans;
    ans.bitOr(*this, x);
    return ans;
}

BigUnsigned BigUnsigned::operator^(const BigUnsigned &x) const {
    BigUnsigned ans;
    ans.bitXor(*this, x);
    return ans;
}

BigUnsigned BigUnsigned::operator<<(Index b) const {
    BigUnsigned ans;
    ans.bitShiftLeft(*this, b);
    return ans;
}

BigUnsigned BigUnsigned::operator>>(Index b) const {
    BigUnsigned ans;
    ans.bitShiftRight(*this, b);
    return ans;
}

namespace {
// The size of a negative shift amount, without negating INT_MIN.
Index magnitudeOf(int b) { return Index(0) - Index(b); }
} // namespace

BigUnsigned BigUnsigned::operator<<(int b) const {
    return b >= 0 ? *this << Index(b) : *this >> magnitudeOf(b);
}

BigUnsigned BigUnsigned::operator>>(int b) const {
    return b >= 0 ? *this >> Index(b) : *this << magnitudeOf(b);
}

void BigUnsigned::operator<<=(int b) {
    if (b >= 0)
        bitShiftLeft(*this, Index(b));
    else
        bitShiftRight(*this, magnitudeOf(b));
}

void BigUnsigned::operator>>=(int b) {
    if (b >= 0)
        bitShiftRight(*this, Index(b));
    else
        bitShiftLeft(*this, magnitudeOf(b));
}
