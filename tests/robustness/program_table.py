"""Runs a built program once per table row and checks how it answers bad
input: exit status, the exact standard output and the start of standard
error, with no signal, no sanitizer report and no hang."""
import os
import re
import resource
import subprocess
import sys
import tempfile
import unittest
from typing import NamedTuple, Union

# Generous: every row is a small input; only a hang takes this long.
TIMEOUT_SECONDS = 120
# An address-space limit far below what a huge allocation needs, far above
# what a normal run needs.
SMALL_ADDRESS_SPACE = 256 << 20
# A file that opens but cannot be read: page 0 of the reader is never mapped.
UNREADABLE_FILE = "/proc/self/mem"


class Row(NamedTuple):
    name: str
    args: list
    status: int
    # bytes: the exact output; str: a regular expression it must match whole.
    stdout: Union[bytes, str] = b""
    # A regular expression matched from the first byte: a prefix unless it
    # ends in \Z. The default demands an empty standard error.
    stderr: str = r"\Z"
    # Address space given to the program, in bytes; 0 for no limit.
    memory_limit: int = 0


def is_sanitized(program):
    with open(program, "rb") as binary:
        return b"__asan_init" in binary.read()


def time_pattern(lines, time_line=r"time = \d+\.\d+ seconds\n"):
    """A whole-output pattern: these exact lines, then a time line."""
    return "".join(re.escape(line + "\n") for line in lines) + time_line


class ProgramTable(unittest.TestCase):
    """Base class: a scratch directory (also the working directory of every
    run, for relative paths) and the row runner. PROGRAM is set by the
    script from its command line."""

    PROGRAM = None

    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.dir = scratch.name
        self.sanitized = is_sanitized(self.PROGRAM)

    def file(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as handle:
            handle.write(data)
        return path

    def environment(self):
        # Passed through whole, so the sanitizer options of the test preset
        # reach the program; leak detection stays on without them too.
        env = dict(os.environ)
        if self.sanitized:
            env.setdefault("ASAN_OPTIONS", "detect_leaks=1")
        return env

    def run_program(self, args, memory_limit=0):
        def limit_address_space():
            resource.setrlimit(resource.RLIMIT_AS, (memory_limit, memory_limit))

        try:
            return subprocess.run([self.PROGRAM, *args], capture_output=True, cwd=self.dir,
                                  env=self.environment(), timeout=TIMEOUT_SECONDS,
                                  preexec_fn=limit_address_space if memory_limit else None)
        except subprocess.TimeoutExpired:
            self.fail("no answer within %d seconds: the program hangs" % TIMEOUT_SECONDS)

    def check_row(self, row):
        if row.memory_limit and self.sanitized:
            self.skipTest("the sanitizer runtime reserves more address space than the limit")
        proc = self.run_program(row.args, row.memory_limit)
        err = proc.stderr.decode("latin-1")
        self.assertGreaterEqual(proc.returncode, 0, "ended by a signal:\n" + err)
        self.assertNotRegex(err, r"Sanitizer|runtime error:")
        self.assertEqual(proc.returncode, row.status, err)
        if isinstance(row.stdout, bytes):
            self.assertEqual(proc.stdout, row.stdout)
        else:
            self.assertRegex(proc.stdout.decode("latin-1"), "\\A(?:" + row.stdout + ")\\Z")
        self.assertRegex(err, "\\A" + row.stderr)

    def check_table(self, rows):
        for row in rows:
            with self.subTest(row.name, args=row.args):
                self.check_row(row)


def main():
    """Runs the calling script's tests on the program named first on the
    command line (made absolute: the runs change directory)."""
    ProgramTable.PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(module="__main__", verbosity=2)
