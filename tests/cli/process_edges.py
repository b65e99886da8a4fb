#!/usr/bin/env python3
"""What a run meets from the process around it, end to end: a signal at
any moment removes the unfinished trace and still ends the run by the
signal; standard output or error closed at start is reported as such and
never takes an input's or the trace's place; a thousand threads give the
one-thread output without the memory of a thousand; few free descriptors
give the one-thread output too.

usage: process_edges.py [unittest arguments]   (run through CTest)
"""
import errno
import glob
import os
import resource
import signal
import subprocess
import sys
import threading
import time

import cli_case
from cli_case import statuses_of
from nimbrel.nimbrel_end_to_end import reference as nimbrel_reference
from sha.sha_end_to_end import reference as sha_reference
from support import build, statuses, tools

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
# Far longer than a line takes to come.
LINE_SECONDS = 20
BAD_DESCRIPTOR = b": error writing standard output: Bad file descriptor\n"


def default_signals(ignored=()):
    """A preexec function: the signals as a shell started from a terminal
    leaves them (whatever the test runner ignores), some of them ignored."""
    def apply():
        for number in SIGNALS:
            signal.signal(number, signal.SIG_IGN if number in ignored else signal.SIG_DFL)
    return apply


def closing(*descriptors):
    """A preexec function that closes descriptors, as >&- and 2>&- do."""
    def apply():
        for fd in descriptors:
            os.close(fd)
    return apply


class Interrupted(cli_case.CliCase):
    """A signal while the list is read, in the middle of a file and while
    the report is written."""

    def temporaries(self):
        return glob.glob(os.path.join(self.dir, "trace.csv*"))

    def start(self, args, **popen_arguments):
        return self.popen_tool("Tolvane", args, stderr=subprocess.PIPE, preexec_fn=default_signals(),
                               **popen_arguments)

    def interrupt(self, proc, number):
        """The run's temporary trace exists; after the signal the run ended
        by it and left nothing."""
        self.assertEqual(len(self.temporaries()), 1, self.temporaries())
        self.assertTrue(self.temporaries()[0].endswith(".tmp-" + self.temporaries()[0][-6:]))
        proc.send_signal(number)
        self.assertEqual(proc.wait(timeout=self.TIMEOUT_SECONDS), -number)
        proc.stderr.close()
        self.assertEqual(self.temporaries(), [])

    def test_while_the_list_is_read(self):
        path = self.duplicated_files()[0]
        for threads in ("1", "2"):
            for number in SIGNALS:
                with self.subTest(threads=threads, signal=number):
                    proc = self.start(["--threads", threads, "--trace", "trace.csv", "-"], stdin=subprocess.PIPE,
                                      stdout=subprocess.DEVNULL)
                    proc.stdin.write(path.encode() + b"\n")
                    proc.stdin.flush()
                    # Its line comes while the list is still open.
                    line = tools.PipeLines(proc.stderr).next(LINE_SECONDS)
                    self.assertTrue(line and line.endswith(path.encode() + b"\n"), line)
                    self.interrupt(proc, number)
                    proc.stdin.close()

    def test_in_the_middle_of_a_file(self):
        fifo = os.path.join(self.dir, "fifo")
        os.mkfifo(fifo)
        listing = self.list_file([fifo])
        for threads in ("1", "2"):
            for number in SIGNALS:
                with self.subTest(threads=threads, signal=number):
                    proc = self.start(["--threads", threads, "--trace", "trace.csv", listing],
                                      stdout=subprocess.DEVNULL)
                    with open(fifo, "wb") as writer:
                        # Written past what the pipe holds: Tolvane has read
                        # most of it, and waits for the rest.
                        writer.write(self.rng.randbytes(1 << 20))
                        writer.flush()
                        self.interrupt(proc, number)

    def test_while_the_report_is_written(self):
        # The JSON document of a thousand entries does not fit in the pipe
        # that nobody reads: the run waits in the report, the trace still open.
        path = self.duplicated_files()[0]
        listing = self.list_file([path] * 1000)
        for number in SIGNALS:
            with self.subTest(signal=number):
                proc = self.start(["--json", "--trace", "trace.csv", listing], stdout=subprocess.PIPE)
                lines = tools.PipeLines(proc.stderr)
                for _ in range(1000):
                    line = lines.next(LINE_SECONDS)
                    self.assertTrue(line and line.endswith(path.encode() + b"\n"), line)
                time.sleep(0.3)
                self.interrupt(proc, number)
                proc.stdout.close()

    def test_a_broken_pipe(self):
        # Nobody reads standard output: the first write that finds it gone
        # ends the run by SIGPIPE, as it always did, and the trace goes too.
        path = self.duplicated_files()[0]
        listing = self.list_file([path] * 2000)
        for threads in ("1", "2"):
            with self.subTest(threads=threads):
                proc = self.start(["--threads", threads, "--trace", "trace.csv", listing], stdout=subprocess.PIPE)
                proc.stdout.close()
                self.assertEqual(proc.wait(timeout=self.TIMEOUT_SECONDS), -signal.SIGPIPE)
                proc.stderr.close()
                self.assertEqual(self.temporaries(), [])

    def test_an_ignored_hangup_is_left_ignored(self):
        # As under nohup: the run goes on and writes its trace.
        paths = self.duplicated_files()
        proc = self.popen_tool("Tolvane", ["--trace", "trace.csv", "-"], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               preexec_fn=default_signals(ignored=(signal.SIGHUP,)))
        proc.stdin.write(paths[0].encode() + b"\n")
        proc.stdin.flush()
        self.assertIsNotNone(tools.PipeLines(proc.stderr).next(LINE_SECONDS))
        proc.send_signal(signal.SIGHUP)
        proc.stdin.write("".join(p + "\n" for p in paths[1:]).encode())
        proc.stdin.close()
        stdout = proc.stdout.read()
        proc.stderr.read()
        self.assertEqual(proc.wait(timeout=self.TIMEOUT_SECONDS), 0)
        model, per_file, report = self.expected(paths)
        self.assertEqual(self.text_report(stdout), "".join(line + "\n" for line in per_file + report))
        self.assertEqual(self.temporaries(), [os.path.join(self.dir, "trace.csv")])


