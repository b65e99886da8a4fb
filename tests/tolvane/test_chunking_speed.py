"""The benchmark's chunking timer (bench/chunking_speed) cuts a file into the
chunks Tolvane does: the same number of chunks for every chunker, with the
default operands and with the smaller ones its NMB argument gives, on a file of
several read blocks (so that chunks cross blocks) with repeated stretches.

usage: test_chunking_speed.py CHUNKING_SPEED_PROGRAM [unittest arguments]
"""
import os
import random
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import programs, tools  # noqa: E402

CHUNKERS = ("rabin", "gear", "fastcdc", "fixed")


class ChunkingSpeedTest(programs.ProgramCase):
    TIMEOUT_SECONDS = 120

    def tolvane_chunks(self, chunker, path, operands):
        listing = self.file("list.txt", path.encode() + b"\n")
        proc = subprocess.run([tools.path("Tolvane"), "--chunker", chunker, listing, *operands],
                              capture_output=True, cwd=self.dir)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return int(re.search(rb"^original number of chunks = (\d+)$", proc.stdout, re.M).group(1))

    def test_chunks_as_tolvane_cuts_them(self):
        rng = random.Random(7)
        data = bytearray(rng.randbytes(1 << 20))
        data += data[12345:12345 + 700000] + rng.randbytes(2 << 20) + bytes(300000) + data[:400000]
        path = self.file("data.bin", bytes(data))
        for chunker in CHUNKERS:
            for nmb, operands in ((None, []), ("10", ["128", "8192", "10", "48", "3125", "y"])):
                with self.subTest(chunker=chunker, nmb=nmb):
                    proc = self.run_program([chunker, path] + ([nmb] if nmb else []))
                    self.assertEqual(proc.returncode, 0, proc.stderr)
                    match = re.fullmatch(rb"\d+\.\d+ seconds, (\d+) chunks\n", proc.stdout)
                    self.assertIsNotNone(match, proc.stdout)
                    self.assertEqual(int(match.group(1)), self.tolvane_chunks(chunker, path, operands))


if __name__ == "__main__":
    programs.main()
