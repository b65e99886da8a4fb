#!/usr/bin/env python3
"""Tolvane --trace FILE: one CSV row per chunk, checked against the bytes of
the files (hashlib) and against the model's chunks; tracing changes no
figure; trace files that cannot be written are reported.

usage: trace.py [unittest arguments]   (run through CTest)
"""
import csv
import hashlib
import json
import os
import re

import cli_case
from support import statuses
from tolvane.tolvane_model import TolvaneModel

SMALL_CHUNKS = dict(min_size=256, max_size=4096, nmb=7, win=16, svl=40, usv=True)


class Trace(cli_case.CliCase):
    def read_trace(self, path):
        with open(path, newline="", encoding="latin-1") as handle:
            rows = list(csv.reader(handle))
        # How the chunks were cut, the header, the rows, and the run's totals.
        self.assertTrue(rows[0][0].startswith("# Tolvane trace: sample=") and len(rows[0]) == 1, rows[0])
        self.assertEqual(rows[1], ["path", "offset", "size", "sha1", "new"])
        self.assertTrue(rows[-1][0].startswith("# Tolvane trace end: chunks=") and len(rows[-1]) == 1, rows[-1])
        return [(p, int(offset), int(size), sha1, new) for p, offset, size, sha1, new in rows[2:-1]]

    def model_rows(self, paths, **parameters):
        """The rows the model's chunks give, and the model."""
        model, rows = TolvaneModel(**parameters), []
        for path in paths:
            with open(path, "rb") as handle:
                model.chunk_file(handle.read())
            rows += [(path, offset, size, sha1, "1" if new else "0")
                     for offset, size, sha1, new in model.chunk_log[len(rows):]]
        return rows, model

    def check_rows(self, rows, report):
        """What rows must be whatever the chunking: each one the SHA-1 of
        its bytes, each file covered from offset 0 without gap or overlap,
        new exactly for a first occurrence."""
        seen, covered = set(), {}
        for path, offset, size, sha1, new in rows:
            with open(path, "rb") as handle:
                handle.seek(offset)
                self.assertEqual(hashlib.sha1(handle.read(size)).hexdigest(), sha1, (path, offset))
            if offset == 0:
                covered[path] = covered.get(path, []) + [0]  # a file (again)
            self.assertEqual(offset, covered[path][-1], (path, offset))
            covered[path][-1] += size
            self.assertEqual(new, "0" if sha1 in seen else "1")
            seen.add(sha1)
        for path, lengths in covered.items():
            self.assertEqual(lengths, [os.path.getsize(path)] * len(lengths), path)
        self.assertIn("number of chunks stored = %d\n" % len(seen), report)
        return sum(row[2] for row in rows)

    def test_rows_match_the_files_and_the_model(self):
        one, two, three = self.duplicated_files()
        short = self.file("short", b"\x09" * 10)
        paths = [one, two, short, three, one]
        listing = self.list_file(paths)
        for parameters in (SMALL_CHUNKS, dict(min_size=1024, max_size=65536, nmb=13, win=48, svl=3125, usv=True)):
            with self.subTest(**parameters):
                operands = [listing] + cli_case.positional(parameters)
                plain = self.run_tool("Tolvane", operands)
                traced = self.run_tool("Tolvane", ["--trace", "trace.csv"] + operands)
                # Tracing changes no figure.
                self.assertEqual((traced.returncode, traced.stderr), (plain.returncode, plain.stderr))
                self.assertEqual(self.text_report(traced.stdout), self.text_report(plain.stdout))
                self.assert_tolvane_matches_model(traced, paths, **parameters)
                rows = self.read_trace(os.path.join(self.dir, "trace.csv"))
                chunked = self.check_rows(rows, self.text_report(traced.stdout))
                expected_rows, model = self.model_rows(paths, **parameters)
                self.assertEqual(rows, expected_rows)
                self.assertEqual(chunked, model.byte_count - os.path.getsize(short))
                # The other spelling writes the same trace; the figures of
                # the document agree with it.
                document = json.loads(self.run_tool("Tolvane", ["--json", "--trace=other.csv"] + operands).stdout)
                with open(os.path.join(self.dir, "trace.csv"), "rb") as first, \
                        open(os.path.join(self.dir, "other.csv"), "rb") as second:
                    self.assertEqual(first.read(), second.read())
                self.assertEqual((document["chunked_bytes"], document["unique_bytes"], document["original_chunks"]),
                                 (chunked, sum(row[2] for row in rows if row[4] == "1"), len(rows)))

    def test_paths_that_need_quoting(self):
        paths = self.duplicated_files(("comma,name", 'quote"name', "line\nbreak"))
        paths.append(self.file('all, "three"\r\n', self.rng.randbytes(5000)))
        listing = self.list_file(paths, separator=b"\0")
        operands = [listing] + cli_case.positional(SMALL_CHUNKS)
        proc = self.run_tool("Tolvane", ["--null", "--trace", "trace.csv"] + operands)
        self.assert_tolvane_matches_model(proc, paths, **SMALL_CHUNKS)
        rows = self.read_trace(os.path.join(self.dir, "trace.csv"))
        self.check_rows(rows, self.text_report(proc.stdout))
        self.assertEqual(rows, self.model_rows(paths, **SMALL_CHUNKS)[0])

    def test_a_path_that_begins_like_a_comment_is_quoted(self):
        # Readers that skip the trace's comment lines must not skip a row.
        self.file("#hashed", self.rng.randbytes(3000))
        listing = self.list_file(["#hashed"])
        proc = self.run_tool("Tolvane", ["--trace", "trace.csv", listing] + cli_case.positional(SMALL_CHUNKS))
        self.assertEqual(proc.returncode, 0, proc.stderr)
        with open(os.path.join(self.dir, "trace.csv"), "rb") as handle:
            lines = handle.read().split(b"\n")
        self.assertTrue(lines[2].startswith(b'"#hashed",0,'), lines[2])
        self.assertEqual({row[0] for row in self.read_trace(os.path.join(self.dir, "trace.csv"))}, {"#hashed"})

    def test_trace_files_that_cannot_be_written(self):
        listing = self.list_file(self.duplicated_files())
        unopenable = os.path.join(self.dir, "missing", "trace.csv")
        proc = self.run_tool("Tolvane", ["--trace", unopenable, listing])
        self.assertEqual((proc.returncode, proc.stdout), (statuses.tolvane.OUTPUT_FAILED, b""))
        self.assertRegex(proc.stderr.decode(),
                         r"\ATolvane: unable to open trace file %s[^\n]*\n\Z" % re.escape(unopenable))
        proc = self.run_tool("Tolvane", ["--trace", "/dev/full", listing, "0", "1024", "6", "16", "100", "y"])
        self.assertEqual(proc.returncode, statuses.tolvane.OUTPUT_FAILED)
        message = b"\nTolvane: error writing trace file /dev/full: No space left on device\n"
        self.assertTrue(proc.stderr.endswith(message), proc.stderr)

    def test_a_listed_file_named_as_the_trace_is_read_whole(self):
        # The trace takes the file's name only at the end of the run.
        paths = self.duplicated_files()
        with open(paths[0], "rb") as handle:
            original = handle.read()
        proc = self.run_tool("Tolvane", ["--trace", paths[0], self.list_file(paths)])
        rows = self.read_trace(paths[0])
        self.file(os.path.basename(paths[0]), original)
        self.assert_tolvane_matches_model(proc, paths)
        self.assertEqual(rows, self.model_rows(paths)[0])

    def test_a_failed_run_leaves_no_trace(self):
        # Enough per-file lines that standard output fails in the middle of the run.
        listing = self.list_file(self.duplicated_files()[:1] * 500)
        before = sorted(os.listdir(self.dir))
        with open("/dev/full", "wb") as full:
            proc = self.run_tool("Tolvane", ["--trace", "trace.csv", listing], stdout=full)
        self.assertEqual(proc.returncode, statuses.tolvane.OUTPUT_FAILED)
        self.assertEqual(sorted(os.listdir(self.dir)), before)


if __name__ == "__main__":
    cli_case.main()
