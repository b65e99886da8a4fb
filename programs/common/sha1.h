// SHA-1 message digest engine (FIPS 180-1) over a message fed in pieces.
//
// One engine is reused for every chunk: Reset, Input the chunk's bytes,
// Result. Misuse (input after the digest was taken, or a bit count that
// overflows 64 bits) is recorded in a sticky Corrupted state, reported as a
// false Result until the next Reset. The engine never prints or throws.
#ifndef DEDUP_COMMON_SHA1_H
#define DEDUP_COMMON_SHA1_H

#include <cstddef>

namespace sha1_compress {
void compress_portable(unsigned* hash, const unsigned char* blocks, std::size_t block_count);
}

class SHA1 {
public:
    SHA1();
    virtual ~SHA1();

    // Starts a new, empty message.
    void Reset();

    // Pads the message once and writes H0..H4 into the five words; false,
    // with the words untouched, when the engine is Corrupted.
    bool Result(unsigned* message_digest_array);

    void Input(const unsigned char* message_array, unsigned length);
    void Input(const char* message_array, unsigned length);
    void Input(unsigned char message_element);
    void Input(char message_element);

    SHA1& operator<<(const char* message_array);
    SHA1& operator<<(const unsigned char* message_array);
    SHA1& operator<<(const char message_element);
    SHA1& operator<<(const unsigned char message_element);

private:
    // Tests use it to put the bit count next to its 64-bit limit, which no
    // amount of real input can reach.
    friend struct SHA1TestPeer;
    // The portable compression rotates with CircularShift.
    friend void sha1_compress::compress_portable(unsigned* hash, const unsigned char* blocks,
                                                 std::size_t block_count);

    void ProcessMessageBlock();
    void PadMessage();
    static unsigned CircularShift(int bits, unsigned word);

    // Compresses whole 64-byte blocks into H with the compression chosen for
    // this CPU; the block buffer is not involved.
    void ProcessBlocks(const unsigned char* blocks, std::size_t block_count);

    unsigned H[5];
    unsigned Length_Low;
    unsigned Length_High;
    unsigned char Message_Block[64];
    int Message_Block_Index;
    bool Computed;
    bool Corrupted;
};

// The tools feed one byte per call, so the common case (accumulating, no
// carry into Length_High) stays inline; everything else takes the array path,
// which owns the state rules.
inline void SHA1::Input(unsigned char message_element)
{
    if (Computed || Corrupted || Length_Low >= 0xFFFFFFF8u) {
        Input(&message_element, 1);
        return;
    }
    Message_Block[Message_Block_Index++] = message_element;
    Length_Low += 8;
    if (Message_Block_Index == 64) {
        ProcessMessageBlock();
    }
}

inline void SHA1::Input(char message_element)
{
    Input(static_cast<unsigned char>(message_element));
}

inline unsigned SHA1::CircularShift(int bits, unsigned word)
{
    return (word << bits) | (word >> (32 - bits));
}

#endif
