#!/usr/bin/env python3
"""The options all three tools share: --help, --version, refused options,
a lone -- and --threads.

usage: options.py [unittest arguments]   (run through CTest)
"""
import os
import re

import cli_case
from cli_case import statuses_of
from nimbrel.nimbrel_end_to_end import reference as nimbrel_reference
from sha.sha_end_to_end import reference as sha_reference
from support import nimbrel_texts, sha_texts, tolvane_texts, tools

TOOLS = ("Tolvane", "sha", "Nimbrel")
USAGE = {"Tolvane": tolvane_texts.USAGE, "sha": sha_texts.USAGE, "Nimbrel": nimbrel_texts.USAGE}
# Every option name any of the tools knows, and one none does.
CANDIDATES = ("null", "json", "trace", "threads", "no-progress", "chunker", "compress", "sample", "help",
              "version",
              "bogus")
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as cmake:
        return re.search(r"project\(dedupmeasure\s+VERSION\s+(\d+\.\d+\.\d+)", cmake.read()).group(1)


class Options(cli_case.CliCase):
    def refused(self, tool, args, message):
        """A refused command line: the message, the usage, the usage status."""
        proc = self.run_tool(tool, args)
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr),
                         (statuses_of(tool).USAGE, b"", message.encode() + USAGE[tool]))

    def test_help_names_every_operand_and_option_once(self):
        for tool in TOOLS:
            with self.subTest(tool=tool):
                proc = self.run_tool(tool, ["--help"])
                self.assertEqual((proc.returncode, proc.stderr), (0, b""))
                lines = proc.stdout.decode().splitlines()
                self.assertTrue(lines[0].startswith("usage: %s [options] " % tool), lines[0])
                for operand in re.findall(r"<[^>]+>", lines[0]):
                    self.assertEqual(sum(line.startswith("  %s " % operand) for line in lines), 1, operand)
                shown = {}
                for line in lines:
                    option = re.match(r"  --([a-z-]+)( [A-Z]+)?  +\S", line)
                    if option:
                        self.assertNotIn(option.group(1), shown)
                        shown[option.group(1)] = bool(option.group(2))
                # Alone, an option the tool knows is refused only for its
                # missing value, or the operands are missing.
                accepted = {}
                for name in CANDIDATES:
                    err = self.run_tool(tool, ["--" + name]).stderr.decode()
                    if "unknown option --%s\n" % name not in err:
                        accepted[name] = "option --%s needs a value" % name in err
                self.assertEqual(shown, accepted)

    def test_version(self):
        for tool in TOOLS:
            with self.subTest(tool=tool):
                proc = self.run_tool(tool, ["--version"])
                self.assertEqual((proc.returncode, proc.stdout, proc.stderr),
                                 (0, b"%s (dedupmeasure) %s\n" % (tool.encode(), project_version().encode()), b""))

    def test_unknown_options_and_missing_values(self):
        path = self.file("input", bytes(100))
        operands = {"Tolvane": [self.list_file([path])], "sha": [path, "16", "4", "0", "0"], "Nimbrel": [path]}
        for tool in TOOLS:
            with self.subTest(tool=tool):
                self.refused(tool, ["--bogus"] + operands[tool], "%s: unknown option --bogus\n" % tool)
                # A value given to an option that takes none.
                self.refused(tool, ["--help=x"] + operands[tool], "%s: unknown option --help=x\n" % tool)
        self.refused("Tolvane", ["--json=x"] + operands["Tolvane"], "Tolvane: unknown option --json=x\n")
        self.refused("sha", ["--json=x"] + operands["sha"], "sha: unknown option --json=x\n")
        self.refused("Tolvane", ["--trace"], "Tolvane: option --trace needs a value\n")
        self.refused("sha", ["--json", "--threads"], "sha: option --threads needs a value\n")

    def test_a_lone_double_dash_ends_the_options(self):
        data = bytes(3000) + self.rng.randbytes(20000) + bytes(5000) + b"\n\x01\x02" * 100
        path = self.file("--data", data)
        self.file("--list", path.encode() + b"\n")
        self.assert_tolvane_matches_model(self.run_tool("Tolvane", ["--", "--list"]), [path])
        proc = self.run_tool("Nimbrel", ["--", "--data"])
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr), (0, nimbrel_reference(data), b""))
        proc = self.run_tool("sha", ["--", "--data", "1000", "10", "3", "2"])
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(proc.stdout.split()[:8], [b"%d" % v for v in sha_reference(data, 1000, 10, 3, 2)])

    def test_threads(self):
        paths = self.duplicated_files()
        sha_path = self.file("sparse", bytes(20000) + self.rng.randbytes(10000))
        runs = {"Tolvane": [self.list_file(paths), "512", "8192", "9", "32", "100", "y"],
                "sha": [sha_path, "1000", "16", "0", "0"]}
        for tool, operands in runs.items():
            with self.subTest(tool=tool):
                for value in ("0", "-1", "abc", "1025", "", " 5", "+5"):
                    proc = self.run_tool(tool, ["--threads", value] + operands)
                    self.assertEqual((proc.returncode, proc.stdout), (statuses_of(tool).USAGE, b""), value)
                    self.assertRegex(proc.stderr.decode(), r"\A%s: [^\n]*--threads[^\n]*\n\Z" % tool)
                alone = self.run_tool(tool, operands)
                self.assertEqual(alone.returncode, 0, alone.stderr)
                for value in ("--threads=1", "--threads=7", "--threads=65", "--threads=1024"):
                    proc = self.run_tool(tool, [value] + operands)
                    self.assertEqual((proc.returncode, proc.stderr), (0, alone.stderr), value)
                    self.assertEqual(tools.without_time(proc.stdout.decode(), tool),
                                     tools.without_time(alone.stdout.decode(), tool))

    def test_sha_help_says_what_the_offsets_skip(self):
        # The begin offset skips bytes before every chunk; the end offset
        # shortens the chunk and skips nothing, as the model has it.
        lines = self.run_tool("sha", ["--help"]).stdout.decode().splitlines()
        begin = [line for line in lines if line.startswith("  <begin offset> ")]
        end = [line for line in lines if line.startswith("  <end offset> ")]
        self.assertEqual(len(begin), 1)
        self.assertEqual(len(end), 1)
        self.assertRegex(begin[0], r"skipped before every chunk")
        self.assertRegex(end[0], r"shorter[^\n]*nothing is skipped")
        self.assertNotIn("at its end", end[0])
        data = self.rng.randbytes(5000)
        path = self.file("offsets", data)
        proc = self.run_tool("sha", [path, "1000", "10", "3", "2"])
        self.assertEqual(proc.stdout.split()[:8], [b"%d" % v for v in sha_reference(data, 1000, 10, 3, 2)])


if __name__ == "__main__":
    cli_case.main()
