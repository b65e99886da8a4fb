#include "Messages.h"

#include <cstdarg>

#include "ProgressLine.h"
#include "TerminalText.h"

namespace {

// The text printf would write for format and arguments.
std::string formatted(const char* format, std::va_list arguments) {
    std::va_list again;
    va_copy(again, arguments);
    char small[256];
    const int length = std::vsnprintf(small, sizeof small, format, arguments);
    std::string text;
    if (length < 0) {
        va_end(again);
        return text;
    }
    if (static_cast<std::size_t>(length) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(length));
    } else {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(&text[0], text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

}  // namespace

Messages::Messages(const char* tool, std::FILE* err) : tool_(tool), err_(err), terminal_(isTerminal(err)) {}

void Messages::eraseProgress() {
    if (progress_ != nullptr) progress_->erase();
}

void Messages::write(std::string text) {
    if (terminal_) {
        const bool line_break = !text.empty() && text.back() == '\n';
        if (line_break) text.pop_back();
        hideControlBytes(text);
        if (line_break) text.push_back('\n');
    }
    std::fwrite(text.data(), 1, text.size(), err_);
}

void Messages::error(const char* format, ...) {
    eraseProgress();
    std::va_list arguments;
    va_start(arguments, format);
    std::string text = std::string(tool_) + ": " + formatted(format, arguments);
    va_end(arguments);
    write(text + "\n");
}

void Messages::line(const char* format, ...) {
    eraseProgress();
    std::va_list arguments;
    va_start(arguments, format);
    write(formatted(format, arguments));
    va_end(arguments);
    std::fflush(err_);
}
