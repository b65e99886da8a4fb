"""Running the built program under test: a test script names it first on its
command line, and every run gets the build's environment, a scratch working
directory and, on request, a small address space."""
import os
import subprocess
import sys
import unittest

from . import build, limits
from .scratch import ScratchCase


class ProgramCase(ScratchCase):
    """A test case that runs PROGRAM (set by main) in its scratch directory,
    so relative paths in arguments name scratch files."""

    PROGRAM = None
    # None leaves hangs to CTest's timeout.
    TIMEOUT_SECONDS = None

    def run_program(self, args, memory_limit=0):
        """The finished run, its outputs captured as bytes. With a memory
        limit the sanitizer build is skipped: its runtime reserves more
        address space than any small limit."""
        if memory_limit and build.is_sanitized(self.PROGRAM):
            self.skipTest("the sanitizer runtime reserves more address space than the limit")
        try:
            return subprocess.run([self.PROGRAM, *map(str, args)], capture_output=True, cwd=self.dir,
                                  env=build.environment(self.PROGRAM), timeout=self.TIMEOUT_SECONDS,
                                  preexec_fn=limits.address_space(memory_limit))
        except subprocess.TimeoutExpired:
            self.fail("no answer within %d seconds: the program hangs" % self.TIMEOUT_SECONDS)


def main():
    """Runs the calling script's tests on the program named first on the
    command line (made absolute: the runs change directory); the rest of the
    command line goes to unittest."""
    ProgramCase.PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(module="__main__", verbosity=2)
