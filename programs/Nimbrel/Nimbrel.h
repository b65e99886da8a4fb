// The Nimbrel driver: lists every run of non-zero bytes of a file with its
// offset. main() only guards the standard descriptors and forwards to
// runNimbrel, so tests and fuzzers run exactly the program's code in process.
#ifndef DEDUP_NIMBREL_NIMBREL_H
#define DEDUP_NIMBREL_NIMBREL_H

#include <cstdio>

// argv[0] is the program name, as in main. Writes the listing to out,
// messages to err; returns the exit status.
int runNimbrel(int argc, char* argv[], std::FILE* out, std::FILE* err);

#endif
