#include "NumberArgument.h"

#include <cerrno>
#include <cstdlib>

bool readNumberArgument(const char* text, long long lowest, long long highest, long long& value) {
    errno = 0;
    const long long parsed = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || parsed < lowest || parsed > highest) return false;
    value = parsed;
    return true;
}
