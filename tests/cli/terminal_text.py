#!/usr/bin/env python3
"""Paths with control bytes on a terminal: the tools' messages and
Tolvane's per-file lines show each control byte as ?, on standard error and
on standard output alike, so that a file name cannot recolour the terminal
or move its cursor; a pipe or a file still gets the exact bytes.

usage: terminal_text.py [unittest arguments]   (run through CTest)
"""
import os
import re

import cli_case
from support import build, statuses, terminal, tools

# An escape that turns the terminal red, a bell, a line break, a delete.
HOSTILE = b"red\x1b[31m bell\x07 line\nbreak del\x7f"


def shown(text):
    """The bytes as a terminal must get them."""
    return re.sub(rb"[\x00-\x1f\x7f]", b"?", text)


class TerminalText(cli_case.CliCase):
    def setUp(self):
        super().setUp()
        self.readable = os.fsencode(self.file(os.fsdecode(HOSTILE), self.rng.randbytes(20000)))
        self.missing = os.fsencode(os.path.join(self.dir, os.fsdecode(b"gone " + HOSTILE)))

    def on_terminal(self, tool, args, on="stderr"):
        program = tools.path(tool)
        return terminal.run_on_terminal([program, "--no-progress", *args] if tool != "Nimbrel" else [program, *args],
                                        cwd=self.dir, env=build.environment(program), on=on,
                                        timeout=self.TIMEOUT_SECONDS)

    def test_tolvane(self):
        listing = self.list_file([self.readable, self.missing, self.readable], separator=b"\0")
        piped = self.run_tool("Tolvane", ["--null", listing])
        readable = os.fsdecode(self.readable)
        _, per_file, report = self.expected([readable, readable])
        exact = [line.encode("utf-8", "surrogateescape") + b"\n" for line in per_file]
        message = b"Tolvane: unable to open file " + self.missing + b"\n"
        # A pipe gets the exact bytes.
        self.assertEqual(piped.returncode, statuses.tolvane.UNREADABLE_INPUT)
        self.assertEqual(self.text_report(piped.stdout), "".join(line + "\n" for line in per_file + report))
        self.assertEqual(piped.stderr, exact[0] + message + exact[1])
        # Standard error on a terminal: the lines and the message shown.
        status, written, stdout = self.on_terminal("Tolvane", ["--null", listing])
        self.assertEqual(status, statuses.tolvane.UNREADABLE_INPUT)
        self.assertEqual(written, shown(exact[0][:-1]) + b"\n" + shown(message[:-1]) + b"\n" + shown(exact[1][:-1]) +
                         b"\n")
        self.assertEqual(tools.without_time(stdout.decode("latin-1"), "Tolvane"),
                         tools.without_time(piped.stdout.decode("latin-1"), "Tolvane"))
        # Standard output on a terminal: its lines shown, standard error exact.
        status, written, stderr = self.on_terminal("Tolvane", ["--null", listing], on="stdout")
        self.assertEqual((status, stderr), (statuses.tolvane.UNREADABLE_INPUT, piped.stderr))
        lines = written.split(b"\n")
        self.assertEqual(lines[:2], [shown(line[:-1]) for line in exact])
        self.assertEqual(b"\n".join(lines[2:-2]).decode(), "\n".join(report))

    def test_sha_and_nimbrel(self):
        for tool, args in (("sha", [self.missing, b"16", b"4", b"0", b"0"]), ("Nimbrel", [self.missing])):
            with self.subTest(tool=tool):
                message = tool.encode() + b": unable to open file " + self.missing + b"\n"
                piped = self.run_tool(tool, args)
                self.assertEqual((piped.returncode, piped.stderr), (statuses.sha.UNREADABLE_INPUT, message))
                status, written, _ = self.on_terminal(tool, args)
                self.assertEqual((status, written), (piped.returncode, shown(message[:-1]) + b"\n"))


if __name__ == "__main__":
    cli_case.main()
