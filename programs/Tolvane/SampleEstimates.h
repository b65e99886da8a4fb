// Estimates of a whole run's figures from a sample of its chunks. A chunk is
// in the sample when its digest falls in one of `sample` equal parts (the
// first log2(sample) bits zero), so every copy of a chunk is in or none is:
// duplicates are counted exactly among the sampled chunks, and each total
// of the sample, times `sample`, estimates the run's (Horvitz-Thompson),
// with a variance the sample itself estimates.
#ifndef DEDUP_TOLVANE_SAMPLEESTIMATES_H
#define DEDUP_TOLVANE_SAMPLEESTIMATES_H

#include <cstdint>

// Sums of squares may pass 64 bits: they are kept in 128.
using SquareSum = unsigned __int128;

// A count or a sum, with its 95 % interval.
struct TotalEstimate {
    std::uint64_t value;
    double low;
    double high;
};

// A quotient, with its 95 % interval.
struct RatioEstimate {
    double value;
    double low;
    double high;
};

// True when the chunk of this digest is in a sample of 1 in `sample`
// (a power of two): its first word is below 2^32 / sample.
inline bool inSample(const unsigned digest[5], std::uint32_t sample) {
    return digest[0] < (std::uint64_t{1} << 32) / sample;
}

// The total of the whole run from the sample's: sample * sampled, with the
// variance sample * (sample - 1) * squares and the interval -/+ 1.96
// standard deviations, no lower than what the sample proves (at_least) nor
// higher than what can be (at_most), its low end never above its high; the
// value too is at most at_most.
TotalEstimate estimateTotal(std::uint32_t sample, std::uint64_t sampled, SquareSum squares, std::uint64_t at_least,
                            std::uint64_t at_most);

// numerator / the estimated total, its interval from the total's.
RatioEstimate estimateRatio(std::uint64_t numerator, const TotalEstimate& denominator);

#endif
