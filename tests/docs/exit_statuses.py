#!/usr/bin/env python3
"""The exit statuses the documentation lists agree with
programs/common/ExitStatus.h, which the programs return them from: the EXIT
STATUS section of each tool's manual page and the README's "Exit statuses"
paragraph name, per tool, exactly the header's numbers (as a shell sees them,
so Tolvane's -1 is 255), and the description of each number tells of every
constant that has it. The companion command's page lists exactly the
statuses of its failures.py.

usage: exit_statuses.py [unittest arguments]
    ManPages  the manual pages
    Companion the companion command's page
    Readme    the README
    Parsing   the readers of both, on small texts
"""
import ast
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import manpage  # noqa: E402
from support import statuses  # noqa: E402

NAMESPACES = {"Tolvane": "tolvane_status", "sha": "sha_status", "Nimbrel": "nimbrel_status"}

# How the description of a status names each constant of the header. A new
# constant needs its entry here, and its mention in the documentation.
MEANINGS = {
    "SUCCESS": r"success",
    "USAGE": r"usage",
    "CLOCK_FAILED": r"clock",
    "OUT_OF_MEMORY": r"memory",
    "UNREADABLE_INPUT": r"open|read",
    "OUTPUT_FAILED": r"writ(?:e|es|ing|ten)\b",
    "BAD_SIZES": r"size|window",
}


def header_statuses():
    """{tool: {constant name: status as a shell sees it}}."""
    namespaces = statuses.read()
    return {tool: vars(namespaces[namespace]) for tool, namespace in NAMESPACES.items()}


class Documented(dict):
    """{status: its description} of one tool, as a document lists them."""

    def add(self, number, description, raw=None, where=""):
        # "255 (-1)": the value in the program must be the same status.
        if raw is not None and int(raw) & 0xFF != number:
            raise AssertionError("%s: %d and (%s) are different statuses" % (where, number, raw))
        self[number] = (self.get(number, "") + " " + description).strip()


def man_page_statuses(lines, where=""):
    """The statuses of a page's EXIT STATUS section: one tagged paragraph each,
    whose tag is the number, perhaps followed by "(-1 ...)"."""
    found = manpage.sections(lines)
    if "EXIT STATUS" not in found:
        raise AssertionError("%s has no EXIT STATUS section" % where)
    documented = Documented()
    for item in manpage.tagged_items(found["EXIT STATUS"]):
        tag = re.fullmatch(r"(\d+)(?: \((-?\d+)\b[^)]*\))?", item.tag)
        if not tag or item.parents:
            raise AssertionError("%s: EXIT STATUS tag %r is not a status number" % (where, item.tag))
        if int(tag.group(1)) in documented:
            raise AssertionError("%s: status %s is listed twice" % (where, tag.group(1)))
        documented.add(int(tag.group(1)), item.body, tag.group(2), where)
    return documented


def readme_statuses(text):
    """{tool: Documented} from the README paragraph that begins "Exit
    statuses:": statuses before the first tool's name hold for every tool;
    after "<tool>:" come that tool's, each a number (perhaps followed by the
    program's value in parentheses) and its description, separated by commas,
    to the end of the sentence."""
    paragraphs = [" ".join(p.split()) for p in re.split(r"\n\s*\n", text)]
    matching = [p for p in paragraphs if p.startswith("Exit statuses:")]
    if len(matching) != 1:
        raise AssertionError("README.md: %d paragraphs begin with \"Exit statuses:\"" % len(matching))
    body = matching[0][len("Exit statuses:"):].replace("`", "")
    labels = "|".join(map(re.escape, NAMESPACES))
    parts = re.split(r"\b(%s):\s" % labels, body)
    common, named = parts[0], dict(zip(parts[1::2], parts[2::2]))
    missing = set(NAMESPACES) - set(named)
    if missing:
        raise AssertionError("README.md: no statuses for %s" % ", ".join(sorted(missing)))

    def items(text, where):
        # The tool's statuses end with the sentence that lists them.
        text = re.split(r"\.\s+(?=[A-Z])", text.strip(), maxsplit=1)[0].rstrip(". ")
        for item in re.split(r"[,;]\s+(?:and\s+|or\s+)?(?=\d+\b)", text):
            match = re.fullmatch(r"(\d+)(?:\s*\((-?\d+)\))?\s+(.+)", item.strip())
            if not match:
                raise AssertionError("README.md, %s: %r does not begin with a status number" % (where, item))
            yield match.groups()

    documented = {}
    for tool in NAMESPACES:
        documented[tool] = Documented()
        for source in (common, named[tool]):
            for number, raw, description in items(source, tool):
                documented[tool].add(int(number), description, raw, "README.md, " + tool)
    return documented


class StatusCase(unittest.TestCase):
    def assertNumbers(self, tool, documented, where):
        expected = set(header_statuses()[tool].values())
        self.assertEqual(sorted(documented), sorted(expected),
                         "%s lists %s's statuses %s; ExitStatus.h has %s"
                         % (where, tool, sorted(documented), sorted(expected)))

    def assertMeanings(self, tool, documented, where):
        for name, number in sorted(header_statuses()[tool].items()):
            with self.subTest(tool=tool, constant=name):
                self.assertIn(name, MEANINGS, "ExitStatus.h has %s: add how its documentation names it" % name)
                description = documented.get(number, "")
                self.assertRegex(description.lower(), MEANINGS[name],
                                 "%s: %s's status %d (%s) does not tell of %s: %r"
                                 % (where, tool, number, name, MEANINGS[name], description))


