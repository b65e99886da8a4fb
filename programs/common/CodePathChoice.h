// The one idiom for choosing among code paths that give the same answer (a
// portable path and faster ones for some CPUs), used by the SHA-1
// compression and the rolling fingerprint.
//
// The choice is made on first use, not by a static initializer, so no order
// of static initialisation can meet an unchosen path; the object itself is
// constant-initialised. Tests force each path with use() and compare.
#ifndef DEDUP_COMMON_CODEPATHCHOICE_H
#define DEDUP_COMMON_CODEPATHCHOICE_H

#include <array>
#include <atomic>
#include <cstddef>

template <typename Path, typename Function, std::size_t Count>
class CodePathChoice {
public:
    struct Candidate {
        Path path;
        bool (*runs_here)();  // compiled in and supported by this CPU
        Function function;
    };

    // Candidates fastest first; the last one is the portable path, which
    // runs everywhere.
    constexpr explicit CodePathChoice(const std::array<Candidate, Count>& candidates)
        : candidates_(candidates) {}

    bool supported(Path path) const {
        for (const Candidate& candidate : candidates_)
            if (candidate.path == path) return candidate.runs_here();
        return false;
    }

    Path fastest() const { return fastestCandidate().path; }

    // Forces a path for the whole process (a test hook); an unsupported one
    // leaves the portable path. Returns the path now in force.
    Path use(Path path) {
        const Candidate& chosen = supported(path) ? candidate(path) : candidates_.back();
        chosen_.store(chosen.function, std::memory_order_release);
        return chosen.path;
    }

    // The function of the path in force; the fastest one unless a test chose.
    Function current() {
        Function function = chosen_.load(std::memory_order_acquire);
        if (function == nullptr) {
            function = fastestCandidate().function;
            chosen_.store(function, std::memory_order_release);
        }
        return function;
    }

private:
    const Candidate& fastestCandidate() const {
        for (const Candidate& candidate : candidates_)
            if (candidate.runs_here()) return candidate;
        return candidates_.back();
    }
    const Candidate& candidate(Path path) const {
        for (const Candidate& candidate : candidates_)
            if (candidate.path == path) return candidate;
        return candidates_.back();
    }

    std::array<Candidate, Count> candidates_;
    std::atomic<Function> chosen_{nullptr};
};

#endif
