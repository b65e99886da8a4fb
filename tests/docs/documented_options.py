#!/usr/bin/env python3
"""Every option a built tool's --help lists is documented in the OPTIONS
section of its manual page, with the same value name, and the page
documents no option the tool does not have.

usage: documented_options.py [unittest arguments]   (run through CTest, which
    names the built tools in the environment)
"""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import manpage  # noqa: E402
from support import build, statuses, tools  # noqa: E402

HELP_HEADING = "options (before the operands):"
# "  --trace FILE   write one CSV row ...": the option, its value's name, its help.
HELP_LINE = re.compile(r"  --([a-z][a-z0-9-]*)(?: ([A-Z][A-Z0-9_]*))? {2,}\S.*")
# A tag of the OPTIONS section: the option and the name of its value.
MAN_TAG = re.compile(r"--([a-z][a-z0-9-]*)(?: ([A-Z][A-Z0-9_]*))?")


def help_options(text):
    """{option: value name or None} from --help's text: every line after the
    heading of the options."""
    lines = text.splitlines()
    if HELP_HEADING not in lines:
        raise AssertionError("--help has no line %r:\n%s" % (HELP_HEADING, text))
    options = {}
    for line in lines[lines.index(HELP_HEADING) + 1:]:
        match = HELP_LINE.fullmatch(line)
        if not match:
            raise AssertionError("--help line %r is not an option" % line)
        options[match.group(1)] = match.group(2)
    return options


def man_options(lines, where=""):
    """{option: value name or None} from the OPTIONS section: every tagged
    paragraph there documents one option."""
    found = manpage.sections(lines)
    if "OPTIONS" not in found:
        raise AssertionError("%s has no OPTIONS section" % where)
    options = {}
    for item in manpage.tagged_items(found["OPTIONS"]):
        match = MAN_TAG.fullmatch(item.tag)
        if not match or item.parents:
            raise AssertionError("%s: OPTIONS tag %r is not an option" % (where, item.tag))
        if match.group(1) in options:
            raise AssertionError("%s: --%s is documented twice" % (where, match.group(1)))
        if not item.body:
            raise AssertionError("%s: --%s has no description" % (where, match.group(1)))
        options[match.group(1)] = match.group(2)
    return options


def shown(options):
    return sorted("--%s%s" % (name, "" if value is None else " " + value) for name, value in options.items())


class Options(unittest.TestCase):
    def help_of(self, tool):
        program = tools.path(tool)
        proc = subprocess.run([program, "--help"], capture_output=True, env=build.environment(program))
        self.assertEqual(proc.returncode, getattr(statuses, tool.lower()).SUCCESS, proc.stderr)
        return help_options(proc.stdout.decode())

    def page_of(self, tool):
        page = manpage.PAGES[tool]
        return man_options(manpage.read_lines(os.path.join(manpage.MAN_DIR, page)), "man/" + page)

    def test_help_and_page_agree(self):
        for tool in manpage.PAGES:
            with self.subTest(tool=tool):
                in_help, in_page = self.help_of(tool), self.page_of(tool)
                # Every tool has these two: a reader that found nothing fails here.
                self.assertIn("help", in_help)
                self.assertIn("version", in_help)
                undocumented = set(shown(in_help)) - set(shown(in_page))
                unknown = set(shown(in_page)) - set(shown(in_help))
                self.assertFalse(undocumented, "%s --help lists options man/%s does not document"
                                 % (tool, manpage.PAGES[tool]))
                self.assertFalse(unknown, "man/%s documents options %s --help does not list"
                                 % (manpage.PAGES[tool], tool))


class Parsing(unittest.TestCase):
    def test_help_text(self):
        text = ("usage: x [options] <f>\n  <f>  a file\n" + HELP_HEADING + "\n"
                "  --json         print JSON\n  --trace FILE   write a trace\n")
        self.assertEqual(help_options(text), {"json": None, "trace": "FILE"})
        with self.assertRaises(AssertionError):
            help_options(text + "  -x  a short option\n")
        with self.assertRaises(AssertionError):
            help_options(text.replace(HELP_HEADING, "options:"))

    PAGE = [".TH X 1", ".SH OPTIONS", "Options come first.", ".TP", ".B \\-\\-json", "Print JSON.", ".TP",
            '.BI \\-\\-trace " FILE"', "Write a trace.", ".SH EXIT STATUS", ".TP", ".B 0", "Success."]

    def test_man_page_section(self):
        self.assertEqual(man_options(self.PAGE), {"json": None, "trace": "FILE"})
        # A tag that is no option, the same option twice, an option without a description.
        for replaced, by in ((4, ".B json"), (4, ".B \\-\\-trace"), (5, ".TP")):
            with self.subTest(by=by), self.assertRaises(AssertionError):
                man_options(self.PAGE[:replaced] + [by] + self.PAGE[replaced + 1:])

if __name__ == "__main__":
    unittest.main(verbosity=2)
