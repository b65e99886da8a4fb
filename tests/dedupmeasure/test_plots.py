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
