// Looking fingerprints up in a large store one after another, with the
// store's memory for the ones ahead fetched early. A lookup is mostly a
// cache miss (two for a fingerprint already stored: its bucket, then its
// log entry), and in a store of gigabytes also a miss of the address
// translation. Fetches issued one at a time between lookups hardly overlap,
// as each waits for its translation before the next can start; issued in a
// burst, a group's misses are all under way together. So the lookups go by
// groups: while one group is looked up, the buckets of the group two ahead
// are fetched, and, when many of the fingerprints are likely stored
// already, the log entries of the next group (whose buckets are in by then):
// reading the buckets to find those entries costs more than it saves when
// few are.
#ifndef DEDUP_TOLVANE_STORELOOKAHEAD_H
#define DEDUP_TOLVANE_STORELOOKAHEAD_H

#include <algorithm>
#include <cstddef>

#include "FingerprintStore.h"

// Calls look_up(i) for i = 0 .. count - 1 in order; digest_at(i) gives the
// fingerprint that look_up(i) will look up in store.
template <typename DigestAt, typename LookUp>
void lookUpInOrder(const FingerprintStore& store, std::size_t count, DigestAt digest_at, LookUp look_up,
                   bool many_stored) {
    constexpr std::size_t kGroup = 16;
    // store.prefetch is a call out of line on purpose: inlined here, the
    // fetches were dropped by the compiler, as a lambda without effects.
    auto buckets = [&](std::size_t from) {
        for (std::size_t i = from; i < std::min(count, from + kGroup); ++i) store.prefetch(digest_at(i));
    };
    auto entries = [&](std::size_t from) {
        for (std::size_t i = from; i < std::min(count, from + kGroup); ++i) store.prefetchEntry(digest_at(i));
    };
    buckets(0);
    buckets(kGroup);
    for (std::size_t group = 0; group < count; group += kGroup) {
        buckets(group + 2 * kGroup);
        if (many_stored) entries(group + kGroup);
        for (std::size_t i = group; i < std::min(count, group + kGroup); ++i) look_up(i);
    }
}

#endif
