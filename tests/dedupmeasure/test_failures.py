"""Bad arguments, a missing tool, failed runs, malformed traces and standard
streams that fail: one line beginning "dedupmeasure: ", never a traceback,
the documented status, no output file left. Also the command without
matplotlib, its version, help and manual page."""
import json
import os
import re
import subprocess
import unittest

import bad_traces
from kit import ENTRY, KitCase, interpreter, read_bytes, read_csv

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MANUAL = os.path.join(ROOT, "man", "dedupmeasure.1")
HEADER, SHA1, LARGEST = bad_traces.HEADER, bad_traces.SHA1, bad_traces.LARGEST
USAGE, TOOL_MISSING, BAD_INPUT, OUTPUT_FAILED, NOTHING_READ = 2, 3, 5, 6, 7  # as the manual page says
# Runs the entry as if matplotlib (or another module) were not installed.
WITHOUT_MODULE = 'import runpy, sys; sys.modules["matplotlib"] = None; sys.argv = sys.argv[1:]; ' \
                 'runpy.run_path(sys.argv[0], run_name="__main__")'


class Failures(KitCase):
    def assert_refused(self, done, *parts, status=None):
        """A non-zero status (status when given), no traceback, and one
        message line naming every part, in order."""
        self.assertNotIn("Traceback", (done.stdout or "") + done.stderr)
        self.assertNotEqual(done.returncode, 0)
        if status is not None:
            self.assertEqual(done.returncode, status, done.stderr)
        self.assertRegex(done.stderr, r"\Adedupmeasure: " + "".join(".*" + re.escape(p) for p in parts) + r".*\n\Z")

    def assert_nothing_written(self):
        left = [name for _, _, names in os.walk(self.dir) for name in names
                if name.endswith((".tmp", ".png", ".json", ".sqlite")) or name in ("tolvane.csv", "sha.csv")]
        self.assertEqual(left, [])

    def test_bad_arguments(self):
        self.machines(count=1)
        for args, named in [(["--bits", "40"], "--bits"), (["--bits", "14-12"], "14-12"), (["--jobs", "0"], "--jobs"),
                            (["--min", "9000", "--bits", "10"], "9000"), (["--max-ratio", "-1"], "--max-ratio")]:
            self.assert_refused(self.dedupmeasure("sweep-tolvane", "m0.list", "-o", "out", *args), named)
        self.assert_refused(self.dedupmeasure("sweep-sha", "m0_f0", "-o", "out", "--chunk-sizes", "32,4096"),
                            "chunk size 32", "window")
        self.assert_refused(self.dedupmeasure("bogus"), "bogus")
        self.assertFalse(os.path.exists(os.path.join(self.dir, "out")))

    def test_missing_tool(self):
        self.machines(count=1)
        os.mkdir(os.path.join(self.dir, "empty"))
        self.assert_refused(self.dedupmeasure("sweep-tolvane", "m0.list", "-o", "out", "--bin", "empty"), "Tolvane")
        self.assert_refused(self.dedupmeasure("sweep-sha", "m0_f0", "-o", "out", "--bin", "empty"), "sha")
        self.assertFalse(os.path.exists(os.path.join(self.dir, "out")))

    def test_failed_runs_leave_nothing(self):
        os.mkdir(os.path.join(self.dir, "out"))
        done = self.dedupmeasure("sweep-sha", "missing.img", "-o", "out", "--chunk-sizes", "1024,4096")
        self.assert_refused(done, "exit status 2", "sha: ", "missing.img")
        done = self.dedupmeasure("sweep-tolvane", "missing.list", "-o", "out", "--bits", "11,12")
        self.assert_refused(done, "exit status 2", "Tolvane: ", "missing.list")
        self.assert_nothing_written()

    def test_unreadable_listed_file_keeps_the_report(self):
        self.machines(count=1)
        self.file("some.list", b"m0_f0\nmissing_file\n")
        done = self.dedupmeasure("sweep-tolvane", "some.list", "-o", "out", "--bits", "11,12")
        self.assertEqual(done.returncode, 0)
        self.assertRegex(done.stderr, r"\Adedupmeasure: warning: .*2 of 2 runs.*Tolvane: .*missing_file\n\Z")
        self.assertEqual([row["exit_status"] for row in read_csv(os.path.join(self.dir, "out", "tolvane.csv"))],
                         ["2", "2"])

    def test_malformed_traces(self):
        for files, given, named in bad_traces.CASES:
            for name, text in files.items():
                self.file(name, text.encode())
            self.assert_refused(self.dedupmeasure("merge", "--db", "kept.sqlite", *given), *named, status=BAD_INPUT)
            for name in files:
                os.remove(os.path.join(self.dir, name))
        self.assert_nothing_written()
        # At the limit the sums still hold, and are exact.
        self.file("a.csv", (HEADER + bad_traces.row(LARGEST - 1) + bad_traces.row(1, "b")).encode())
        done = self.dedupmeasure("merge", "--json", "a.csv")
        self.assertEqual((done.returncode, json.loads(done.stdout)["bytes"]), (0, LARGEST), done.stderr)

    def test_engine_options(self):
        self.file("a.csv", (HEADER + "m,0,100,%s,1\n" % SHA1).encode())
        for args, named in [(["--engine", "spark"], "spark"), (["--engine", "dask", "--db", "kept.sqlite"], "--db"),
                            (["--workers", "2"], "--workers"), (["--scheduler", "tcp://127.0.0.1:1"], "--scheduler"),
                            (["--engine", "dask", "--workers", "0"], "--workers"),
                            (["--engine", "dask", "--workers", "2", "--scheduler", "tcp://127.0.0.1:1"], "--scheduler")]:
            self.assert_refused(self.dedupmeasure("merge", *args, "a.csv"), named, status=USAGE)
        self.assert_nothing_written()

    def test_without_dask(self):
        for module in ("dask", "distributed", "pandas"):
            without = WITHOUT_MODULE.replace("matplotlib", module)
            done = subprocess.run(interpreter() + ["-c", without, ENTRY, "merge", "--engine", "dask", "a.csv"],
                                  cwd=self.dir, capture_output=True, text=True)
            self.assert_refused(done, "python3-dask, python3-distributed, python3-pandas", "(%s is missing)" % module,
                                "apt-get install python3-dask python3-distributed python3-pandas",
                                status=TOOL_MISSING)
            self.file("a.csv", (HEADER + "m,0,100,%s,1\n" % SHA1).encode())
            done = subprocess.run(interpreter() + ["-c", without, ENTRY, "merge", "a.csv"], cwd=self.dir,
                                  capture_output=True, text=True)
            self.assertEqual((done.returncode, done.stderr), (0, ""))
            self.assertIn("unique bytes       100\n", done.stdout)

    def test_standard_streams_that_fail(self):
        self.file("a.csv", (HEADER + "m,0,100,%s,1\n" % SHA1).encode())
        with open("/dev/full", "w") as full:
            for args in (["merge", "a.csv"], ["--help"], ["--version"], ["merge", "--help"]):
                self.assert_refused(self.dedupmeasure(*args, stdout=full),
                                    "error writing standard output: No space left on device", status=OUTPUT_FAILED)
        closed_stdout = self.dedupmeasure("merge", "--json", "a.csv", preexec_fn=lambda: os.close(1))
        self.assert_refused(closed_stdout, "error writing standard output: Bad file descriptor", status=OUTPUT_FAILED)
        # The message has nowhere to go, and must not go to standard output.
        closed_stderr = self.dedupmeasure("merge", "missing.csv", preexec_fn=lambda: os.close(2))
        self.assertEqual((closed_stderr.returncode, closed_stderr.stdout), (BAD_INPUT, ""))
        closed_stdin = self.dedupmeasure("sweep-tolvane", "-", "-o", "out", preexec_fn=lambda: os.close(0))
        self.assert_refused(closed_stdin, "standard input", status=BAD_INPUT)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "out")))

    def test_a_sweep_that_read_nothing(self):
        self.file("none.list", b"missing_file other_missing_file\n")
        done = self.dedupmeasure("sweep-tolvane", "none.list", "-o", "out", "--bits", "11,12")
        self.assert_refused(done, "no run read any file", "Tolvane: ", "missing_file", status=NOTHING_READ)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "out")))

    def test_without_matplotlib(self):
        self.file("disk.img", bytes(20000))
        done = subprocess.run(interpreter() + ["-c", WITHOUT_MODULE, ENTRY, "sweep-sha", "disk.img", "-o", "out",
                                               "--chunk-sizes", "4096"], cwd=self.dir, capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertRegex(done.stderr, r"\Adedupmeasure: no plots: [^\n]*python3-matplotlib[^\n]*\n\Z")
        self.assertEqual(sorted(os.listdir(os.path.join(self.dir, "out"))), ["sha.csv", "sha.json"])

    def test_version_help_and_manual(self):
        cmakelists = read_bytes(os.path.join(ROOT, "CMakeLists.txt")).decode()
        version = re.search(r"project\(dedupmeasure VERSION (\S+)", cmakelists)
        self.assertEqual(self.dedupmeasure("--version").stdout, "dedupmeasure %s\n" % version.group(1))
        manual = read_bytes(MANUAL).decode().replace("\\-", "-")
        for command in ("sweep-tolvane", "sweep-chunkers", "sweep-sha", "merge"):
            helped = self.dedupmeasure(command, "--help")
            self.assertEqual(helped.returncode, 0)
            for option in set(re.findall(r"--[a-z-]+", helped.stdout)):
                self.assertIn(option, manual, "%s %s is not in the manual page" % (command, option))
        self.assertEqual(subprocess.run(["mandoc", "-T", "lint", MANUAL], capture_output=True, text=True).stdout, "")


if __name__ == "__main__":
    unittest.main(verbosity=2)