class ClosedStreams(cli_case.CliCase):
    def test_standard_output_closed_at_start(self):
        data = bytes(100) + self.rng.randbytes(30000)
        path = self.file("input", data)
        for tool, args in (("Nimbrel", [path]), ("sha", [path, "1", "1", "0", "0"]),
                           ("sha", [path, "4096", "64", "0", "0"]), ("Tolvane", [self.list_file([path])])):
            with self.subTest(tool=tool, args=args):
                proc = self.run_tool(tool, args, stdout=None, preexec_fn=closing(1))
                self.assertEqual(proc.returncode, statuses_of(tool).OUTPUT_FAILED, proc.stderr)
                self.assertTrue(proc.stderr.endswith(tool.encode() + BAD_DESCRIPTOR), proc.stderr)
                self.assertEqual(proc.stderr.count(b"\n"), 2 if tool == "Tolvane" else 1, proc.stderr)
                with open(path, "rb") as handle:
                    self.assertTrue(handle.read() == data, "the input changed")
        # --help and --version have nowhere to go either.
        for tool in ("Tolvane", "sha", "Nimbrel"):
            for option in ("--help", "--version"):
                proc = self.run_tool(tool, [option], stdout=None, preexec_fn=closing(1))
                self.assertEqual((proc.returncode, proc.stderr),
                                 (statuses_of(tool).OUTPUT_FAILED, tool.encode() + BAD_DESCRIPTOR))

    def test_the_trace_never_takes_a_closed_standard_stream(self):
        # The list comes from standard input, so the trace would be the first
        # file opened: on descriptor 1 it got the report, on 2 the lines.
        paths = self.duplicated_files()
        listing = self.list_file(paths)
        expected_trace = os.path.join(self.dir, "expected.csv")
        with open(listing, "rb") as source:
            normal = self.run_tool("Tolvane", ["--trace", expected_trace, "-"], stdin=source)
        with open(expected_trace, "rb") as handle:
            rows = handle.read()
        trace = os.path.join(self.dir, "trace.csv")
        with open(listing, "rb") as source:
            proc = self.run_tool("Tolvane", ["--trace", trace, "-"], stdin=source, stderr=None,
                                 preexec_fn=closing(2))
        self.assertEqual((proc.returncode, tools.without_time(proc.stdout.decode(), "Tolvane")),
                         (0, tools.without_time(normal.stdout.decode(), "Tolvane")))
        with open(trace, "rb") as handle:
            self.assertEqual(handle.read(), rows)
        os.unlink(trace)
        with open(listing, "rb") as source:
            proc = self.run_tool("Tolvane", ["--trace", trace, "-"], stdin=source, stdout=None,
                                 preexec_fn=closing(1))
        self.assertEqual(proc.returncode, statuses.tolvane.OUTPUT_FAILED)
        self.assertEqual(proc.stderr, normal.stderr + b"Tolvane" + BAD_DESCRIPTOR)
        with open(trace, "rb") as handle:
            self.assertEqual(handle.read(), rows)

    def test_standard_error_closed_at_start(self):
        # No message can be written; the status still tells.
        data = b"\x01\x02" + bytes(100) + b"abc"
        path = self.file("input", data)
        missing = os.path.join(self.dir, "missing")
        for tool, args, status, stdout in (
                ("Nimbrel", [path], 0, nimbrel_reference(data)),
                ("Nimbrel", [missing], statuses.nimbrel.UNREADABLE_INPUT, b""),
                ("sha", [missing, "16", "4", "0", "0"], statuses.sha.UNREADABLE_INPUT, b""),
                ("sha", [path, "16", "40", "0", "0"], statuses.sha.BAD_SIZES, b""),
                ("Tolvane", [missing], statuses.tolvane.UNREADABLE_INPUT, b"")):
            with self.subTest(tool=tool, args=args):
                proc = self.run_tool(tool, args, stderr=None, preexec_fn=closing(2))
                self.assertEqual((proc.returncode, proc.stdout), (status, stdout))
        proc = self.run_tool("sha", [path, "16", "4", "0", "0"], stderr=None, preexec_fn=closing(2))
        self.assertEqual(proc.returncode, 0)
        self.assertEqual(proc.stdout.split()[:8], [b"%d" % v for v in sha_reference(data, 16, 4, 0, 0)])


