// Tolvane: what content-defined chunking would deduplicate in a list of files.
//
// Every listed file is cut into chunks at the anchors of a rolling
// fingerprint (within a minimum and a maximum chunk size), each chunk is
// digested with SHA-1, and the digests are looked up in one fingerprint store
// shared by the whole run. Per file: duplicate and chunk counts; at the end a
// report of the run.
#include "Tolvane.h"

#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "FingerprintStore.h"
#include "rabin.h"
#include "sha1.h"

namespace {

using hrtime_t = std::int64_t;

// Files are read in blocks this large; the chunking is the same as reading
// them one byte at a time.
constexpr std::size_t kReadBlockSize = 1 << 20;

void usage(std::FILE* out) {
    std::fprintf(out, "usage: Tolvane <f> <min> <max> <nmb> <win> <svl> <usv>\n");
    std::fprintf(out, "            <f>   = filename\n");
    std::fprintf(out, "            <min> = minimum chunk size\n");
    std::fprintf(out, "            <max> = maximum chunk size\n");
    std::fprintf(out, "            <nmb> = no. bits for determining avg. chunk size\n");
    std::fprintf(out, "            <win> = sliding window size\n");
    std::fprintf(out, "            <svl> = summary vector size\n");
    std::fprintf(out, "            <usv> = use summary vector (y/n)\n");
}

bool readClock(hrtime_t& stamp, std::FILE* out) {
    struct timeval tv;
    if (gettimeofday(&tv, nullptr) < 0) {
        std::fprintf(out, "gettimeofday ERROR\n");
        return false;
    }
    stamp = static_cast<hrtime_t>(tv.tv_sec) * 1000000000 + static_cast<hrtime_t>(tv.tv_usec) * 1000;
    return true;
}

struct Parameters {
    std::uint32_t min_chunk_size = 1024;
    std::uint32_t max_chunk_size = 65536;
    std::uint32_t num_comp_bits = 13;
    std::uint32_t window_size = 48;
    std::uint32_t sum_vec_size = 3125;
    bool use_summary_vec = true;
};

// A numeric argument as atoi reads it (leading blanks, optional sign, digits,
// anything else ends the number; no digits give 0), refused with a message
// when it is negative or outside [lowest, highest].
bool convertArgument(const char* text, const char* name, const char* meaning, std::uint32_t lowest,
                     std::uint32_t highest, std::uint32_t& value, std::FILE* err) {
    errno = 0;
    const long long parsed = std::strtoll(text, nullptr, 10);
    const bool too_large = errno == ERANGE || parsed > static_cast<long long>(highest);
    if (parsed < 0 || too_large || parsed < static_cast<long long>(lowest)) {
        std::fprintf(err, "Tolvane: %s (%s) must be from %" PRIu32 " to %" PRIu32 ", not %s\n", name, meaning,
                     lowest, highest, text);
        return false;
    }
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

bool readParameters(char* argv[], Parameters& params, std::FILE* err) {
    if (!convertArgument(argv[2], "<min>", "minimum chunk size", 0, UINT32_MAX, params.min_chunk_size, err) ||
        !convertArgument(argv[3], "<max>", "maximum chunk size", 0, UINT32_MAX, params.max_chunk_size, err) ||
        !convertArgument(argv[4], "<nmb>", "no. bits for determining avg. chunk size", 0, 32,
                         params.num_comp_bits, err) ||
        !convertArgument(argv[5], "<win>", "sliding window size", 1, 65535, params.window_size, err) ||
        !convertArgument(argv[6], "<svl>", "summary vector size", 1, 134217727, params.sum_vec_size, err))
        return false;
    // Only a lower-case n switches the summary vector off.
    params.use_summary_vec = argv[7][0] != 'n';
    return true;
}

// The state of one run: the engines, the store and the counters.
class ChunkingRun {
public:
    ChunkingRun(const Parameters& params, std::FILE* out, std::FILE* err)
        : params_(params), out_(out), err_(err), store_(params.sum_vec_size), window_(params.window_size),
          block_(kReadBlockSize), anchor_bits_(kReadBlockSize / 64 + 1) {}

    // Builds the rolling fingerprint; its table is part of the timed work.
    void createFingerprint() {
        rabin_.reset(new Rabin(static_cast<unsigned short>(params_.num_comp_bits),
                               static_cast<unsigned short>(params_.window_size)));
    }

    // Chunks one listed file; false when it could not be opened or read.
    bool processFile(const std::string& path);

    void printReport(hrtime_t start_time, hrtime_t end_time) const;

private:
    void closeChunk();
    void chunkSpan(const unsigned char* bytes, std::size_t count);
    // Reads the next block of the file; 0 at its end or after a read error.
    std::size_t readBlock(std::FILE* fp) { return std::fread(block_.data(), 1, block_.size(), fp); }
    bool finishFile(std::FILE* fp, const std::string& path);

    const Parameters params_;
    std::FILE* const out_;
    std::FILE* const err_;

    SHA1 sha_;
    FingerprintStore store_;
    std::unique_ptr<Rabin> rabin_;
    std::vector<unsigned char> window_;
    std::vector<unsigned char> block_;
    std::vector<std::uint64_t> anchor_bits_;
    unsigned sha_value_[5] = {0, 0, 0, 0, 0};

    std::uint64_t total_chunks_ = 0;
    std::uint64_t num_chunks_this_file_only_ = 0;
    std::uint64_t copy_found_ = 0;
    std::uint64_t false_pos_ = 0;
    std::uint64_t on_disk_hash_lookup_total_ = 0;
    std::uint64_t anchor_counter_ = 0;
    std::uint64_t byte_counter_ = 0;
    std::uint64_t sumsqr_chunksize_ = 0;
    std::uint64_t chunk_size_ = 0;
};

void ChunkingRun::closeChunk() {
    ++anchor_counter_;
    if (!sha_.Result(sha_value_)) {
        // The chunk is not recorded; its bytes stay at the head of the next.
        std::fprintf(err_, "sha: could not compute message digest for chunk %" PRIu64 "\n", anchor_counter_);
        return;
    }
    if (params_.use_summary_vec) {
        if (store_.fast_lookup(sha_value_)) {
            ++on_disk_hash_lookup_total_;
            if (store_.insert(sha_value_))
                ++false_pos_;
            else
                ++copy_found_;
        } else if (!store_.insert(sha_value_)) {
            ++copy_found_;
        }
    } else {
        ++on_disk_hash_lookup_total_;
        if (!store_.insert(sha_value_)) ++copy_found_;
    }
    ++num_chunks_this_file_only_;
    ++total_chunks_;
    sha_.Reset();
    sumsqr_chunksize_ += chunk_size_ * chunk_size_;
    chunk_size_ = 0;
}

// The first position in [from, end) whose bit is set, or end.
std::size_t firstAnchor(const std::uint64_t* anchor_bits, std::size_t from, std::size_t end) {
    while (from < end) {
        const std::uint64_t bits = anchor_bits[from / 64] >> (from % 64);
        if (bits != 0) return std::min(end, from + static_cast<std::size_t>(__builtin_ctzll(bits)));
        from = (from / 64 + 1) * 64;
    }
    return end;
}

// Main phase over a span of the file: every byte rolls the fingerprint and
// grows the chunk; a chunk closes at the first anchor once it holds
// min_chunk_size bytes, or when it reaches max_chunk_size bytes.
void ChunkingRun::chunkSpan(const unsigned char* bytes, std::size_t count) {
    rabin_->IncrementSpan(bytes, count, anchor_bits_.data());
    byte_counter_ += count;
    const std::uint64_t min_chunk_size = params_.min_chunk_size;
    const std::uint64_t max_chunk_size = params_.max_chunk_size;
    std::size_t chunk_start = 0;  // where the bytes not yet digested begin
    std::size_t next = 0;         // the next position to decide
    while (next < count) {
        // Counting the byte at a position, the chunk reaches the maximum
        // (a forced close) and the minimum (anchors count from there) at:
        const std::uint64_t to_max = chunk_size_ < max_chunk_size ? max_chunk_size - chunk_size_ : 1;
        const std::uint64_t to_min = chunk_size_ < min_chunk_size ? min_chunk_size - chunk_size_ : 1;
        const std::size_t left = count - next;
        const std::size_t forced = to_max <= left ? next + to_max - 1 : count;
        std::size_t close = forced;
        if (to_min <= left) close = firstAnchor(anchor_bits_.data(), next + to_min - 1, forced);
        if (close >= count) {
            chunk_size_ += left;
            break;
        }
        chunk_size_ += close + 1 - next;
        sha_.Input(bytes + chunk_start, static_cast<unsigned>(close + 1 - chunk_start));
        chunk_start = close + 1;
        closeChunk();
        next = close + 1;
    }
    sha_.Input(bytes + chunk_start, static_cast<unsigned>(count - chunk_start));
}

bool ChunkingRun::processFile(const std::string& path) {
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (fp == nullptr) {
        std::fprintf(err_, "Tolvane: unable to open file %s\n", path.c_str());
        return false;
    }
    sha_.Reset();
    copy_found_ = 0;
    num_chunks_this_file_only_ = 0;

    // Priming: the first window_size bytes load the fingerprint and start the
    // first chunk; no boundary is tested among them.
    const std::size_t window_size = window_.size();
    std::size_t primed = 0;
    std::size_t have = 0;  // bytes of block_ read from the file
    std::size_t used = 0;  // bytes of block_ already consumed
    while (primed < window_size) {
        if (used == have) {
            have = readBlock(fp);
            used = 0;
            if (have == 0) break;
        }
        const std::size_t take = std::min(window_size - primed, have - used);
        std::memcpy(window_.data() + primed, block_.data() + used, take);
        used += take;
        primed += take;
    }
    sha_.Input(window_.data(), static_cast<unsigned>(primed));
    byte_counter_ += primed;
    chunk_size_ = primed;
    if (primed < window_size) return finishFile(fp, path);

    rabin_->Initialize(window_.data());
    for (;;) {
        if (used == have) {
            have = readBlock(fp);
            used = 0;
            if (have == 0) break;
        }
        chunkSpan(block_.data() + used, have - used);
        used = have;
    }
    if (chunk_size_ > 0 && !std::ferror(fp)) closeChunk();
    return finishFile(fp, path);
}

// Closes the file and writes its line, or reports the read error that ended it.
bool ChunkingRun::finishFile(std::FILE* fp, const std::string& path) {
    const bool read_failed = std::ferror(fp) != 0;
    const int read_errno = errno;
    std::fclose(fp);
    if (read_failed) {
        std::fprintf(err_, "Tolvane: error reading file %s: %s\n", path.c_str(), std::strerror(read_errno));
        return false;
    }
    std::fprintf(err_, "%" PRIu64 " %" PRIu64 " %s\n", copy_found_, num_chunks_this_file_only_, path.c_str());
    std::fflush(err_);
    std::fprintf(out_, "%" PRIu64 " %" PRIu64 " %s\n", copy_found_, num_chunks_this_file_only_, path.c_str());
    return true;
}

void ChunkingRun::printReport(hrtime_t start_time, hrtime_t end_time) const {
    // 2^num_comp_bits by doubling in 32 bits: 32 or more bits give 0.
    std::uint32_t avg_chunk_size = 1;
    for (std::uint32_t i = 0; i < params_.num_comp_bits; ++i) avg_chunk_size *= 2;
    const unsigned stored = store_.get_size();

    std::fprintf(out_, "\n");
    std::fprintf(out_, "number of false positives = %" PRIu64 "\n", false_pos_);
    std::fprintf(out_, "length of summary vector = %" PRIu32 " (in num. of 32-bit words)\n", params_.sum_vec_size);
    std::fprintf(out_, "number of chunks stored = %u\n", stored);
    std::fprintf(out_, "window size = %" PRIu32 "\n", params_.window_size);
    std::fprintf(out_, "set min. chunk size = %" PRIu32 "\n", params_.min_chunk_size);
    std::fprintf(out_, "set max. chunk size = %" PRIu32 "\n", params_.max_chunk_size);
    std::fprintf(out_, "original number of chunks = %" PRIu64 "\n", total_chunks_);
    std::fprintf(out_, "compression ratio = %f:1\n",
                 static_cast<double>(static_cast<float>(total_chunks_)) / static_cast<double>(stored));
    std::fprintf(out_, "number of on-disk fingerprint lookups = %" PRIu64 "\n", on_disk_hash_lookup_total_);
    const float actual_average =
        static_cast<float>(static_cast<double>(byte_counter_) / static_cast<double>(total_chunks_));
    std::fprintf(out_, "average chunk size = %" PRIu32 " (desired), %f (actual)\n", avg_chunk_size,
                 static_cast<double>(actual_average));
    std::fprintf(out_, "squared sum of chunk sizes = %" PRIu64 "\n", sumsqr_chunksize_);
    std::fprintf(out_, "byte count = %" PRIu64 "\n", byte_counter_);
    std::fprintf(out_, "time = %lf seconds\n", static_cast<double>(end_time - start_time) / 1000000000.0);
}

int run(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    Parameters params;
    if (argc != 2 && argc != 8) {
        usage(out);
        return -1;
    }
    if (argc == 8 && !readParameters(argv, params, err)) return -1;

    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(err, "Tolvane: unable to open file %s\n", argv[1]);
        return 2;
    }
    // A list that opens but cannot be read (a directory, say) is no empty list.
    in.peek();
    if (in.bad()) {
        std::fprintf(err, "Tolvane: error reading file %s\n", argv[1]);
        return 2;
    }
    ChunkingRun chunking(params, out, err);

    hrtime_t start_time = 0;
    hrtime_t end_time = 0;
    if (!readClock(start_time, out)) return 1;
    chunking.createFingerprint();

    bool every_file_read = true;
    std::string str;
    while (in >> str) every_file_read = chunking.processFile(str) && every_file_read;
    if (in.bad()) {
        std::fprintf(err, "Tolvane: error reading file %s\n", argv[1]);
        every_file_read = false;
    }

    if (!readClock(end_time, out)) return 1;
    chunking.printReport(start_time, end_time);
    return every_file_read ? 0 : 2;
}

}  // namespace

int runTolvane(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    try {
        return run(argc, argv, out, err);
    } catch (const std::bad_alloc&) {
        std::fflush(out);
        std::fprintf(err, "Tolvane: out of memory\n");
        return 1;
    }
}
