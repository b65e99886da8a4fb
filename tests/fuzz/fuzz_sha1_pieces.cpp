// The SHA-1 engine fed one message in fuzzed pieces (spans of bytes and of
// characters, empty spans, single characters and bytes) gives the digest of
// the message fed at once; the portable compression and the SHA-extensions
// one (when this CPU has it) give the same digest; input after the digest
// makes the engine refuse until Reset.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "sha1.h"
#include "sha1_compress.h"

namespace {

void digestAtOnce(const std::string& message, bool shaExtensions, unsigned* digest) {
    sha1_compress::use(shaExtensions ? sha1_compress::Path::sha_extensions : sha1_compress::Path::portable);
    SHA1 engine;
    engine.Input(reinterpret_cast<const unsigned char*>(message.data()), static_cast<unsigned>(message.size()));
    FUZZ_CHECK(engine.Result(digest));
}

// One piece per schedule byte, round and round: the low two bits choose the
// kind, the others the length of a span (up to 23 blocks).
void feedInPieces(SHA1& engine, const std::string& schedule, const std::string& message) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(message.data());
    std::size_t fed = 0;
    for (std::size_t step = 0; fed < message.size(); ++step) {
        const auto code = static_cast<unsigned char>(schedule[step % schedule.size()]);
        const unsigned units = code >> 2;
        std::size_t length = units <= 40 ? units : (units - 40) * 61;
        if (length > message.size() - fed) length = message.size() - fed;
        switch (code & 3) {
            case 0:
                engine.Input(bytes + fed, static_cast<unsigned>(length));
                break;
            case 1:
                engine.Input(message.data() + fed, static_cast<unsigned>(length));
                break;
            case 2:
                engine << message[fed];
                length = 1;
                break;
            default:
                engine.Input(bytes[fed]);
                length = 1;
        }
        if (length == 0) engine.Input(bytes[fed++]);  // an empty span, then a byte to move on
        fed += length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    std::string schedule = in.takeBytes(1 + in.takeByte() % 16);
    if (schedule.empty()) schedule = std::string(1, '\0');
    const std::string message = in.takeRest();
    const bool supported = sha1_compress::supported(sha1_compress::Path::sha_extensions);

    unsigned expected[5], digest[5];
    digestAtOnce(message, false, expected);
    if (supported) {
        digestAtOnce(message, true, digest);
        FUZZ_CHECK(std::memcmp(digest, expected, sizeof digest) == 0);
    }

    // One engine for the whole run: Reset must forget every earlier message.
    static SHA1 engine;
    sha1_compress::use(supported && (schedule[0] & 0x80) ? sha1_compress::Path::sha_extensions : sha1_compress::Path::portable);
    engine.Reset();
    feedInPieces(engine, schedule, message);
    FUZZ_CHECK(engine.Result(digest) && std::memcmp(digest, expected, sizeof digest) == 0);
    engine.Input(reinterpret_cast<const unsigned char*>(message.data()), 0);
    FUZZ_CHECK(engine.Result(digest) && std::memcmp(digest, expected, sizeof digest) == 0);

    engine.Input(static_cast<char>(schedule.back()));
    std::memset(digest, 0xA5, sizeof digest);
    FUZZ_CHECK(!engine.Result(digest));
    for (unsigned word : digest) FUZZ_CHECK(word == 0xA5A5A5A5u);
    return 0;
}
