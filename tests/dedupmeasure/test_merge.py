"""merge of per-machine traces gives exactly the figures of one Tolvane run
over the files of every machine, and per trace the bytes only it holds."""
import json
import os
import random
import sqlite3
import subprocess
import sys
import unittest

import merge_model
from kit import ENTRY, KitCase, read_bytes, read_csv

# Small chunks, so the few hundred KiB per machine make many.
CHUNKING = [512, 8192, 11, 48, 3125, "y"]
LIMITS = CHUNKING[:4]


class Merge(KitCase):
    def traces_and_union(self):
        lists = self.machines()
        traces = []
        for number, listed in enumerate(lists):
            traces.append("m%d.csv" % number)
            self.assertEqual(self.tool("Tolvane", "--trace", traces[-1], listed, *CHUNKING).returncode, 0)
        union = self.file("all.list", b"".join(read_bytes(path) for path in lists))
        return traces, json.loads(self.tool("Tolvane", "--json", union, *CHUNKING).stdout)

    def test_figures_equal_one_run_over_all_files(self):
        traces, union = self.traces_and_union()
        done = self.dedupmeasure("merge", "--json", *traces)
        self.assertEqual(done.returncode, 0, done.stderr)
        merged = json.loads(done.stdout)
        self.assertEqual(
            [merged[k] for k in ("chunks", "distinct_chunks", "bytes", "unique_bytes", "byte_dedup_ratio",
                                 "chunk_dedup_ratio")],
            [union[k] for k in ("original_chunks", "chunks_stored", "chunked_bytes", "unique_bytes",
                                "byte_dedup_ratio", "compression_ratio")])
        self.assertLess(union["unique_bytes"], union["chunked_bytes"])  # the data does deduplicate

    def test_bytes_only_here_and_shared(self):
        traces, _ = self.traces_and_union()
        rows = {trace: read_csv(os.path.join(self.dir, trace)) for trace in traces}
        holders = {}
        for trace, chunks in rows.items():
            for chunk in chunks:
                holders.setdefault(chunk["sha1"], set()).add(trace)
        sources = json.loads(self.dedupmeasure("merge", "--json", *traces).stdout)["sources"]
        self.assertEqual([source["trace"] for source in sources], traces)
        for source in sources:
            chunks = rows[source["trace"]]
            alone = sum(int(c["size"]) for c in chunks if holders[c["sha1"]] == {source["trace"]})
            self.assertEqual((source["bytes"], source["bytes_only_here"], source["bytes_shared"]),
                             (sum(int(c["size"]) for c in chunks), alone, sum(int(c["size"]) for c in chunks) - alone))
            self.assertGreater(source["bytes_shared"], 0)

    def test_kept_database_and_text_figures(self):
        traces, union = self.traces_and_union()
        done = self.dedupmeasure("merge", "--db", "kept.sqlite", *traces)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertRegex(done.stdout, r"(?m)^distinct chunks +%d$" % union["chunks_stored"])
        with sqlite3.connect(os.path.join(self.dir, "kept.sqlite")) as db:
            self.assertEqual(db.execute("SELECT COUNT(*) FROM chunk").fetchone()[0], union["original_chunks"])
            self.assertEqual(db.execute("SELECT COUNT(*) FROM fingerprint").fetchone()[0], union["chunks_stored"])
        self.assertFalse([name for name in os.listdir(self.dir) if name.endswith(".tmp")])

    def test_traces_with_comment_lines_merge_as_older_ones(self):
        """The same rows with their settings and end line, or without; a
        quoted path that begins with "#" is a row, not a comment."""
        traces, _ = self.traces_and_union()
        older = self.file("older.csv", b"path,offset,size,sha1,new\n\"#m\",0,77,%s,1\n" % (b"cd" * 20))
        newer = self.file("newer.csv", ((merge_model.SETTINGS % (1, *LIMITS)) + merge_model.HEADER
                                        + "\"#m\",0,77,%s,1\n" % ("cd" * 20) + merge_model.END % (1, 77)).encode())
        for number, trace in enumerate(traces):
            merge_model.sample_trace(os.path.join(self.dir, trace), os.path.join(self.dir, "n%d.csv" % number), 1,
                                     LIMITS)
        both = [self.dedupmeasure("merge", *listed) for listed in (traces + [older], ["n0.csv", "n1.csv", "n2.csv",
                                                                                        newer])]
        self.assertEqual([done.returncode for done in both], [0, 0])
        self.assertEqual(both[0].stdout.replace("older.csv", "newer.csv").replace("m0.csv", "n0.csv")
                         .replace("m1.csv", "n1.csv").replace("m2.csv", "n2.csv"), both[1].stdout)
        mixed = self.dedupmeasure("merge", "--json", "m0.csv", "n1.csv", newer)
        self.assertEqual(json.loads(mixed.stdout), merge_model.expected(
            [os.path.join(self.dir, name) for name in ("m0.csv", "n1.csv", "newer.csv")], ["m0.csv", "n1.csv", newer]))

    def test_sampled_traces_give_the_estimates_of_the_model(self):
        traces, _ = self.traces_and_union()
        for sample in (2, 8):
            names = ["s%d_%s" % (sample, trace) for trace in traces]
            for trace, name in zip(traces, names):
                merge_model.sample_trace(os.path.join(self.dir, trace), os.path.join(self.dir, name), sample, LIMITS)
            merged = json.loads(self.dedupmeasure("merge", "--json", *names).stdout)
            self.assertEqual(merged, merge_model.expected([os.path.join(self.dir, name) for name in names], names))
            text = self.dedupmeasure("merge", *names).stdout
            estimates = [(key, value) for key, value in merged["estimates"].items()]
            estimates += [(key, value) for source in merged["sources"] for key, value in source["estimates"].items()]
            lines = [line for line in text.splitlines() if "estimated" in line]
            self.assertEqual(len(lines), len(estimates))
            for line, (key, value) in zip(lines, estimates):
                shown = ("%.6f" if key.endswith("ratio") else "%d") % value["value"]
                ends = ("%.6f" if key.endswith("ratio") else "%.0f") % value["low"], \
                    ("%.6f" if key.endswith("ratio") else "%.0f") % value["high"]
                self.assertTrue(line.endswith(" estimated %s (95%% interval %s to %s)" % ((shown,) + ends)), line)
            self.assertRegex(text, r"(?m)^sample +1 chunk in %d, chosen by its SHA-1$" % sample)

    def peak_memory_of_merge(self, rows):
        """The largest resident set (KiB) of a merge of rows random chunks
        over two traces, measured in a process of its own."""
        rng = random.Random(rows)
        for name in ("a.csv", "b.csv"):
            self.file(name, ("path,offset,size,sha1,new\n" + "".join(
                "f,0,%d,%040x,1\n" % (size, size * 7919) for size in (rng.randrange(1, 1 << 24)
                                                                       for _ in range(rows // 2)))).encode())
        measure = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], check=True, "
                   "stdout=subprocess.DEVNULL); print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
        return int(subprocess.check_output([sys.executable, "-c", measure, ENTRY, "merge", "a.csv", "b.csv"],
                                           cwd=self.dir))

    def test_memory_does_not_grow_with_the_traces(self):
        small, large = self.peak_memory_of_merge(20000), self.peak_memory_of_merge(400000)
        # Holding 400000 chunks in Python would take well over 40 MiB more.
        self.assertLess(large - small, 16 << 10, (small, large))


if __name__ == "__main__":
    unittest.main(verbosity=2)
