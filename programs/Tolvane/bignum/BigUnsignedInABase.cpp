#include "BigUnsignedInABase.h"

namespace {

// Number of significant bits of x (0 for 0).
unsigned int bitLen(unsigned int x) {
    unsigned int count = 0;
    while (x > 0) {
        x >>= 1;
        count++;
    }
    return count;
}

unsigned int ceilingDiv(unsigned int a, unsigned int b) { return (a + b - 1) / b; }

} // namespace

BigUnsignedInABase::BigUnsignedInABase(const Digit *d, Index l, Base base)
    : NumberlikeArray<Digit>(d, l), base(base) {
    zapLeadingZeros();
}

BigUnsignedInABase &BigUnsignedInABase::operator=(const BigUnsignedInABase &x) {
    NumberlikeArray<Digit>::operator=(x);
    base = x.base;
    return *this;
}

BigUnsignedInABase::BigUnsignedInABase(const BigUnsigned &x, Base base) : base(base) {
    if (base < 2)
        throw "BigUnsignedInABase(BigUnsigned, Base): The base must be at least 2";
    // Every digit covers at least minBitsPerDigit bits, which bounds the
    // digit count so the array is sized once.
    unsigned int maxBitLenOfX = x.getLength() * BigUnsigned::N;
    unsigned int minBitsPerDigit = bitLen(base) - 1;
    unsigned int maxDigitLenOfX = ceilingDiv(maxBitLenOfX, minBitsPerDigit);
    allocate(maxDigitLenOfX);

    BigUnsigned x2(x);
    BigUnsigned buBase(base);
    Index digitNum = 0;
    while (!x2.isZero()) {
        BigUnsigned lastDigit(x2);
        lastDigit.divideWithRemainder(buBase, x2);
        blk[digitNum] = static_cast<unsigned short>(lastDigit);
        digitNum++;
        len = digitNum;
    }
}

BigUnsignedInABase::operator BigUnsigned() const {
    BigUnsigned ans;
    BigUnsigned buBase(base);
    BigUnsigned temp;
    for (Index digitNum = len; digitNum-- > 0;) {
        temp.multiply(ans, buBase);
        ans.add(temp, BigUnsigned(blk[digitNum]));
    }
    return ans;
}

BigUnsignedInABase::BigUnsignedInABase(const std::string &s, Base base) : base(base) {
    if (base > 36)
        throw "BigUnsignedInABase(std::string, Base): The default string conversion routines use the symbol set "
              "0-9, A-Z and therefore support only up to base 36.  You tried a conversion with a base over 36; "
              "write your own string conversion routine.";
    Index length = Index(s.length());
    allocate(length);
    len = length;
    for (Index digitNum = 0; digitNum < length; digitNum++) {
        char theSymbol = s[length - 1 - digitNum];
        if (theSymbol >= '0' && theSymbol <= '9')
            blk[digitNum] = Digit(theSymbol - '0');
        else if (theSymbol >= 'A' && theSymbol <= 'Z')
            blk[digitNum] = Digit(theSymbol - 'A' + 10);
        else if (theSymbol >= 'a' && theSymbol <= 'z')
            blk[digitNum] = Digit(theSymbol - 'a' + 10);
        else
            throw "BigUnsignedInABase(std::string, Base): Bad symbol in input.  Only 0-9, A-Z, a-z are accepted.";
    }
    zapLeadingZeros();
}

BigUnsignedInABase::operator std::string() const {
    if (base > 36)
        throw "BigUnsignedInABase ==> std::string: The default string conversion routines use the symbol set "
              "0-9, A-Z and therefore support only up to base 36.  You tried a conversion with a base over 36; "
              "write your own string conversion routine.";
    if (len == 0)
        return std::string("0");
    std::string s(len, '0');
    for (Index symbolNumInString = 0; symbolNumInString < len; symbolNumInString++) {
        Digit theDigit = blk[len - 1 - symbolNumInString];
        s[symbolNumInString] = char(theDigit < 10 ? '0' + theDigit : 'A' + theDigit - 10);
    }
    return s;
}
