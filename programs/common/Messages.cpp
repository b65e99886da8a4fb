#include "Messages.h"

#include <cstdarg>

#include "ProgressLine.h"

void Messages::eraseProgress() {
    if (progress_ != nullptr) progress_->erase();
}

void Messages::error(const char* format, ...) {
    eraseProgress();
    std::fprintf(err_, "%s: ", tool_);
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(err_, format, arguments);
    va_end(arguments);
    std::fputc('\n', err_);
}

void Messages::line(const char* format, ...) {
    eraseProgress();
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(err_, format, arguments);
    va_end(arguments);
    std::fflush(err_);
}
