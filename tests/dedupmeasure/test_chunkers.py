"""sweep-chunkers: each CSV row holds exactly the figures of one Tolvane run
made by hand with the same chunker, bits and compression, with the run's
throughput; the picture draws them; bad chunkers and codecs are refused."""
import json
import os
import re
import subprocess
import unittest

from kit import KIT, KitCase, cell, interpreter, interpreter_has_matplotlib, png_size, read_csv, read_json

# Prints every line of the figure drawn from a study: label, x, y.
LINES_OF_FIGURE = """
import json, sys
sys.path.insert(0, sys.argv[1])
from dedupmeasure_kit import plots_chunkers
figure = plots_chunkers.chunkers_figure(json.load(open(sys.argv[2])))
print(json.dumps([[line.get_label(), list(map(float, line.get_xdata())), list(map(float, line.get_ydata()))]
                  for axes in figure.axes for line in axes.get_lines()]))
"""


class SweepChunkers(KitCase):
    def sweep(self, listing, *args):
        done = self.dedupmeasure("sweep-chunkers", listing, "-o", "out", *args)
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        return (read_csv(os.path.join(self.dir, "out", "chunkers.csv")),
                os.path.join(self.dir, "out", "chunkers.json"))

    def test_rows_equal_single_runs(self):
        lists = self.machines(count=1)
        rows, study = self.sweep(lists[0], "--chunkers", "gear,fixed,rabin", "--bits", "11,13", "--compress", "lz4",
                                 "--jobs", "2")
        self.assertEqual([(r["chunker"], int(r["bits"])) for r in rows],
                         [(c, b) for c in ("gear", "fixed", "rabin") for b in (11, 13)])
        runs = read_json(study)["runs"]
        for row, run in zip(rows, runs):
            bits = int(row["bits"])
            alone = self.tool("Tolvane", "--json", "--chunker", row["chunker"], "--compress", "lz4", lists[0],
                              2**bits // 8, 2**bits * 8, bits, 48, 3125, "y")
            report = json.loads(alone.stdout)
            for key, value in report.items():
                if not isinstance(value, (list, dict)) and key != "seconds":
                    self.assertEqual(row[key], cell(value), (row["chunker"], bits, key))
            self.assertEqual(run["report"]["chunk_size_histogram"], report["chunk_size_histogram"])
            self.assertEqual(float(row["throughput_mb_per_s"]), int(row["byte_count"]) / float(row["seconds"]) / 1e6)
            self.assertGreater(float(row["data_reduction_ratio"]), 0)
        # The chunkers cut differently: the same bits give different chunk counts.
        self.assertEqual(len({row["original_chunks"] for row in rows if row["bits"] == "11"}), 3)

    @unittest.skipUnless(interpreter_has_matplotlib(), "matplotlib is not installed for the installed command")
    def test_picture(self):
        lists = self.machines(count=1)
        _, study = self.sweep(lists[0], "--chunkers", "fastcdc,gear", "--bits", "10,12", "--compress", "zstd:1")
        self.assertEqual(png_size(os.path.join(self.dir, "out", "chunkers.png")), (1000, 3 * 450))
        drawn = subprocess.run(interpreter() + ["-c", LINES_OF_FIGURE, KIT, study], capture_output=True, text=True)
        self.assertEqual(drawn.returncode, 0, drawn.stderr)
        lines = {label: (x, y) for label, x, y in json.loads(drawn.stdout)}
        runs = read_json(study)["runs"]
        for chunker in ("fastcdc", "gear"):
            same = [run for run in runs if run["chunker"] == chunker]
            reports = [run["report"] for run in same]
            sizes = [r["actual_average_chunk_size"] for r in reports]
            self.assertEqual(lines["%s: byte dedup ratio" % chunker], (sizes, [r["byte_dedup_ratio"] for r in reports]))
            self.assertEqual(lines["%s: data reduction ratio" % chunker],
                             (sizes, [r["data_reduction_ratio"] for r in reports]))
            self.assertEqual(lines[chunker], ([10, 12], [run["throughput_mb_per_s"] for run in same]))
            for run in same:
                buckets = run["report"]["chunk_size_histogram"]
                self.assertEqual(lines["%s, %d bits" % (chunker, run["bits"])],
                                 ([b["from"] for b in buckets], [b["chunks"] for b in buckets]))

    def test_bad_chunkers_and_codecs(self):
        self.machines(count=1)
        for args, named in [(["--chunkers", "gear,bogus"], "bogus"), (["--chunkers", ""], "chunker"),
                            (["--compress", "zstd:23"], "zstd:23"), (["--compress", "gzip"], "gzip"),
                            (["--compress", "lz4:1"], "lz4:1")]:
            with self.subTest(args=args):
                done = self.dedupmeasure("sweep-chunkers", "m0.list", "-o", "out", *args)
                self.assertEqual(done.returncode, 2)
                self.assertRegex(done.stderr, r"\Adedupmeasure: .*%s.*\n\Z" % re.escape(named))
        self.assertFalse(os.path.exists(os.path.join(self.dir, "out")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
