"""Bad arguments, a missing tool, failed runs, malformed traces and standard
streams that fail: one line beginning "dedupmeasure: ", never a traceback,
the documented status, no output file left. Also the command without
matplotlib, its version, help and manual page."""
import json
import os
import re
import subprocess
import unittest

from kit import ENTRY, KitCase, interpreter, read_bytes, read_csv

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MANUAL = os.path.join(ROOT, "man", "dedupmeasure.1")
HEADER = "path,offset,size,sha1,new\n"
SHA1 = "ab" * 20
LARGEST = 2**63 - 1  # the largest size, and sum of sizes, a merge takes
BAD_INPUT, OUTPUT_FAILED, NOTHING_READ = 5, 6, 7  # as the manual page says
# Runs the entry as if matplotlib were not installed.
WITHOUT_MATPLOTLIB = 'import runpy, sys; sys.modules["matplotlib"] = None; sys.argv = sys.argv[1:]; ' \
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
        good = "m,0,100,%s,1\n" % SHA1
        for text, line in [("", 1), ("a,b\n", 1), (HEADER + good + "m,100,100,%s\n" % SHA1, 3),
                           (HEADER + "m,0,x,%s,1\n" % SHA1, 2), (HEADER + good + good + "m,0,10,abc,1\n", 4),
                           (HEADER + good + '"m\nn",0,10,%s,2\n' % SHA1, 3), (HEADER + '"m,0,1\n', 2)]:
            self.file("bad.csv", text.encode())
            self.assert_refused(self.dedupmeasure("merge", "--db", "kept.sqlite", "bad.csv"), "bad.csv:%d: " % line,
                                status=BAD_INPUT)
        self.file("other.csv", (HEADER + "m,0,101,%s,1\n" % SHA1).encode())
        self.file("good.csv", (HEADER + good).encode())
        self.assert_refused(self.dedupmeasure("merge", "--db", "kept.sqlite", "good.csv", "other.csv"),
                            SHA1, "two sizes", "good.csv", "other.csv")
        self.assert_nothing_written()

    def test_sizes_beyond_what_the_database_holds(self):
        def row(size, digit="a"):
            return "m,0,%s,%s,1\n" % (size, digit * 40)

        for traces, named in [([row(99999999999999999999999)], "a.csv:2: size 99999999999999999999999"),
                              ([row("9" * 5000)], "a.csv:2: size 9999"),
                              ([row(LARGEST) + row(1, "b")], "a.csv:3: "),
                              ([row(LARGEST // 2 + 1), row(LARGEST // 2 + 1, "b")], "b.csv:2: ")]:
            names = []
            for name, rows in zip("ab", traces):
                names.append(self.file("%s.csv" % name, (HEADER + rows).encode()))
            self.assert_refused(self.dedupmeasure("merge", *names), named, status=BAD_INPUT)
        # At the limit the sums still hold, and are exact.
        self.file("a.csv", (HEADER + row(LARGEST - 1) + row(1, "b")).encode())
        done = self.dedupmeasure("merge", "--json", "a.csv")
        self.assertEqual((done.returncode, json.loads(done.stdout)["bytes"]), (0, LARGEST), done.stderr)

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
        done = subprocess.run(interpreter() + ["-c", WITHOUT_MATPLOTLIB, ENTRY, "sweep-sha", "disk.img", "-o", "out",
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
