// Files a tool writes under a temporary name, removed when SIGINT, SIGTERM,
// SIGHUP or SIGPIPE ends it before they are complete; the tool still ends
// by the signal (the handler removes them, then raises the signal again with
// its default action). Signals that were ignored when the tool started stay
// ignored.
#ifndef DEDUP_COMMON_SIGNALCLEANUP_H
#define DEDUP_COMMON_SIGNALCLEANUP_H

namespace signalCleanup {

// From now on a signal removes path; returns a handle for forget(), or -1
// when the path cannot be kept (too long, or too many at once): the file is
// then left behind by a signal, as it would be without this.
int remember(const char* path);

// The file is complete or gone: a signal leaves it alone. -1 is ignored.
void forget(int handle);

}  // namespace signalCleanup

#endif
