#include "ArgumentText.h"

#include <climits>

namespace {

struct SpecialText {
    const char* text;
    long long value;
};

const SpecialText kSpecialTexts[] = {
    {"", 0},
    {"abc", 0},
    {"-", 0},
    {"0x1F", 0},
    {" \t7", 7},
    {"-0", 0},
    {"-1", -1},
    {"-2147483648", -2147483648LL},
    {"2147483647", 2147483647LL},
    {"4294967295", 4294967295LL},
    {"4294967296", 4294967296LL},
    {"99999999999999999999", LLONG_MAX},
    {"-99999999999999999999", LLONG_MIN},
};

}  // namespace

ArgumentText::ArgumentText(FuzzInput& in, std::uint32_t bound) {
    const std::uint8_t form = in.takeByte();
    if ((form & 7) == 0) {
        const SpecialText& special = kSpecialTexts[in.takeByte() % (sizeof kSpecialTexts / sizeof kSpecialTexts[0])];
        text_ = special.text;
        value_ = special.value;
        return;
    }
    const long long magnitude = static_cast<long long>(in.takeScaledNumber(bound));
    const bool negative = (form & 128) != 0;
    if (form & 8) text_ += "  ";
    if (negative)
        text_ += '-';
    else if (form & 16)
        text_ += '+';
    if (form & 32) text_ += "00";
    text_ += std::to_string(magnitude);
    if (form & 64) text_ += "x9";
    value_ = negative ? -magnitude : magnitude;
}
