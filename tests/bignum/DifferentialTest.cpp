// Results of the big-number classes against independent arithmetic:
// Python's integers (cases from gen_cases.py) and unsigned __int128.

#include <cctype>
#include <fstream>
#include <map>
#include <random>

#include "BigIntegerUtils.h"
#include "BignumTestSupport.h"

namespace {

typedef BigUnsigned BU;
typedef BigInteger BI;
// An operation computes its results from the operands of a case, often in
// more than one way (value operator, put-here form, compound assignment);
// result i is compared with expected result i modulo their count.
typedef std::function<Words(const Words &)> Operation;

unsigned amount(const std::string &word) { return unsigned(std::stoul(word)); }

Words pythonCases() {
    Words lines;
    std::ifstream in(BIGNUM_CASES_FILE);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs every case line ("name operands = results") that has an operation.
void checkCases(const std::map<std::string, Operation> &operations, const Words &lines = pythonCases()) {
    std::map<std::string, int> seen;
    for (const std::string &line : lines) {
        std::stringstream words(line);
        std::string name, w;
        Words operands, expected;
        for (words >> name; words >> w && w != "=";)
            operands.push_back(w);
        while (words >> w)
            expected.push_back(w);
        auto operation = operations.find(name);
        if (operation == operations.end())
            continue;
        seen[name]++;
        Words got = operation->second(operands);
        for (size_t i = 0; i < got.size(); i++)
            ASSERT_EQ(got[i], expected[i % expected.size()]) << line << " (way " << i << ")";
    }
    for (const auto &operation : operations)
        EXPECT_GT(seen[operation.first], 0) << "no cases of " << operation.first;
}

const std::map<std::string, Operation> unsignedArithmetic = {
    {"add", [](const Words &t) { BU a = toBU(t[0]); a += toBU(t[1]); return Words{describe(toBU(t[0]) + toBU(t[1])), describe(a)}; }},
    {"sub", [](const Words &t) { BU a = toBU(t[0]); a -= toBU(t[1]); return Words{describe(toBU(t[0]) - toBU(t[1])), describe(a)}; }},
    {"mul", [](const Words &t) { BU a = toBU(t[0]); a *= toBU(t[1]); return Words{describe(toBU(t[0]) * toBU(t[1])), describe(a)}; }},
    {"div", [](const Words &t) {
         BU r = toBU(t[0]), q;
         r.divideWithRemainder(toBU(t[1]), q);
         return Words{describe(q), describe(r), describe(toBU(t[0]) / toBU(t[1])), describe(toBU(t[0]) % toBU(t[1]))};
     }},
    {"inc", [](const Words &t) { BU a = toBU(t[0]); a++; return Words{describe(a)}; }},
    {"dec", [](const Words &t) { BU a = toBU(t[0]); --a; return Words{describe(a)}; }},
    {"cmp", [](const Words &t) { return Words{std::to_string(toBU(t[0]).compareTo(toBU(t[1])))}; }},
    {"shl", [](const Words &t) { return Words{describe(toBU(t[0]) << amount(t[1])), describe(toBU(t[0]) >> -int(amount(t[1])))}; }},
    {"shr", [](const Words &t) { BU a = toBU(t[0]); a >>= amount(t[1]); return Words{describe(a)}; }},
    {"and", [](const Words &t) { return Words{describe(toBU(t[0]) & toBU(t[1]))}; }},
    {"or", [](const Words &t) { return Words{describe(toBU(t[0]) | toBU(t[1]))}; }},
    {"xor", [](const Words &t) { return Words{describe(toBU(t[0]) ^ toBU(t[1]))}; }},
};

TEST(PythonCases, UnsignedArithmetic) { checkCases(unsignedArithmetic); }

TEST(PythonCases, SignedArithmeticWithFloorDivision) {
    checkCases({
        {"sadd", [](const Words &t) { return Words{describe(toBI(t[0]) + toBI(t[1]))}; }},
        {"ssub", [](const Words &t) { return Words{describe(toBI(t[0]) - toBI(t[1]))}; }},
        {"smul", [](const Words &t) { return Words{describe(toBI(t[0]) * toBI(t[1]))}; }},
        {"scmp", [](const Words &t) { return Words{std::to_string(toBI(t[0]).compareTo(toBI(t[1])))}; }},
        {"sdiv", [](const Words &t) {
             BI r = toBI(t[0]), q;
             r.divideWithRemainder(toBI(t[1]), q);
             return Words{describe(q), describe(r), describe(toBI(t[0]) / toBI(t[1])), describe(toBI(t[0]) % toBI(t[1]))};
         }},
    });
}

// Digits in the base and back, upper and lower case; decimal also through
// the easy conversions.
TEST(PythonCases, TextInEveryBaseAndBack) {
    checkCases({{"text", [](const Words &t) {
                     BU v = toBU(t[0]);
                     auto base = BigUnsignedInABase::Base(amount(t[1]));
                     std::string text(BigUnsignedInABase(v, base)), lower = text;
                     for (char &c : lower)
                         c = char(std::tolower(c));
                     bool same = BU(BigUnsignedInABase(lower, base)) == v && BU(BigUnsignedInABase(text, base)) == v;
                     if (base == 10)
                         same = same && easyBUtoString(v) == text && easyStringToBU(text) == v;
                     return Words{same ? text : "read back differently: " + text};
                 }}});
}

typedef unsigned __int128 u128;

std::string encode(u128 v) {
    std::string text;
    for (; v != 0; v >>= 32)
        text += (text.empty() ? "" : ":") + (std::stringstream() << std::hex << unsigned(v)).str();
    return text.empty() ? "_" : text;
}

// Values of a random width, so that short values and block edges turn up often.
u128 randomBits(std::mt19937_64 &rng, unsigned maxBits) {
    u128 v = (u128(rng()) << 64) | rng();
    unsigned bits = unsigned(rng() % (maxBits + 1));
    return bits == 0 ? 0 : v >> (128 - bits);
}

// The same operations on cases whose results unsigned __int128 computes.
TEST(SmallValues, MatchNativeArithmetic) {
    std::mt19937_64 rng(12345);
    Words lines;
    auto add = [&](const std::string &name, const Words &operands, const Words &results) {
        std::string line = name;
        for (const std::string &w : operands)
            line += " " + w;
        line += " =";
        for (const std::string &w : results)
            line += " " + w;
        lines.push_back(line);
    };
    for (int n = 0; n < 3000; n++) {
        u128 a = randomBits(rng, 64), b = randomBits(rng, 64), w = randomBits(rng, 127), hi = w > a ? w : a, lo = w > a ? a : w;
        unsigned s = unsigned(rng() % 64);
        std::string A = encode(a), B = encode(b), W = encode(w), S = std::to_string(s);
        add("add", {W, A}, {encode(w + a)}), add("sub", {encode(hi), encode(lo)}, {encode(hi - lo)});
        add("mul", {A, B}, {encode(a * b)}), add("div", {W, B}, b ? Words{encode(w / b), encode(w % b)} : Words{"_", W});
        add("and", {W, A}, {encode(w & a)}), add("or", {W, A}, {encode(w | a)}), add("xor", {W, A}, {encode(w ^ a)});
        add("shl", {A, S}, {encode(a << s)}), add("shr", {W, S}, {encode(w >> s)});
        add("cmp", {A, B}, {std::to_string((a > b) - (a < b))}), add("inc", {W}, {encode(w + 1)});
        if (w)
            add("dec", {W}, {encode(w - 1)});
    }
    checkCases(unsignedArithmetic, lines);
    EXPECT_EQ(describe(BU(0xFEDCBA9876543210ul)), "76543210:fedcba98") << "a 64-bit long keeps its whole value";
}

} // namespace
