#!/usr/bin/env python3
"""sha run on generated files, its result line checked against an
independent reference model of the algorithm (per-byte framing, hashlib for
the digests) and against the documented examples. How it refuses bad
arguments and unreadable files is checked by tests/robustness.

usage: sha_end_to_end.py SHA_PROGRAM [unittest arguments]
"""
import hashlib
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import programs, statuses  # noqa: E402


def reference(data, N, W, b, e):
    """Fields 1 to 8 of the result line, one byte at a time as specified."""
    S = N - b - e
    store, counts = set(), {"lists": 0, "windows": 0}

    def process(chunk):
        fraction = sum(1 for x in chunk if x) / S
        if -0.01 <= fraction <= 0.01:
            store.add(hashlib.sha1(bytes(chunk)).digest())
            return
        counts["lists"] += 1
        # Template is all zeros; the last window may be shorter.
        differing = sum(1 for w in range(0, S, W) if any(chunk[w:w + W]))
        if (W + 8) * differing < S:
            counts["windows"] += max(differing, 1)  # an empty head still counts

    chunk, byte_offset, chunk_count, total, padding = bytearray(), 0, 0, 0, 0
    for byte in data:
        if byte_offset >= b:
            chunk.append(byte)
            total += 1
        byte_offset += 1
        if len(chunk) >= S:
            process(chunk)
            chunk_count += 1
            chunk, byte_offset = bytearray(), 0
    if chunk:
        padding = S - len(chunk)
        process(chunk + bytes(padding))
        chunk_count += 1
    return [N, W, chunk_count, len(store), total, padding, counts["lists"], counts["windows"]]


class ShaCase(programs.ProgramCase):
    def fields(self, path, *args):
        """The first eight fields of a successful run, as text."""
        proc = self.run_program([path, *args])
        self.assertEqual((proc.returncode, proc.stderr), (statuses.sha.SUCCESS, b""), args)
        line = proc.stdout.decode()
        self.assertRegex(line, r"^(-?\d+ ){8}\d+\n\Z")
        return line.rsplit(" ", 1)[0]


class Examples(ShaCase):
    def test_documented_lines(self):
        one_in_64 = bytearray(64); one_in_64[17] = 1
        one_in_8 = bytearray(8); one_in_8[6] = 0xFF
        # N = 10, b = 2, e = 3: chunks are bytes 2-6, 9-13, 16-20, 23-27; every
        # skipped byte is non-zero, so a chunk taking one would be windowed.
        skipped = bytearray(30)
        for i in (0, 1, 7, 8, 14, 15, 21, 22, 28, 29):
            skipped[i] = 0xEE
        for data, args, expected in (
                (bytes(10), (4, 2, 0, 0), "4 2 3 1 10 2 0 0"),
                (one_in_64, (64, 4, 0, 0), "64 4 1 0 64 0 1 1"),
                (one_in_8, (8, 2, 0, 0), "8 2 1 0 8 0 1 0"),
                (bytes([0, 0, 0, 0, 0x41, 0x42]), (4, 2, 0, 0), "4 2 2 1 6 2 1 0"),
                (skipped, (10, 2, 2, 3), "10 2 4 1 20 0 0 0"),
                (b"", (16, 4, 0, 0), "16 4 0 0 0 0 0 0"),
                (b"\1\2\3", (16, 4, 3, 0), "16 4 0 0 0 0 0 0"),  # no longer than b
                (bytes(48), (16, 4, 0, 0), "16 4 3 1 48 0 0 0"),  # a multiple of N
                # b = -2 skips nothing and widens S to 6; field 1 stays N.
                (bytes(10), (4, 2, -2, 0), "4 2 2 1 10 2 0 0"),
                (bytes(10), (" 4xyz", "+2", "0", "junk"), "4 2 3 1 10 2 0 0")):  # atoi
            self.assertEqual(self.fields(self.file("input", data), *args), expected, args)

    def test_one_percent_threshold(self):
        for size, non_zero, windowed in ((4096, 40, 0), (4096, 41, 1), (100, 1, 0), (100, 2, 1)):
            chunk = bytearray(size)
            for i in range(non_zero):
                chunk[i * 13 % size] = 0x80
            line = self.fields(self.file("input", chunk), size, size, 0, 0).split()
            self.assertEqual((line[3], line[6]), (str(1 - windowed), str(windowed)))

    def test_shorter_last_window_is_compared_and_charged(self):
        # 100 bytes in windows of 40: the last window is bytes 80-99.
        data = bytearray(100); data[3] = 1; data[95] = 1
        self.assertEqual(self.fields(self.file("input", data), 100, 40, 0, 0), "100 40 1 0 100 0 1 2")
        data[41] = 1  # three windows cost 144, not below 100
        self.assertEqual(self.fields(self.file("input", data), 100, 40, 0, 0), "100 40 1 0 100 0 1 0")


