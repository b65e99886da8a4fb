// Numbers on the command line, read as atoi reads them (leading white space,
// an optional sign, decimal digits; anything else ends the number, and no
// digits give 0), but never silently wrapped: a number outside the range the
// tool accepts is refused so that the driver can say so.
#ifndef DEDUP_COMMON_NUMBERARGUMENT_H
#define DEDUP_COMMON_NUMBERARGUMENT_H

// The number in text; false when it lies outside [lowest, highest] (also when
// it is beyond what 64 bits hold).
bool readNumberArgument(const char* text, long long lowest, long long highest, long long& value);

#endif
