#!/usr/bin/env python3
"""Nimbrel run on generated files, its listing compared byte for byte with
an independent reference model and with the documented examples.

usage: nimbrel_end_to_end.py NIMBREL_PROGRAM [unittest arguments]
"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import programs, statuses  # noqa: E402


def reference(data):
    """The listing, one byte at a time as specified."""
    out, first = bytearray(), True
    for offset, c in enumerate(data):
        if c:
            if first:
                first = False
                out += b"%08X " % offset
            out += b"\\n " if c == 10 else bytes([c, 32])
        elif not first:
            first = True
            out += b"\n"
    return bytes(out)


class NimbrelCase(programs.ProgramCase):
    def listing_of(self, path):
        proc = self.run_program([path])
        self.assertEqual((proc.returncode, proc.stderr), (statuses.nimbrel.SUCCESS, b""))
        return proc.stdout

    def listing(self, data):
        return self.listing_of(self.file("input", data))


class Examples(NimbrelCase):
    def test_documented_bytes(self):
        self.assertEqual(self.listing(b"\x41\x42\x00"), b"00000000 A B \n")
        self.assertEqual(self.listing(b"\x00\x00\x43"), b"00000002 C ")

    def test_line_feeds_and_raw_bytes(self):
        self.assertEqual(self.listing(b"\n"), b"00000000 \\n ")
        self.assertEqual(self.listing(b"a\nb\0\0\0\n\r\x80\xff\0"),
                         b"00000000 a \\n b \n00000006 \\n \r \x80 \xff \n")

    def test_offset_past_a_page(self):
        self.assertEqual(self.listing(bytes(4096) + b"Z"), b"00001000 Z ")

    def test_no_output(self):
        self.assertEqual(self.listing(b""), b"")
        self.assertEqual(self.listing(bytes(70000)), b"")


class ReferenceModel(NimbrelCase):
    def test_random_inputs(self):
        rng = random.Random(77)
        for _ in range(60):
            length = rng.choice([1, 7, rng.randrange(0, 5000), rng.randrange(1 << 20, 3 << 20)])
            zero_share = rng.choice([0.0, 0.02, 0.5, 0.97, 1.0])
            pool = rng.randbytes(256)
            data = bytes(0 if rng.random() < zero_share else rng.choice(pool)
                         for _ in range(min(length, 20000)))
            data *= max(1, length // max(len(data), 1))  # cheap way to long inputs
            self.assertEqual(self.listing(data), reference(data), (length, zero_share))


class LargeSparseFile(NimbrelCase):
    def test_offsets_past_four_gib_are_printed_whole(self):
        path = self.sparse_file("input", (1 << 32) + 64, {
            0xFFFFFFFE: b"wxyz",  # a run across the 4 GiB boundary keeps its offset
            (1 << 32) + 0x10: b"\nQ",
        })
        self.assertEqual(self.listing_of(path), b"FFFFFFFE w x y z \n100000010 \\n Q \n")


if __name__ == "__main__":
    programs.main()
