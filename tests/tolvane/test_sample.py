"""Tolvane --sample N against an independent computation: an exact run's
trace, filtered by the sampling rule (the digest's first four bytes below
2^32 / N), gives every sampled count, and the estimates and their intervals
follow from the formulas, in Python's own integers and floats; the text, the
per-file lines and the JSON must say exactly that, and the sampled trace must
be the filtered exact trace, row for row. Bad values of --sample are refused.

usage: test_sample.py TOLVANE_PROGRAM [unittest arguments]
"""
import csv
import hashlib
import glob
import io
import json
import math
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import programs, statuses, tools  # noqa: E402

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SMALL = ["256", "8192", "9", "48", "3125", "y"]  # small chunks: many of them, in files of a few hundred KiB
Z = 1.96


def total(n, sampled, squares, at_least, at_most):
    """(value, low, high) of a total estimated from a sample of 1 in n."""
    scaled = n * sampled
    half = Z * math.sqrt(float(n * (n - 1) * squares))
    low = max(float(scaled) - half, float(at_least))
    high = min(float(scaled) + half, float(at_most))
    # No estimate past what can be.
    return min(scaled, at_most), min(low, high), high


def quotient(numerator, estimate):
    value, low, high = estimate
    divide = lambda a, b: a / b if b else (math.inf if a else math.nan)
    return divide(float(numerator), float(value)), divide(float(numerator), high), divide(float(numerator), low)


def trace_rows(path):
    with open(path, newline="", encoding="latin-1") as handle:
        lines = handle.read().split("\n")
    comments = [line for line in lines if line.startswith("#")]
    rows = list(csv.reader(io.StringIO("\n".join(line for line in lines if not line.startswith("#")))))
    return comments, rows[0], rows[1:]


def in_sample(sha1, n):
    return int(sha1[:8], 16) < 2**32 // n


class Expected:
    """What a run sampled 1 in n must report, from the exact run's rows
    (one row per chunk, every file's rows from offset 0) and its figures."""

    def __init__(self, rows, exact, n):
        self.n = n
        self.files, copies, stored = [], {}, {}
        # The exact run says how many rows each listed file has.
        owners = [index for index, entry in enumerate(exact["files"]) for _ in range(entry["chunks"])]
        self.files = [{"chunks": entry["chunks"], "dups": 0, "copies": {}} for entry in exact["files"]]
        for owner, (path, offset, size, sha1, new) in zip(owners, rows):
            file = self.files[owner]
            if not in_sample(sha1, n):
                continue
            if new == "1":
                stored[sha1] = int(size)
            else:
                file["dups"] += 1
                file["copies"][sha1] = file["copies"].get(sha1, 0) + 1
                copies[sha1] = copies.get(sha1, 0) + 1
        self.sampled = sum(1 for row in rows if in_sample(row[3], n))
        self.distinct, self.bytes = len(stored), sum(stored.values())
        chunks, chunked = exact["original_chunks"], exact["chunked_bytes"]
        self.estimates = {
            "distinct_chunks": total(n, self.distinct, self.distinct, self.distinct, chunks),
            "unique_bytes": total(n, self.bytes, sum(s * s for s in stored.values()), self.bytes, chunked),
            "duplicate_chunks": total(n, self.sampled - self.distinct, sum(c * c for c in copies.values()),
                                      self.sampled - self.distinct, chunks - self.distinct),
        }
        self.estimates["byte_dedup_ratio"] = quotient(chunked, self.estimates["unique_bytes"])
        self.estimates["chunk_dedup_ratio"] = quotient(chunks, self.estimates["distinct_chunks"])
        self.chunks = chunks

    def file_estimate(self, file):
        return total(self.n, file["dups"], sum(k * k for k in file["copies"].values()), file["dups"],
                     file["chunks"])

    def per_file_fields(self):
        if self.n == 1:
            return ["%d %d" % (file["dups"], file["chunks"]) for file in self.files]
        return ["~%d[%.0f,%.0f] %d" % (self.file_estimate(file) + (file["chunks"],)) for file in self.files]

    def text_lines(self):
        """The lines of the sampled report that differ from an exact one."""
        e = self.estimates
        count = lambda name, what: "estimated %s = %d (95%% interval %.0f to %.0f)" % ((what,) + e[name])
        ratio = lambda name, what, colon="": "estimated %s = %f%s (95%% interval %f to %f)" % (
            what, e[name][0], colon, e[name][1], e[name][2])
        return [ratio("chunk_dedup_ratio", "compression ratio", ":1"),
                "number of chunks stored in the sampled store = %d" % self.distinct,
                "sample = 1 in %d: %d sampled chunks, %d distinct, %d bytes" % (
                    self.n, self.sampled, self.distinct, self.bytes),
                count("distinct_chunks", "distinct chunks"), count("unique_bytes", "unique bytes"),
                ratio("byte_dedup_ratio", "byte dedup ratio"), count("duplicate_chunks", "duplicate chunks")]


def same_number(a, b):
    return (a is None and (b is None or math.isinf(b) or math.isnan(b))) or a == b


