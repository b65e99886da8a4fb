#include "BitwiseBigUnsigned.h"

#include <vector>

void BitwiseBigUnsigned::multiply(const BigUnsigned &a, const BigUnsigned &b) {
    if (this == &a || this == &b) {
        BitwiseBigUnsigned tmpThis;
        tmpThis.multiply(a, b);
        BigUnsigned::operator=(tmpThis);
        return;
    }
    if (a.isZero() || b.isZero()) {
        len = 0;
        return;
    }
    len = a.getLength() + b.getLength();
    allocate(len);
    for (Index i = 0; i < len; i++)
        blk[i] = 0;
    for (Index i = 0; i < a.getLength(); i++) {
        for (Index i2 = 0; i2 < N; i2++) {
            if ((a.getBlock(i) & (Blk(1) << i2)) == 0)
                continue;
            // Add b shifted left by 32 i + i2 bits.
            Index k = i;
            bool carryIn = false;
            for (Index j = 0; j <= b.getLength(); j++, k++) {
                Blk temp = blk[k] + getShiftedBlock(b, j, i2);
                bool carryOut = temp < blk[k];
                if (carryIn) {
                    temp++;
                    carryOut = carryOut || temp == 0;
                }
                blk[k] = temp;
                carryIn = carryOut;
            }
            for (; carryIn; k++) {
                blk[k]++;
                carryIn = blk[k] == 0;
            }
        }
    }
    if (blk[len - 1] == 0)
        len--;
}

void BitwiseBigUnsigned::divideWithRemainder(const BigUnsigned &b, BitwiseBigUnsigned &q) {
    if (this == &q)
        throw "same variable";
    if (this == &b || &q == &b) {
        BitwiseBigUnsigned tmpB(b);
        divideWithRemainder(tmpB, q);
        return;
    }
    if (b.isZero() || len < b.getLength()) {
        q.len = 0;
        return;
    }
    Index origLen = len;
    allocateAndCopy(len + 1);
    len++;
    blk[origLen] = 0;
    std::vector<Blk> work2(len);
    q.len = origLen - b.getLength() + 1;
    q.allocate(q.len);
    for (Index i = 0; i < q.len; i++)
        q.blk[i] = 0;
    for (Index i = q.len; i-- > 0;) {
        for (Index i2 = N; i2-- > 0;) {
            // Try to subtract b shifted left by 32 i + i2 bits.
            Index k = i;
            bool borrowIn = false;
            for (Index j = 0; j <= b.getLength(); j++, k++) {
                Blk temp = blk[k] - getShiftedBlock(b, j, i2);
                bool borrowOut = temp > blk[k];
                if (borrowIn) {
                    borrowOut = borrowOut || temp == 0;
                    temp--;
                }
                work2[k] = temp;
                borrowIn = borrowOut;
            }
            for (; k < origLen && borrowIn; k++) {
                borrowIn = blk[k] == 0;
                work2[k] = blk[k] - 1;
            }
            if (!borrowIn) {
                q.blk[i] |= Blk(1) << i2;
                while (k > i) {
                    k--;
                    blk[k] = work2[k];
                }
            }
        }
    }
    if (q.blk[q.len - 1] == 0)
        q.len--;
    zapLeadingZeros();
}
