// Standard input, output and error that were closed when the tool started.
// Left closed, the first file the tool opens would take descriptor 0, 1 or
// 2, and its messages or its output would go into that file (or a check
// would take the input for the output). Each closed one is opened on
// /dev/null the other way round, so that using it still fails as a closed
// descriptor does (EBADF): standard output that is closed at start is
// reported as "error writing standard output: Bad file descriptor".
#ifndef DEDUP_COMMON_STANDARDDESCRIPTORS_H
#define DEDUP_COMMON_STANDARDDESCRIPTORS_H

// Called first thing in main, before any file is opened.
void reserveStandardDescriptors();

#endif
