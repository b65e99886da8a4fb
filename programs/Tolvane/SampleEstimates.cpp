#include "SampleEstimates.h"

#include <cmath>

namespace {

// The normal distribution's two-sided 95 % point.
constexpr double kZ = 1.96;

}  // namespace

TotalEstimate estimateTotal(std::uint32_t sample, std::uint64_t sampled, SquareSum squares, std::uint64_t at_least,
                            std::uint64_t at_most) {
    const std::uint64_t scaled = std::uint64_t{sample} * sampled;
    const SquareSum variance = SquareSum{sample} * (sample - 1) * squares;
    const double half_width = kZ * std::sqrt(static_cast<double>(variance));
    double low = static_cast<double>(scaled) - half_width;
    double high = static_cast<double>(scaled) + half_width;
    if (low < static_cast<double>(at_least)) low = static_cast<double>(at_least);
    if (high > static_cast<double>(at_most)) high = static_cast<double>(at_most);
    // A sample can scale to more than there is (one whose chunks were all
    // in it, say): then the estimate is what there is, and the interval
    // ends there too.
    if (low > high) low = high;
    return {scaled < at_most ? scaled : at_most, low, high};
}

RatioEstimate estimateRatio(std::uint64_t numerator, const TotalEstimate& denominator) {
    const double top = static_cast<double>(numerator);
    return {top / static_cast<double>(denominator.value), top / denominator.high, top / denominator.low};
}
