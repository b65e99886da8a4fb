// The block-at-a-time multiplication and division against the one-bit-at-a-
// time reference: same blocks and same capacities, aliasing included.

#include <random>

#include "BignumTestSupport.h"
#include "BitwiseBigUnsigned.h"

namespace {

// Random blocks, rich in the values that provoke carries, borrows and the
// corrections of the quotient estimate.
BigUnsigned randomValue(std::mt19937 &rng, unsigned maxBlocks) {
    const BigUnsigned::Blk special[] = {0, 1, 0xFFFFFFFF, 0xFFFFFFFE, 0x80000000, 0x7FFFFFFF};
    Blocks blocks(rng() % (maxBlocks + 1));
    for (BigUnsigned::Blk &b : blocks)
        b = rng() % 3 ? special[rng() % 6] : BigUnsigned::Blk(rng());
    return BigUnsigned(blocks.data(), BigUnsigned::Index(blocks.size()));
}

// A result object that already holds a value, and so some capacity.
BigUnsigned priorResult(std::mt19937 &rng) { return randomValue(rng, 12) + BigUnsigned(rng() % 2); }

void expectSame(const BigUnsigned &wordLevel, const BitwiseBigUnsigned &bitwise, const char *what) {
    EXPECT_EQ(describe(wordLevel), describe(bitwise)) << what;
    EXPECT_EQ(wordLevel.getCapacity(), bitwise.getCapacity()) << what;
}

TEST(WordLevel, MatchesBitwiseReference) {
    std::mt19937 rng(777);
    for (int n = 0; n < 4000; n++) {
        BigUnsigned a = randomValue(rng, 14), b = randomValue(rng, n % 2 ? 3 : 14);
        SCOPED_TRACE(describe(a) + " " + describe(b));
        // Copies, so that both sides start with the same capacity.
        const BigUnsigned prior = priorResult(rng), priorQuotient = priorResult(rng);
        BigUnsigned product(prior);
        BitwiseBigUnsigned bitwiseProduct(prior);
        product.multiply(a, b);
        bitwiseProduct.multiply(a, b);
        expectSame(product, bitwiseProduct, "product");

        BigUnsigned remainder(a), quotient(priorQuotient);
        BitwiseBigUnsigned bitwiseRemainder(a), bitwiseQuotient(priorQuotient);
        remainder.divideWithRemainder(b, quotient);
        bitwiseRemainder.divideWithRemainder(b, bitwiseQuotient);
        expectSame(remainder, bitwiseRemainder, "remainder");
        expectSame(quotient, bitwiseQuotient, "quotient");
    }
}

TEST(WordLevel, MatchesBitwiseReferenceWhenAliased) {
    std::mt19937 rng(778);
    for (int n = 0; n < 1000; n++) {
        const BigUnsigned x0 = randomValue(rng, 10), y0 = randomValue(rng, 10);
        BigUnsigned x(x0), y(y0);
        BitwiseBigUnsigned bx(x0), by(y0);
        x *= x;
        bx.multiply(bx, bx);
        expectSame(x, bx, "x *= x");
        x.multiply(y, x);
        bx.multiply(by, bx);
        expectSame(x, bx, "x = y * x");
        BigUnsigned q(y0);
        BitwiseBigUnsigned bq(y0);
        x.divideWithRemainder(x, q);
        bx.divideWithRemainder(bx, bq);
        expectSame(x, bx, "x % x");
        expectSame(q, bq, "x / x");
        x = y + BigUnsigned(n);
        bx.BigUnsigned::operator=(x);
        x.divideWithRemainder(y, y);
        bx.divideWithRemainder(by, by);
        expectSame(x, bx, "x % y into y");
        expectSame(y, by, "x / y into y");
    }
}

// Divisions whose first quotient estimate is two too high, or needs the
// final add-back step.
TEST(WordLevel, QuotientEstimateCorrections) {
    for (const auto &c : std::vector<std::pair<std::string, std::string>>{
             {"0:0:80000000:7fffffff", "1:0:80000000"},
             {"0:fffe:0:8000", "ffff:0:8000"},
             {"3:0:80000000", "1:0:20000000"},
             {"0:0:fffffffe:80000000", "ffffffff:80000000"}}) {
        BigUnsigned r = toBU(c.first), q;
        BitwiseBigUnsigned br(r), bq;
        r.divideWithRemainder(toBU(c.second), q);
        br.divideWithRemainder(toBU(c.second), bq);
        expectSame(r, br, c.first.c_str());
        expectSame(q, bq, c.second.c_str());
    }
}

} // namespace
