"""Tolvane's gear, fastcdc and fixed chunkers and its compression, run end to
end on generated and real files and compared with an independent model:
every report line, every trace row (the boundaries) and the JSON figures;
the compressed sizes come from Python's own zstd and lz4 bindings with the
same frame settings. Refused option values and the unchanged default.

usage: test_chunkers.py TOLVANE_PROGRAM [unittest arguments]
    (run with Debian's python3, which has python3-zstandard and python3-lz4)
"""
import csv
import glob
import json
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import programs, statuses, tolvane_texts as texts, tools  # noqa: E402
from tolvane.chunker_model import ChunkerModel  # noqa: E402

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
PARAMETER_NAMES = ("min_size", "max_size", "nmb", "win", "svl")
CHUNKERS = ("gear", "fastcdc", "fixed")
# Defaults; chunks whose first 64 bytes decide (min below 64); a tight max;
# min above max; every byte a chunk; every byte an anchor; fastcdc's loose
# mask of no bit; anchors that need all 32 top bits clear.
CASES = (
    dict(min_size=1024, max_size=65536, nmb=13, win=48, svl=3125),
    dict(min_size=0, max_size=4096, nmb=6, win=16, svl=100),
    dict(min_size=20, max_size=300, nmb=5, win=8, svl=50),
    dict(min_size=100, max_size=50, nmb=3, win=48, svl=10),
    dict(min_size=0, max_size=0, nmb=4, win=1, svl=1),
    dict(min_size=3, max_size=70000, nmb=0, win=48, svl=3125),
    dict(min_size=30, max_size=2000, nmb=1, win=48, svl=7),
    dict(min_size=0, max_size=9000, nmb=32, win=48, svl=3125),
)


