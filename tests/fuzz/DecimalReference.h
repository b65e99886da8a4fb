// A non-negative integer kept as base-10^9 limbs that only grows by
// v = v * factor + addend: enough to read a numeral in any base and write it
// in decimal, with no code in common with the big-number classes.
#ifndef DEDUP_FUZZ_DECIMALREFERENCE_H
#define DEDUP_FUZZ_DECIMALREFERENCE_H

#include <cstdint>
#include <string>
#include <vector>

class DecimalReference {
public:
    void multiplyAdd(std::uint32_t factor, std::uint32_t addend);
    // Decimal digits without leading zeros; "0" for zero.
    std::string toString() const;

private:
    std::vector<std::uint32_t> limbs_;  // least significant first, none when zero
};

#endif
