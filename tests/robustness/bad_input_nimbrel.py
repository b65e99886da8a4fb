#!/usr/bin/env python3
"""Nimbrel given bad arguments and files that cannot be opened or read: one
table row per case, with the expected status and outputs.

usage: bad_input_nimbrel.py NIMBREL_PROGRAM [unittest arguments]
"""
import os
import re

from program_table import ProgramTable, Row, UNREADABLE_FILE, main

USAGE = b"usage: Nimbrel <filename>\n"


def unable_to_open(path):
    return re.escape("Nimbrel: unable to open file %s\n" % path) + r"\Z"


def naming(path):
    return "Nimbrel: [^\n]*" + re.escape(path) + "[^\n]*\n\\Z"


class BadInput(ProgramTable):
    def test_bad_arguments_and_unreadable_files(self):
        text = self.file("text", b"AB\0")
        missing = os.path.join(self.dir, "missing")
        self.check_table([
            Row("readable file", [text], 0, b"00000000 A B \n"),
            Row("no argument", [], 1, USAGE),
            Row("two arguments", [text, text], 1, USAGE),
            Row("three arguments", [text, "0", "0"], 1, USAGE),
            Row("empty file name", [""], 2, b"", unable_to_open("")),
            Row("missing file", [missing], 2, b"", unable_to_open(missing)),
            # Relative names are paths too: no option, no standard input.
            Row("an option", ["--help"], 2, b"", unable_to_open("--help")),
            Row("a dash", ["-"], 2, b"", unable_to_open("-")),
            Row("a file taken for a directory", [text + "/"], 2, b"", unable_to_open(text + "/")),
            Row("directory", [self.dir], 2, b"", naming(self.dir)),
            Row("read error", [UNREADABLE_FILE], 2, b"", naming(UNREADABLE_FILE)),
        ])


if __name__ == "__main__":
    main()
