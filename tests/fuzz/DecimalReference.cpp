#include "DecimalReference.h"

#include <cstdio>

namespace {
const std::uint64_t kLimbBase = 1000000000;
}

void DecimalReference::multiplyAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::uint32_t& limb : limbs_) {
        const std::uint64_t value = std::uint64_t{limb} * factor + carry;
        limb = static_cast<std::uint32_t>(value % kLimbBase);
        carry = value / kLimbBase;
    }
    for (; carry != 0; carry /= kLimbBase) limbs_.push_back(static_cast<std::uint32_t>(carry % kLimbBase));
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
}

std::string DecimalReference::toString() const {
    if (limbs_.empty()) return "0";
    std::string text = std::to_string(limbs_.back());
    char limb[16];
    for (std::size_t i = limbs_.size() - 1; i-- > 0;) {
        std::snprintf(limb, sizeof limb, "%09u", static_cast<unsigned>(limbs_[i]));
        text += limb;
    }
    return text;
}