class ReferenceModel(ShaCase):
    """Random and structured inputs: the program and the model must agree."""

    def generate(self, rng, length, S):
        kind = rng.choice(["zeros", "random", "sparse", "repeats", "mixed"])
        if kind == "zeros":
            return bytes(length)
        if kind == "random":
            return rng.randbytes(length)
        if kind == "sparse":  # about 1% non-zero: both sides of the threshold
            data = bytearray(length)
            for i in range(length):
                if rng.random() < 0.0105:
                    data[i] = rng.randrange(1, 256)
            return bytes(data)
        if kind == "repeats":  # few distinct chunks, so fingerprints repeat
            pieces = [bytes(S), rng.randbytes(S), bytes([0] * (S - 1) + [7])]
            return b"".join(rng.choice(pieces) for _ in range(length // max(S, 1) + 1))[:length]
        return b"".join(rng.choice([bytes(37), rng.randbytes(11), b"\0\1" * 9])
                        for _ in range(length // 19 + 1))[:length]

    def check(self, data, N, W, b, e):
        expected = " ".join(map(str, reference(data, N, W, b, e)))
        self.assertEqual(self.fields(self.file("input", data), N, W, b, e), expected, (len(data), N, W, b, e))

    def test_random_arguments_and_inputs(self):
        rng = random.Random(20240604)
        for _ in range(250):
            N = rng.choice([rng.randrange(1, 40), rng.randrange(40, 400), 100, 4096])
            b, e = rng.randrange(-20, 30), rng.randrange(-20, 30)
            S = N - b - e
            if S < 1:
                continue
            W = rng.choice([1, S, rng.randrange(1, S + 1), max(1, S // rng.randrange(1, 9))])
            length = rng.choice([0, max(b, 0), N, 3 * N, rng.randrange(0, 6 * S + 50)])
            self.check(self.generate(rng, length, S), N, W, b, e)

    def test_chunks_straddling_large_read_blocks(self):
        rng = random.Random(5)
        data = bytearray(rng.randbytes(3 << 20))
        data[1 << 20:(2 << 20) + 777] = bytes((1 << 20) + 777)  # zero chunks too
        self.check(bytes(data), 4099, 64, 5, 2)
        self.check(bytes(data), 1536 * 1024, 4096, 0, 0)  # chunk larger than a block


class LargeSparseFile(ShaCase):
    def test_counters_beyond_two_gib(self):
        length = (1 << 31) + 3 * 4096 + 100
        path = self.sparse_file("sparse", length, {
            (1 << 31) + 4096 + 5: b"\1\2\3\4\5",  # a sparse chunk: digested, a new fingerprint
            (1 << 31) + 2 * 4096: b"\xff" * 100,  # a dense chunk: two differing windows of 64
        })
        chunks = length // 4096 + 1
        self.assertEqual(self.fields(path, 4096, 64, 0, 0),
                         f"4096 64 {chunks} 2 {length} {4096 - 100} 1 2")


if __name__ == "__main__":
    programs.main()
