#ifndef BIGNUM_TEST_SUPPORT_H
#define BIGNUM_TEST_SUPPORT_H

// Helpers of the big-number tests. Numbers are written as gen_cases.py
// writes them: 32-bit blocks in hexadecimal, least significant first, joined
// by ':'; '_' for zero; a leading '-' for a negative value.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "BigInteger.h"

using Words = std::vector<std::string>;

inline std::vector<BigUnsigned::Blk> parseBlocks(const std::string &word) {
    std::vector<BigUnsigned::Blk> blocks;
    std::stringstream in(word.substr(word[0] == '-' ? 1 : 0));
    for (std::string hex; std::getline(in, hex, ':');)
        if (hex != "_")
            blocks.push_back(BigUnsigned::Blk(std::stoul(hex, nullptr, 16)));
    return blocks;
}

inline BigUnsigned toBU(const std::string &word) {
    std::vector<BigUnsigned::Blk> b = parseBlocks(word);
    return BigUnsigned(b.data(), BigUnsigned::Index(b.size()));
}

inline BigInteger toBI(const std::string &word) {
    std::vector<BigUnsigned::Blk> b = parseBlocks(word);
    return BigInteger(b.data(), BigUnsigned::Index(b.size()), word[0] == '-' ? BigInteger::negative : BigInteger::positive);
}

// x in the same notation. A zero block on top would show, so comparing with
// an expected text checks the normal form too.
inline std::string describe(const BigUnsigned &x) {
    std::string text;
    for (BigUnsigned::Index i = 0; i < x.getLength(); i++) {
        char hex[16];
        std::snprintf(hex, sizeof hex, i ? ":%x" : "%x", x.getBlock(i));
        text += hex;
    }
    return text.empty() ? "_" : text;
}

// As above with the sign; a sign that disagrees with the magnitude shows as '?'.
inline std::string describe(const BigInteger &x) {
    const BigUnsigned &magnitude = x;
    bool consistent = (x.getSign() == BigInteger::zero) == magnitude.isZero();
    return (consistent ? "" : "?") + std::string(x.getSign() == BigInteger::negative ? "-" : "") + describe(magnitude);
}

// The text a thrown `const char *` carries, or "" when nothing was thrown.
inline std::string thrownText(const std::function<void()> &action) {
    try {
        action();
    } catch (const char *text) {
        return text;
    }
    return "";
}

#endif
