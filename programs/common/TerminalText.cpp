#include "TerminalText.h"

#include <unistd.h>

bool isTerminal(std::FILE* stream) {
    const int fd = stream != nullptr ? fileno(stream) : -1;
    return fd >= 0 && isatty(fd);
}

void hideControlBytes(std::string& text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
}
