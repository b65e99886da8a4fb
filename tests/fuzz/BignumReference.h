// Machine-integer references for the big-number targets: 128-bit values
// turned into big numbers block by block, value comparisons that also demand
// the normal form, and a check of the text a throw carries.
#ifndef DEDUP_FUZZ_BIGNUMREFERENCE_H
#define DEDUP_FUZZ_BIGNUMREFERENCE_H

#include <cstring>

#include "BigInteger.h"
#include "BigUnsigned.h"

using u128 = unsigned __int128;
using i128 = __int128;

BigUnsigned bigFrom(u128 value);
// |value| must be below 2^127.
BigInteger bigFrom(i128 value);
// The low 128 bits of x.
u128 low128(const BigUnsigned& x);
// Same value, with exactly as many blocks as the value needs.
bool sameValue(const BigUnsigned& x, u128 value);
bool sameValue(const BigInteger& x, i128 value);

// True when operation throws exactly the text expected (as const char*);
// any other exception escapes to the fuzzer as a crash.
template <class Operation>
bool throwsText(Operation operation, const char* expected) {
    try {
        operation();
    } catch (const char* thrown) {
        return std::strcmp(thrown, expected) == 0;
    }
    return false;
}

#endif
