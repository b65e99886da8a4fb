#!/usr/bin/env python3
"""Tolvane given bad arguments, unreadable list files and unreadable listed
paths: one table row per case, with the expected status and outputs.

usage: bad_input_tolvane.py TOLVANE_PROGRAM [unittest arguments]
"""
import os
import random
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from program_table import ProgramTable, Row, UNREADABLE_FILE  # noqa: E402
from support import limits, programs, tolvane_texts as texts  # noqa: E402
from support.statuses import tolvane as status  # noqa: E402
from tolvane.tolvane_model import TolvaneModel  # noqa: E402

DEFAULTS = ["1024", "65536", "13", "48", "3125", "y"]
# Name and accepted range of each numeric argument, in command-line order.
NUMERIC = [("<min>", 0, 4294967295), ("<max>", 0, 4294967295), ("<nmb>", 0, 32), ("<win>", 1, 65535),
           ("<svl>", 1, 134217727)]
HUGE = "99999999999999999999"


class BadInput(ProgramTable):
    def setUp(self):
        super().setUp()
        rng = random.Random(6)
        self.zeros = self.file("zeros", bytes(3000))
        self.data = self.file("data", rng.randbytes(20000) * 3 + rng.randbytes(10000))
        self.list = self.file("list", ("%s\n%s\n" % (self.data, self.zeros)).encode())

    def arguments(self, changes=None):
        """The list and the default parameters, with {position: text} changes."""
        args = list(DEFAULTS)
        for position, value in (changes or {}).items():
            args[position] = value
        return [self.list] + args

    def accepted(self, name, changes, svl_shown=None, **model_parameters):
        """A run that goes through: the model's lines on standard output,
        the per-file lines on standard error."""
        paths = [self.data, self.zeros]
        expected = TolvaneModel(**model_parameters).expected_stdout(paths)
        if svl_shown:  # the model keeps its vector as one integer: too slow when huge
            expected = [re.sub(r"^(length of summary vector = )\d+", r"\g<1>%d" % svl_shown, line)
                        for line in expected]
        per_file = "".join(re.escape(line + "\n") for line in expected[:len(paths)])
        return Row(name, self.arguments(changes), status.SUCCESS, texts.report(expected), per_file)

    def test_wrong_argument_counts(self):
        every = self.arguments() + ["y", "y", "y"]
        self.check_table([Row("%d arguments" % count, every[:count], status.USAGE, texts.USAGE)
                          for count in range(10) if count not in (1, 7)])

    def test_numbers_out_of_range(self):
        rows = []
        for position, (name, lowest, highest) in enumerate(NUMERIC):
            refused = ["-1", "-" + HUGE, HUGE, str(highest + 1)]
            if lowest > 0:
                refused += ["0", "", "not-a-number", "-0"]
            rows += [Row("%s %r" % (name, value), self.arguments({position: value}), status.USAGE, b"",
                         texts.refused_number(name, lowest, highest)) for value in refused]
        self.check_table(rows)

    def test_accepted_spellings_and_limits(self):
        self.check_table([
            # Text that is not a number reads as 0 where 0 is allowed.
            self.accepted("empty <min>", {0: "", 2: "6"}, min_size=0, nmb=6),
            self.accepted("<max> not a number", {1: "none"}, max_size=0),
            self.accepted("empty <nmb>", {2: ""}, nmb=0),
            self.accepted("<min> and <nmb> not numbers", {0: "abc", 2: "abc"}, min_size=0, nmb=0),
            # Leading blanks, a sign, trailing text: read as atoi would.
            self.accepted("<min> ' +700kB'", {0: " +700kB", 2: "6"}, min_size=700, nmb=6),
            self.accepted("<min> '-0'", {0: "-0", 2: "6"}, min_size=0, nmb=6),
            self.accepted("largest <max>", {1: "4294967295", 2: "9"}, max_size=4294967295, nmb=9),
            self.accepted("largest <nmb>", {2: "32"}, nmb=32),
            self.accepted("smallest <win>", {2: "8", 3: "1"}, nmb=8, win=1),
            self.accepted("largest <win>", {2: "4", 3: "65535"}, nmb=4, win=65535),
            self.accepted("smallest <svl>", {4: "1", 5: "n"}, svl=1, usv=False),
            # The summary vector is allocated but, switched off, changes no count.
            self.accepted("largest <svl>", {4: "134217727", 5: "n"}, usv=False, svl_shown=134217727),
            self.accepted("empty <usv>", {5: ""}, usv=True),
        ])

    def test_unreadable_list_files(self):
        missing = os.path.join(self.dir, "missing")
        unreadable = [
            ("missing list", [missing], re.escape(texts.UNABLE_TO_OPEN % missing)),
            ("missing list, seven arguments", [missing] + DEFAULTS, texts.message(missing)),
            ("empty list name", [""], re.escape(texts.UNABLE_TO_OPEN % "")),
            ("an option-like list name after --", ["--", "--help"], texts.message("--help")),
            ("list is a directory", [self.dir], texts.message(self.dir)),
            ("list cannot be read", [UNREADABLE_FILE], texts.message(UNREADABLE_FILE)),
        ]
        self.check_table([Row(name, args, status.UNREADABLE_INPUT, b"", stderr) for name, args, stderr in unreadable])

    def test_unreadable_listed_paths(self):
        counting = self.file("counting", bytes(range(256)) * 300)
        missing = os.path.join(self.dir, "missing")
        listed = [missing, self.zeros, self.dir, self.zeros + "/", UNREADABLE_FILE, counting, self.zeros]
        readable = [self.zeros, counting, self.zeros]
        listing = self.file("mixed", "\n\t ".join(listed).encode() + b"\n")
        expected = TolvaneModel().expected_stdout(readable)
        per_file = [re.escape(line + "\n") for line in expected[:len(readable)]]
        # Every path gets its line in list order; the readable ones are all counted.
        stderr = (texts.message(missing) + per_file[0] + texts.message(self.dir) + texts.message(self.zeros + "/")
                  + texts.message(UNREADABLE_FILE) + per_file[1] + per_file[2])
        self.check_table([
            Row("missing paths, directories and unreadable files listed", [listing], status.UNREADABLE_INPUT,
                texts.report(expected), stderr),
            Row("only unreadable paths listed", [self.file("bad", (missing + " " + self.dir).encode())],
                status.UNREADABLE_INPUT, texts.report(TolvaneModel().report()),
                texts.message(missing) + texts.message(self.dir)),
        ])

    def test_summary_vector_too_large_for_memory(self):
        self.check_table([Row("largest <svl> in a small address space", self.arguments({4: "134217727"}),
                              status.OUT_OF_MEMORY, b"", texts.message(), limits.SMALL_ADDRESS_SPACE)])


if __name__ == "__main__":
    programs.main()
