#include "gear_table.h"

namespace gear {

namespace {

struct Table {
    std::uint64_t words[256];
    Table() {
        std::uint64_t state = 0;
        for (std::uint64_t& word : words) {
            state += 0x9E3779B97F4A7C15ull;
            std::uint64_t z = state;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            word = z ^ (z >> 31);
        }
    }
};

}  // namespace

const std::uint64_t* table() {
    static const Table built;  // thread-safe on first use
    return built.words;
}

}  // namespace gear
