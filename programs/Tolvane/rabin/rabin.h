// Rolling fingerprint of the last window_size bytes of a byte stream.
//
// The fingerprint is the polynomial of the window's bytes in base 7, modulo
// 2^32, the oldest byte carrying the highest power. A position is an anchor
// when the low num_anchor_bits bits of its fingerprint are zero; the chunking
// driver cuts its chunks there. The table and the first fingerprint of every
// stream are computed exactly with BigUnsigned, then taken back to a machine
// word through their decimal text; rolling uses plain 32-bit arithmetic.
#ifndef DEDUP_TOLVANE_RABIN_H
#define DEDUP_TOLVANE_RABIN_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

class Rabin {
public:
    // window_size must be at least 1 (std::invalid_argument otherwise).
    // displayBuffer prints on out, the message of Initialize goes to err.
    Rabin(unsigned short num_anchor_bits, unsigned short window_size, std::FILE* out = stdout,
          std::FILE* err = stderr);
    ~Rabin();
    Rabin(const Rabin&) = delete;
    Rabin& operator=(const Rabin&) = delete;

    // Loads the first win_size bytes of window as a new stream, padded with
    // zero bytes at the newest end when short. A first byte of 0 counts as 1.
    // Fails, with a message on err and nothing changed, when win_size
    // exceeds the window size.
    bool Initialize(unsigned short win_size, unsigned char* window);
    bool Initialize(unsigned char* window);

    // Slides the window by one byte; true when the new position is an anchor.
    bool Increment(unsigned char nextByte) {
        const unsigned char outgoing = buffer[buffer_end];
        fingerprint = (fingerprint - table[outgoing]) * p + nextByte;
        buffer[buffer_end] = nextByte;
        if (++buffer_end == window_size) buffer_end = 0;
        return isAnchor();
    }

    // Slides the window over count bytes, exactly as count calls of Increment
    // would, and sets bit i of anchor_bits (64 to a word, (count + 63) / 64
    // words, all written) when the position after bytes[i] is an anchor.
    void IncrementSpan(const unsigned char* bytes, std::size_t count, std::uint64_t* anchor_bits);

    // The fingerprint of a stream's window from the window's bytes alone, in
    // word arithmetic: with increments 0, what Initialize computes exactly for
    // a stream's first window; with window holding the window after
    // `increments` calls of Increment, what they leave. A stream whose first
    // byte was 0 carries the first-byte rule's offset, multiplied by 7 at
    // every step.
    std::uint32_t fingerprintOfWindow(const unsigned char* window, std::uint64_t increments,
                                      bool stream_began_with_zero) const;

    // Rolls a stretch of a stream without using this object's window, so
    // stretches can be rolled apart: stream holds the window_size bytes
    // before the stretch and then its count bytes, fingerprint is the one
    // before the stretch. Sets the anchor bits as IncrementSpan does and
    // returns the fingerprint after the stretch.
    std::uint32_t rollStretch(std::uint32_t fingerprint, const unsigned char* stream, std::size_t count,
                              std::uint64_t* anchor_bits) const;

    unsigned short windowSize() const { return window_size; }

    bool isAnchor() const { return (fingerprint & anchor_bit_mask) == 0; }
    std::uint32_t getFingerprint() const { return fingerprint; }

    // The ring itself; the oldest byte is at the current ring position.
    unsigned char* getBuffer() { return buffer; }

    // Prints the window, oldest byte first, then a line break.
    void displayBuffer() const;

private:
    static constexpr std::uint32_t p = 7;

    std::uint32_t fingerprint = 0;
    std::uint32_t table[256];
    unsigned char* buffer;
    unsigned short buffer_end;
    unsigned short window_size;
    std::uint32_t anchor_bit_mask;
    std::vector<unsigned char> span_scratch;  // the window followed by a span's head, for IncrementSpan
    std::FILE* out;
    std::FILE* err;
};

#endif
