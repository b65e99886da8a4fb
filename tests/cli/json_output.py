#!/usr/bin/env python3
"""Tolvane --json and sha --json: one JSON document whose figures equal the
independent models and the text output of the same run; paths that are not
UTF-8 still give valid UTF-8.

usage: json_output.py [unittest arguments]   (run through CTest)
"""
import errno
import json
import os
import re

import cli_case
from sha.sha_end_to_end import reference as sha_reference
from support import statuses
from tolvane.tolvane_model import c_float, float32, TolvaneModel

PARAMETER_SETS = [
    dict(min_size=1024, max_size=65536, nmb=13, win=48, svl=3125, usv=True),
    dict(min_size=256, max_size=4096, nmb=7, win=16, svl=3, usv=True),
    dict(min_size=0, max_size=2000, nmb=5, win=64, svl=100, usv=False),
]
# Label in the text report -> key in the document, for the whole numbers.
TEXT_NUMBERS = {"number of false positives": "false_positives", "length of summary vector": "summary_vector_words",
                "number of chunks stored": "chunks_stored", "window size": "window_size",
                "set min. chunk size": "min_chunk_size", "set max. chunk size": "max_chunk_size",
                "original number of chunks": "original_chunks",
                "number of on-disk fingerprint lookups": "on_disk_lookups",
                "squared sum of chunk sizes": "squared_sum_of_chunk_sizes", "byte count": "byte_count"}
SHA_KEYS = ["path", "chunk_size", "window_size", "begin_offset", "end_offset", "chunks", "near_empty_chunks",
            "unique_near_empty_fingerprints", "bytes", "padding_bytes", "window_lists", "windows", "milliseconds",
            "seconds"]


def quotient(numerator, denominator):
    return numerator / denominator if denominator else None


def is_number(value):
    return isinstance(value, (int, float)) and not isinstance(value, bool)


