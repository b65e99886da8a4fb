#!/usr/bin/env python3
"""Where Tolvane's list comes from and how it is cut: standard input for -,
NUL-separated entries with --null. Every run is checked against the model.

usage: list_sources.py [unittest arguments]   (run through CTest)
"""
import os
import subprocess

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


if __name__ == "__main__":
    cli_case.main()
