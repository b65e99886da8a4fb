"""The pictures: PNG files of the documented size, and every curve drawn
with its label and the figures of the JSON. The figure is built by the
installed plotting module, under the interpreter of the installed command."""
import json
import os
import subprocess
import unittest

from kit import KIT, KitCase, interpreter, interpreter_has_matplotlib, png_size, read_json

WIDTH, HEIGHT_PER_PANEL = 1000, 450  # as the manual page says

# Prints every line of the figure drawn from a study: axes, label, x, y.
LINES_OF_FIGURE = """
import json, sys
sys.path.insert(0, sys.argv[1])
from dedupmeasure_kit import plots
figure = getattr(plots, sys.argv[2])(json.load(open(sys.argv[3])))
print(json.dumps([[number, line.get_label(), list(map(float, line.get_xdata())), list(map(float, line.get_ydata()))]
                  for number, axes in enumerate(figure.axes) for line in axes.get_lines()]))
"""


# Prints every error-bar series of the figure: axes, label, x, y, lows, highs.
BARS_OF_FIGURE = """
import json, sys
sys.path.insert(0, sys.argv[1])
from dedupmeasure_kit import plots
figure = getattr(plots, sys.argv[2])(json.load(open(sys.argv[3])))
found = []
for number, axes in enumerate(figure.axes):
    for bars in axes.containers:
        x, y = bars.lines[0].get_data()
        segments = bars.lines[2][0].get_segments()
        found.append([number, bars.get_label(), list(map(float, x)), list(map(float, y)),
                      [float(s[0][1]) for s in segments], [float(s[1][1]) for s in segments]])
print(json.dumps(found))
"""

# Tolvane as a sampled run reports, with made-up figures that depend on the
# bits: records its command line beside itself.
FAKE_TOLVANE = """#!/usr/bin/env python3
import json, os, sys
with open(os.path.join(os.path.dirname(sys.argv[0]), "commands"), "a") as log:
    log.write(json.dumps(sys.argv[1:]) + "\\n")
bits = int(sys.argv[-4])
def estimate(value, spread):
    return {"value": value, "low": value - spread, "high": value + spread}
print(json.dumps({"list": sys.argv[-7], "anchor_bits": bits, "actual_average_chunk_size": 2 ** bits,
                  "chunks_stored": None, "byte_dedup_ratio": None, "compression_ratio": None, "sample": 8,
                  "chunk_size_histogram": [{"from": 2 ** bits, "chunks": 10}], "files": [],
                  "estimates": {"distinct_chunks": estimate(1000 * bits, 10.5), "unique_bytes": estimate(5000, 7.5),
                                "duplicate_chunks": estimate(80, 4.0), "byte_dedup_ratio": estimate(bits / 4, 0.25),
                                "chunk_dedup_ratio": estimate(bits / 8, 0.125)}}))
"""


