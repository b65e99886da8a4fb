#!/usr/bin/env python3
"""Every manual page under man/ passes `mandoc -T lint` without a single
message: the tools' pages and any other page that is added there.

usage: man_lint.py [unittest arguments]
"""
import glob
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import manpage  # noqa: E402


class Lint(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.mandoc = shutil.which("mandoc")

    def setUp(self):
        # A missing checker must not pass for a clean page.
        if self.mandoc is None:
            self.fail("mandoc is not installed: install Debian's mandoc package (apt-get install mandoc)")

    def test_the_tools_have_pages(self):
        for page in manpage.PAGES.values():
            self.assertTrue(os.path.isfile(os.path.join(manpage.MAN_DIR, page)), "man/%s is missing" % page)

    def test_every_page_is_clean(self):
        pages = sorted(glob.glob(os.path.join(manpage.MAN_DIR, "*.1")))
        self.assertTrue(pages, "no manual page under %s" % manpage.MAN_DIR)
        for page in pages:
            with self.subTest(page=os.path.basename(page)):
                proc = subprocess.run([self.mandoc, "-T", "lint", page], capture_output=True, text=True)
                self.assertEqual((proc.returncode, proc.stdout + proc.stderr), (0, ""),
                                 "mandoc -T lint %s" % page)


if __name__ == "__main__":
    unittest.main(verbosity=2)
