#include "NonZeroCount.h"

#include <cstdint>
#include <cstring>

#include "CodePathChoice.h"
#include "CpuFeatures.h"

namespace {

const std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
const std::uint64_t kHigh = 0x8080808080808080ULL;
const std::uint64_t kLanePairs = 0x00FF00FF00FF00FFULL;

// 0x01 in every byte lane of the word whose byte is non-zero, else 0x00.
inline std::uint64_t nonZeroLanes(std::uint64_t word) {
    // Adding 0x7F to the low seven bits carries into bit 7 exactly when
    // they are not all zero; or-ing the word itself catches bit 7.
    return ((((word & kLow7) + kLow7) | word) & kHigh) >> 7;
}

// Sum of the eight byte lanes (each at most 255).
inline std::size_t sumLanes(std::uint64_t lanes) {
    std::uint64_t pairs = (lanes & kLanePairs) + ((lanes >> 8) & kLanePairs);
    return std::size_t((pairs * 0x0001000100010001ULL) >> 48);
}

}  // namespace

namespace non_zero_count {

std::size_t count_portable(const unsigned char* bytes, std::size_t length) {
    std::size_t count = 0;
    std::size_t i = 0;
    // Lanes count up to 255 before they would overflow into each other.
    const std::size_t wordsPerBatch = 255;
    while (length - i >= 8) {
        std::size_t words = (length - i) / 8;
        if (words > wordsPerBatch) words = wordsPerBatch;
        std::uint64_t lanes = 0;
        for (std::size_t w = 0; w < words; ++w, i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            lanes += nonZeroLanes(word);
        }
        count += sumLanes(lanes);
    }
    for (; i < length; ++i) count += bytes[i] != 0;
    return count;
}

namespace {

bool cpu_has_avx2() {
#ifdef DEDUP_COUNT_AVX2
    return cpuFeatures().avx2;
#else
    return false;
#endif
}

bool runs_everywhere() { return true; }

#ifdef DEDUP_COUNT_AVX2
constexpr CountFunction kAvx2 = count_avx2;
#else
constexpr CountFunction kAvx2 = count_portable;  // never chosen: not supported
#endif

using Choice = CodePathChoice<Path, CountFunction, 2>;

Choice choice(std::array<Choice::Candidate, 2>{{
    {Path::avx2, cpu_has_avx2, kAvx2},
    {Path::portable, runs_everywhere, count_portable},
}});

}  // namespace

bool supported(Path path) { return choice.supported(path); }
Path fastest() { return choice.fastest(); }
Path use(Path path) { return choice.use(path); }

}  // namespace non_zero_count

std::size_t countNonZeroBytes(const unsigned char* bytes, std::size_t length) {
    return non_zero_count::choice.current()(bytes, length);
}
