"""An independent model of Tolvane's other chunkers (gear, fastcdc, fixed)
and of the compressed sizes of the stored chunks, written from the manual
page with Python integers: each chunk hashed from its first byte, one byte
at a time, with no stream hash and no read blocks. Everything else (the
store, the summary vector, the report) is the rolling chunker's model."""
from tolvane.tolvane_model import TolvaneModel, c_float

MASK64 = (1 << 64) - 1


def splitmix64(seed, count):
    """The first count outputs of SplitMix64 from the state seed."""
    state, outputs = seed, []
    for _ in range(count):
        state = (state + 0x9E3779B97F4A7C15) & MASK64
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK64
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK64
        outputs.append(z ^ (z >> 31))
    return outputs


GEAR = splitmix64(0, 256)


def top_bits(count):
    """A position is an anchor when these bits of its fingerprint are 0."""
    count = max(0, min(64, count))
    return (MASK64 >> (64 - count)) << (64 - count) if count else 0


def gear_cuts(data, min_size, max_size, nmb, normalized):
    """The end offsets of the chunks of one file."""
    cuts, start, fp = [], 0, 0
    strict, loose = top_bits(nmb + 2), top_bits(nmb - 2 if normalized else nmb)
    for i, byte in enumerate(data):
        fp = ((fp << 1) + GEAR[byte]) & MASK64
        size = i + 1 - start
        mask = strict if normalized and size < 2**nmb else loose
        if (size >= min_size and fp & mask == 0) or size >= max_size:
            cuts.append(i + 1)
            start, fp = i + 1, 0
    if start < len(data):
        cuts.append(len(data))
    return cuts


def fixed_cuts(data, nmb):
    size = 2**nmb
    return [min(end, len(data)) for end in range(size, len(data) + size, size)]


def zstd_size(chunk, level):
    import zstandard  # Debian's python3-zstandard
    return len(zstandard.ZstdCompressor(level=level, write_content_size=True,
                                        write_checksum=False).compress(chunk))


# Below this size LZ4_compress_default indexes its hash table by 16-bit
# offsets; python3-lz4 compresses through lz4's streaming interface, whose
# table is always of 32-bit offsets, and so writes another (equally valid)
# block. From this size on both write the same block.
LZ4_SMALL_INPUT_LIMIT = 65536 + 11


def lz4_block(chunk):
    """lz4's block format as LZ4_compress_default writes it: through
    python3-lz4 from LZ4_SMALL_INPUT_LIMIT bytes on, below that by calling
    the library's own function."""
    if len(chunk) >= LZ4_SMALL_INPUT_LIMIT:
        import lz4.block  # Debian's python3-lz4
        return lz4.block.compress(chunk, mode="default", store_size=False)
    import ctypes
    library = ctypes.CDLL("liblz4.so.1")
    output = ctypes.create_string_buffer(len(chunk) + len(chunk) // 255 + 16)
    written = library.LZ4_compress_default(chunk, output, len(chunk), len(output))
    return output.raw[:written]


def lz4_size(chunk):
    return len(lz4_block(chunk))


class ChunkerModel(TolvaneModel):
    def __init__(self, chunker="gear", compress=None, **parameters):
        """compress: None, "lz4", or "zstd:LEVEL"."""
        super().__init__(**parameters)
        self.chunker, self.compress = chunker, compress
        self.compressed_stored = 0

    def compressed_size(self, chunk):
        """The bytes a stored chunk counts at: its compressed size, or its
        own when compression does not shrink it."""
        if self.compress == "lz4":
            size = lz4_size(chunk)
        else:
            size = zstd_size(chunk, int(self.compress.split(":")[1]))
        return min(size, len(chunk))

    def chunk_file(self, data):
        if self.chunker == "rabin":
            cuts = None
        elif self.chunker == "fixed":
            cuts = fixed_cuts(data, self.nmb)
        else:
            cuts = gear_cuts(data, self.min_size, self.max_size, self.nmb, self.chunker == "fastcdc")
        if cuts is None:
            first = len(self.chunk_log)
            counts = super().chunk_file(data)
        else:
            first = len(self.chunk_log)
            counts = [0, 0]
            self.byte_count += len(data)
            start = 0
            for end in cuts:
                self._record(data[start:end], counts, start)
                start = end
        if self.compress:
            for offset, size, _, new in self.chunk_log[first:]:
                if new:
                    self.compressed_stored += self.compressed_size(data[offset:offset + size])
        return counts

    def reduction_ratio(self):
        chunked = self.chunked_bytes()
        return chunked / self.compressed_stored if self.compressed_stored else float("nan")

    def report(self, named_chunker=True):
        """The report lines, the time line left out: the rolling chunker's,
        then the lines that --chunker and --compress add."""
        lines = super().report()
        if named_chunker:
            lines.append("chunker = %s" % self.chunker)
        if self.compress:
            lines.append("compressed size of stored chunks = %d (%s)" % (self.compressed_stored, self.compress))
            lines.append("data reduction ratio = %s:1" % c_float(self.reduction_ratio()))
        return lines
