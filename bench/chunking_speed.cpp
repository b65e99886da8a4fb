// The chunking alone, as Tolvane does it on one thread with the default
// operands: the anchors and the boundaries of a file's 1 MiB blocks, with no
// digest and no store. The file is read into memory first; each block is
// copied into place with the bytes before it, as reading would. Prints the
// seconds of the chunking (reading the file into memory left out) and the
// chunks.
//
// usage: chunking_speed rabin|gear|fastcdc|fixed FILE [NMB]
//   NMB: the anchor bits (13), min and max 2^NMB / 8 and 2^NMB * 8
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "AnchorFinder.h"
#include "ChunkBlock.h"
#include "ChunkStages.h"
#include "ChunkingOptions.h"
#include "InputFile.h"

int main(int argc, char* argv[]) {
    ChunkingParameters params;
    bool known = false;
    for (const Chunker chunker : {Chunker::rabin, Chunker::gear, Chunker::fastcdc, Chunker::fixed}) {
        if ((argc == 3 || argc == 4) && std::strcmp(argv[1], chunkerName(chunker)) == 0) {
            params.chunker = chunker;
            known = true;
        }
    }
    if (!known) {
        std::fprintf(stderr, "usage: chunking_speed rabin|gear|fastcdc|fixed FILE [NMB]\n");
        return 2;
    }
    if (argc == 4) {
        params.num_comp_bits = static_cast<std::uint32_t>(std::min(std::max(std::atoi(argv[3]), 3), 28));
        params.min_chunk_size = (1u << params.num_comp_bits) / 8;
        params.max_chunk_size = (1u << params.num_comp_bits) * 8;
    }
    std::ifstream file(argv[2], std::ios::binary | std::ios::ate);
    std::vector<unsigned char> bytes(file ? static_cast<std::size_t>(file.tellg()) : 0);
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
        bytes.empty()) {
        std::fprintf(stderr, "chunking_speed: cannot read %s, or it is empty\n", argv[2]);
        return 2;
    }

    const std::size_t block_size = kReadBlockSize;
    const std::size_t context = contextBytes(params);
    const auto start = std::chrono::steady_clock::now();
    const AnchorFinder finder(params, stdout, stderr);
    BoundaryChooser chooser(params, finder, GearAnchors::hashed_in_order);
    ChunkBlock block(context, block_size);
    std::size_t chunks = 0;
    for (std::size_t offset = 0; offset < bytes.size(); offset += block_size) {
        block.fillFromMemory(bytes.data(), bytes.size(), offset, std::min(block_size, bytes.size() - offset));
        chooser.prepare(finder, block);
        chooser.choose(block);
        chunks += block.closings.size();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f seconds, %zu chunks\n", seconds, chunks);
    return 0;
}
