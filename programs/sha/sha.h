// The sha driver: fixed-size chunks measured against an all-zero template.
// main() only guards the standard descriptors and forwards to runSha, so
// tests and fuzzers run exactly the program's code in process.
#ifndef DEDUP_SHA_SHA_H
#define DEDUP_SHA_SHA_H

#include <cstdio>

// argv[0] is the program name, as in main. Writes the result line to out,
// messages to err; returns the exit status.
int runSha(int argc, char* argv[], std::FILE* out, std::FILE* err);

#endif
