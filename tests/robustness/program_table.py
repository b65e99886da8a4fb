"""Runs a built program once per table row and checks how it answers bad
input: exit status, the exact standard output and standard error, with no
signal, no sanitizer report and no hang."""
import re
from typing import NamedTuple, Union

from support import build
from support.programs import ProgramCase

# A file that opens but cannot be read: page 0 of the reader is never mapped.
UNREADABLE_FILE = "/proc/self/mem"


class Row(NamedTuple):
    name: str
    args: list
    status: int
    # bytes: the exact output; str: a regular expression it must match whole.
    stdout: Union[bytes, str] = b""
    # A regular expression the whole standard error must match; by default
    # it must be empty.
    stderr: str = ""
    # Address space given to the program, in bytes; 0 for no limit.
    memory_limit: int = 0


class ProgramTable(ProgramCase):
    """Base class: the row runner. Every row is a small input; only a hang
    takes as long as the timeout."""

    TIMEOUT_SECONDS = 120

    def check_row(self, row):
        proc = self.run_program(row.args, row.memory_limit)
        err = proc.stderr.decode("latin-1")
        self.assertGreaterEqual(proc.returncode, 0, "ended by a signal:\n" + err)
        self.assertNotRegex(err, build.SANITIZER_REPORT)
        self.assertEqual(proc.returncode, row.status, err)
        if isinstance(row.stdout, bytes):
            self.assertEqual(proc.stdout, row.stdout)
        else:
            self.assertRegex(proc.stdout.decode("latin-1"), "\\A(?:" + row.stdout + ")\\Z")
        self.assertRegex(err, "\\A(?:" + row.stderr + ")\\Z")

    def check_table(self, rows):
        for row in rows:
            with self.subTest(row.name, args=row.args):
                self.check_row(row)
