#!/usr/bin/env python3
"""The progress line of Tolvane and sha on a terminal: drawn while a run
that takes over a second reads a FIFO fed slowly, and gone in the end, so
the terminal shows what standard error holds without one; the lines the
manual pages show have the form of those drawn.

usage: progress.py [unittest arguments]   (run through CTest)
"""
import errno
import os
import re
import sys
import threading
import time

import cli_case
from support import build, terminal, tools

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs"))
import manpage  # noqa: E402

COLUMNS = 40  # narrower than some lines would be: they must be cut
PIECES, PIECE_SIZE, PAUSE = 4, 1 << 20, 0.3


class Progress(cli_case.CliCase):
    def setUp(self):
        super().setUp()
        self.fifo = os.path.join(self.dir, "fifo")
        os.mkfifo(self.fifo)
        self.data = self.rng.randbytes(PIECES * PIECE_SIZE)

    def feed_slowly(self):
        """Writes the data to the FIFO from a thread, a piece at a time with
        pauses, once a reader has opened it."""
        def feed():
            deadline = time.monotonic() + self.TIMEOUT_SECONDS
            while True:
                try:
                    fd = os.open(self.fifo, os.O_WRONLY | os.O_NONBLOCK)
                    break
                except OSError as error:  # ENXIO: no reader yet
                    if error.errno != errno.ENXIO or time.monotonic() > deadline:
                        return
                    time.sleep(0.01)
            os.set_blocking(fd, True)
            try:
                with open(fd, "wb") as fifo:
                    for at in range(0, len(self.data), PIECE_SIZE):
                        time.sleep(PAUSE)
                        fifo.write(self.data[at:at + PIECE_SIZE])
                        fifo.flush()
            except BrokenPipeError:
                pass
        thread = threading.Thread(target=feed, daemon=True)
        thread.start()
        return thread

    def on_terminal(self, tool, args):
        """(status, bytes written to the terminal, standard output)."""
        feeder = self.feed_slowly()
        program = tools.path(tool)
        result = terminal.run_on_terminal([program, *args], columns=COLUMNS, cwd=self.dir,
                                          env=build.environment(program), timeout=self.TIMEOUT_SECONDS)
        feeder.join(self.TIMEOUT_SECONDS)
        return result

    def without_terminal(self, tool, args):
        feeder = self.feed_slowly()
        proc = self.run_tool(tool, args)
        feeder.join(self.TIMEOUT_SECONDS)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertNotRegex(proc.stderr, rb"[\r\x1b]")
        return proc

    def check(self, tool, args):
        plain = self.without_terminal(tool, args)
        stdout = tools.without_time(plain.stdout.decode(), tool)
        status, written, out = self.on_terminal(tool, args)
        self.assertEqual((status, tools.without_time(out.decode(), tool)), (0, stdout))
        drawn = terminal.drawn_lines(written)
        self.assertTrue(drawn, written)
        for line in drawn:
            self.assertRegex(line, rb"\A%s: \d+(\.\d)? (B|KiB|MiB|GiB)\b" % tool.encode())
            self.assertLess(len(line), COLUMNS)
        self.assertEqual(terminal.screen(written), plain.stderr)
        status, written, out = self.on_terminal(tool, ["--no-progress"] + args)
        self.assertEqual((status, tools.without_time(out.decode(), tool), written), (0, stdout, plain.stderr))

    def test_tolvane(self):
        before, after = self.file("before", self.rng.randbytes(70000)), self.file("after", bytes(100000))
        self.check("Tolvane", [self.list_file([before, self.fifo, after])])

    def test_sha(self):
        self.check("sha", [self.fifo, "4096", "64", "0", "0"])


def shape(line, path=None):
    """A status line with its figures, units and path taken out."""
    if path is not None:
        line = line.replace(path, "PATH")
    line = re.sub(r"\d+(\.\d+)?", "N", line)
    return re.sub(r"\b(B|KiB|MiB|GiB|TiB|PiB)\b", "UNIT", line)


class TheManualsLine(cli_case.CliCase):
    """The status lines the manual pages show are those the tools draw."""

    def manual_lines(self, tool):
        lines = manpage.sections(manpage.read_lines(os.path.join(manpage.MAN_DIR, manpage.PAGES[tool])))["PROGRESS"]
        shown, inside = [], False
        for line in lines:
            if line in (".EX", ".EE"):
                inside = line == ".EX"
            elif inside:
                shown.append(manpage.unescape(line))
        return shown

    def drawn(self, tool, args):
        program = tools.path(tool)
        status, written, _ = terminal.run_on_terminal([program, *args], columns=300, cwd=self.dir,
                                                      env=build.environment(program), timeout=self.TIMEOUT_SECONDS)
        self.assertEqual(status, 0)
        return [line.decode() for line in terminal.drawn_lines(written)]

    def test_tolvane(self):
        # A regular file long enough to be drawn (on one thread), then a
        # FIFO whose writer comes late.
        big = self.sparse_file("big", 512 << 20)
        fifo = os.path.join(self.dir, "fifo")
        os.mkfifo(fifo)

        def late_writer():
            time.sleep(0.5)
            with open(fifo, "wb") as writer:
                writer.write(b"x" * 100)
        writer = threading.Thread(target=late_writer, daemon=True)
        writer.start()
        drawn = self.drawn("Tolvane", ["--threads", "1", self.list_file([big, fifo])])
        writer.join(self.TIMEOUT_SECONDS)
        reading, opening = self.manual_lines("Tolvane")
        self.assertIn(shape(reading, "data/disk.img"), [shape(line, big) for line in drawn])
        self.assertIn(shape(opening, "data/fifo"), [shape(line, fifo) for line in drawn])

    def test_sha(self):
        big = self.sparse_file("big", 1 << 30)
        drawn = self.drawn("sha", [big, "4096", "64", "0", "0"])
        self.assertEqual(self.manual_lines("sha"), [self.manual_lines("sha")[0]])
        self.assertIn(shape(self.manual_lines("sha")[0]), [shape(line) for line in drawn])


class ScreenEmulation(cli_case.CliCase):
    """The emulation the checks rely on."""

    def test_returns_erasures_and_line_breaks(self):
        self.assertEqual(terminal.screen(b"ab\rX\x1b[K\nlong line\r\x1b[Kshort\n"), b"X\nshort\n")
        self.assertEqual(terminal.screen(b"abc\rX"), b"Xbc")
        self.assertEqual(terminal.drawn_lines(b"x\n\rone\x1b[K\rtwo\x1b[K\r\x1b[Ky\n"), [b"one", b"two"])
        with self.assertRaises(ValueError):
            terminal.screen(b"\x1b[2J")


if __name__ == "__main__":
    cli_case.main()
