// Helpers for the fingerprint store tests: fingerprints as values, and the
// store's listings read back from standard output.
#ifndef DEDUP_TESTS_STORE_TEST_SUPPORT_H
#define DEDUP_TESTS_STORE_TEST_SUPPORT_H

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "FingerprintStore.h"

// Compares like the store: unsigned words, word 0 first.
using Fingerprint = std::array<unsigned int, 5>;

// A fingerprint ordered by word 0 alone.
inline Fingerprint by_first_word(unsigned int w0) { return {w0, 0, 0, 0, 0}; }

// Standard output written while `action` runs.
std::string captured_stdout(const std::function<void()>& action);

// Reads a tree listing (" <40 hex digits> " per node) back into fingerprints;
// a malformed listing fails the current test.
std::vector<Fingerprint> parse_tree_listing(const std::string& listing);

std::vector<Fingerprint> inorder_of(const FingerprintStore& store);
std::vector<Fingerprint> preorder_of(const FingerprintStore& store);
std::vector<Fingerprint> postorder_of(const FingerprintStore& store);

// Word 0 of each fingerprint, for short expectations.
std::vector<unsigned int> first_words(const std::vector<Fingerprint>& fingerprints);

#endif
