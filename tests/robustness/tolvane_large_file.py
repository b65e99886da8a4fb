#!/usr/bin/env python3
"""Tolvane on sparse files past 4 GiB: the byte count, the chunk counts and
the squared sum of chunk sizes must not wrap.

usage: tolvane_large_file.py TOLVANE_PROGRAM [unittest arguments]
"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import programs, tolvane_texts as texts  # noqa: E402
from support.statuses import tolvane as status  # noqa: E402
from tolvane.tolvane_model import TolvaneModel  # noqa: E402

FOUR_GIB = 1 << 32
MAX_CHUNK = 65536  # the default maximum chunk size


class LargeFile(programs.ProgramCase):
    def run_tolvane(self, path):
        listing = self.file("list", path.encode())
        proc = self.run_program([listing])
        self.assertEqual(proc.returncode, status.SUCCESS, proc.stderr)
        return proc.stdout.decode(), proc.stderr.decode()

    def test_zero_bytes_past_four_gib(self):
        # Zero bytes have no anchor: chunks of the maximum size, one shorter
        # last chunk, all alike but the last.
        length = FOUR_GIB + 100000
        path = self.sparse_file("sparse", length)
        full, rest = divmod(length, MAX_CHUNK)
        chunks, stored = full + 1, 2
        out, err = self.run_tolvane(path)
        lines = out.splitlines()
        per_file = "%d %d %s" % (chunks - stored, chunks, path)
        self.assertEqual((lines[0], err), (per_file, per_file + "\n"))
        for expected in ("number of chunks stored = %d" % stored,
                         "original number of chunks = %d" % chunks,
                         "number of on-disk fingerprint lookups = %d" % (chunks - stored),
                         "number of false positives = 0",
                         "squared sum of chunk sizes = %d" % (full * MAX_CHUNK ** 2 + rest ** 2),
                         "byte count = %d" % length):
            self.assertIn(expected, lines)

    def test_data_past_four_gib(self):
        # A file that starts with a zero byte gives the rolling fingerprint a
        # term 7^position modulo 2^32, of period 2^29, which divides 4 GiB. So
        # data past 4 GiB + 64 KiB of zero bytes is cut as it is past 64 KiB:
        # the model runs on that small file, and the 65536 zero chunks in
        # between are added as duplicates, each with its on-disk lookup.
        #
        # The data: a block twice, the second copy a multiple of 1024 bytes
        # after the first. There 7^position agrees in the 13 bits an anchor
        # tests, so the copy is cut alike and its chunks are duplicates.
        block = random.Random(4).randbytes(100000)
        gap = b"past four GiB"
        gap += bytes(-(len(block) + len(gap)) % 1024 + 48 * 1024)
        tail = bytes(3000) + block + gap + block + bytes(777)
        path = self.sparse_file("sparse", FOUR_GIB + MAX_CHUNK + len(tail), {FOUR_GIB + MAX_CHUNK: tail})

        model = TolvaneModel()
        duplicates, chunks = model.chunk_file(bytes(MAX_CHUNK) + tail)
        between = FOUR_GIB // MAX_CHUNK
        model.total += between
        model.lookups += between
        model.byte_count += FOUR_GIB
        model.sumsqr += between * MAX_CHUNK ** 2
        per_file = "%d %d %s" % (duplicates + between, chunks + between, path)

        out, err = self.run_tolvane(path)
        lines = out.splitlines()
        self.assertEqual(lines[:-1], [per_file] + model.report())
        self.assertRegex(lines[-1], "\\A%s\\Z" % texts.TIME_LINE)
        self.assertEqual(err, per_file + "\n")


if __name__ == "__main__":
    programs.main()
