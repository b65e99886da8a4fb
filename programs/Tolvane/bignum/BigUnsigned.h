#ifndef BIGUNSIGNED_H
#define BIGUNSIGNED_H

#include "NumberlikeArray.h"

// An unsigned integer of unbounded size: 32-bit blocks, least significant
// first, always in normal form (no leading zero block; zero has no blocks).
//
// Arithmetic is done by "put-here" operations that write their result into
// the object they are called on, e.g. x.add(a, b). The object may be one of
// the operands: the result is then computed into a temporary first.
//
// Errors are thrown as a `const char *` naming the class and operation.
// Dividing by zero is not an error: x / 0 = 0 and x % 0 = x.
//
// The conversions to primitive types follow a 32-bit model of `long` (any
// one-block value for the unsigned types, up to 2147483647 for `long` and
// `int`) also where `long` is wider. They are explicit so that mixed
// expressions such as `x + 1` or `x == 5` pick the big-number operators
// instead of being ambiguous with the built-in ones.
class BigUnsigned : protected NumberlikeArray<unsigned int> {
public:
    typedef unsigned int Blk;
    typedef NumberlikeArray<Blk>::Index Index;
    static_assert(sizeof(Blk) == 4, "blocks are 32-bit");
    using NumberlikeArray<Blk>::N;

    enum CmpRes { less = -1, equal = 0, greater = 1 };

    BigUnsigned() : NumberlikeArray<Blk>() {}
    BigUnsigned(const BigUnsigned &x) : NumberlikeArray<Blk>(x) {}
    BigUnsigned(const Blk *b, Index l) : NumberlikeArray<Blk>(b, l) { zapLeadingZeros(); }

    // A value of a wide `unsigned long` or `long` that does not fit one
    // block takes two; it is kept exactly.
    BigUnsigned(unsigned long x);
    BigUnsigned(long x);
    BigUnsigned(unsigned int x);
    BigUnsigned(int x);
    BigUnsigned(unsigned short x);
    BigUnsigned(short x);

    ~BigUnsigned() {}

    BigUnsigned &operator=(const BigUnsigned &x) {
        NumberlikeArray<Blk>::operator=(x);
        return *this;
    }

    explicit operator unsigned long() const;
    explicit operator long() const;
    explicit operator unsigned int() const;
    explicit operator int() const;
    explicit operator unsigned short() const;
    explicit operator short() const;

    using NumberlikeArray<Blk>::getCapacity;
    using NumberlikeArray<Blk>::getLength;
    Blk getBlock(Index i) const { return i >= len ? 0 : blk[i]; }
    bool isZero() const { return len == 0; }

    CmpRes compareTo(const BigUnsigned &x) const;
    bool operator==(const BigUnsigned &x) const { return compareTo(x) == equal; }
    bool operator!=(const BigUnsigned &x) const { return compareTo(x) != equal; }
    bool operator<(const BigUnsigned &x) const { return compareTo(x) == less; }
    bool operator<=(const BigUnsigned &x) const { return compareTo(x) != greater; }
    bool operator>=(const BigUnsigned &x) const { return compareTo(x) != less; }
    bool operator>(const BigUnsigned &x) const { return compareTo(x) == greater; }

    // Put-here operations.
    void add(const BigUnsigned &a, const BigUnsigned &b);
    void subtract(const BigUnsigned &a, const BigUnsigned &b);
    void multiply(const BigUnsigned &a, const BigUnsigned &b);
    void divide(const BigUnsigned &a, const BigUnsigned &b);
    void modulo(const BigUnsigned &a, const BigUnsigned &b);
    void bitAnd(const BigUnsigned &a, const BigUnsigned &b);
    void bitOr(const BigUnsigned &a, const BigUnsigned &b);
    void bitXor(const BigUnsigned &a, const BigUnsigned &b);
    void bitShiftLeft(const BigUnsigned &a, Index b);
    void bitShiftRight(const BigUnsigned &a, Index b);
    // The object becomes its remainder modulo b, and q the quotient.
    void divideWithRemainder(const BigUnsigned &b, BigUnsigned &q);

    BigUnsigned operator+(const BigUnsigned &x) const;
    BigUnsigned operator-(const BigUnsigned &x) const;
    BigUnsigned operator*(const BigUnsigned &x) const;
    BigUnsigned operator/(const BigUnsigned &x) const;
    BigUnsigned operator%(const BigUnsigned &x) const;
    BigUnsigned operator&(const BigUnsigned &x) const;
    BigUnsigned operator|(const BigUnsigned &x) const;
    BigUnsigned operator^(const BigUnsigned &x) const;
    BigUnsigned operator<<(Index b) const;
    BigUnsigned operator>>(Index b) const;
    // A negative amount shifts the other way: x << -3 is x >> 3.
    BigUnsigned operator<<(int b) const;
    BigUnsigned operator>>(int b) const;

    void operator+=(const BigUnsigned &x) { add(*this, x); }
    void operator-=(const BigUnsigned &x) { subtract(*this, x); }
    void operator*=(const BigUnsigned &x) { multiply(*this, x); }
    void operator/=(const BigUnsigned &x);
    void operator%=(const BigUnsigned &x);
    void operator&=(const BigUnsigned &x) { bitAnd(*this, x); }
    void operator|=(const BigUnsigned &x) { bitOr(*this, x); }
    void operator^=(const BigUnsigned &x) { bitXor(*this, x); }
    void operator<<=(Index b) { bitShiftLeft(*this, b); }
    void operator>>=(Index b) { bitShiftRight(*this, b); }
    // A negative amount shifts the other way, as for << and >>.
    void operator<<=(int b);
    void operator>>=(int b);

    void operator++();
    void operator++(int) { operator++(); }
    void operator--();
    void operator--(int) { operator--(); }

    friend Blk getShiftedBlock(const BigUnsigned &num, Index x, Index y);

protected:
    // A zero with room for `c` blocks.
    BigUnsigned(int, Index c) : NumberlikeArray<Blk>(c) {}

    void zapLeadingZeros() {
        while (len > 0 && blk[len - 1] == 0)
            len--;
    }

private:
    void setFromWideUnsigned(unsigned long x);
};

// Block x of num shifted left by y bits (0 <= y < 32), with the bits carried
// in from block x - 1; x may equal the length (the bits carried out of the
// top block).
BigUnsigned::Blk getShiftedBlock(const BigUnsigned &num, BigUnsigned::Index x, BigUnsigned::Index y);

#endif
