#include "SignalCleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace signalCleanup {

namespace {

// The handler may run on any thread, at any time, while another thread
// remembers or forgets a path. It reads a slot only when its version is
// even and the same before and after the path was copied: an odd version is
// a slot being changed.
struct Slot {
    std::atomic<unsigned> version{0};
    std::atomic<bool> used{false};
    char path[PATH_MAX];
};

constexpr int kSlots = 8;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

Slot slots[kSlots];
std::mutex changing;  // between threads that remember and forget
bool installed = false;

void removeAndRaise(int signal_number) {
    const int saved_errno = errno;
    for (Slot& slot : slots) {
        const unsigned before = slot.version.load();
        if (before % 2 != 0 || !slot.used.load()) continue;
        char path[PATH_MAX];
        std::memcpy(path, slot.path, sizeof path);
        path[PATH_MAX - 1] = '\0';
        if (slot.version.load() == before) unlink(path);
    }
    errno = saved_errno;
    // Blocked while the handler runs: it ends the process once the handler
    // returns, with the status of the signal.
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

void install() {
    for (int signal_number : kSignals) {
        struct sigaction current;
        if (sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = removeAndRaise;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);  // one cleanup at a time
        sigaction(signal_number, &action, nullptr);
    }
    installed = true;
}

}  // namespace

int remember(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length >= PATH_MAX) return -1;
    std::lock_guard<std::mutex> lock(changing);
    for (int handle = 0; handle < kSlots; ++handle) {
        Slot& slot = slots[handle];
        if (slot.used.load()) continue;
        slot.version.fetch_add(1);
        std::memcpy(slot.path, path, length + 1);
        slot.used.store(true);
        slot.version.fetch_add(1);
        if (!installed) install();
        return handle;
    }
    return -1;
}

void forget(int handle) {
    if (handle < 0 || handle >= kSlots) return;
    std::lock_guard<std::mutex> lock(changing);
    Slot& slot = slots[handle];
    slot.version.fetch_add(1);
    slot.used.store(false);
    slot.version.fetch_add(1);
}

}  // namespace signalCleanup
