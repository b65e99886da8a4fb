// Block-at-a-time multiplication and division against the one-bit-at-a-time
// reference: same blocks and same capacities, aliasing included.

#include <random>

#include "BignumTestSupport.h"
#include "BitwiseBigUnsigned.h"

namespace {

// Random blocks, rich in the values that provoke carries, borrows and
// corrections of the quotient estimate.
BigUnsigned randomValue(std::mt19937 &rng, unsigned maxBlocks) {
    const BigUnsigned::Blk special[] = {0, 1, 0xFFFFFFFF, 0xFFFFFFFE, 0x80000000, 0x7FFFFFFF};
    std::vector<BigUnsigned::Blk> blocks(rng() % (maxBlocks + 1));
    for (BigUnsigned::Blk &b : blocks)
        b = rng() % 3 ? special[rng() % 6] : BigUnsigned::Blk(rng());
    return BigUnsigned(blocks.data(), BigUnsigned::Index(blocks.size()));
}

std::string state(const BigUnsigned &x) { return describe(x) + " cap " + std::to_string(x.getCapacity()); }

// Both sides start as copies of the same values (so with equal capacities)
// and take the same steps; their states must agree after every step.
void expectSameSteps(const BigUnsigned &a, const BigUnsigned &b, const BigUnsigned &c) {
    BigUnsigned x(a), y(b), z(c);
    BitwiseBigUnsigned bx(a), by(b), bz(c);
    Words got, want;
    auto record = [&] {
        got.push_back(state(x) + " | " + state(y) + " | " + state(z));
        want.push_back(state(bx) + " | " + state(by) + " | " + state(bz));
    };
    z.multiply(x, y), bz.multiply(bx, by), record();
    x.divideWithRemainder(y, z), bx.divideWithRemainder(by, bz), record();
    y *= y, by.multiply(by, by), record();
    x.multiply(z, x), bx.multiply(bz, bx), record();
    y.divideWithRemainder(x, x), by.divideWithRemainder(bx, bx), record();
    z.divideWithRemainder(z, x), bz.divideWithRemainder(bz, bx), record();
    ASSERT_EQ(got, want) << describe(a) << " " << describe(b) << " " << describe(c);
}

TEST(WordLevel, MatchesBitwiseReference) {
    std::mt19937 rng(777);
    for (int n = 0; n < 3000; n++)
        expectSameSteps(randomValue(rng, 14), randomValue(rng, n % 2 ? 3 : 14), randomValue(rng, 10));
}

// Divisions whose quotient estimate needs both corrections or the add-back.
TEST(WordLevel, QuotientEstimateCorrections) {
    expectSameSteps(toBU("0:0:80000000:7fffffff"), toBU("1:0:80000000"), BigUnsigned(3));
    expectSameSteps(toBU("0:fffe:0:8000"), toBU("ffff:0:8000"), BigUnsigned());
    expectSameSteps(toBU("3:0:80000000"), toBU("1:0:20000000"), toBU("1:2"));
    expectSameSteps(toBU("0:0:fffffffe:80000000"), toBU("ffffffff:80000000"), BigUnsigned(1));
}

} // namespace
