#include "BigIntegerUtils.h"

std::string easyBUtoString(const BigUnsigned &x) { return std::string(BigUnsignedInABase(x, 10)); }

BigUnsigned easyStringToBU(const std::string &s) { return BigUnsigned(BigUnsignedInABase(s, 10)); }

std::string easyBItoString(const BigInteger &x) {
    const BigUnsigned &magnitude = x;
    return x.getSign() == BigInteger::negative ? "-" + easyBUtoString(magnitude) : easyBUtoString(magnitude);
}

BigInteger easyStringToBI(const std::string &s) {
    if (!s.empty() && s[0] == '-')
        return BigInteger(easyStringToBU(s.substr(1)), BigInteger::negative);
    return BigInteger(easyStringToBU(s));
}

namespace {

// The base the stream's flags select, and the prefix showbase adds to it.
BigUnsignedInABase::Base baseFromFlags(const std::ostream &os, const char *&prefix) {
    std::ios_base::fmtflags flags = os.flags();
    prefix = "";
    if (flags & std::ios_base::dec)
        return 10;
    if (flags & std::ios_base::hex) {
        if (flags & std::ios_base::showbase)
            prefix = "0x";
        return 16;
    }
    if (flags & std::ios_base::oct) {
        if (flags & std::ios_base::showbase)
            prefix = "0";
        return 8;
    }
    throw "std::ostream << BigUnsigned: Could not determine the desired base from output-stream flags";
}

} // namespace

std::ostream &operator<<(std::ostream &os, const BigUnsigned &x) {
    const char *prefix;
    BigUnsignedInABase::Base base = baseFromFlags(os, prefix);
    std::string digits(BigUnsignedInABase(x, base));
    if (*prefix != '\0')
        os << prefix;
    os << digits;
    return os;
}

std::ostream &operator<<(std::ostream &os, const BigInteger &x) {
    // Check the flags before the sign is written, so a throw leaves the
    // stream untouched.
    const char *prefix;
    baseFromFlags(os, prefix);
    if (x.getSign() == BigInteger::negative)
        os << '-';
    const BigUnsigned &magnitude = x;
    return os << magnitude;
}
