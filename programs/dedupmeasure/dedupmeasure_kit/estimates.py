"""Estimates from a sample of chunks chosen by their SHA-1 (1 in N): every
copy of a chunk is in the sample or none is, so a sum over the distinct
sampled chunks, times N, estimates the sum over all distinct chunks, with
the variance N(N-1) times the sum of the squares. The 95 % interval is the
estimate -/+ 1.96 standard deviations, kept within what the sample proves
and what the exact totals allow. Tolvane --sample computes the same."""
import math

Z = 1.96


def quotient(numerator, denominator):
    return numerator / denominator if denominator else None


def estimate(sample, total, squares, low_bound, high_bound):
    """{value, low, high} of sample * total (an integer), from the exact
    integer sums of the sample: total of its values, squares of their
    squares; the interval within [low_bound, high_bound], its low end never
    above its high, the value at most high_bound."""
    scaled = sample * total
    deviation = math.sqrt(float(sample * (sample - 1) * squares))
    high = min(float(high_bound), scaled + Z * deviation)
    low = min(max(float(low_bound), scaled - Z * deviation), high)
    # A sample can scale to more than there is: the estimate is then that.
    return {"value": min(scaled, high_bound), "low": low, "high": high}


def ratio(numerator, estimated):
    """{value, low, high} of numerator / the estimate (None where that
    divides by 0): the high end from the estimate's low end."""
    return {"value": quotient(numerator, estimated["value"]), "low": quotient(numerator, estimated["high"]),
            "high": quotient(numerator, estimated["low"])}