class ChunkerTest(programs.ProgramCase):
    TIMEOUT_SECONDS = 300

    def setUp(self):
        super().setUp()
        self.rng = random.Random(18)

    def generated_files(self):
        """Random blocks repeated whole and after small insertions, zeros
        around some of them, files shorter than the window and than 64
        bytes, a file of one byte and an empty one."""
        blocks = [self.rng.randbytes(self.rng.randrange(1500, 7000)) for _ in range(5)]
        first = b"".join(blocks)
        edited = bytearray(first)
        for _ in range(3):
            at = self.rng.randrange(len(edited))
            edited[at:at] = self.rng.randbytes(self.rng.randrange(1, 40))
        texts_ = [(b"line %d of some text\n" % i) * 3 for i in range(400)]
        return [self.file(name, data) for name, data in (
            ("first", first), ("edited", bytes(edited)), ("zeros", bytes(20000) + blocks[1] + bytes(3000)),
            ("text", b"".join(texts_)), ("short", first[:47]), ("tiny", first[:63]), ("one", b"\x07"),
            ("empty", b""))]

    def real_files(self):
        """The project's own files: sources, manual pages and the program."""
        paths = sorted(glob.glob(os.path.join(ROOT, "programs", "Tolvane", "*.cpp")))[:6]
        paths += sorted(glob.glob(os.path.join(ROOT, "man", "*.1")))
        return paths + [tools.path("Tolvane")]

    def run_tolvane(self, paths, chunker, case, options=()):
        listing = self.file("list.txt", "\n".join(paths).encode())
        operands = [case[name] for name in PARAMETER_NAMES] + ["y"]
        proc = self.run_program(["--chunker", chunker, *options, listing, *operands])
        self.assertEqual(proc.returncode, statuses.tolvane.SUCCESS, proc.stderr)
        return proc

    def read_trace(self, name):
        with open(os.path.join(self.dir, name), newline="", encoding="latin-1") as handle:
            rows = list(csv.reader(line for line in handle if not line.startswith("#")))
        self.assertEqual(rows[0], ["path", "offset", "size", "sha1", "new"])
        return [(int(offset), int(size), sha1, new == "1") for _, offset, size, sha1, new in rows[1:]]

    def report_lines(self, stdout):
        lines = stdout.decode("latin-1").split("\n")
        self.assertEqual(lines[-1], "")
        self.assertRegex(lines[-2], "\\A%s\\Z" % texts.TIME_LINE)
        return lines[:-2]

    def assert_matches_model(self, paths, chunker, case, compress=None):
        """Text, trace and JSON of one run against the model; returns it."""
        model = ChunkerModel(chunker, compress, **case)
        expected = model.expected_stdout(paths)
        options = ["--trace", "trace.csv"] + (["--compress", compress] if compress else [])
        where = dict(case, chunker=chunker, compress=compress)
        proc = self.run_tolvane(paths, chunker, case, options)
        self.assertEqual(self.report_lines(proc.stdout), expected, where)
        self.assertEqual(proc.stderr.decode("latin-1").splitlines(), expected[:len(paths)], where)
        self.assertEqual(self.read_trace("trace.csv"), model.chunk_log, where)

        document = json.loads(self.run_tolvane(paths, chunker, case, options[2:] + ["--json"]).stdout)
        self.assertEqual(document["chunker"], chunker)
        self.assertEqual((document["chunked_bytes"], document["unique_bytes"]),
                         (model.chunked_bytes(), model.unique_bytes()), where)
        self.assertEqual([(b["from"], b["to"], b["chunks"]) for b in document["chunk_size_histogram"]],
                         model.size_histogram(), where)
        if compress:
            self.assertEqual((document["compression"], document["compressed_stored_bytes"]),
                             (compress, model.compressed_stored), where)
            self.assertEqual(document["data_reduction_ratio"], model.reduction_ratio(), where)
        else:
            self.assertNotIn("compressed_stored_bytes", document)
        return model

    def test_generated_files_match_the_model(self):
        paths = self.generated_files()
        for chunker in CHUNKERS:
            for case in CASES:
                with self.subTest(chunker=chunker, **case):
                    model = self.assert_matches_model(paths, chunker, case)
                    # No priming window: every file that is not empty forms chunks.
                    self.assertEqual(model.chunked_bytes(), model.byte_count)

    def test_real_files_match_the_model(self):
        paths = self.real_files()
        for chunker in CHUNKERS:
            for case in CASES[:3]:
                with self.subTest(chunker=chunker, **case):
                    self.assert_matches_model(paths, chunker, case)

    def test_files_across_read_blocks(self):
        # Past the 1 MiB read blocks: chunks that span them, and repeats of
        # 300 KiB at odd offsets.
        part = self.rng.randbytes(300 * 1024)
        data = part + self.rng.randbytes(777) + part + bytes(100000) + part[1000:] + part
        paths = [self.file("large", data)]
        for chunker, compress in (("gear", "zstd:1"), ("fastcdc", None), ("fixed", "lz4")):
            with self.subTest(chunker=chunker):
                self.assert_matches_model(paths, chunker, CASES[0], compress)
        # The rolling chunker's chunks that span blocks are compressed whole too.
        listing = self.file("list.txt", paths[0].encode())
        proc = self.run_program(["--compress", "zstd:1", listing])
        model = ChunkerModel("rabin", "zstd:1")
        self.assertEqual(self.report_lines(proc.stdout), model.expected_stdout(paths)[:1] +
                         model.report(named_chunker=False))

    def test_the_model_follows_the_manual_page(self):
        # The first word of the table the page gives, and its rules at the
        # extremes: every byte an anchor at nmb 0, fixed chunks of 2^nmb.
        from tolvane.chunker_model import GEAR
        self.assertEqual(GEAR[0], 0xE220A8397B1DCDAF)
        path = self.file("abc", b"abcdefgh" * 10)
        model = self.assert_matches_model([path], "gear", dict(min_size=0, max_size=65536, nmb=0, win=48, svl=3125))
        self.assertEqual((model.total, len(model.stored)), (80, 8))
        model = self.assert_matches_model([path], "fixed", dict(min_size=0, max_size=1, nmb=3, win=48, svl=3125))
        self.assertEqual((model.total, len(model.stored)), (10, 1))

    def test_compressed_sizes_match_the_bindings(self):
        paths = self.generated_files()
        random_only = [self.file("noise", self.rng.randbytes(40000))]
        for compress in ("zstd:3", "zstd:1", "zstd:19", "zstd:-5", "zstd:0", "lz4"):
            for chunker in ("gear", "fixed"):
                with self.subTest(compress=compress, chunker=chunker):
                    model = self.assert_matches_model(paths, chunker, CASES[1], compress)
                    self.assertGreater(model.reduction_ratio(), model.chunked_bytes() / model.unique_bytes())
            with self.subTest(compress=compress, data="random"):
                # Random chunks do not shrink: each counts at its own size.
                model = self.assert_matches_model(random_only, "gear", CASES[0], compress)
                self.assertEqual(model.compressed_stored, model.unique_bytes())

    def test_the_lz4_blocks_of_the_model_are_lz4_blocks(self):
        # What the model counts decompresses with python3-lz4 to the chunk,
        # and from 64 KiB on python3-lz4 writes the very same block.
        import lz4.block
        from tolvane.chunker_model import LZ4_SMALL_INPUT_LIMIT, lz4_block
        text = b"".join(b"%d lines, " % i for i in range(30000))
        for size in (1, 100, 10588, LZ4_SMALL_INPUT_LIMIT - 1, LZ4_SMALL_INPUT_LIMIT, 200000):
            with self.subTest(size=size):
                block = lz4_block(text[:size])
                self.assertEqual(lz4.block.decompress(block, uncompressed_size=size), text[:size])
                if size >= LZ4_SMALL_INPUT_LIMIT:
                    self.assertEqual(len(block), len(lz4.block.compress(text[:size], store_size=False)))

    def test_compression_beside_the_rolling_chunker(self):
        paths = self.generated_files()
        for compress in ("zstd", "lz4"):
            with self.subTest(compress=compress):
                listing = self.file("list.txt", "\n".join(paths).encode())
                proc = self.run_program(["--compress", compress, listing])
                self.assertEqual(proc.returncode, statuses.tolvane.SUCCESS, proc.stderr)
                model = ChunkerModel("rabin", "zstd:3" if compress == "zstd" else compress)
                self.assertEqual(self.report_lines(proc.stdout), model.expected_stdout(paths)[:len(paths)] +
                                 model.report(named_chunker=False))

    def test_without_the_options_nothing_changes(self):
        paths = self.generated_files()
        listing = self.file("list.txt", "\n".join(paths).encode())
        plain = self.run_program([listing])
        for options, added in ((["--compress", "none"], []), (["--chunker", "rabin"], ["chunker = rabin"]),
                               (["--chunker=rabin", "--compress=none"], ["chunker = rabin"])):
            with self.subTest(options=options):
                proc = self.run_program(options + [listing])
                self.assertEqual((proc.returncode, proc.stderr), (plain.returncode, plain.stderr))
                self.assertEqual(self.report_lines(proc.stdout), self.report_lines(plain.stdout) + added)
        document = json.loads(self.run_program(["--json", "--compress", "none", listing]).stdout)
        self.assertFalse({"chunker", "compression", "compressed_stored_bytes", "data_reduction_ratio"} & set(document))

    def test_refused_values(self):
        listing = self.file("list.txt", self.file("data", b"x" * 100).encode())
        for option, value in (("chunker", "bogus"), ("chunker", "GEAR"), ("chunker", ""),
                              ("compress", "gzip"), ("compress", "zstd:23"), ("compress", "zstd:-131073"),
                              ("compress", "zstd:"), ("compress", "zstd:3x"), ("compress", "zstd:+3"),
                              ("compress", "lz4:1"), ("compress", "")):
            with self.subTest(option=option, value=value):
                proc = self.run_program(["--%s=%s" % (option, value), listing])
                self.assertEqual((proc.returncode, proc.stdout), (statuses.tolvane.USAGE, b""))
                message = proc.stderr.decode()
                self.assertRegex(message, r"\ATolvane: --%s takes [^\n]*\n\Z" % option)
                self.assertIn("not %s\n" % value, message)
                if option == "compress":
                    self.assertIn("-131072 to 22", message)
        proc = self.run_program([listing, "--compress"])  # an operand, not an option: the usage
        self.assertEqual((proc.returncode, proc.stdout), (statuses.tolvane.USAGE, texts.USAGE))
        proc = self.run_program(["--compress"])
        self.assertEqual((proc.returncode, proc.stdout), (statuses.tolvane.USAGE, b""))
        self.assertEqual(proc.stderr, b"Tolvane: option --compress needs a value\n" + texts.USAGE)


if __name__ == "__main__":
    programs.main()
