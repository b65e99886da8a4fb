#!/usr/bin/env python3
"""Failures the tools must report with a message and a status, end to end:
output that cannot be written, a broken pipe, a list entry holding a NUL
byte, memory running out while the list is read, and standard output
appended to the input file.

usage: failures.py [unittest arguments]   (run through CTest)
"""
import signal
import subprocess

import cli_case
from cli_case import statuses_of
from support import statuses

NO_SPACE = b": error writing standard output: No space left on device\n"


class Failures(cli_case.CliCase):
    def test_standard_output_that_cannot_be_written(self):
        data = self.rng.randbytes(300000)
        path = self.file("input", data)
        listing = self.list_file([path])
        sizes = ["4096", "64", "0", "0"]
        runs = [("Nimbrel", [path]), ("sha", [path] + sizes), ("sha", ["--json", path] + sizes),
                ("Tolvane", [listing]), ("Tolvane", ["--json", listing])]
        for tool, args in runs:
            with self.subTest(tool=tool, args=args), open("/dev/full", "wb") as full:
                proc = self.run_tool(tool, args, stdout=full)
                self.assertEqual(proc.returncode, statuses_of(tool).OUTPUT_FAILED, proc.stderr)
                self.assertTrue(proc.stderr.endswith(tool.encode() + NO_SPACE), proc.stderr)
                self.assertEqual(proc.stderr.count(b"\n"), 2 if tool == "Tolvane" else 1)

    def test_a_broken_pipe_ends_nimbrel_by_its_signal(self):
        path = self.file("input", self.rng.randbytes(3 << 20))  # about 6 MiB of listing
        proc = self.popen_tool("Nimbrel", [path], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        proc.stdout.close()
        self.assertEqual(proc.wait(timeout=self.TIMEOUT_SECONDS), -signal.SIGPIPE)

    def test_list_entries_holding_a_nul_byte_are_skipped(self):
        # A list written by find -print0 and read as white-space separated:
        # entries 2 and 4 hold NUL bytes, 1, 3 and 5 are files.
        one, two, three = self.duplicated_files()
        listing = self.file("list", b"%s\n%s\0%s\0 %s\tx\0\0\n%s\n" % (
            one.encode(), two.encode(), three.encode(), two.encode(), three.encode()))
        proc = self.run_tool("Tolvane", [listing])
        readable = [one, two, three]
        self.assert_tolvane_matches_model(proc, readable, statuses.tolvane.UNREADABLE_INPUT)
        _, per_file, _ = self.expected(readable)
        nul = "Tolvane: list entry %d holds a NUL byte; for NUL-separated lists use --null"
        self.assertEqual(proc.stderr.decode().splitlines(), [per_file[0], nul % 2, per_file[1], nul % 4, per_file[2]])

    def test_memory_running_out_while_the_list_is_read(self):
        limit = 64 << 20
        # The same limit leaves room for a normal run.
        path = self.file("input", self.rng.randbytes(100000))
        normal = self.run_tool("Tolvane", [self.list_file([path])], memory_limit=limit)
        self.assertEqual(normal.returncode, statuses.tolvane.SUCCESS, normal.stderr)
        # One entry of 100 MB, no white space in it.
        listing = self.file("huge-list", b"a" * 100000000)
        proc = self.run_tool("Tolvane", [listing], memory_limit=limit)
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr),
                         (statuses.tolvane.OUT_OF_MEMORY, b"", b"Tolvane: out of memory\n"))

    def test_standard_output_appended_to_the_input_file(self):
        data = bytes(5000) + self.rng.randbytes(20000)
        path = self.file("input", data)
        for tool, args in (("Nimbrel", [path]), ("sha", [path, "4096", "64", "0", "0"]),
                           ("sha", ["--json", path, "4096", "64", "0", "0"])):
            with self.subTest(tool=tool, args=args):
                with open(path, "ab") as same:
                    proc = self.run_tool(tool, args, stdout=same)
                self.assertEqual((proc.returncode, proc.stderr), (statuses_of(tool).UNREADABLE_INPUT,
                                                                  b"%s: input file is output file\n" % tool.encode()))
                with open(path, "rb") as handle:
                    self.assertTrue(handle.read() == data, "the input file changed")


if __name__ == "__main__":
    cli_case.main()
