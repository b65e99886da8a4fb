#ifndef BITWISE_BIGUNSIGNED_H
#define BITWISE_BIGUNSIGNED_H

#include "BigUnsigned.h"

// Multiplication and division one bit at a time (shift-and-add,
// shift-and-subtract): the plain algorithms that the block-at-a-time ones of
// BigUnsigned must match in blocks and in allocated sizes.
class BitwiseBigUnsigned : public BigUnsigned {
public:
    BitwiseBigUnsigned() {}
    BitwiseBigUnsigned(const BigUnsigned &x) : BigUnsigned(x) {}

    void multiply(const BigUnsigned &a, const BigUnsigned &b);
    void divideWithRemainder(const BigUnsigned &b, BitwiseBigUnsigned &q);
};

#endif