class JsonOutput(cli_case.CliCase):
    def document(self, stdout):
        """The one JSON document of standard output, read as strict UTF-8."""
        return json.loads(stdout.decode("utf-8"))

    def expected_document(self, listed, unreadable, **parameters):
        """The document's figures as the model has them (time aside);
        unreadable: {path: the errno that it fails with}."""
        model = TolvaneModel(**parameters)
        files = []
        for path in listed:
            entry = dict(path=path, chunks=0, duplicates=0, bytes=0, read=path not in unreadable)
            if path in unreadable:
                entry["error"] = os.strerror(unreadable[path])
            else:
                with open(path, "rb") as handle:
                    data = handle.read()
                entry["duplicates"], entry["chunks"] = model.chunk_file(data)
                entry["bytes"] = len(data)
            files.append(entry)
        stored = len(model.stored)
        chunked = model.chunked_bytes()
        return dict(
            false_positives=model.false_pos, summary_vector_words=model.svl, chunks_stored=stored,
            window_size=model.win, min_chunk_size=model.min_size, max_chunk_size=model.max_size,
            anchor_bits=model.nmb, summary_vector_used=model.usv, original_chunks=model.total,
            compression_ratio=quotient(model.total, stored), on_disk_lookups=model.lookups,
            desired_average_chunk_size=(1 << model.nmb) % (1 << 32),
            actual_average_chunk_size=quotient(model.byte_count, model.total),
            squared_sum_of_chunk_sizes=model.sumsqr, byte_count=model.byte_count, chunked_bytes=chunked,
            unique_bytes=model.unique_bytes(), byte_dedup_ratio=quotient(chunked, model.unique_bytes()),
            files=files, chunk_size_histogram=[dict(zip(("from", "to", "chunks"), bucket))
                                               for bucket in model.size_histogram()])

    def assert_agrees_with_text(self, document, text):
        """The text report of the same run says what the document says."""
        report = dict(re.findall(r"(?m)^([^=\n]+) = (.*)$", text))
        for label, key in TEXT_NUMBERS.items():
            self.assertEqual(int(report[label].split()[0]), document[key], label)
        # The text takes the chunk count through single precision; the
        # document divides exactly. Both come from the same counts.
        ratio, stored = document["compression_ratio"], document["chunks_stored"]
        shown = float32(document["original_chunks"]) / stored if stored else float("nan")
        self.assertEqual(report["compression ratio"], "%s:1" % c_float(shown))
        if ratio is not None:
            self.assertLessEqual(abs(float(report["compression ratio"][:-2]) - ratio), ratio * 2 ** -24 + 5e-7)
        average = document["actual_average_chunk_size"]
        if average is None:
            shown = "-nan" if document["byte_count"] == 0 else "inf"
        else:
            shown = c_float(float32(average))
        self.assertEqual(report["average chunk size"],
                         "%d (desired), %s (actual)" % (document["desired_average_chunk_size"], shown))

    def test_tolvane_document_matches_the_model_and_the_text(self):
        readable = self.duplicated_files() + [self.file("short", b"\x07" * 20)]
        missing = os.path.join(self.dir, "missing")
        unreadable = {missing: errno.ENOENT, self.dir: errno.EISDIR}
        listed = readable[:2] + [missing, readable[2], self.dir, readable[3]]
        runs = [(listed, parameters) for parameters in PARAMETER_SETS]
        runs.append(([missing, readable[3]], PARAMETER_SETS[0]))  # no chunk at all: ratios are null
        for listing, parameters in runs:
            with self.subTest(listing=len(listing), **parameters):
                args = [self.list_file(listing, name="list")] + cli_case.positional(parameters)
                text = self.run_tool("Tolvane", args)
                proc = self.run_tool("Tolvane", ["--json"] + args)
                self.assertEqual((proc.returncode, proc.stderr), (text.returncode, text.stderr))
                self.assertEqual(proc.returncode, statuses.tolvane.UNREADABLE_INPUT)
                document = self.document(proc.stdout)
                expected = self.expected_document(listing, unreadable, **parameters)
                self.assertEqual({key: document[key] for key in expected}, expected)
                self.assertEqual(set(document), set(expected) | {"list", "seconds"})
                self.assertEqual(document["list"], args[0])
                self.assertTrue(is_number(document["seconds"]) and document["seconds"] >= 0, document["seconds"])
                self.assert_agrees_with_text(document, self.text_report(text.stdout))
                per_file = "".join("%d %d %s\n" % (f["duplicates"], f["chunks"], f["path"])
                                   for f in expected["files"] if f["read"])
                self.assertEqual(cli_case.hide_messages(proc.stderr).decode(), per_file)

    def test_paths_that_are_not_utf8(self):
        # name on disk -> the name as the document shows it
        names = {b"\xff\xfe": "\ufffd\ufffd", b"caf\xc3\xa9": "caf\u00e9", b"a\xc3(\xe9z": "a\ufffd(\ufffdz",
                 b"\xed\xa0\x80 surrogate": "\ufffd\ufffd\ufffd surrogate",
                 b"tab\tquote\"back\\slash": "tab\tquote\"back\\slash"}
        folder = os.fsencode(self.dir)
        model, lines, data = TolvaneModel(), [], self.rng.randbytes(30000)
        for name in names:
            path = folder + b"/" + name
            with open(path, "wb") as handle:
                handle.write(data + name)
            lines.append(b"%d %d %s\n" % (*model.chunk_file(data + name), path))
        list_name = b"\xfelist"
        with open(os.path.join(folder, list_name), "wb") as handle:
            handle.write(b"\0".join(folder + b"/" + name for name in names))
        proc = self.run_tool("Tolvane", ["--json", "--null", list_name])
        self.assertEqual((proc.returncode, proc.stderr), (statuses.tolvane.SUCCESS, b"".join(lines)))
        document = self.document(proc.stdout)
        self.assertEqual((document["list"], document["list_hex"]), ("\ufffdlist", list_name.hex()))
        self.assertEqual(document["original_chunks"], model.total)
        for entry, (name, shown) in zip(document["files"], names.items()):
            self.assertEqual(entry["path"], self.dir + "/" + shown)
            valid = shown.encode() == name
            self.assertEqual(entry.get("path_hex"), None if valid else (folder + b"/" + name).hex())
        proc = self.run_tool("sha", ["--json", b"\xff\xfe", "1000", "10", "0", "0"])
        document = self.document(proc.stdout)
        self.assertEqual((document["path"], document["path_hex"], document["bytes"]), ("\ufffd\ufffd", "fffe", 30002))

    def test_sha_document_matches_the_model_and_the_text(self):
        sparse = bytearray(60000)
        for at in range(0, len(sparse), 97):
            sparse[at] = 1
        data = bytes(20000) + self.rng.randbytes(30000) + bytes(sparse) + bytes(10000)
        cases = [(data, (4096, 64, 0, 0)), (data, (1000, 10, 3, 2)), (data, (100, 7, -5, 4)), (b"", (16, 4, 0, 0))]
        for number, (content, sizes) in enumerate(cases):
            with self.subTest(case=number, sizes=sizes):
                path = self.file("input", content)
                args = [path] + [str(size) for size in sizes]
                text = self.run_tool("sha", args)
                proc = self.run_tool("sha", ["--json"] + args)
                self.assertEqual((text.returncode, proc.returncode, proc.stderr), (0, 0, b""))
                document = self.document(proc.stdout)
                self.assertEqual(list(document), SHA_KEYS)
                line = [int(field) for field in text.stdout.split()]
                n, w, chunks, unique, total, padding, lists, windows = sha_reference(content, *sizes)
                self.assertEqual(line[:8], [n, w, chunks, unique, total, padding, lists, windows])
                self.assertEqual([document[key] for key in SHA_KEYS[:-2]],
                                 [path, *sizes, chunks, chunks - lists, unique, total, padding, lists, windows])
                milliseconds, seconds = document["milliseconds"], document["seconds"]
                self.assertIsInstance(milliseconds, int)
                self.assertTrue(is_number(seconds) and 0 <= milliseconds <= seconds * 1000 + 1e-6 < milliseconds + 1,
                                (milliseconds, seconds))


if __name__ == "__main__":
    cli_case.main()
