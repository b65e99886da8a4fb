#include "store_test_support.h"

#include <gtest/gtest.h>

std::string captured_stdout(const std::function<void()>& action)
{
    testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::vector<Fingerprint> parse_tree_listing(const std::string& listing)
{
    constexpr std::size_t kEntry = 1 + 40 + 1;
    std::vector<Fingerprint> result;
    EXPECT_EQ(listing.size() % kEntry, 0u) << listing;
    for (std::size_t at = 0; at + kEntry <= listing.size(); at += kEntry) {
        const std::string entry = listing.substr(at, kEntry);
        EXPECT_TRUE(entry.front() == ' ' && entry.back() == ' ') << entry;
        EXPECT_EQ(entry.find_first_not_of("0123456789abcdef", 1), kEntry - 1) << entry;
        Fingerprint f{};
        for (int i = 0; i < 5; ++i) {
            f[i] = static_cast<unsigned int>(std::stoul(entry.substr(1 + 8 * i, 8), nullptr, 16));
        }
        result.push_back(f);
    }
    return result;
}

std::vector<Fingerprint> inorder_of(const FingerprintStore& store)
{
    return parse_tree_listing(captured_stdout([&] { store.print_inorder(); }));
}

std::vector<Fingerprint> preorder_of(const FingerprintStore& store)
{
    return parse_tree_listing(captured_stdout([&] { store.print_preorder(); }));
}

std::vector<Fingerprint> postorder_of(const FingerprintStore& store)
{
    return parse_tree_listing(captured_stdout([&] { store.print_postorder(); }));
}

std::vector<unsigned int> first_words(const std::vector<Fingerprint>& fingerprints)
{
    std::vector<unsigned int> words;
    for (const Fingerprint& f : fingerprints) words.push_back(f[0]);
    return words;
}
