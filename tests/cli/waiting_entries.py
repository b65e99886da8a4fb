#!/usr/bin/env python3
"""Entries a run has to wait for: a FIFO whose writer comes late, a list
read from a pipe. The per-file line of every file before goes out first,
whatever the threads, and on a terminal the status line names the entry
being opened. Every run is checked against the model.

usage: waiting_entries.py [unittest arguments]   (run through CTest)
"""
import errno
import os
import subprocess
import threading
import time

import cli_case
from support import build, terminal, tools

# Far longer than a line takes to come.
LINE_SECONDS = 20
THREADS = ("1", "2", "3")


class WaitingEntries(cli_case.CliCase):
    def setUp(self):
        super().setUp()
        self.fifo = os.path.join(self.dir, "fifo")
        os.mkfifo(self.fifo)
        self.fifo_data = self.rng.randbytes(30000)
        self.before, self.after = self.file("g1", self.rng.randbytes(70000)), self.file("g3", bytes(9000))

    def write_fifo(self, wait_for_reader=False):
        """Writes the FIFO's data: at once, or once a reader has opened it
        (the open that finds it keeps it, so the reader sees no early end)."""
        if not wait_for_reader:
            with open(self.fifo, "wb") as writer:
                writer.write(self.fifo_data)
            return
        deadline = time.monotonic() + LINE_SECONDS
        while True:
            try:
                fd = os.open(self.fifo, os.O_WRONLY | os.O_NONBLOCK)
                break
            except OSError as error:  # ENXIO: no reader yet
                if error.errno != errno.ENXIO or time.monotonic() > deadline:
                    return
                time.sleep(0.05)
        os.set_blocking(fd, True)
        with open(fd, "wb") as writer:
            writer.write(self.fifo_data)

    def expected_with_fifo(self, paths):
        """The model's run, the FIFO standing for a file of its data."""
        stand_in = self.file("fifo-data", self.fifo_data)
        model_paths = [stand_in if p == self.fifo else p for p in paths]
        _, per_file, report = self.expected(model_paths)
        per_file = [line[:-len(stand_in)] + self.fifo if line.endswith(stand_in) else line for line in per_file]
        return per_file, report

    def test_the_line_before_a_fifo_comes_before_its_writer(self):
        paths = [self.before, self.fifo, self.after]
        listing = self.list_file(paths, separator=b"\0")
        per_file, report = self.expected_with_fifo(paths)
        for threads in THREADS:
            with self.subTest(threads=threads):
                proc = self.popen_tool("Tolvane", ["--threads", threads, "--null", listing],
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                lines = tools.PipeLines(proc.stderr)
                first = lines.next(LINE_SECONDS)
                # No writer yet: the run waits in the FIFO's open, the line
                # of the file before it out.
                self.assertEqual(first, per_file[0].encode() + b"\n")
                time.sleep(0.2)
                self.assertIsNone(proc.poll())
                self.write_fifo()
                rest = [lines.next(LINE_SECONDS) for _ in per_file[1:]]
                stdout = proc.stdout.read()
                self.assertEqual(proc.wait(timeout=self.TIMEOUT_SECONDS), 0)
                self.assertEqual(rest, [line.encode() + b"\n" for line in per_file[1:]])
                self.assertEqual(self.text_report(stdout), "".join(line + "\n" for line in per_file + report))

    def test_a_list_from_a_pipe_gives_each_line_before_the_next_entry(self):
        paths = [self.before, self.after, self.before]
        _, per_file, report = self.expected(paths)
        for threads in THREADS:
            with self.subTest(threads=threads):
                proc = self.popen_tool("Tolvane", ["--threads", threads, "-"], stdin=subprocess.PIPE,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                lines = tools.PipeLines(proc.stderr)
                for path, line in zip(paths, per_file):
                    proc.stdin.write(path.encode() + b"\n")
                    proc.stdin.flush()
                    self.assertEqual(lines.next(LINE_SECONDS), line.encode() + b"\n")
                proc.stdin.close()
                stdout = proc.stdout.read()
                self.assertEqual(proc.wait(timeout=self.TIMEOUT_SECONDS), 0)
                self.assertEqual(self.text_report(stdout), "".join(line + "\n" for line in per_file + report))

    def test_the_status_line_names_the_entry_being_opened(self):
        paths = [self.before, self.fifo]
        listing = self.list_file(paths)
        per_file, _ = self.expected_with_fifo(paths)

        def late_writer():
            # Once the run has waited a while in the open, long enough to be seen.
            time.sleep(0.5)
            self.write_fifo(wait_for_reader=True)

        for threads in ("1", "2"):
            with self.subTest(threads=threads):
                writer = threading.Thread(target=late_writer, daemon=True)
                writer.start()
                program = tools.path("Tolvane")
                status, written, _ = terminal.run_on_terminal(
                    [program, "--threads", threads, listing], columns=400, cwd=self.dir,
                    env=build.environment(program), timeout=self.TIMEOUT_SECONDS)
                writer.join(self.TIMEOUT_SECONDS)
                self.assertEqual(status, 0)
                opening = [line for line in terminal.drawn_lines(written) if b"opening" in line]
                self.assertEqual(len(opening), 1, written)
                self.assertRegex(opening[0], rb"\ATolvane: \d+(\.\d)? (B|KiB|MiB) read, [^\n]*opening %s\Z" %
                                 self.fifo.encode())
                self.assertEqual(terminal.screen(written), "".join(line + "\n" for line in per_file).encode())


if __name__ == "__main__":
    cli_case.main()
