// The Tolvane driver: content-defined chunking of a list of files, with a
// deduplication report. main() only guards the standard descriptors and
// forwards to runTolvane, so tests and fuzzers run exactly the program's
// code in process.
#ifndef DEDUP_TOLVANE_TOLVANE_H
#define DEDUP_TOLVANE_TOLVANE_H

#include <cstdio>

// argv[0] is the program name, as in main. Writes the per-file lines and the
// report to out, messages to err; returns the exit status.
int runTolvane(int argc, char* argv[], std::FILE* out, std::FILE* err);

#endif
