// The rolling fingerprint after every Increment, and at every position of an
// IncrementSpan (on each rolling path this CPU has), equals the fingerprint
// computed directly from the last window_size bytes, modulo 2^32, and the
// anchor answer follows its low bits; a stream whose first byte is 0 carries
// an extra 7^(W-1+k) after k increments. Window sizes 1..300, anchor bits
// 0..40, streams restarted with full and short windows, and a refused
// oversize window that must change nothing.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "rabin.h"
#include "rabin_roll.h"

namespace {

// The stream as the fingerprint must see it: the window, oldest byte first,
// and the extra term of a leading zero byte.
struct ReferenceWindow {
    std::deque<unsigned char> bytes;
    std::uint32_t extra = 0;

    void roll(unsigned char next) {
        bytes.pop_front();
        bytes.push_back(next);
        extra *= 7;
    }

    std::uint32_t fingerprint() const {
        std::uint32_t value = 0;
        for (unsigned char byte : bytes) value = value * 7 + byte;
        return value + extra;
    }
};

bool isAnchor(std::uint32_t fingerprint, unsigned anchorBits) {
    const std::uint32_t mask = anchorBits >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << anchorBits) - 1;
    return (fingerprint & mask) == 0;
}

// The refused call reports on standard error; keep that out of the log.
bool initializeQuietly(Rabin& rabin, unsigned short size, unsigned char* window) {
    static const int devNull = open("/dev/null", O_WRONLY);
    const int savedStderr = dup(2);
    dup2(devNull, 2);
    const bool result = rabin.Initialize(size, window);
    dup2(savedStderr, 2);
    close(savedStderr);
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const unsigned windowSize = 1 + static_cast<unsigned>(in.takeScaledNumber(299));
    const unsigned anchorBits = in.takeByte() % 41;
    Rabin rabin(static_cast<unsigned short>(anchorBits), static_cast<unsigned short>(windowSize));

    while (in.remaining() > 0) {
        // A new stream: a full window, or a short one padded with zeros.
        const std::uint8_t form = in.takeByte();
        const unsigned loaded = form & 1 ? static_cast<unsigned>(in.takeNumber(windowSize)) : windowSize;
        std::vector<unsigned char> window(windowSize + 1, 0);
        const std::string given = in.takeBytes(loaded == 0 ? 1 : loaded);
        std::copy(given.begin(), given.end(), window.begin());
        const bool anchor = form & 1 ? rabin.Initialize(static_cast<unsigned short>(loaded), window.data())
                                     : rabin.Initialize(window.data());

        ReferenceWindow reference;
        for (unsigned i = 0; i < windowSize; ++i) reference.bytes.push_back(i < loaded || i == 0 ? window[i] : 0);
        if (window[0] == 0) {
            reference.extra = 1;
            for (unsigned i = 1; i < windowSize; ++i) reference.extra *= 7;
        }
        FUZZ_CHECK(rabin.getFingerprint() == reference.fingerprint());
        FUZZ_CHECK(anchor == isAnchor(reference.fingerprint(), anchorBits));

        const auto incrementOne = [&](unsigned char next) {
            const bool found = rabin.Increment(next);
            reference.roll(next);
            FUZZ_CHECK(rabin.getFingerprint() == reference.fingerprint());
            FUZZ_CHECK(found == isAnchor(reference.fingerprint(), anchorBits) && found == rabin.isAnchor());
        };
        if (form & 4) {
            // Spans on the rolling path the form names (the portable one
            // where the CPU lacks it), each maybe followed by a single step.
            const rabin_roll::Path paths[] = {rabin_roll::Path::portable, rabin_roll::Path::avx2,
                                              rabin_roll::Path::avx512};
            rabin_roll::use(paths[(form >> 3) % 3]);
            for (bool more = true; more && in.remaining() > 0;) {
                const std::uint8_t step = in.takeByte();
                more = step & 2;
                const std::string span = in.takeBytes(in.takeScaledNumber(600));
                std::vector<std::uint64_t> anchorWords((span.size() + 63) / 64);
                rabin.IncrementSpan(reinterpret_cast<const unsigned char*>(span.data()), span.size(), anchorWords.data());
                for (std::size_t i = 0; i < span.size(); ++i) {
                    reference.roll(static_cast<unsigned char>(span[i]));
                    const bool found = (anchorWords[i / 64] >> (i % 64)) & 1;
                    FUZZ_CHECK(found == isAnchor(reference.fingerprint(), anchorBits));
                }
                FUZZ_CHECK(rabin.getFingerprint() == reference.fingerprint());
                if (step & 1) incrementOne(in.takeByte());
            }
            continue;
        }
        for (std::size_t length = in.takeNumber(1023); length > 0 && in.remaining() > 0; --length) {
            const unsigned char next = in.takeByte();
            if ((form & 2) && next == 0xFF) {
                FUZZ_CHECK(!initializeQuietly(rabin, static_cast<unsigned short>(windowSize + 1), window.data()));
                FUZZ_CHECK(rabin.getFingerprint() == reference.fingerprint());
            }
            incrementOne(next);
        }
    }
    return 0;
}
