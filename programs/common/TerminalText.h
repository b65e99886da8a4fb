// Text shown on a terminal: a path may hold control bytes (an escape
// sequence in a file name would recolour the terminal or move its cursor),
// so they are shown as '?' there. Files and pipes get the exact bytes.
#ifndef DEDUP_COMMON_TERMINALTEXT_H
#define DEDUP_COMMON_TERMINALTEXT_H

#include <cstdio>
#include <string>

// True when the stream writes to a terminal.
bool isTerminal(std::FILE* stream);

// Every control byte (below 0x20, and 0x7F) of text becomes '?'.
void hideControlBytes(std::string& text);

#endif
