#include "ChunkingOptions.h"

#include <zstd.h>

#include <cstdlib>
#include <cstring>

namespace {

const Chunker kChunkers[] = {Chunker::rabin, Chunker::gear, Chunker::fastcdc, Chunker::fixed};

// A level as zstd takes it: an optional minus sign and up to seven digits.
bool readLevel(const std::string& text, int& level) {
    const std::size_t digits_from = !text.empty() && text[0] == '-' ? 1 : 0;
    const std::string digits = text.substr(digits_from);
    if (digits.empty() || digits.size() > 7 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    level = std::atoi(text.c_str());
    return level >= ZSTD_minCLevel() && level <= ZSTD_maxCLevel();
}

bool readCompression(const std::string& text, Compression& compression) {
    if (text == "none" || text == "lz4") {
        compression.codec = text == "lz4" ? Codec::lz4 : Codec::none;
        return true;
    }
    if (text == "zstd") {
        compression = {Codec::zstd, 3};
        return true;
    }
    if (text.compare(0, 5, "zstd:") != 0) return false;
    compression.codec = Codec::zstd;
    return readLevel(text.substr(5), compression.level);
}

constexpr unsigned kLargestSample = 1u << 20;

// A power of two from 1 to kLargestSample, in plain digits.
bool readSample(const std::string& text, std::uint32_t& sample) {
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    if (value == 0 || value > kLargestSample || (value & (value - 1)) != 0) return false;
    sample = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace

const char* chunkerName(Chunker chunker) {
    switch (chunker) {
        case Chunker::gear:
            return "gear";
        case Chunker::fastcdc:
            return "fastcdc";
        case Chunker::fixed:
            return "fixed";
        case Chunker::rabin:
            break;
    }
    return "rabin";
}

std::string compressionName(const Compression& compression) {
    switch (compression.codec) {
        case Codec::zstd:
            return "zstd:" + std::to_string(compression.level);
        case Codec::lz4:
            return "lz4";
        case Codec::none:
            break;
    }
    return "none";
}

bool readChunkingOptions(const CommandLine& command_line, Messages& messages, ChunkingParameters& params) {
    if (command_line.has("chunker")) {
        const std::string name = command_line.value("chunker");
        bool known = false;
        for (const Chunker chunker : kChunkers) {
            if (name == chunkerName(chunker)) {
                params.chunker = chunker;
                known = true;
            }
        }
        if (!known) {
            messages.error("--chunker takes rabin, gear, fastcdc or fixed, not %s", name.c_str());
            return false;
        }
        params.chunker_named = true;
    }
    if (command_line.has("compress")) {
        const std::string codec = command_line.value("compress");
        if (!readCompression(codec, params.compression)) {
            messages.error("--compress takes zstd, zstd:LEVEL with a LEVEL from %d to %d, lz4 or none, not %s",
                           ZSTD_minCLevel(), ZSTD_maxCLevel(), codec.c_str());
            return false;
        }
    }
    if (command_line.has("sample")) {
        const std::string text = command_line.value("sample");
        if (!readSample(text, params.sample)) {
            messages.error("--sample takes a power of two from 1 to %u, not %s", kLargestSample, text.c_str());
            return false;
        }
    }
    return true;
}
