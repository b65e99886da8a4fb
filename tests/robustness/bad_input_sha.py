#!/usr/bin/env python3
"""sha given bad arguments, unreadable files and chunks too large for
memory: one table row per case, with the expected status and outputs.

usage: bad_input_sha.py SHA_PROGRAM [unittest arguments]
"""
import os
import re

from program_table import ProgramTable, Row, SMALL_ADDRESS_SPACE, UNREADABLE_FILE, main

USAGE = (b"usage: sha <file> <chunk size in bytes> <chunk window size in bytes> "
         b"<begin offset> <end offset>\n")
HUGE = "99999999999999999999"
ONE_MESSAGE = "sha: [^\n]*\n\\Z"
# Ten zero bytes in chunks of 4 with windows of 2: two chunks and two bytes
# padded to a third, all zero, so one fingerprint.
TEN_ZEROS_LINE = r"4 2 3 1 10 2 0 0 \d+\n"


def naming(path):
    return "sha: [^\n]*" + re.escape(path) + "[^\n]*\n\\Z"


class BadInput(ProgramTable):
    def setUp(self):
        super().setUp()
        self.zeros = self.file("zeros", bytes(10))

    def sizes(self, n="4", w="2", b="0", e="0"):
        return [self.zeros, n, w, b, e]

    def test_wrong_argument_counts(self):
        every = self.sizes() + ["0", "0"]
        rows = [Row("%d arguments" % count, every[:count], 1, USAGE) for count in range(8) if count != 5]
        self.check_table(rows + [Row("an option", ["--help"], 1, USAGE)])

    def test_negative_numbers(self):
        self.check_table([
            Row("negative chunk size", self.sizes(n="-4"), 3, b"", re.escape("sha: min chunk size is 2\n") + r"\Z"),
            Row("negative window", self.sizes(w="-2"), 3, b"", ONE_MESSAGE),
            # A negative end offset lengthens the chunk: S = 8, one chunk of
            # eight bytes, then two bytes padded with six.
            Row("negative end offset", self.sizes(e="-4"), 0, r"4 2 2 1 10 6 0 0 \d+\n"),
            Row("chunk past 32 bits by a negative begin offset", self.sizes(b="-2147483648"), 3, b"",
                ONE_MESSAGE),
        ])

    def test_text_that_is_not_a_number(self):
        self.check_table([
            Row("chunk size", self.sizes(n="four"), 3, b"", re.escape("sha: min chunk size is 2\n") + r"\Z"),
            Row("window", self.sizes(w="two"), 3, b"", ONE_MESSAGE),
            Row("offsets", self.sizes(b="none", e="0x10"), 0, TEN_ZEROS_LINE),
            Row("leading blanks, a sign, trailing text", self.sizes(n=" +4kB", w="2.9"), 0, TEN_ZEROS_LINE),
        ])

    def test_empty_strings(self):
        self.check_table([
            Row("file", ["", "4", "2", "0", "0"], 2, b"", re.escape("sha: unable to open file \n") + r"\Z"),
            Row("chunk size", self.sizes(n=""), 3, b"", re.escape("sha: min chunk size is 2\n") + r"\Z"),
            Row("window", self.sizes(w=""), 3, b"", ONE_MESSAGE),
            Row("offsets", self.sizes(b="", e=""), 0, TEN_ZEROS_LINE),
        ])

    def test_numbers_out_of_range(self):
        # A number that an int cannot hold is refused, never read as some
        # other number; so is a window larger than the chunk.
        rows = [Row("window larger than the chunk", self.sizes(w="5"), 3, b"",
                    re.escape("sha: min chunk size is 5\n") + r"\Z")]
        for name in ("n", "w", "b", "e"):
            for value in (HUGE, "-" + HUGE, "2147483648", "-2147483649"):
                # Misread as 2^31 - 1, this chunk size would take 4 GiB: keep
                # the address space small.
                limit = SMALL_ADDRESS_SPACE if (name, value) == ("n", "-2147483649") else 0
                rows.append(Row("%s = %s" % (name, value), self.sizes(**{name: value}), 3, b"", ONE_MESSAGE, limit))
        self.check_table(rows)

    def test_files_that_cannot_be_read(self):
        missing = os.path.join(self.dir, "missing")
        self.check_table([
            Row("missing file", [missing, "4", "2", "0", "0"], 2, b"",
                re.escape("sha: unable to open file %s\n" % missing) + r"\Z"),
            Row("a file taken for a directory", [self.zeros + "/", "4", "2", "0", "0"], 2, b"",
                naming(self.zeros + "/")),
            Row("directory", [self.dir, "4", "2", "0", "0"], 2, b"", naming(self.dir)),
            Row("read error", [UNREADABLE_FILE, "4", "2", "0", "0"], 2, b"", naming(UNREADABLE_FILE)),
        ])

    def test_chunks_too_large_for_memory(self):
        self.check_table([
            Row("largest chunk size", self.sizes(n="2147483647", w="1"), 4, b"", ONE_MESSAGE, SMALL_ADDRESS_SPACE),
            Row("chunk enlarged by a negative begin offset", self.sizes(n="1000", w="64", b="-1073741824"), 4,
                b"", ONE_MESSAGE, SMALL_ADDRESS_SPACE),
        ])


if __name__ == "__main__":
    main()
