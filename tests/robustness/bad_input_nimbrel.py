#!/usr/bin/env python3
"""Nimbrel given bad arguments and files that cannot be opened or read: one
table row per case, with the expected status and outputs.

usage: bad_input_nimbrel.py NIMBREL_PROGRAM [unittest arguments]
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from program_table import ProgramTable, Row, UNREADABLE_FILE  # noqa: E402
from support import programs, nimbrel_texts as texts  # noqa: E402
from support.statuses import nimbrel as status  # noqa: E402


def unable_to_open(path):
    return re.escape(texts.UNABLE_TO_OPEN % path)


class BadInput(ProgramTable):
    def test_bad_arguments_and_unreadable_files(self):
        text = self.file("text", b"AB\0")
        missing = os.path.join(self.dir, "missing")
        self.check_table([
            Row("readable file", [text], status.SUCCESS, b"00000000 A B \n"),
            Row("no argument", [], status.USAGE, texts.USAGE),
            Row("two arguments", [text, text], status.USAGE, texts.USAGE),
            Row("three arguments", [text, "0", "0"], status.USAGE, texts.USAGE),
            Row("empty file name", [""], status.UNREADABLE_INPUT, b"", unable_to_open("")),
            Row("missing file", [missing], status.UNREADABLE_INPUT, b"", unable_to_open(missing)),
            # Relative names are paths too: no option, no standard input.
            # After "--" even a name that looks like an option is a file.
            Row("an option-like name after --", ["--", "--help"], status.UNREADABLE_INPUT, b"", unable_to_open("--help")),
            Row("a dash", ["-"], status.UNREADABLE_INPUT, b"", unable_to_open("-")),
            Row("a file taken for a directory", [text + "/"], status.UNREADABLE_INPUT, b"",
                unable_to_open(text + "/")),
            Row("directory", [self.dir], status.UNREADABLE_INPUT, b"", texts.message(self.dir)),
            Row("read error", [UNREADABLE_FILE], status.UNREADABLE_INPUT, b"", texts.message(UNREADABLE_FILE)),
        ])


if __name__ == "__main__":
    programs.main()
