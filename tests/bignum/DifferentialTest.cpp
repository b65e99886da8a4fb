// Results of the big-number classes against independent arithmetic:
// Python's integers (cases from gen_cases.py) and unsigned __int128.

#include <cctype>
#include <random>

#include "BigIntegerUtils.h"
#include "BignumTestSupport.h"

namespace {

BigUnsigned::Index amount(const std::string &word) { return BigUnsigned::Index(std::stoul(word)); }

TEST(PythonCases, AddAndSubtract) {
    forEachCase("add", [](const Words &t) {
        BigUnsigned a = toBU(t[1]), b = toBU(t[2]), r;
        r.add(a, b);
        EXPECT_EQ(describe(r), t[3]);
        a += b;
        EXPECT_EQ(describe(a), t[3]);
    });
    forEachCase("sub", [](const Words &t) {
        BigUnsigned a = toBU(t[1]), b = toBU(t[2]);
        EXPECT_EQ(describe(a - b), t[3]);
        a -= b;
        EXPECT_EQ(describe(a), t[3]);
    });
}

TEST(PythonCases, MultiplyAndDivide) {
    forEachCase("mul", [](const Words &t) {
        BigUnsigned a = toBU(t[1]), b = toBU(t[2]);
        EXPECT_EQ(describe(a * b), t[3]);
        a *= b;
        EXPECT_EQ(describe(a), t[3]);
    });
    forEachCase("div", [](const Words &t) {
        BigUnsigned r = toBU(t[1]), b = toBU(t[2]), q;
        r.divideWithRemainder(b, q);
        EXPECT_EQ(describe(q), t[3]);
        EXPECT_EQ(describe(r), t[4]);
        EXPECT_EQ(describe(toBU(t[1]) / b), t[3]);
        EXPECT_EQ(describe(toBU(t[1]) % b), t[4]);
    });
}

TEST(PythonCases, Shifts) {
    forEachCase("shl", [](const Words &t) {
        BigUnsigned a = toBU(t[1]);
        EXPECT_EQ(describe(a << amount(t[2])), t[3]);
        EXPECT_EQ(describe(a >> -int(amount(t[2]))), t[3]);
    });
    forEachCase("shr", [](const Words &t) {
        BigUnsigned a = toBU(t[1]);
        a >>= amount(t[2]);
        EXPECT_EQ(describe(a), t[3]);
    });
}

TEST(PythonCases, BitwiseOperations) {
    forEachCase("and", [](const Words &t) { EXPECT_EQ(describe(toBU(t[1]) & toBU(t[2])), t[3]); });
    forEachCase("or", [](const Words &t) { EXPECT_EQ(describe(toBU(t[1]) | toBU(t[2])), t[3]); });
    forEachCase("xor", [](const Words &t) { EXPECT_EQ(describe(toBU(t[1]) ^ toBU(t[2])), t[3]); });
}

TEST(PythonCases, CompareIncrementDecrement) {
    forEachCase("cmp", [](const Words &t) { EXPECT_EQ(int(toBU(t[1]).compareTo(toBU(t[2]))), std::stoi(t[3])); });
    forEachCase("inc", [](const Words &t) {
        BigUnsigned a = toBU(t[1]);
        a++;
        EXPECT_EQ(describe(a), t[2]);
    });
    forEachCase("dec", [](const Words &t) {
        BigUnsigned a = toBU(t[1]);
        --a;
        EXPECT_EQ(describe(a), t[2]);
    });
}

TEST(PythonCases, SignedArithmeticWithFloorDivision) {
    forEachCase("sadd", [](const Words &t) { EXPECT_EQ(describe(toBI(t[1]) + toBI(t[2])), t[3]); });
    forEachCase("ssub", [](const Words &t) { EXPECT_EQ(describe(toBI(t[1]) - toBI(t[2])), t[3]); });
    forEachCase("smul", [](const Words &t) { EXPECT_EQ(describe(toBI(t[1]) * toBI(t[2])), t[3]); });
    forEachCase("scmp", [](const Words &t) { EXPECT_EQ(int(toBI(t[1]).compareTo(toBI(t[2]))), std::stoi(t[3])); });
    forEachCase("sdiv", [](const Words &t) {
        BigInteger r = toBI(t[1]), q;
        r.divideWithRemainder(toBI(t[2]), q);
        EXPECT_EQ(describe(q), t[3]);
        EXPECT_EQ(describe(r), t[4]);
        EXPECT_EQ(describe(toBI(t[1]) / toBI(t[2])), t[3]);
        EXPECT_EQ(describe(toBI(t[1]) % toBI(t[2])), t[4]);
    });
}

TEST(PythonCases, TextInEveryBaseAndBack) {
    forEachCase("text", [](const Words &t) {
        BigUnsigned v = toBU(t[1]);
        BigUnsignedInABase::Base base = BigUnsignedInABase::Base(amount(t[2]));
        EXPECT_EQ(std::string(BigUnsignedInABase(v, base)), t[3]);
        std::string lower = t[3];
        for (char &c : lower)
            c = char(std::tolower(c));
        EXPECT_EQ(describe(BigUnsigned(BigUnsignedInABase(lower, base))), t[1]);
        if (base == 10) {
            EXPECT_EQ(easyBUtoString(v), t[3]);
            EXPECT_EQ(describe(easyStringToBU(t[3])), t[1]);
        }
    });
}

// ---- Small values against unsigned __int128 ----

typedef unsigned __int128 u128;

BigUnsigned fromU128(u128 v) {
    BigUnsigned::Blk b[4];
    for (int i = 0; i < 4; i++)
        b[i] = BigUnsigned::Blk(v >> (32 * i));
    return BigUnsigned(b, 4);
}

std::string encodeU128(u128 v) {
    std::string text;
    for (; v != 0; v >>= 32)
        text += (text.empty() ? "" : ":") + (std::stringstream() << std::hex << unsigned(v)).str();
    return text.empty() ? "_" : text;
}

// Random values of a random width up to maxBits, so that short values and
// block boundaries turn up often.
u128 randomBits(std::mt19937_64 &rng, unsigned maxBits) {
    u128 v = (u128(rng()) << 64) | rng();
    unsigned bits = unsigned(rng() % (maxBits + 1));
    return bits == 0 ? 0 : v >> (128 - bits);
}

TEST(SmallValues, MatchNativeArithmetic) {
    std::mt19937_64 rng(12345);
    for (int n = 0; n < 3000; n++) {
        u128 a = randomBits(rng, 64), b = randomBits(rng, 64), wide = randomBits(rng, 127);
        BigUnsigned A = fromU128(a), B = fromU128(b), W = fromU128(wide);
        SCOPED_TRACE(encodeU128(a) + " " + encodeU128(b) + " " + encodeU128(wide));
        EXPECT_EQ(describe(W + A), encodeU128(wide + a));
        if (wide >= a) {
            EXPECT_EQ(describe(W - A), encodeU128(wide - a));
        }
        EXPECT_EQ(describe(A * B), encodeU128(a * b));
        if (b != 0) {
            EXPECT_EQ(describe(W / B), encodeU128(wide / b));
            EXPECT_EQ(describe(W % B), encodeU128(wide % b));
        }
        EXPECT_EQ(describe(W & A), encodeU128(wide & a));
        EXPECT_EQ(describe(W | A), encodeU128(wide | a));
        EXPECT_EQ(describe(W ^ A), encodeU128(wide ^ a));
        unsigned s = unsigned(rng() % 64);
        EXPECT_EQ(describe(A << s), encodeU128(a << s));
        EXPECT_EQ(describe(W >> s), encodeU128(wide >> s));
        EXPECT_EQ(int(A.compareTo(B)), (a > b) - (a < b));
        W++;
        EXPECT_EQ(describe(W), encodeU128(wide + 1));
        // The constructor from a 64-bit unsigned long keeps the whole value.
        EXPECT_EQ(describe(BigUnsigned((unsigned long)a)), encodeU128(a));
        if (a <= 0xFFFFFFFF) {
            EXPECT_EQ((unsigned long)A, (unsigned long)a);
        }
    }
}

} // namespace
