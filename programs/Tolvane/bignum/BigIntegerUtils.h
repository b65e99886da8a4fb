#ifndef BIGINTEGERUTILS_H
#define BIGINTEGERUTILS_H

#include <ostream>
#include <string>

#include "BigInteger.h"
#include "BigUnsigned.h"
#include "BigUnsignedInABase.h"

// Decimal text of big numbers, and their stream output.

// Decimal digits without sign or leading zeros ("0" for zero).
std::string easyBUtoString(const BigUnsigned &x);
// Reads decimal text; letters count as 10 to 35 and the empty text is zero.
BigUnsigned easyStringToBU(const std::string &s);

// As easyBUtoString, with a leading '-' for a negative value.
std::string easyBItoString(const BigInteger &x);
// A leading '-' makes the value negative; '+' is not accepted.
BigInteger easyStringToBI(const std::string &s);

// Writes x in the base the stream's flags select: dec wins over hex, which
// wins over oct; showbase adds "0x" for hex and "0" for oct. Letters are
// always upper case. Throws when no base flag is set.
std::ostream &operator<<(std::ostream &os, const BigUnsigned &x);
// As for BigUnsigned, with a leading '-' for a negative value.
std::ostream &operator<<(std::ostream &os, const BigInteger &x);

#endif
