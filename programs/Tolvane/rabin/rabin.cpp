#include "rabin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "BigIntegerUtils.h"
#include "BigUnsigned.h"
#include "rabin_roll.h"
#include "rabin_roll_step.h"

namespace {

// 7^9 and 255 * (7^9 - 1) / 6 both fit in 32 bits.
constexpr unsigned kBytesPerStep = 9;

BigUnsigned twoToThe32() {
    BigUnsigned value(1);
    for (int i = 0; i < 32; ++i) value *= BigUnsigned(2);
    return value;
}

// A value below 2^32 back to a machine word, through its decimal text.
std::uint32_t wordThroughDecimalText(const BigUnsigned& value, std::size_t scratch_size) {
    const std::string digits = easyBUtoString(value);
    if (digits.size() >= scratch_size) throw std::length_error("rabin: decimal text too long");
    char* scratch = new char[scratch_size];
    std::strcpy(scratch, digits.c_str());
    const unsigned long word = std::strtoul(scratch, nullptr, 0);
    delete[] scratch;
    return static_cast<std::uint32_t>(word);
}

}  // namespace

Rabin::Rabin(unsigned short num_anchor_bits, unsigned short window_size_, std::FILE* out_, std::FILE* err_)
    : buffer(nullptr), buffer_end(0), window_size(window_size_), out(out_), err(err_) {
    if (window_size == 0) throw std::invalid_argument("rabin: window_size must be at least 1");
    buffer = new unsigned char[window_size]();

    // All bits set, then one right shift per bit that is not an anchor bit;
    // more than 32 anchor bits shift nothing.
    anchor_bit_mask = 0xFFFFFFFFu;
    for (int i = 0; i < 32 - static_cast<int>(num_anchor_bits); ++i) anchor_bit_mask >>= 1;

    const BigUnsigned two_to_the_32 = twoToThe32();
    // 7^(window_size - 1), up to nine factors of 7 a step (7^9 fits a word).
    BigUnsigned p_to_the_exp(1);
    for (unsigned exponent = 1; exponent < window_size; exponent += kBytesPerStep) {
        const unsigned factors = std::min<unsigned>(kBytesPerStep, window_size - exponent);
        unsigned long power = 1;
        for (unsigned k = 0; k < factors; ++k) power *= p;
        p_to_the_exp *= BigUnsigned(power);
    }

    // table[i] = i * 7^(window_size - 1) mod 2^32: what byte i takes away
    // when it leaves the window as its oldest byte.
    BigUnsigned result;
    for (int i = 0; i < 256; ++i) {
        result = p_to_the_exp;
        result *= BigUnsigned(i);
        result %= two_to_the_32;
        table[i] = wordThroughDecimalText(result, 100);
    }
}

Rabin::~Rabin() { delete[] buffer; }

bool Rabin::Initialize(unsigned char* window) { return Initialize(window_size, window); }

bool Rabin::Initialize(unsigned short win_size, unsigned char* window) {
    if (win_size > window_size) {
        std::fprintf(err, "rabin: size cannot be larger than window_size\n");
        return false;
    }
    // A leading zero byte is taken as 1, so that the fingerprint of a window
    // of leading zeros is not itself zero.
    BigUnsigned s(static_cast<unsigned int>(window[0] == 0 ? 1 : window[0]));
    buffer[0] = window[0];
    // Horner's rule, nine bytes a step: the step's power of 7 and the sum of
    // its nine byte terms each fit a word, so the exact value costs one
    // multiplication and one addition per step. Bytes past win_size are 0.
    for (unsigned i = 1; i < window_size; i += kBytesPerStep) {
        const unsigned count = std::min<unsigned>(kBytesPerStep, window_size - i);
        unsigned long power = 1;
        unsigned int terms = 0;
        for (unsigned k = i; k < i + count; ++k) {
            buffer[k] = k < win_size ? window[k] : 0;
            power *= p;
            terms = terms * p + buffer[k];
        }
        s *= BigUnsigned(power);
        s += BigUnsigned(terms);
    }
    s %= twoToThe32();
    fingerprint = wordThroughDecimalText(s, 1000);
    buffer_end = 0;
    return isAnchor();
}

void Rabin::IncrementSpan(const unsigned char* bytes, std::size_t count, std::uint64_t* anchor_bits) {
    if (count == 0) return;
    const std::uint32_t outgoing_weight = table[1] * p;  // 7^window_size mod 2^32
    const rabin_roll::RollFunction roll = rabin_roll::current();

    // While the byte leaving is still in the ring, roll from a small stream:
    // the window, oldest byte first, followed by the first bytes of the span.
    // The head is whole anchor words long, so the rest writes its own words.
    const std::size_t head = std::min<std::size_t>(count, (window_size + 63u) / 64u * 64u);
    const std::size_t older_part = window_size - buffer_end;
    span_scratch.resize(window_size + head);
    unsigned char* stream = span_scratch.data();
    std::memcpy(stream, buffer + buffer_end, older_part);
    std::memcpy(stream + older_part, buffer, buffer_end);
    std::memcpy(stream + window_size, bytes, head);
    fingerprint = roll(fingerprint, stream, window_size, head, outgoing_weight, anchor_bit_mask, anchor_bits);

    // From there on the byte leaving lies in the span itself, window_size
    // places back, so the span is rolled where it is, without a copy.
    if (count > head)
        fingerprint = roll(fingerprint, bytes + head - window_size, window_size, count - head, outgoing_weight,
                           anchor_bit_mask, anchor_bits + head / 64);

    // The ring ends as count single steps would leave it.
    buffer_end = static_cast<unsigned short>((buffer_end + count) % window_size);
    const unsigned char* window = count >= window_size ? bytes + count - window_size : stream + count;
    const std::size_t newer_part = window_size - buffer_end;
    std::memcpy(buffer + buffer_end, window, newer_part);
    std::memcpy(buffer, window + newer_part, buffer_end);
}


std::uint32_t Rabin::fingerprintOfWindow(const unsigned char* window, std::uint64_t increments,
                                         bool stream_began_with_zero) const {
    std::uint32_t value = rabin_roll::polynomial(window, window_size);
    // The first byte of 0 was taken as 1: 7^(window_size - 1) more, and that
    // surplus is multiplied by 7 at each step, as nothing ever removes it.
    if (stream_began_with_zero) value += table[1] * rabin_roll::power_of_7(increments);
    return value;
}

std::uint32_t Rabin::rollStretch(std::uint32_t fingerprint_before, const unsigned char* stream, std::size_t count,
                                 std::uint64_t* anchor_bits) const {
    if (count == 0) return fingerprint_before;
    const std::uint32_t outgoing_weight = table[1] * p;  // 7^window_size mod 2^32
    return rabin_roll::current()(fingerprint_before, stream, window_size, count, outgoing_weight, anchor_bit_mask,
                                 anchor_bits);
}

void Rabin::displayBuffer() const {
    for (unsigned j = 0; j < window_size; ++j) std::fprintf(out, "%c", buffer[(buffer_end + j) % window_size]);
    std::fprintf(out, "\n");
}
