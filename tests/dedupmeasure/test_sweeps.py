"""Each CSV row of a sweep holds exactly the figures of one run of the tool
made by hand with the same settings."""
import json
import os
import pty
import subprocess
import unittest

from kit import ENTRY, KitCase, cell, read_csv, read_json


class SweepRows(KitCase):
    def assert_row_is_run(self, row, report, ignored=("seconds", "milliseconds")):
        for key, value in report.items():
            if not isinstance(value, (list, dict)) and key not in ignored:
                self.assertEqual(row[key], cell(value), key)

    def test_tolvane_rows_equal_single_runs(self):
        lists = self.machines(count=1)
        done = self.dedupmeasure("sweep-tolvane", lists[0], "-o", "out", "--bits", "10-11,13",
                                 "--summary-words", "16,3125", "--jobs", "2")
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        rows = read_csv(os.path.join(self.dir, "out", "tolvane.csv"))
        runs = read_json(os.path.join(self.dir, "out", "tolvane.json"))["runs"]
        self.assertEqual([(int(r["bits"]), int(r["summary_vector_words"])) for r in rows],
                         [(b, w) for b in (10, 11, 13) for w in (16, 3125)])
        for row, run in zip(rows, runs):
            bits = int(row["bits"])
            # Default ratios 8: 13 bits gives Tolvane's default 1024..65536.
            low, high = 2**bits // 8, 2**bits * 8
            alone = self.tool("Tolvane", "--json", lists[0], low, high, bits, 48, row["summary_vector_words"], "y")
            report = json.loads(alone.stdout)
            self.assert_row_is_run(row, report)
            self.assertEqual(row["exit_status"], "0")
            self.assertEqual(run["report"]["chunk_size_histogram"], report["chunk_size_histogram"])
            self.assertEqual(run["report"]["files"], report["files"])

    def test_sampled_tolvane_rows_equal_single_sampled_runs(self):
        lists = self.machines(count=1)
        done = self.dedupmeasure("sweep-tolvane", lists[0], "-o", "out", "--bits", "10,11", "--sample", "4")
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        for row in read_csv(os.path.join(self.dir, "out", "tolvane.csv")):
            bits = int(row["bits"])
            alone = self.tool("Tolvane", "--json", "--sample", "4", lists[0], 2**bits // 8, 2**bits * 8, bits, 48,
                              3125, "y")
            report = json.loads(alone.stdout)
            self.assert_row_is_run(row, report)
            for key, estimate in report["estimates"].items():
                self.assertEqual([row["estimated_" + key], row[key + "_low"], row[key + "_high"]],
                                 [cell(estimate[end]) for end in ("value", "low", "high")], key)
        self.assertEqual(read_json(os.path.join(self.dir, "out", "tolvane.json"))["sample"], 4)

    def test_tolvane_limits_given_outright(self):
        lists = self.machines(count=1)
        done = self.dedupmeasure("sweep-tolvane", lists[0], "-o", "out", "--bits", "9,12", "--min", "100",
                                 "--max", "5000", "--window", "32")
        self.assertEqual(done.returncode, 0, done.stderr)
        for row in read_csv(os.path.join(self.dir, "out", "tolvane.csv")):
            self.assertEqual((row["min_chunk_size"], row["max_chunk_size"], row["window_size"]),
                             ("100", "5000", "32"))

    def test_sha_rows_equal_single_runs(self):
        # Blocks of zeros, of a few stray bytes and of noise, in turn.
        blocks = [bytes(4096), bytes(2000) + b"\1\2\3" + bytes(2093), os.urandom(4096)]
        self.file("disk.img", b"".join(blocks * 20) + b"tail")
        done = self.dedupmeasure("sweep-sha", "disk.img", "-o", "out", "--chunk-sizes", "1024,4096,16384")
        self.assertEqual(done.returncode, 0, done.stderr)
        rows = read_csv(os.path.join(self.dir, "out", "sha.csv"))
        self.assertEqual([row["chunk_size"] for row in rows], ["1024", "4096", "16384"])
        for row in rows:
            report = json.loads(self.tool("sha", "--json", "disk.img", row["chunk_size"], 64, 0, 0).stdout)
            self.assert_row_is_run(row, report)
            self.assertEqual(float(row["near_empty_share"]), report["near_empty_chunks"] / report["chunks"])
            self.assertEqual(float(row["windows_per_compared_chunk"]), report["windows"] / report["window_lists"])
        self.assertGreater(float(rows[1]["near_empty_share"]), 0)

    def test_progress_only_on_a_terminal(self):
        self.machines(count=1)
        sweep = ["sweep-tolvane", "m0.list", "-o", "out", "--bits", "11,12", "--jobs", "1"]
        self.assertEqual(self.dedupmeasure(*sweep).stderr, "")
        main, terminal = pty.openpty()
        done = subprocess.run([ENTRY, *sweep], cwd=self.dir, stdout=subprocess.DEVNULL, stderr=terminal)
        os.close(terminal)
        shown = b""
        while True:
            try:
                piece = os.read(main, 4096)
            except OSError:  # the other end is closed: all was read
                piece = b""
            if not piece:
                break
            shown += piece
        os.close(main)
        shown = shown.decode()
        self.assertEqual(done.returncode, 0)
        self.assertIn("\rdedupmeasure: 1/2 runs", shown)
        self.assertIn("\rdedupmeasure: 2/2 runs", shown)
        self.assertRegex(shown, r"\r +\r$")  # erased at the end


if __name__ == "__main__":
    unittest.main(verbosity=2)