class SampleTest(programs.ProgramCase):
    TIMEOUT_SECONDS = 300

    def generated_files(self):
        """Random blocks repeated whole, shifted and edited across files."""
        rng = random.Random(16)
        blocks = [rng.randbytes(rng.randrange(20000, 90000)) for _ in range(8)]
        files = []
        for index in range(6):
            parts = rng.sample(blocks, 4)
            data = bytearray(b"".join(parts))
            for _ in range(5):
                at = rng.randrange(len(data))
                data[at:at] = rng.randbytes(rng.randrange(1, 30))
            files.append(self.file("generated%d" % index, bytes(data)))
        return files + [files[0], self.file("short", b"tiny")]

    def real_files(self):
        paths = sorted(glob.glob(os.path.join(ROOT, "programs", "*", "*.cpp")))
        return paths + sorted(glob.glob(os.path.join(ROOT, "man", "*.1"))) + [tools.path("Tolvane")] * 2

    def run_tolvane(self, options, paths, operands):
        listing = self.file("list.txt", "\n".join(paths).encode())
        proc = self.run_program([*options, listing, *operands])
        self.assertEqual(proc.returncode, statuses.tolvane.SUCCESS, proc.stderr)
        return proc

    def check_sample(self, paths, operands, n, chunker=()):
        exact = json.loads(self.run_tolvane([*chunker, "--json", "--trace", "exact.csv"], paths, operands).stdout)
        exact_lines = self.run_tolvane(chunker, paths, operands).stdout.decode("latin-1").split("\n")
        _, _, rows = trace_rows(os.path.join(self.dir, "exact.csv"))
        expected = Expected(rows, exact, n)

        text = self.run_tolvane([*chunker, "--sample", str(n), "--trace", "sampled.csv"], paths, operands)
        lines = text.stdout.decode("latin-1").split("\n")
        per_file = [line.rsplit(" ", 1)[0] for line in lines[:len(expected.files)]]
        self.assertEqual(per_file, expected.per_file_fields())
        self.assertEqual(text.stderr.decode("latin-1").split("\n")[:len(expected.files)],
                         lines[:len(expected.files)])
        if n > 1:
            for line in expected.text_lines():
                self.assertIn(line, lines)
            # Every figure that is no estimate stays the exact run's.
            for prefix in ("original number of chunks = ", "squared sum of chunk sizes = ", "byte count = ",
                           "average chunk size = "):
                self.assertEqual([l for l in lines if l.startswith(prefix)],
                                 [l for l in exact_lines if l.startswith(prefix)])
            self.assertFalse([l for l in lines if l.startswith(("compression ratio", "number of chunks stored ="))])

        # The sampled trace is the exact one filtered by the rule.
        comments, header, sampled_rows = trace_rows(os.path.join(self.dir, "sampled.csv"))
        self.assertEqual(sampled_rows, [row for row in rows if in_sample(row[3], n)])
        self.assertEqual(comments[0].split()[3], "sample=%d" % n)
        self.assertEqual(comments[-1], "# Tolvane trace end: chunks=%d bytes=%d"
                         % (exact["original_chunks"], exact["chunked_bytes"]))

        document = json.loads(self.run_tolvane([*chunker, "--json", "--sample", str(n)], paths, operands).stdout)
        if n == 1:
            self.assertEqual(lines[:-2], exact_lines[:-2])  # all but the time
            self.assertEqual(document, dict(exact, seconds=document["seconds"]))
            return
        self.assertEqual((document["sample"], document["sampled_chunks"], document["distinct_sampled_chunks"],
                          document["distinct_sampled_bytes"], document["original_chunks"]),
                         (n, expected.sampled, expected.distinct, expected.bytes, exact["original_chunks"]))
        for name, (value, low, high) in expected.estimates.items():
            got = document["estimates"][name]
            self.assertTrue(all(same_number(g, w) for g, w in zip((got["value"], got["low"], got["high"]),
                                                                   (value, low, high))), (name, got))
        for file, entry in zip(expected.files, document["files"]):
            got = entry["estimated_duplicates"]
            self.assertEqual((entry["sampled_duplicates"], got["value"], got["low"], got["high"]),
                             (file["dups"],) + expected.file_estimate(file))

    def test_estimates_follow_the_filtered_exact_trace(self):
        for what, paths in (("generated", self.generated_files()), ("real", self.real_files())):
            for n in (1, 2, 16, 1024):
                with self.subTest(files=what, sample=n):
                    self.check_sample(paths, SMALL, n)

    def test_default_chunking_and_a_sample_that_keeps_nothing(self):
        # With 1 in 2^20 almost surely no chunk is sampled: every estimate
        # is 0 and the ratios divide by it.
        for n in (4, 1 << 20):
            with self.subTest(sample=n):
                self.check_sample(self.generated_files(), [], n)

    def test_an_estimate_past_what_can_be(self):
        # 512-byte chunks, all distinct and all in a sample of 1 in 2: the
        # estimate doubles what there is, and its interval stays within it.
        rng, blocks = random.Random(17), []
        while len(blocks) < 100:
            block = rng.randbytes(512)
            if in_sample(hashlib.sha1(block).hexdigest(), 2):
                blocks.append(block)
        self.check_sample([self.file("all_sampled", b"".join(blocks))], ["0", "512", "9", "48", "3125", "y"], 2,
                          ["--chunker", "fixed"])

    def test_bad_values_are_refused(self):
        listing = self.file("list.txt", b"")
        for value in ("0", "3", str(1 << 21), "-1", "two", "", "1.0", "+4", "04x"):
            with self.subTest(value=value):
                proc = self.run_program(["--sample=" + value, listing])
                self.assertEqual(proc.returncode, statuses.tolvane.USAGE)
                self.assertEqual(proc.stdout, b"")
                self.assertEqual(proc.stderr.decode().split("\n")[0],
                                 "Tolvane: --sample takes a power of two from 1 to 1048576, not %s" % value)


if __name__ == "__main__":
    programs.main()
