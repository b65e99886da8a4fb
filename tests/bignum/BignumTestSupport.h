#ifndef BIGNUM_TEST_SUPPORT_H
#define BIGNUM_TEST_SUPPORT_H

// Helpers shared by the big-number tests: numbers in the case-file notation
// of gen_cases.py (32-bit hexadecimal blocks, least significant first,
// joined by ':'; '_' for zero; a leading '-' for a negative value).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "BigInteger.h"

using Blocks = std::vector<BigUnsigned::Blk>;
using Words = std::vector<std::string>;

inline Blocks parseBlocks(std::string word) {
    Blocks blocks;
    if (!word.empty() && word[0] == '-')
        word.erase(0, 1);
    std::stringstream in(word == "_" ? "" : word);
    for (std::string hex; std::getline(in, hex, ':');)
        blocks.push_back(BigUnsigned::Blk(std::strtoul(hex.c_str(), nullptr, 16)));
    return blocks;
}

inline BigUnsigned toBU(const std::string &word) {
    Blocks b = parseBlocks(word);
    return BigUnsigned(b.data(), BigUnsigned::Index(b.size()));
}

inline BigInteger toBI(const std::string &word) {
    Blocks b = parseBlocks(word);
    return BigInteger(b.data(), BigUnsigned::Index(b.size()), word[0] == '-' ? BigInteger::negative : BigInteger::positive);
}

// The blocks of x in case-file notation; a leading zero block shows up as
// ":0", so comparing with the expected text also checks the normal form.
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

inline const std::vector<Words> &allCases() {
    static std::vector<Words> cases = [] {
        std::vector<Words> read;
        std::ifstream in(BIGNUM_CASES_FILE);
        for (std::string line; std::getline(in, line);) {
            std::stringstream words(line);
            read.emplace_back();
            for (std::string w; words >> w;)
                read.back().push_back(w);
        }
        return read;
    }();
    return cases;
}

// Runs `check` on every case of one operation, naming the case on failure.
inline void forEachCase(const std::string &op, const std::function<void(const Words &)> &check) {
    int count = 0;
    for (const Words &w : allCases()) {
        if (w[0] != op)
            continue;
        std::string line;
        for (const std::string &s : w)
            line += s + " ";
        SCOPED_TRACE(line);
        check(w);
        count++;
    }
    EXPECT_GT(count, 0) << "no cases for " << op;
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
