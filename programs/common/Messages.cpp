#include "Messages.h"

#include <cstdarg>

void Messages::error(const char* format, ...) {
    std::fprintf(err_, "%s: ", tool_);
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(err_, format, arguments);
    va_end(arguments);
    std::fputc('\n', err_);
}

void Messages::line(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(err_, format, arguments);
    va_end(arguments);
    std::fflush(err_);
}
