// The fingerprint store's cost per fingerprint as it grows: inserts of new
// fingerprints (the store growing from n to 1.25 n, so that each part of it
// grows once in the span when its tables are past their first own one, from
// about 3.5 million stored on; below that a part grows less often) and
// lookups of the first ones stored, at each size named on the command line,
// with random digests fetched ahead as the recorder fetches them. Prints
// "SIZE INSERT_NS LOOKUP_NS BYTES_PER_FINGERPRINT STEADY_INSERT_NS" a line:
// the last is the median batch's insert, which leaves out the growths that
// hold the caller up (a part grown in place, a growth's hand-over), not the
// growths on the store's own thread, which may run during any batch.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "FingerprintStore.h"
#include "SplitMix64.h"
#include "StoreLookahead.h"

namespace {

struct Digests {
    std::uint64_t state = 0;
    void fill(std::vector<unsigned>& words) {
        for (unsigned& word : words) word = static_cast<unsigned>(nextSplitMix64(state));
    }
};

constexpr std::size_t kBatch = 1 << 12;  // fine enough to time the span from n to 1.25 n
constexpr std::size_t kLookups = std::size_t{1} << 18;

// Seconds to put the batch's fingerprints through the store, fetched ahead
// as the recorder fetches them (stored ones: with their log entries).
double insertBatch(FingerprintStore& store, const std::vector<unsigned>& words, std::size_t count, bool stored) {
    const auto start = std::chrono::steady_clock::now();
    lookUpInOrder(
        store, count, [&words](std::size_t i) { return &words[5 * i]; },
        [&](std::size_t i) {
            bool passed = false;
            store.insert(&words[5 * i], passed);
        },
        stored);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    for (int a = 1; a < argc; ++a) {
        const std::size_t size = std::strtoull(argv[a], nullptr, 10);
        FingerprintStore store(3125);
        Digests digests;
        std::vector<unsigned> words(5 * kBatch);
        double insert_seconds = 0;
        std::vector<double> batch_seconds;  // full batches of the measured span
        std::size_t done = 0;
        const std::size_t end = size + size / 4;
        while (done < end) {
            const std::size_t count = std::min(kBatch, end - done);
            digests.fill(words);
            const double seconds = insertBatch(store, words, count, false);
            if (done >= size) insert_seconds += seconds;
            if (done >= size && count == kBatch) batch_seconds.push_back(seconds);
            done += count;
        }
        // Lookups of the first fingerprints stored, long out of the caches:
        // duplicates, enough of them that the figure is steady.
        Digests first;
        const std::size_t lookups = std::min<std::size_t>(kLookups, size) / kBatch * kBatch;
        double lookup_seconds = 0;
        for (std::size_t looked = 0; looked < lookups; looked += kBatch) {
            first.fill(words);
            lookup_seconds += insertBatch(store, words, kBatch, true);
        }
        const double bytes_each =
            static_cast<double>(store.fingerprintBytes()) / static_cast<double>(store.stored());
        double steady_seconds = 0;
        if (!batch_seconds.empty()) {
            std::nth_element(batch_seconds.begin(), batch_seconds.begin() + batch_seconds.size() / 2,
                             batch_seconds.end());
            steady_seconds = batch_seconds[batch_seconds.size() / 2] / kBatch;
        }
        std::printf("%zu %.1f %.1f %.2f %.1f\n", size, 1e9 * insert_seconds / static_cast<double>(end - size),
                    1e9 * lookup_seconds / static_cast<double>(lookups), bytes_each, 1e9 * steady_seconds);
    }
    return 0;
}
