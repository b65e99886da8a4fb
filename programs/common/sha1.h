// SHA-1 message digest engine (FIPS 180-1) over a message fed in pieces.
//
// One engine is reused for every chunk: Reset, Input the chunk's bytes,
// Result. Misuse (input after the digest was taken, or a bit count that
// overflows 64 bits) is recorded in a sticky Corrupted state, reported as a
// false Result until the next Reset. The engine never prints or throws.
#ifndef DEDUP_COMMON_SHA1_H
#define DEDUP_COMMON_SHA1_H

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
    void ProcessMessageBlock();
    void PadMessage();
    static unsigned CircularShift(int bits, unsigned word);

    unsigned H[5];
    unsigned Length_Low;
    unsigned Length_High;
    unsigned char Message_Block[64];
    int Message_Block_Index;
    bool Computed;
    bool Corrupted;
};

#endif
