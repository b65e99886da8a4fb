"""An independent model of Tolvane's output, written from the documented
algorithm with Python integers and hashlib: what the program must print for a
list of files, the elapsed time aside."""
import hashlib
import struct

MOD = 1 << 32


def float32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def c_float(value):
    """printf("%f") as glibc renders it, NaN and infinities included."""
    if value != value:
        return "-nan"
    if value in (float("inf"), float("-inf")):
        return "inf" if value > 0 else "-inf"
    return "%f" % value


class TolvaneModel:
    def __init__(self, min_size=1024, max_size=65536, nmb=13, win=48, svl=3125, usv=True):
        self.min_size, self.max_size, self.nmb, self.win, self.svl, self.usv = min_size, max_size, nmb, win, svl, usv
        self.mask = (1 << min(nmb, 32)) - 1
        self.outgoing_weight = pow(7, win - 1, MOD)
        self.bits = 0  # the summary vector as one integer, bit p = position p
        self.stored = set()
        self.total = self.false_pos = self.lookups = self.byte_count = self.sumsqr = 0
        # Every chunk recorded, in order: (offset in its file, size, SHA-1 in
        # hexadecimal, True when it was new to the store).
        self.chunk_log = []

    def _record(self, chunk, counts, offset=0):
        digest = hashlib.sha1(chunk).digest()
        words = struct.unpack(">5I", digest)
        positions = [w % (self.svl * 32) for w in words]
        maybe_present = all(self.bits >> p & 1 for p in positions)
        for p in positions:
            self.bits |= 1 << p
        is_new = words not in self.stored
        self.stored.add(words)
        self.chunk_log.append((offset, len(chunk), digest.hex(), is_new))
        if not self.usv or maybe_present:
            self.lookups += 1
            if is_new and self.usv:
                self.false_pos += 1
        if not is_new:
            counts[0] += 1
        counts[1] += 1
        self.total += 1
        self.sumsqr += len(chunk) ** 2

    def chunk_file(self, data):
        """Returns [duplicates, chunks] for one file."""
        counts = [0, 0]
        self.byte_count += len(data)
        win = self.win
        if len(data) < win:
            return counts
        f = 1 if data[0] == 0 else data[0]
        for b in data[1:win]:
            f = (f * 7 + b) % MOD
        start = 0
        for i in range(win, len(data)):
            f = ((f - data[i - win] * self.outgoing_weight) * 7 + data[i]) % MOD
            size = i + 1 - start
            if (f & self.mask == 0 and size >= self.min_size) or size >= self.max_size:
                self._record(data[start:i + 1], counts, start)
                start = i + 1
        if start < len(data):
            self._record(data[start:], counts, start)
        return counts

    def chunked_bytes(self):
        """Bytes of the recorded chunks (a file shorter than the window has none)."""
        return sum(size for _, size, _, _ in self.chunk_log)

    def unique_bytes(self):
        """Bytes of the chunks that were new to the store."""
        return sum(size for _, size, _, new in self.chunk_log if new)

    def size_histogram(self):
        """[(from, to, chunks)] for the chunk sizes recorded, smallest first:
        sizes of 0 alone, then 2^k to 2^(k+1) - 1."""
        buckets = {}
        for _, size, _, _ in self.chunk_log:
            low = 0 if size == 0 else 1 << (size.bit_length() - 1)
            buckets[low] = buckets.get(low, 0) + 1
        return [(low, max(0, 2 * low - 1), buckets[low]) for low in sorted(buckets)]

    def report(self):
        stored = len(self.stored)
        ratio = float32(self.total) / stored if stored else float("nan")
        if self.total:
            average = float32(self.byte_count / self.total)
        else:
            average = float("inf") if self.byte_count else float("nan")
        desired = (1 << self.nmb) % MOD
        return [
            "",
            "number of false positives = %d" % self.false_pos,
            "length of summary vector = %d (in num. of 32-bit words)" % self.svl,
            "number of chunks stored = %d" % stored,
            "window size = %d" % self.win,
            "set min. chunk size = %d" % self.min_size,
            "set max. chunk size = %d" % self.max_size,
            "original number of chunks = %d" % self.total,
            "compression ratio = %s:1" % c_float(ratio),
            "number of on-disk fingerprint lookups = %d" % self.lookups,
            "average chunk size = %d (desired), %s (actual)" % (desired, c_float(average)),
            "squared sum of chunk sizes = %d" % self.sumsqr,
            "byte count = %d" % self.byte_count,
        ]

    def expected_stdout(self, paths):
        """The lines the program prints for these paths, the time line left out."""
        lines = []
        for path in paths:
            with open(path, "rb") as handle:
                dup, chunks = self.chunk_file(handle.read())
            lines.append("%d %d %s" % (dup, chunks, path))
        return lines + self.report()
