#!/usr/bin/env python3
"""Where Tolvane's list comes from and how it is cut: standard input for -,
NUL-separated entries with --null. Every run is checked against the model.

usage: list_sources.py [unittest arguments]   (run through CTest)
"""
import json
import os
import subprocess
import unittest

import cli_case

# Names white space would cut apart.
ODD_NAMES = ("with space", "tab\there", "line\nbreak", " leading and trailing ", "\r\v\f")


class ListSources(cli_case.CliCase):
    def test_list_from_standard_input(self):
        folder = os.path.join(self.dir, "tree")
        os.makedirs(os.path.join(folder, "sub"))
        names = [os.path.join("tree", "sub", "one"), os.path.join("tree", "two"), os.path.join("tree", "three")]
        self.duplicated_files(names)
        found = subprocess.run(["find", folder, "-type", "f"], capture_output=True, check=True).stdout
        paths = found.decode().split()
        self.assertEqual(len(paths), 3)
        self.assert_tolvane_matches_model(self.run_tool("Tolvane", ["-"], input=found), paths)
        parameters = dict(min_size=256, max_size=4096, nmb=7, win=16, svl=20, usv=True)
        self.assert_tolvane_matches_model(
            self.run_tool("Tolvane", ["-"] + cli_case.positional(parameters), input=found), paths, **parameters)

    def test_nul_separated_lists(self):
        paths = self.duplicated_files(ODD_NAMES[:3])
        paths += [self.file(ODD_NAMES[3], self.rng.randbytes(9000)), self.file(ODD_NAMES[4], bytes(70000))]
        paths.append(paths[1])  # listed twice: all duplicates the second time
        entries = [p.encode() for p in paths]
        # Empty entries anywhere are skipped: at the start, in a row, at the end.
        listings = [b"\0".join(entries) + b"\0", b"\0" + b"\0\0\0".join(entries), b"\0\0".join(entries) + b"\0\0"]
        for number, listing in enumerate(listings):
            with self.subTest(listing=number):
                list_path = self.file("list", listing)
                self.assert_tolvane_matches_model(self.run_tool("Tolvane", ["--null", list_path]), paths)
                self.assert_tolvane_matches_model(self.run_tool("Tolvane", ["--null", "-"], input=listing), paths)

    @unittest.skipUnless(os.access("/proc/kallsyms", os.R_OK), "no /proc/kallsyms to read")
    def test_a_file_that_says_it_is_empty_is_read_whole(self):
        # Files of /proc give their size as 0 but hold bytes, here megabytes:
        # every thread count must read them to their end.
        with open("/proc/kallsyms", "rb") as handle:
            length = len(handle.read())
        self.assertEqual(os.stat("/proc/kallsyms").st_size, 0)
        listing = self.list_file(["/proc/kallsyms"])
        for threads in ("1", "2", "3"):
            proc = self.run_tool("Tolvane", ["--threads", threads, "--json", listing])
            self.assertEqual(json.loads(proc.stdout)["byte_count"], length, threads)


if __name__ == "__main__":
    cli_case.main()
