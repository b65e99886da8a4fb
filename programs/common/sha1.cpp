// The SHA-1 engine's state machine: input, padding, digest.
#include "sha1.h"

#include <cstdint>
#include <cstring>

#include "sha1_compress.h"

namespace {

// Bytes that can still be counted before the 64-bit bit count reaches 2^64;
// the byte that reaches it is the last one taken. A count of 0 leaves 2^61,
// more than any single call can bring.
std::uint64_t bytes_before_overflow(std::uint64_t length_in_bits)
{
    if (length_in_bits == 0) {
        return std::uint64_t{1} << 61;
    }
    return (0 - length_in_bits) / 8;
}

}  // namespace

SHA1::SHA1() { Reset(); }

SHA1::~SHA1() = default;

void SHA1::Reset()
{
    Length_Low = 0;
    Length_High = 0;
    Message_Block_Index = 0;

    H[0] = 0x67452301;
    H[1] = 0xEFCDAB89;
    H[2] = 0x98BADCFE;
    H[3] = 0x10325476;
    H[4] = 0xC3D2E1F0;

    Computed = false;
    Corrupted = false;
}

bool SHA1::Result(unsigned* message_digest_array)
{
    if (Corrupted) {
        return false;
    }
    if (!Computed) {
        PadMessage();
        Computed = true;
    }
    for (int i = 0; i < 5; ++i) {
        message_digest_array[i] = H[i];
    }
    return true;
}

// Same results as taking the bytes one at a time: the partial block is
// topped up, whole blocks are compressed straight from the caller's buffer,
// and the tail waits in Message_Block.
void SHA1::Input(const unsigned char* message_array, unsigned length)
{
    if (length == 0) {
        return;
    }
    if (Computed || Corrupted) {
        Corrupted = true;
        return;
    }

    std::uint64_t length_in_bits = (std::uint64_t{Length_High} << 32) | Length_Low;
    std::size_t remaining = length;
    bool overflows = false;
    const std::uint64_t room = bytes_before_overflow(length_in_bits);
    if (room <= remaining) {
        remaining = static_cast<std::size_t>(room);
        overflows = true;
    }
    length_in_bits += std::uint64_t{remaining} * 8;  // wraps to 0 on overflow
    Length_Low = static_cast<unsigned>(length_in_bits);
    Length_High = static_cast<unsigned>(length_in_bits >> 32);

    if (Message_Block_Index > 0) {
        const std::size_t free_bytes = 64 - static_cast<std::size_t>(Message_Block_Index);
        const std::size_t fill = remaining < free_bytes ? remaining : free_bytes;
        std::memcpy(Message_Block + Message_Block_Index, message_array, fill);
        Message_Block_Index += static_cast<int>(fill);
        message_array += fill;
        remaining -= fill;
        if (Message_Block_Index == 64) {
            ProcessMessageBlock();
        }
    }

    const std::size_t whole_blocks = remaining / 64;
    if (whole_blocks > 0) {
        ProcessBlocks(message_array, whole_blocks);
        message_array += whole_blocks * 64;
        remaining -= whole_blocks * 64;
    }

    if (remaining > 0) {
        std::memcpy(Message_Block + Message_Block_Index, message_array, remaining);
        Message_Block_Index += static_cast<int>(remaining);
    }

    if (overflows) {
        Corrupted = true;
    }
}

void SHA1::Input(const char* message_array, unsigned length)
{
    Input(reinterpret_cast<const unsigned char*>(message_array), length);
}

SHA1& SHA1::operator<<(const char* message_array)
{
    for (; *message_array != '\0'; ++message_array) {
        Input(*message_array);
    }
    return *this;
}

SHA1& SHA1::operator<<(const unsigned char* message_array)
{
    for (; *message_array != 0; ++message_array) {
        Input(*message_array);
    }
    return *this;
}

SHA1& SHA1::operator<<(const char message_element)
{
    Input(message_element);
    return *this;
}

SHA1& SHA1::operator<<(const unsigned char message_element)
{
    Input(message_element);
    return *this;
}

void SHA1::ProcessMessageBlock()
{
    ProcessBlocks(Message_Block, 1);
    Message_Block_Index = 0;
}

void SHA1::ProcessBlocks(const unsigned char* blocks, std::size_t block_count)
{
    sha1_compress::current()(H, blocks, block_count);
}

void SHA1::PadMessage()
{
    if (Message_Block_Index > 55) {
        Message_Block[Message_Block_Index++] = 0x80;
        std::memset(Message_Block + Message_Block_Index, 0,
                    static_cast<std::size_t>(64 - Message_Block_Index));
        ProcessMessageBlock();
        std::memset(Message_Block, 0, 56);
    } else {
        Message_Block[Message_Block_Index++] = 0x80;
        std::memset(Message_Block + Message_Block_Index, 0,
                    static_cast<std::size_t>(56 - Message_Block_Index));
    }

    for (int i = 0; i < 4; ++i) {
        Message_Block[56 + i] = static_cast<unsigned char>(Length_High >> (24 - 8 * i));
        Message_Block[60 + i] = static_cast<unsigned char>(Length_Low >> (24 - 8 * i));
    }
    ProcessMessageBlock();
}
