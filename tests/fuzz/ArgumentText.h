// A numeric command-line argument made from fuzz bytes: mostly a number up to
// a bound (small ones as often as large ones), written with what a number
// reader skips or stops at (blanks, a sign, leading zeros, trailing letters);
// sometimes one of a few texts that are no number at all or lie outside
// every range the programs accept.
#ifndef DEDUP_FUZZ_ARGUMENTTEXT_H
#define DEDUP_FUZZ_ARGUMENTTEXT_H

#include <cstdint>
#include <string>

#include "FuzzInput.h"

class ArgumentText {
public:
    ArgumentText(FuzzInput& in, std::uint32_t bound);

    const std::string& text() const { return text_; }
    // The value strtoll reads from the text, saturated at the long long range.
    long long value() const { return value_; }

private:
    std::string text_;
    long long value_;
};

#endif
