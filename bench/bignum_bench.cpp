// The big-number work of the rolling fingerprint's table for the largest
// window: 7^(window - 1) built by repeated multiplication by 7, then reduced
// modulo 2^32.

#include <benchmark/benchmark.h>

#include "BigIntegerUtils.h"
#include "BigUnsigned.h"

namespace {

const unsigned int largestWindow = 65535;

BigUnsigned powerOfSeven(unsigned int exponent) {
    BigUnsigned power(1u), seven(7ul);
    for (unsigned int i = 0; i < exponent; i++)
        power *= seven;
    return power;
}

void PowerBySevens(benchmark::State &state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(powerOfSeven(largestWindow - 1));
}
BENCHMARK(PowerBySevens)->Unit(benchmark::kMillisecond);

// The table: each of the 256 byte values times the power, modulo 2^32,
// brought back through decimal text.
void TableReduction(benchmark::State &state) {
    const BigUnsigned power = powerOfSeven(largestWindow - 1), two32 = BigUnsigned(1u) << 32u;
    for (auto _ : state) {
        for (int i = 0; i < 256; i++) {
            BigUnsigned result = power;
            result *= BigUnsigned(i);
            result %= two32;
            benchmark::DoNotOptimize(easyBUtoString(result));
        }
    }
}
BENCHMARK(TableReduction)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
