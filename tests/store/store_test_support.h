// Helpers for the fingerprint store tests: fingerprints as values, and the
// store's listings read back from standard output.
#ifndef DEDUP_TESTS_STORE_TEST_SUPPORT_H
#define DEDUP_TESTS_STORE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "FingerprintStore.h"

// Compares like the store: unsigned words, word 0 first.
using Fingerprint = std::array<unsigned int, 5>;

inline Fingerprint by_first_word(unsigned int w0) { return {w0, 0, 0, 0, 0}; }

inline std::string captured_stdout(const std::function<void()>& action)
{
    testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// A tree listing (" <40 hex digits> " per node) read back; a malformed one
// fails the current test.
inline std::vector<Fingerprint> parse_tree_listing(const std::string& listing)
{
    constexpr std::size_t kEntry = 1 + 40 + 1;
    EXPECT_EQ(listing.size() % kEntry, 0u) << listing;
    std::vector<Fingerprint> result;
    for (std::size_t at = 0; at + kEntry <= listing.size(); at += kEntry) {
        const std::string entry = listing.substr(at, kEntry);
        EXPECT_TRUE(entry[0] == ' ' && entry.find_first_not_of("0123456789abcdef", 1) == kEntry - 1) << entry;
        Fingerprint f{};
        for (int i = 0; i < 5; ++i) f[i] = static_cast<unsigned int>(std::stoul(entry.substr(1 + 8 * i, 8), nullptr, 16));
        result.push_back(f);
    }
    return result;
}

// e.g. listing_of(store, &FingerprintStore::print_inorder)
inline std::vector<Fingerprint> listing_of(const FingerprintStore& store, void (FingerprintStore::*print)() const)
{
    return parse_tree_listing(captured_stdout([&] { (store.*print)(); }));
}

inline std::vector<unsigned int> first_words(const std::vector<Fingerprint>& fingerprints)
{
    std::vector<unsigned int> words;
    for (const Fingerprint& f : fingerprints) words.push_back(f[0]);
    return words;
}

#endif
