#!/usr/bin/env python3
"""sha given bad arguments, unreadable files and chunks too large for
memory: one table row per case, with the expected status and outputs.

usage: bad_input_sha.py SHA_PROGRAM [unittest arguments]
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from program_table import ProgramTable, Row, UNREADABLE_FILE  # noqa: E402
from support import limits, programs, sha_texts as texts  # noqa: E402
from support.statuses import sha as status  # noqa: E402

HUGE = "99999999999999999999"
ONE_MESSAGE = texts.message()
# Ten zero bytes in chunks of 4 with windows of 2: two chunks and two bytes
# padded to a third, all zero, so one fingerprint.
TEN_ZEROS_LINE = r"4 2 3 1 10 2 0 0 \d+\n"


def min_chunk_size(window):
    return re.escape(texts.MIN_CHUNK_SIZE % window)


class BadInput(ProgramTable):
    def setUp(self):
        super().setUp()
        self.zeros = self.file("zeros", bytes(10))

    def sizes(self, n="4", w="2", b="0", e="0", path=None):
        return [self.zeros if path is None else path, n, w, b, e]

    def test_wrong_argument_counts(self):
        every = self.sizes() + ["0", "0"]
        rows = [Row("%d arguments" % count, every[:count], status.USAGE, texts.USAGE)
                for count in range(8) if count != 5]
        self.check_table(rows + [Row("an option-like name after --", ["--", "--help"], status.USAGE, texts.USAGE)])

    def test_negative_numbers(self):
        self.check_table([
            Row("negative chunk size", self.sizes(n="-4"), status.BAD_SIZES, b"", min_chunk_size(2)),
            Row("negative window", self.sizes(w="-2"), status.BAD_SIZES, b"", ONE_MESSAGE),
            # A negative end offset lengthens the chunk: S = 8, one chunk of
            # eight bytes, then two bytes padded with six.
            Row("negative end offset", self.sizes(e="-4"), status.SUCCESS, r"4 2 2 1 10 6 0 0 \d+\n"),
            Row("chunk past 32 bits by a negative begin offset", self.sizes(b="-2147483648"), status.BAD_SIZES,
                b"", ONE_MESSAGE),
        ])

    def test_text_that_is_not_a_number(self):
        self.check_table([
            Row("chunk size", self.sizes(n="four"), status.BAD_SIZES, b"", min_chunk_size(2)),
            Row("window", self.sizes(w="two"), status.BAD_SIZES, b"", ONE_MESSAGE),
            Row("offsets", self.sizes(b="none", e="0x10"), status.SUCCESS, TEN_ZEROS_LINE),
            Row("leading blanks, a sign, trailing text", self.sizes(n=" +4kB", w="2.9"), status.SUCCESS,
                TEN_ZEROS_LINE),
        ])

    def test_empty_strings(self):
        self.check_table([
            Row("file", self.sizes(path=""), status.UNREADABLE_INPUT, b"", re.escape(texts.UNABLE_TO_OPEN % "")),
            Row("chunk size", self.sizes(n=""), status.BAD_SIZES, b"", min_chunk_size(2)),
            Row("window", self.sizes(w=""), status.BAD_SIZES, b"", ONE_MESSAGE),
            Row("offsets", self.sizes(b="", e=""), status.SUCCESS, TEN_ZEROS_LINE),
        ])

    def test_numbers_out_of_range(self):
        # A number that an int cannot hold is refused, never read as some
        # other number; so is a window larger than the chunk.
        rows = [Row("window larger than the chunk", self.sizes(w="5"), status.BAD_SIZES, b"", min_chunk_size(5))]
        for name in ("n", "w", "b", "e"):
            for value in (HUGE, "-" + HUGE, "2147483648", "-2147483649"):
                # Misread as 2^31 - 1, this chunk size would take 4 GiB: keep
                # the address space small.
                limit = limits.SMALL_ADDRESS_SPACE if (name, value) == ("n", "-2147483649") else 0
                rows.append(Row("%s = %s" % (name, value), self.sizes(**{name: value}), status.BAD_SIZES, b"",
                                ONE_MESSAGE, limit))
        self.check_table(rows)

    def test_sizes_are_checked_before_the_file_is_opened(self):
        refused = [
            # S = N - b - e = 80 is what the window must fit in.
            ("chunk less offsets smaller than the window", ("100", "90", "10", "10"), texts.MIN_CHUNK_SIZE % 90),
            ("window 0", ("16", "0"), texts.WINDOW_BELOW_ONE % 0),
            ("negative window", ("16", "-5"), texts.WINDOW_BELOW_ONE % -5),
            ("window not a number", ("16", "abc"), texts.WINDOW_BELOW_ONE % 0),
            # S computed in 32 bits would wrap: 2^32 - 1 to -1, -2^31 - 1 to 2^31 - 1.
            ("S = 2^32 - 1", ("2147483647", "1", "-2147483648"), texts.CHUNK_TOO_LARGE % (4294967295, 2147483647)),
            ("S = -2^31 - 1", ("-2147483648", "1", "1"), texts.MIN_CHUNK_SIZE % 1),
        ]
        missing = os.path.join(self.dir, "missing")
        self.check_table([Row(name, self.sizes(*sizes, path=missing), status.BAD_SIZES, b"", re.escape(message))
                          for name, sizes, message in refused])

    def test_files_that_cannot_be_read(self):
        missing = os.path.join(self.dir, "missing")
        unreadable = [
            ("missing file", missing, re.escape(texts.UNABLE_TO_OPEN % missing)),
            ("a file taken for a directory", self.zeros + "/", texts.message(self.zeros + "/")),
            ("directory", self.dir, texts.message(self.dir)),
            ("read error", UNREADABLE_FILE, texts.message(UNREADABLE_FILE)),
        ]
        self.check_table([Row(name, self.sizes(path=path), status.UNREADABLE_INPUT, b"", stderr)
                          for name, path, stderr in unreadable])

    def test_chunks_too_large_for_memory(self):
        self.check_table([
            Row("largest chunk size", self.sizes(n="2147483647", w="1"), status.OUT_OF_MEMORY, b"", ONE_MESSAGE,
                limits.SMALL_ADDRESS_SPACE),
            Row("chunk enlarged by a negative begin offset", self.sizes(n="1000", w="64", b="-1073741824"),
                status.OUT_OF_MEMORY, b"", ONE_MESSAGE, limits.SMALL_ADDRESS_SPACE),
        ])


if __name__ == "__main__":
    programs.main()
