#ifndef BIGUNSIGNEDINABASE_H
#define BIGUNSIGNEDINABASE_H

#include <string>

#include "BigUnsigned.h"
#include "NumberlikeArray.h"

// A number held as 16-bit digits in a base from 2 to 65535, least
// significant digit first, without leading zero digits. It is the bridge
// between BigUnsigned and text: built from a BigUnsigned by repeated
// division, turned back by Horner's rule, and read from or written to the
// symbols 0-9, A-Z for bases up to 36.
class BigUnsignedInABase : protected NumberlikeArray<unsigned short> {
public:
    typedef unsigned short Digit;
    typedef unsigned short Base;
    typedef NumberlikeArray<Digit>::Index Index;

    // Zero, in base 10.
    BigUnsignedInABase() : NumberlikeArray<Digit>(), base(10) {}
    BigUnsignedInABase(const BigUnsignedInABase &x) : NumberlikeArray<Digit>(x), base(x.base) {}
    // The digits are taken as given, like the symbols of a string.
    BigUnsignedInABase(const Digit *d, Index l, Base base);
    BigUnsignedInABase(const BigUnsigned &x, Base base);
    // Reads s as a numeral: 0-9, then A-Z or a-z for 10 to 35. The symbol
    // values are not compared with the base.
    BigUnsignedInABase(const std::string &s, Base base);
    ~BigUnsignedInABase() {}

    BigUnsignedInABase &operator=(const BigUnsignedInABase &x);

    operator BigUnsigned() const;
    // The numeral, most significant digit first, letters upper case.
    operator std::string() const;

    Base getBase() const { return base; }
    Digit getDigit(Index i) const { return i >= len ? 0 : blk[i]; }
    bool isZero() const { return len == 0; }
    using NumberlikeArray<Digit>::getCapacity;
    using NumberlikeArray<Digit>::getLength;

    // Equal when both base and digits are equal.
    bool operator==(const BigUnsignedInABase &x) const {
        return base == x.base && NumberlikeArray<Digit>::operator==(x);
    }
    bool operator!=(const BigUnsignedInABase &x) const { return !operator==(x); }

protected:
    Base base;

    // A zero in base 10 with room for `c` digits.
    BigUnsignedInABase(int, Index c) : NumberlikeArray<Digit>(c), base(10) {}

    void zapLeadingZeros() {
        while (len > 0 && blk[len - 1] == 0)
            len--;
    }
};

#endif
