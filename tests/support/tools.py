"""The built programs a test runs, by name: CMake passes their paths in the
environment (DEDUP_TOLVANE, DEDUP_SHA, DEDUP_NIMBREL, and DEDUP_BIN_DIR for
the companion command's tests), so one script can run several tools;
ToolCase runs them from a test case."""
import os
import re
import select
import subprocess
import time

from . import build, limits
from .scratch import ScratchCase

VARIABLES = {"Tolvane": "DEDUP_TOLVANE", "sha": "DEDUP_SHA", "Nimbrel": "DEDUP_NIMBREL"}


def path(tool):
    """The absolute path of the built tool ("Tolvane", "sha" or "Nimbrel")."""
    variable = VARIABLES[tool]
    value = os.environ.get(variable)
    if not value:
        raise RuntimeError("%s is not set: run the test through CTest" % variable)
    return os.path.abspath(value)


class ToolCase(ScratchCase):
    """A test case that runs any of the tools by name in its scratch
    directory, with the build's environment."""

    TIMEOUT_SECONDS = 120

    def run_tool(self, tool, args, memory_limit=0, input=None, stdin=None, stdout=subprocess.PIPE,
                 stderr=subprocess.PIPE, preexec_fn=None):
        """The finished run of tool with args. Outputs not redirected are
        captured as bytes; a sanitizer report on standard error fails the
        test. With a memory limit the sanitizer build is skipped, as in
        programs.ProgramCase. preexec_fn runs in the child before the
        program (after the memory limit is set)."""
        program = path(tool)
        if memory_limit and build.is_sanitized(program):
            self.skipTest("the sanitizer runtime reserves more address space than the limit")
        try:
            proc = subprocess.run([program, *args], input=input, stdin=stdin, stdout=stdout, stderr=stderr,
                                  cwd=self.dir, env=build.environment(program), timeout=self.TIMEOUT_SECONDS,
                                  preexec_fn=_in_turn(limits.address_space(memory_limit), preexec_fn))
        except subprocess.TimeoutExpired:
            self.fail("%s gives no answer within %d seconds" % (tool, self.TIMEOUT_SECONDS))
        if proc.stderr:
            self.assertNotRegex(proc.stderr.decode("latin-1"), build.SANITIZER_REPORT)
        return proc

    def popen_tool(self, tool, args, **popen_arguments):
        """The tool started with args in the scratch directory, not waited
        for; killed at the end of the test if it still runs then."""
        program = path(tool)
        proc = subprocess.Popen([program, *args], cwd=self.dir, env=build.environment(program), **popen_arguments)
        self.addCleanup(_end, proc)
        return proc


def _end(proc):
    if proc.poll() is None:
        proc.kill()
        proc.wait()


class PipeLines:
    """The lines a child writes to a pipe, each waited for a limited time,
    so that a test of output that must come before something else fails
    instead of hanging when it does not come."""

    def __init__(self, stream):
        self.fd = stream.fileno()
        self.pending = b""

    def next(self, timeout):
        """The next line with its line break; None when none came within
        timeout seconds or the pipe ended first."""
        deadline = time.monotonic() + timeout
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                return None
            piece = os.read(self.fd, 65536)
            if not piece:
                return None
            self.pending += piece
        line, _, self.pending = self.pending.partition(b"\n")
        return line + b"\n"


def _in_turn(*functions):
    """One preexec function that calls those given (None for none)."""
    functions = [f for f in functions if f is not None]
    if not functions:
        return None

    def call():
        for function in functions:
            function()
    return call


def without_time(text, tool):
    """Standard output with the elapsed time taken out: Tolvane's time line,
    the last field of sha's result line."""
    if tool == "Tolvane":
        return re.sub(r"time = -?\d+\.\d+ seconds\n\Z", "", text)
    return re.sub(r" -?\d+\n\Z", "\n", text)
