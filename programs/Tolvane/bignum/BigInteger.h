#ifndef BIGINTEGER_H
#define BIGINTEGER_H

#include "BigUnsigned.h"

// A signed integer of unbounded size: a BigUnsigned magnitude plus a sign.
// The sign is `zero` exactly when the magnitude is zero. Division rounds
// towards minus infinity, so a non-zero remainder takes the divisor's sign.
//
// Operations follow the put-here and aliasing conventions of BigUnsigned;
// BigUnsigned operations applied to a BigInteger act on its magnitude.
class BigInteger : public BigUnsigned {
public:
    // The fixed underlying type lets a bad sign value be represented (and
    // reported) instead of being undefined.
    enum Sign : int { negative = -1, zero = 0, positive = 1 };

    BigInteger() : BigUnsigned(), sign(zero) {}
    BigInteger(const BigInteger &x) : BigUnsigned(x), sign(x.sign) {}
    // A zero magnitude gives zero whatever s is; a non-zero one needs s
    // `negative` or `positive`, anything else throws.
    BigInteger(const Blk *b, Index l, Sign s);
    BigInteger(const BigUnsigned &x, Sign s);
    // Non-negative: sign `positive` unless the magnitude is zero.
    BigInteger(const Blk *b, Index l);
    BigInteger(const BigUnsigned &x);

    BigInteger(unsigned long x);
    BigInteger(long x);
    BigInteger(unsigned int x);
    BigInteger(int x);
    BigInteger(unsigned short x);
    BigInteger(short x);

    ~BigInteger() {}

    BigInteger &operator=(const BigInteger &x);

    // 32-bit model of `long`, as for BigUnsigned.
    explicit operator unsigned long() const;
    explicit operator long() const;
    explicit operator unsigned int() const;
    explicit operator int() const;
    explicit operator unsigned short() const;
    explicit operator short() const;

    Sign getSign() const { return sign; }

    CmpRes compareTo(const BigInteger &x) const;
    bool operator==(const BigInteger &x) const { return compareTo(x) == equal; }
    bool operator!=(const BigInteger &x) const { return compareTo(x) != equal; }
    bool operator<(const BigInteger &x) const { return compareTo(x) == less; }
    bool operator<=(const BigInteger &x) const { return compareTo(x) != greater; }
    bool operator>=(const BigInteger &x) const { return compareTo(x) != less; }
    bool operator>(const BigInteger &x) const { return compareTo(x) == greater; }

    // Put-here operations.
    void add(const BigInteger &a, const BigInteger &b);
    void subtract(const BigInteger &a, const BigInteger &b);
    void multiply(const BigInteger &a, const BigInteger &b);
    // Floor division: the object becomes the remainder, q the quotient.
    void divideWithRemainder(const BigInteger &b, BigInteger &q);
    void divide(const BigInteger &a, const BigInteger &b);
    void modulo(const BigInteger &a, const BigInteger &b);
    void negate(const BigInteger &a);

    BigInteger operator+(const BigInteger &x) const;
    BigInteger operator-(const BigInteger &x) const;
    BigInteger operator*(const BigInteger &x) const;
    BigInteger operator/(const BigInteger &x) const;
    BigInteger operator%(const BigInteger &x) const;
    BigInteger operator-() const;

    void operator+=(const BigInteger &x) { add(*this, x); }
    void operator-=(const BigInteger &x) { subtract(*this, x); }
    void operator*=(const BigInteger &x) { multiply(*this, x); }
    void operator/=(const BigInteger &x);
    void operator%=(const BigInteger &x);
    void flipSign() { sign = Sign(-sign); }

    void operator++();
    void operator++(int) { operator++(); }
    void operator--();
    void operator--(int) { operator--(); }

protected:
    Sign sign;

    // A zero magnitude with room for `c` blocks; the caller fills the
    // magnitude to match s.
    BigInteger(Sign s, Index c) : BigUnsigned(0, c), sign(s) {}

private:
    const BigUnsigned &magnitude() const { return *this; }
    // |a| - |b| with a's sign, or |b| - |a| with signWhenLess, or zero: the
    // case of add and subtract where the magnitudes cancel in part.
    void setToDifference(const BigInteger &a, const BigInteger &b, Sign signWhenLess);
    void signFromMagnitude(Sign nonZeroSign) { sign = isZero() ? zero : nonZeroSign; }
};

#endif
