#!/usr/bin/env python3
"""Tolvane --trace FILE: one CSV row per chunk, checked against the bytes of
the files (hashlib) and against the model's chunks; tracing changes no
figure; trace files that cannot be written are reported; a trace never
replaces an input or standard output, keeps the mode of the file it
replaces, and may have a name as long as the folder allows.

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

    def refused_trace(self, proc, trace, what):
        """A run refused before anything was written: one message, no output."""
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr),
                         (statuses.tolvane.OUTPUT_FAILED, b"", b"Tolvane: trace file %s is also %s\n" % (
                             trace.encode(), what.encode())))

    def test_a_trace_that_is_the_list_or_standard_output_is_refused(self):
        paths = self.duplicated_files()
        listing = self.list_file(paths)
        with open(listing, "rb") as handle:
            list_bytes = handle.read()
        link = os.path.join(self.dir, "link-to-list")
        os.symlink(listing, link)
        # By its name, through a link, and as the standard input it is read from.
        for trace, operand, stdin in ((listing, listing, None), (link, listing, None), (listing, "-", listing)):
            with self.subTest(trace=trace, operand=operand):
                with open(stdin or os.devnull, "rb") as source:
                    proc = self.run_tool("Tolvane", ["--trace", trace, operand], stdin=source)
                self.refused_trace(proc, trace, "an input")
                with open(listing, "rb") as handle:
                    self.assertEqual(handle.read(), list_bytes)
        # The report would be lost: standard output goes to the trace's file.
        out = os.path.join(self.dir, "out.x")
        with open(out, "wb") as stdout:
            proc = self.run_tool("Tolvane", ["--trace", "out.x", listing], stdout=stdout)
        with open(out, "rb") as handle:
            proc.stdout = handle.read()
        self.refused_trace(proc, "out.x", "standard output")
        self.assertEqual(sorted(os.listdir(self.dir)), sorted(["one", "two", "three", "list", "link-to-list", "out.x"]))
        # A device keeps no data: /dev/null may be both.
        with open(os.devnull, "wb") as null:
            proc = self.run_tool("Tolvane", ["--trace", os.devnull, listing], stdout=null)
        self.assertEqual(proc.returncode, statuses.tolvane.SUCCESS, proc.stderr)

    def test_a_listed_file_that_is_the_trace_is_skipped_and_kept(self):
        # Found only when the list is read: the file is not read, the trace
        # not written, the file left as it was; the other files as usual.
        paths = self.duplicated_files()
        with open(paths[1], "rb") as handle:
            original = handle.read()
        listing = self.list_file(paths)
        for threads in ("1", "2"):
            for trace in (paths[1], os.path.join(self.dir, "trace-link")):
                with self.subTest(threads=threads, trace=trace):
                    if trace != paths[1] and not os.path.lexists(trace):
                        os.symlink(paths[1], trace)
                    before = sorted(os.listdir(self.dir))
                    proc = self.run_tool("Tolvane", ["--threads", threads, "--trace", trace, listing])
                    readable = [paths[0], paths[2]]
                    self.assert_tolvane_matches_model(proc, readable, statuses.tolvane.UNREADABLE_INPUT)
                    _, per_file, _ = self.expected(readable)
                    self.assertEqual(proc.stderr.decode().splitlines(),
                                     [per_file[0], "Tolvane: trace file %s is also an input" % trace, per_file[1]])
                    with open(paths[1], "rb") as handle:
                        self.assertTrue(handle.read() == original, "the listed file changed")
                    self.assertEqual(sorted(os.listdir(self.dir)), before)
                    document = json.loads(self.run_tool("Tolvane", ["--json", "--trace", trace, listing]).stdout)
                    self.assertEqual([(f["read"], f.get("error")) for f in document["files"]],
                                     [(True, None), (False, "the list entry is the trace file"), (True, None)])

    def test_an_existing_trace_keeps_its_mode(self):
        paths = self.duplicated_files()
        listing = self.list_file(paths)
        trace = self.file("trace.csv", b"old\n")
        old_mask = os.umask(0o022)
        self.addCleanup(os.umask, old_mask)
        for mode in (0o600, 0o640, 0o604):
            with self.subTest(mode=oct(mode)):
                os.chmod(trace, mode)
                proc = self.run_tool("Tolvane", ["--trace", trace, listing])
                self.assertEqual(proc.returncode, statuses.tolvane.SUCCESS, proc.stderr)
                self.assertEqual(os.stat(trace).st_mode & 0o7777, mode)
                self.assertEqual(self.read_trace(trace), self.model_rows(paths)[0])
        # A new trace gets what the umask lets a new file have.
        os.unlink(trace)
        os.umask(0o027)
        self.assertEqual(self.run_tool("Tolvane", ["--trace", trace, listing]).returncode, 0)
        self.assertEqual(os.stat(trace).st_mode & 0o777, 0o640)

    def test_trace_names_up_to_the_folders_limit(self):
        paths = self.duplicated_files()
        listing = self.list_file(paths)
        limit = os.pathconf(self.dir, "PC_NAME_MAX")
        expected = self.model_rows(paths)[0]
        for length in (limit - 11, limit - 10, limit - 1, limit):
            with self.subTest(length=length):
                name = ("t%d-" % length).ljust(length, "x")
                proc = self.run_tool("Tolvane", ["--trace", name, listing])
                self.assertEqual((proc.returncode, proc.stderr), (statuses.tolvane.SUCCESS,
                                                                  self.run_tool("Tolvane", [listing]).stderr))
                self.assertEqual(self.read_trace(os.path.join(self.dir, name)), expected)
        self.assertEqual(len(os.listdir(self.dir)), 4 + 4)  # the files, the list and the traces: no temporary one

    def test_an_empty_trace_name_is_a_usage_error(self):
        listing = self.list_file(self.duplicated_files())
        for args in (["--trace=", listing], ["--trace", "", listing]):
            with self.subTest(args=args):
                proc = self.run_tool("Tolvane", args)
                self.assertEqual((proc.returncode, proc.stdout), (statuses.tolvane.USAGE, b""))
                self.assertRegex(proc.stderr.decode(), r"\ATolvane: [^\n]*--trace[^\n]*\n\Z")

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
