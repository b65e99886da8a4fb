"""Finding the installed tools and running them: dedupmeasure never chunks
or measures anything itself."""
import json
import os
import shutil

from .failures import RUN_FAILED, TOOL_MISSING, Failure


def cpu_count():
    """The CPUs this process may run on."""
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:
        return os.cpu_count() or 1


def find(name, bin_dir):
    """The path of the tool name: in bin_dir, or on PATH when bin_dir is None
    (a run from the source tree, with no installed tools beside it)."""
    if bin_dir is None:
        found = shutil.which(name)
        if found:
            return found
        raise Failure("%s not found on PATH; give the folder of the installed tools with --bin DIR" % name,
                      TOOL_MISSING)
    path = os.path.join(bin_dir, name)
    if os.path.isfile(path) and os.access(path, os.X_OK):
        return path
    raise Failure("%s not found in %s (no executable file %s); give the folder of the installed tools with "
                  "--bin DIR" % (name, bin_dir, path), TOOL_MISSING)


class Finished:
    """One finished run: its command, exit status and outputs (text)."""

    def __init__(self, command, status, stdout, stderr):
        self.command, self.status, self.stdout, self.stderr = command, status, stdout, stderr

    def messages(self, tool):
        """The tool's own message lines (they begin with its name): the rest
        of standard error is Tolvane's per-file lines."""
        return [line for line in self.stderr.splitlines() if line.startswith(tool + ":")]

    def why(self, tool):
        """The tool's messages in one line, or the last line of standard
        error when it wrote none in its usual form."""
        lines = self.messages(tool) or self.stderr.strip().splitlines()[-1:]
        return "; ".join(lines) if lines else "no message"

    def document(self):
        """The JSON report on standard output, or None when there is none."""
        try:
            document = json.loads(self.stdout)
        except ValueError:
            return None
        return document if isinstance(document, dict) else None


def failed(tool, setting, finished):
    """The Failure for a run that gave no usable report."""
    ended = ("killed by signal %d" % -finished.status if finished.status < 0
             else "exit status %d" % finished.status)
    return Failure("%s failed (%s) %s: %s" % (tool, ended, setting, finished.why(tool)), RUN_FAILED)
