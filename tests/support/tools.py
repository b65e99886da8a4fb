"""The built programs a test runs, by name: CMake passes their paths in the
environment (DEDUP_TOLVANE, DEDUP_SHA, DEDUP_NIMBREL, and DEDUP_BIN_DIR for
the companion command's tests), so one script can run several tools;
ToolCase runs them from a test case."""
import os
import re
import subprocess

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
                 stderr=subprocess.PIPE):
        """The finished run of tool with args. Outputs not redirected are
        captured as bytes; a sanitizer report on standard error fails the
        test. With a memory limit the sanitizer build is skipped, as in
        programs.ProgramCase."""
        program = path(tool)
        if memory_limit and build.is_sanitized(program):
            self.skipTest("the sanitizer runtime reserves more address space than the limit")
        try:
            proc = subprocess.run([program, *args], input=input, stdin=stdin, stdout=stdout, stderr=stderr,
                                  cwd=self.dir, env=build.environment(program), timeout=self.TIMEOUT_SECONDS,
                                  preexec_fn=limits.address_space(memory_limit))
        except subprocess.TimeoutExpired:
            self.fail("%s gives no answer within %d seconds" % (tool, self.TIMEOUT_SECONDS))
        if proc.stderr:
            self.assertNotRegex(proc.stderr.decode("latin-1"), build.SANITIZER_REPORT)
        return proc

    def popen_tool(self, tool, args, **popen_arguments):
        """The tool started with args in the scratch directory, not waited for."""
        program = path(tool)
        return subprocess.Popen([program, *args], cwd=self.dir, env=build.environment(program), **popen_arguments)


def without_time(text, tool):
    """Standard output with the elapsed time taken out: Tolvane's time line,
    the last field of sha's result line."""
    if tool == "Tolvane":
        return re.sub(r"time = -?\d+\.\d+ seconds\n\Z", "", text)
    return re.sub(r" -?\d+\n\Z", "\n", text)