def peak_memory_kib(argv):
    """(status, standard output, peak resident memory in KiB) of argv, run
    alone in a child Python so that no other run counts."""
    code = ("import resource, subprocess, sys\n"
            "proc = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)\n"
            "sys.stdout.buffer.write(b'%d %d\\n' % (proc.returncode, "
            "resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss) + proc.stdout)\n")
    out = subprocess.run([sys.executable, "-c", code, *argv], stdout=subprocess.PIPE, check=True,
                         env=build.environment(argv[0])).stdout
    first, _, rest = out.partition(b"\n")
    status, kib = map(int, first.split())
    return status, rest, kib


class ManyThreads(cli_case.CliCase):
    def test_a_thousand_threads_on_a_small_input(self):
        paths = self.duplicated_files()
        sha_path = self.file("sparse", bytes(20000) + self.rng.randbytes(300000))
        runs = {"Tolvane": [self.list_file(paths)], "sha": [sha_path, "4096", "64", "0", "0"]}
        for tool, operands in runs.items():
            with self.subTest(tool=tool):
                one = self.run_tool(tool, ["--threads", "1"] + operands)
                many = self.run_tool(tool, ["--threads", "1024"] + operands)
                self.assertEqual((many.returncode, many.stderr), (0, one.stderr))
                self.assertEqual(tools.without_time(many.stdout.decode(), tool),
                                 tools.without_time(one.stdout.decode(), tool))
                if build.is_sanitized(tools.path(tool)):
                    continue  # the sanitizers' shadow memory says nothing of the program's
                program = tools.path(tool)
                _, _, alone = peak_memory_kib([program, "--threads", "1"] + operands)
                status, _, kib = peak_memory_kib([program, "--threads", "1024"] + operands)
                self.assertEqual(status, 0)
                # Blocks are allocated when used: a small input needs few.
                self.assertLess(kib - alone, 64 << 10, "peak memory %d KiB, one thread %d KiB" % (kib, alone))


class FewDescriptors(cli_case.CliCase):
    def test_eight_descriptors_give_the_one_thread_output(self):
        paths = self.duplicated_files() + [self.file("four", self.rng.randbytes(2000)),
                                           self.file("five", bytes(70000))]
        listed = paths * 60
        listing = self.list_file(listed)

        def few_descriptors():
            resource.setrlimit(resource.RLIMIT_NOFILE, (8, 8))

        one = self.run_tool("Tolvane", ["--threads", "1", listing], preexec_fn=few_descriptors)
        self.assert_tolvane_matches_model(one, listed)
        for threads in ("2", "3", "8"):
            with self.subTest(threads=threads):
                proc = self.run_tool("Tolvane", ["--threads", threads, listing], preexec_fn=few_descriptors)
                self.assertEqual(proc.stderr, one.stderr)
                self.assertEqual(tools.without_time(proc.stdout.decode(), "Tolvane"),
                                 tools.without_time(one.stdout.decode(), "Tolvane"))
                self.assertEqual(proc.returncode, 0)


if __name__ == "__main__":
    cli_case.main()
