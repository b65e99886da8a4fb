#include "BignumReference.h"

BigUnsigned bigFrom(u128 value) {
    BigUnsigned::Blk blocks[4];
    for (int i = 0; i < 4; ++i) blocks[i] = static_cast<BigUnsigned::Blk>(value >> (32 * i));
    return BigUnsigned(blocks, 4);
}

BigInteger bigFrom(i128 value) {
    if (value < 0) return BigInteger(bigFrom(static_cast<u128>(-value)), BigInteger::negative);
    return BigInteger(bigFrom(static_cast<u128>(value)));
}

u128 low128(const BigUnsigned& x) {
    u128 value = 0;
    for (int i = 3; i >= 0; --i) value = value << 32 | x.getBlock(i);
    return value;
}

bool sameValue(const BigUnsigned& x, u128 value) {
    unsigned blocksNeeded = 0;
    for (u128 rest = value; rest != 0; rest >>= 32) ++blocksNeeded;
    return x.getLength() == blocksNeeded && low128(x) == value;
}

bool sameValue(const BigInteger& x, i128 value) {
    const BigInteger::Sign sign = value < 0 ? BigInteger::negative : value > 0 ? BigInteger::positive : BigInteger::zero;
    const BigUnsigned& magnitude = x;
    // Negated as unsigned: the most negative value has no positive twin.
    const u128 bits = static_cast<u128>(value);
    return x.getSign() == sign && sameValue(magnitude, value < 0 ? 0 - bits : bits);
}