@unittest.skipUnless(interpreter_has_matplotlib(), "matplotlib is not installed for the installed command")
class Plots(KitCase):
    def lines(self, function, study):
        drawn = subprocess.run(interpreter() + ["-c", LINES_OF_FIGURE, KIT, function, study], capture_output=True,
                               text=True)
        self.assertEqual(drawn.returncode, 0, drawn.stderr)
        return {label: (x, y) for _, label, x, y in json.loads(drawn.stdout)}

    def test_tolvane_picture(self):
        lists = self.machines(count=1)
        done = self.dedupmeasure("sweep-tolvane", lists[0], "-o", "out", "--bits", "10,12", 
                                 "--summary-words", "8,64,512")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(png_size(os.path.join(self.dir, "out", "tolvane.png")), (WIDTH, 3 * HEIGHT_PER_PANEL))
        study = os.path.join(self.dir, "out", "tolvane.json")
        lines, runs = self.lines("tolvane_figure", study), read_json(study)["runs"]
        chunkings = [run["report"] for run in runs if run["summary_vector_words"] == 8]
        sizes = [report["actual_average_chunk_size"] for report in chunkings]
        for label, key in [("byte dedup ratio", "byte_dedup_ratio"),
                           ("chunk dedup ratio (compression_ratio)", "compression_ratio"),
                           ("stored fingerprints (chunks_stored)", "chunks_stored")]:
            self.assertEqual(lines[label], (sizes, [report[key] for report in chunkings]), label)
        for bits, report in zip((10, 12), chunkings):
            buckets = report["chunk_size_histogram"]
            self.assertEqual(lines["%d bits" % bits], ([b["from"] for b in buckets], [b["chunks"] for b in buckets]))
            same = [run["report"] for run in runs if run["bits"] == bits]
            for label, key in [("false positives", "false_positives"), ("on-disk lookups", "on_disk_lookups")]:
                self.assertEqual(lines["%s, %d bits" % (label, bits)], ([8, 64, 512], [r[key] for r in same]))

    def test_sampled_sweep_draws_intervals(self):
        """--sample N reaches every run, and the estimates are drawn with their
        intervals as error bars."""
        os.mkdir(os.path.join(self.dir, "bin"))
        self.file("bin/Tolvane", FAKE_TOLVANE.encode())
        os.chmod(os.path.join(self.dir, "bin", "Tolvane"), 0o755)
        self.file("some.list", b"a\n")
        done = self.dedupmeasure("sweep-tolvane", "some.list", "-o", "out", "--bits", "10,12", "--sample", "8",
                                 "--bin", "bin")
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        with open(os.path.join(self.dir, "bin", "commands")) as log:
            commands = [json.loads(line) for line in log]
        self.assertEqual(sorted(command[command.index("--") + 4] for command in commands), ["10", "12"])
        for command in commands:
            self.assertEqual(command[command.index("--sample"):command.index("--sample") + 2], ["--sample", "8"])
            self.assertLess(command.index("--sample"), command.index("--"))
        study = os.path.join(self.dir, "out", "tolvane.json")
        self.assertEqual(read_json(study)["sample"], 8)
        drawn = subprocess.run(interpreter() + ["-c", BARS_OF_FIGURE, KIT, "tolvane_figure", study],
                               capture_output=True, text=True)
        self.assertEqual(drawn.returncode, 0, drawn.stderr)
        bars = {label: rest for _, label, *rest in json.loads(drawn.stdout)}
        self.assertEqual(bars["byte dedup ratio, estimated"], [[1024, 4096], [2.5, 3.0], [2.25, 2.75], [2.75, 3.25]])
        self.assertEqual(bars["chunk dedup ratio, estimated"], [[1024, 4096], [1.25, 1.5], [1.125, 1.375],
                                                                [1.375, 1.625]])
        self.assertEqual(bars["stored fingerprints, estimated"], [[1024, 4096], [10000, 12000], [9989.5, 11989.5],
                                                                  [10010.5, 12010.5]])

    def test_tolvane_picture_without_summary_vector_panel(self):
        lists = self.machines(count=1)
        self.assertEqual(self.dedupmeasure("sweep-tolvane", lists[0], "-o", "out", "--bits", "11").returncode, 0)
        self.assertEqual(png_size(os.path.join(self.dir, "out", "tolvane.png")), (WIDTH, 2 * HEIGHT_PER_PANEL))

    def test_sha_picture(self):
        self.file("disk.img", (bytes(8192) + b"\1" * 8 + bytes(8184) + os.urandom(8192)) * 8)
        done = self.dedupmeasure("sweep-sha", "disk.img", "-o", "out", "--chunk-sizes", "2048,8192,32768")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(png_size(os.path.join(self.dir, "out", "sha.png")), (WIDTH, 3 * HEIGHT_PER_PANEL))
        study = os.path.join(self.dir, "out", "sha.json")
        lines, runs = self.lines("sha_figure", study), read_json(study)["runs"]
        reports = [run["report"] for run in runs]
        self.assertEqual(lines["near-empty share"],
                         ([2048, 8192, 32768], [r["near_empty_chunks"] / r["chunks"] for r in reports]))
        self.assertEqual(lines["distinct near-empty fingerprints"][1],
                         [r["unique_near_empty_fingerprints"] for r in reports])
        self.assertEqual(lines["windows per compared chunk"][1], [r["windows"] / r["window_lists"] for r in reports])

    def test_without_a_writable_home(self):
        """matplotlib gets a config folder of its own, removed at the end: no
        message of its own, nothing left in the temporary folder."""
        self.file("disk.img", os.urandom(20000))
        homeless = self.environment(HOME="/dev/null", XDG_CONFIG_HOME=None, XDG_CACHE_HOME=None, MPLCONFIGDIR=None)
        done = self.dedupmeasure("sweep-sha", "disk.img", "-o", "out", "--chunk-sizes", "4096", env=homeless)
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        self.assertEqual(png_size(os.path.join(self.dir, "out", "sha.png")), (WIDTH, 3 * HEIGHT_PER_PANEL))
        self.assertEqual(os.listdir(self.tmp), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