class ManPages(StatusCase):
    def documented(self, tool):
        page = manpage.PAGES[tool]
        return man_page_statuses(manpage.read_lines(os.path.join(manpage.MAN_DIR, page)), "man/" + page)

    def test_numbers(self):
        for tool in NAMESPACES:
            with self.subTest(tool=tool):
                self.assertNumbers(tool, self.documented(tool), "man/" + manpage.PAGES[tool])

    def test_meanings(self):
        for tool in NAMESPACES:
            self.assertMeanings(tool, self.documented(tool), "man/" + manpage.PAGES[tool])


COMPANION_FAILURES = os.path.join(manpage.ROOT, "programs", "dedupmeasure", "dedupmeasure_kit", "failures.py")


def companion_statuses(path=COMPANION_FAILURES):
    """{constant: status}: the upper-case names failures.py gives a number."""
    with open(path, encoding="utf-8") as source:
        tree = ast.parse(source.read())
    return {target.id: statement.value.value for statement in tree.body if isinstance(statement, ast.Assign)
            for target in statement.targets if isinstance(target, ast.Name) and target.id.isupper()
            and isinstance(statement.value, ast.Constant) and isinstance(statement.value.value, int)}


class Companion(unittest.TestCase):
    def test_numbers(self):
        documented = man_page_statuses(manpage.read_lines(os.path.join(manpage.MAN_DIR, "dedupmeasure.1")),
                                       "man/dedupmeasure.1")
        statuses = companion_statuses()
        self.assertIn("OUTPUT_FAILED", statuses)  # the reader found the constants
        self.assertEqual(sorted(documented), sorted(set(statuses.values())),
                         "man/dedupmeasure.1 lists %s; failures.py has %s" % (sorted(documented), statuses))


class Readme(StatusCase):
    """Written to the header: until the README tells of every constant, the
    meanings fail."""

    def documented(self):
        with open(manpage.README, encoding="utf-8") as readme:
            return readme_statuses(readme.read())

    def test_numbers(self):
        documented = self.documented()
        for tool in NAMESPACES:
            with self.subTest(tool=tool):
                self.assertNumbers(tool, documented[tool], "README.md")

    def test_meanings(self):
        documented = self.documented()
        for tool in NAMESPACES:
            self.assertMeanings(tool, documented[tool], "README.md")


class Parsing(unittest.TestCase):
    """The readers on small texts, so that a reader that finds nothing, or
    reads a wrong number as a right one, cannot pass the checks above."""

    README = ("Intro.\n\nExit statuses: 0 success. Tolvane: 255 (-1) for usage, 2 when a file\n"
              "could not be read (or written), 1 when the clock fails. sha: 1 usage, 3 window below 1, "
              "chunk too large, 4 out of\nmemory. Nimbrel: 1 usage, 2 unreadable. Messages go to standard "
              "error.\n\nMore.\n")

    def test_readme_paragraph(self):
        documented = readme_statuses(self.README)
        self.assertEqual({tool: sorted(d) for tool, d in documented.items()},
                         {"Tolvane": [0, 1, 2, 255], "sha": [0, 1, 3, 4], "Nimbrel": [0, 1, 2]})
        self.assertEqual(documented["sha"][3], "window below 1, chunk too large")
        self.assertEqual(documented["Nimbrel"][2], "unreadable")

    def test_readme_refusals(self):
        for old, new in (("255 (-1)", "255 (-2)"),          # not the same status
                         ("sha: 1 usage", "sha: usage 1"),  # an item without its number
                         ("Nimbrel:", "Nimbrel said"),      # a tool left out
                         ("Exit statuses:", "Exit status:")):
            with self.subTest(old=old, new=new), self.assertRaises(AssertionError):
                readme_statuses(self.README.replace(old, new, 1))

    PAGE = [".TH X 1", ".SH EXIT STATUS", ".TP", ".B 0", "Success.", ".TP", '.BR 255 " (\\-1 in the program)"',
            "Usage", "errors.", ".SH EXAMPLES", ".TP", ".B 7", "Not a status."]

    def test_man_page_section(self):
        self.assertEqual(man_page_statuses(self.PAGE), {0: "Success.", 255: "Usage errors."})

    def test_man_page_refusals(self):
        for tag in (".B x", '.BR 255 " (\\-2)"', ".B 0"):
            with self.subTest(tag=tag), self.assertRaises(AssertionError):
                man_page_statuses(self.PAGE[:6] + [tag] + self.PAGE[7:])

    def test_a_wrong_number_fails(self):
        case = StatusCase()
        header = header_statuses()["sha"]
        documented = Documented({number: "success usage clock memory read write size" for number in
                                 set(header.values())})
        case.assertNumbers("sha", documented, "right")
        top = max(documented)
        documented[top + 1] = documented.pop(top)
        with self.assertRaises(AssertionError):
            case.assertNumbers("sha", documented, "wrong")


if __name__ == "__main__":
    unittest.main(verbosity=2)
