"""What the command-line tests share: generated files with duplicates
within and across them, Tolvane runs on a list and the model's expectation
for them. Scripts import this module first: it puts tests/ on sys.path."""
import os
import random
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import statuses, tolvane_texts, tools  # noqa: E402
from tolvane.tolvane_model import TolvaneModel  # noqa: E402

# The model's keyword arguments and Tolvane's six positional ones.
PARAMETER_NAMES = ("min_size", "max_size", "nmb", "win", "svl", "usv")


def statuses_of(tool):
    """The exit statuses of a tool by its name."""
    return {"Tolvane": statuses.tolvane, "sha": statuses.sha, "Nimbrel": statuses.nimbrel}[tool]


def positional(parameters):
    """The command-line operands after the list for model parameters."""
    values = [parameters[name] for name in PARAMETER_NAMES]
    return [str(v) for v in values[:5]] + ["y" if values[5] else "n"]


class CliCase(tools.ToolCase):
    def setUp(self):
        super().setUp()
        self.rng = random.Random(2024)

    def duplicated_files(self, names=("one", "two", "three")):
        """Three files of random blocks: the second an edited copy of the
        first, the third zeros around some of the same blocks."""
        blocks = [self.rng.randbytes(self.rng.randrange(3000, 12000)) for _ in range(5)]
        first = b"".join(blocks)
        second = bytearray(first)
        for _ in range(3):
            at = self.rng.randrange(len(second))
            second[at:at] = self.rng.randbytes(self.rng.randrange(1, 30))
        third = bytes(20000) + blocks[2] + blocks[0] + bytes(3000)
        return [self.file(name, data) for name, data in zip(names, (first, bytes(second), third))]

    def list_file(self, paths, name="list", separator=b"\n"):
        """A list naming paths (str or bytes); returns its path."""
        entries = [p if isinstance(p, bytes) else os.fsencode(p) for p in paths]
        return self.file(name, separator.join(entries) + separator)

    def expected(self, paths, **parameters):
        """(the model after the run, its per-file lines, its report lines)."""
        model = TolvaneModel(**parameters)
        lines = model.expected_stdout(paths)
        return model, lines[:len(paths)], lines[len(paths):]

    def text_report(self, stdout):
        """Tolvane's standard output as text, its final time line checked
        and left out."""
        text = stdout.decode("latin-1")
        self.assertRegex(text, "(\\A|\n)%s\n\\Z" % tolvane_texts.TIME_LINE)
        return tools.without_time(text, "Tolvane")

    def assert_tolvane_matches_model(self, proc, paths, status=0, **parameters):
        """A text run: per-file lines on both outputs, then the report, all
        as the model has them for the paths (the readable ones). Returns the
        model."""
        model, per_file, report = self.expected(paths, **parameters)
        self.assertEqual(proc.returncode, status, proc.stderr)
        self.assertEqual(self.text_report(proc.stdout), "".join(line + "\n" for line in per_file + report))
        self.assertEqual(hide_messages(proc.stderr).decode("latin-1"), "".join(line + "\n" for line in per_file))
        return model


def hide_messages(stderr, tool="Tolvane"):
    """Standard error without the tool's own messages: what is left are the
    per-file lines."""
    return re.sub(rb"(?m)^%s: [^\n]*\n" % tool.encode(), b"", stderr)


def main():
    unittest.main(module="__main__", verbosity=2)
