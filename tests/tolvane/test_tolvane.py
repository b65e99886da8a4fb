"""Tolvane run end to end on generated files, checked against the documented
examples and against an independent model of its chunking.

usage: test_tolvane.py TOLVANE_PROGRAM [unittest arguments]
"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import programs, statuses, tolvane_texts as texts  # noqa: E402
from tolvane.tolvane_model import TolvaneModel  # noqa: E402


class TolvaneTest(programs.ProgramCase):
    TIMEOUT_SECONDS = 300

    def setUp(self):
        super().setUp()
        self.rng = random.Random(7)

    def run_tolvane(self, paths, args=(), list_text=None):
        listing = self.file("list.txt", (list_text if list_text is not None else "\n".join(paths)).encode())
        proc = self.run_program([listing, *args])
        return proc.returncode, proc.stdout.decode("latin-1"), proc.stderr.decode("latin-1")

    def report_lines(self, stdout):
        lines = stdout.split("\n")
        self.assertEqual(lines[-1], "", "output ends with a line break")
        self.assertRegex(lines[-2], "\\A%s\\Z" % texts.TIME_LINE)
        return lines[:-2]

    def assert_matches_model(self, paths, args=(), **model_args):
        status, out, err = self.run_tolvane(paths, args)
        self.assertEqual(status, statuses.tolvane.SUCCESS, err)
        model = TolvaneModel(**model_args)
        expected = model.expected_stdout(paths)
        self.assertEqual(self.report_lines(out), expected)
        # The per-file lines go to standard error as well.
        self.assertEqual(err.splitlines(), expected[: len(paths)])
        return model

    def varied_files(self):
        """Random blocks, repeated whole and shifted by small insertions, so
        that content-defined chunking finds shifted duplicates."""
        blocks = [self.rng.randbytes(self.rng.randrange(2000, 9000)) for _ in range(6)]
        first = b"".join(blocks)
        edited = bytearray(first)
        for _ in range(4):
            at = self.rng.randrange(len(edited))
            edited[at:at] = self.rng.randbytes(self.rng.randrange(1, 40))
        sparse = bytes(30000) + blocks[0] + bytes(5000)
        return [self.file("a", first), self.file("b", bytes(edited)), self.file("c", sparse),
                self.file("d", first[:100])]

    # The documented examples.
    def test_196608_zero_bytes_give_three_equal_chunks(self):
        path = self.file("zeros", bytes(196608))
        for usv, lookups in (("y", 2), ("n", 3)):
            status, out, err = self.run_tolvane([path], (1024, 65536, 13, 48, 3125, usv))
            self.assertEqual(status, statuses.tolvane.SUCCESS)
            self.assertEqual(self.report_lines(out), [
                "2 3 " + path, "", "number of false positives = 0",
                "length of summary vector = 3125 (in num. of 32-bit words)", "number of chunks stored = 1",
                "window size = 48", "set min. chunk size = 1024", "set max. chunk size = 65536",
                "original number of chunks = 3", "compression ratio = 3.000000:1",
                "number of on-disk fingerprint lookups = %d" % lookups,
                "average chunk size = 8192 (desired), 65536.000000 (actual)",
                "squared sum of chunk sizes = 12884901888", "byte count = 196608"])
            self.assertEqual(err, "2 3 %s\n" % path)

    def test_200000_zero_bytes_and_a_file_listed_twice(self):
        path = self.file("zeros", bytes(200000))
        status, out, _ = self.run_tolvane([path], (1024, 65536, 13, 48, 3125, "n"))
        lines = self.report_lines(out)
        self.assertEqual(lines[0], "2 4 " + path)
        for expected in ("number of chunks stored = 2", "original number of chunks = 4",
                         "compression ratio = 2.000000:1", "number of on-disk fingerprint lookups = 4",
                         "average chunk size = 8192 (desired), 50000.000000 (actual)",
                         "squared sum of chunk sizes = 12896407552", "byte count = 200000"):
            self.assertIn(expected, lines)
        status, out, _ = self.run_tolvane([path, path])
        lines = self.report_lines(out)
        self.assertEqual(lines[1], "4 4 " + path)
        self.assertIn("number of chunks stored = 2", lines)

    def test_default_run_matches_the_model(self):
        paths = self.varied_files()
        self.assert_matches_model(paths)

    def test_parameter_variations_match_the_model(self):
        paths = self.varied_files()
        cases = [
            dict(min_size=0, max_size=65536, nmb=6, win=16, svl=3125, usv=True),
            dict(min_size=64, max_size=0, nmb=6, win=8, svl=50, usv=True),
            dict(min_size=5000, max_size=3000, nmb=4, win=48, svl=10, usv=True),
            dict(min_size=256, max_size=2048, nmb=8, win=1, svl=1, usv=True),
            dict(min_size=256, max_size=2048, nmb=8, win=100, svl=1, usv=False),
            dict(min_size=100, max_size=4096, nmb=0, win=32, svl=7, usv=True),
            dict(min_size=100, max_size=4096, nmb=32, win=32, svl=7, usv=True),
        ]
        for case in cases:
            with self.subTest(**case):
                args = (case["min_size"], case["max_size"], case["nmb"], case["win"], case["svl"],
                        "y" if case["usv"] else "n")
                model = self.assert_matches_model(paths[:3] if case["max_size"] == 0 else paths, args, **case)
                # Every chunk is stored once or counted as a duplicate.
                dups = model.total - len(model.stored)
                if case["usv"]:
                    self.assertEqual(model.lookups, model.false_pos + dups)
                else:
                    self.assertEqual((model.lookups, model.false_pos), (model.total, 0))

    def test_full_one_word_summary_vector_counts_false_positives(self):
        path = self.file("r", self.rng.randbytes(60000))
        model = self.assert_matches_model([path], (0, 65536, 6, 48, 1, "y"),
                                          min_size=0, nmb=6, win=48, svl=1)
        self.assertGreater(model.false_pos, model.total // 2)

    def test_usv_takes_only_a_lower_case_n(self):
        path = self.file("r", self.rng.randbytes(20000) * 2)
        for usv, on in (("n", False), ("no", False), ("N", True), ("y", True), ("x", True)):
            with self.subTest(usv=usv):
                self.assert_matches_model([path], (512, 8192, 9, 48, 3125, usv),
                                          min_size=512, max_size=8192, nmb=9, usv=on)

    def test_files_around_the_window_size(self):
        paths = [self.file("short", b"\x05" * 47), self.file("exact", b"\x05" * 48),
                 self.file("longer", b"\x05" * 49), self.file("empty", b"")]
        self.assert_matches_model(paths)
        status, out, _ = self.run_tolvane(paths)
        lines = self.report_lines(out)
        self.assertEqual(lines[:4], ["0 0 " + paths[0], "0 1 " + paths[1], "0 1 " + paths[2], "0 0 " + paths[3]])
        self.assertIn("squared sum of chunk sizes = %d" % (48 * 48 + 49 * 49), lines)
        self.assertIn("byte count = %d" % (47 + 48 + 49), lines)

    def test_empty_list_prints_zeros_and_not_a_number(self):
        status, out, err = self.run_tolvane([], list_text="")
        self.assertEqual((status, err), (statuses.tolvane.SUCCESS, ""))
        lines = self.report_lines(out)
        self.assertEqual(lines, TolvaneModel().report())


if __name__ == "__main__":
    programs.main()
