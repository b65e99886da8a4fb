// Drives a fingerprint store from a script on standard input, one command a
// line, and prints what each answers, so that an independent model can
// check every figure and listing:
//   new WORDS       a store of WORDS summary-vector words (first line)
//   i|f|c|r HEX     insert, fast_lookup, contains, remove of a fingerprint
//                   given as 40 hexadecimal digits; prints 1 or 0 (remove
//                   prints what the store prints)
//   size | rate     get_size, get_false_positive_rate (%.9g)
//   in | pre | post | vector    the listings, then a line break
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "FingerprintStore.h"

namespace {

bool parse(const std::string& hex, unsigned int words[5]) {
    if (hex.size() != 40) return false;
    for (int i = 0; i < 5; ++i) words[i] = static_cast<unsigned int>(std::stoul(hex.substr(8 * i, 8), nullptr, 16));
    return true;
}

}  // namespace

int main() {
    std::unique_ptr<FingerprintStore> store;
    std::string command, argument;
    while (std::cin >> command) {
        if (command == "new") {
            std::cin >> argument;
            store.reset(new FingerprintStore(static_cast<unsigned int>(std::stoul(argument)), stdout));
            continue;
        }
        if (!store) return 2;
        if (command == "size") {
            std::printf("%u\n", store->get_size());
        } else if (command == "rate") {
            std::printf("%.9g\n", static_cast<double>(store->get_false_positive_rate()));
        } else if (command == "in" || command == "pre" || command == "post" || command == "vector") {
            if (command == "in") store->print_inorder();
            if (command == "pre") store->print_preorder();
            if (command == "post") store->print_postorder();
            if (command == "vector") store->print_summary_vector();
            std::printf("\n");
        } else {
            unsigned int words[5];
            if (!(std::cin >> argument) || !parse(argument, words)) return 2;
            if (command == "i") std::printf("%d\n", store->insert(words) ? 1 : 0);
            else if (command == "f") std::printf("%d\n", store->fast_lookup(words) ? 1 : 0);
            else if (command == "c") std::printf("%d\n", store->contains(words) ? 1 : 0);
            else if (command == "r") store->remove(words);
            else return 2;
        }
    }
    return 0;
}
