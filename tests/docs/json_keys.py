#!/usr/bin/env python3
"""Every key Tolvane and sha write with --json is documented in the JSON
OUTPUT section of their manual pages, at the place it has in the document
(the keys of the objects in an array are nested under the array's key), with
a type that its values have; and every key documented there is one the tool
writes. The runs are made to write every key there is: paths that are not
UTF-8 and a list entry that cannot be read.

usage: json_keys.py [unittest arguments]   (run through CTest, which names
    the built tools in the environment)
"""
import json
import os
import random
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import manpage  # noqa: E402
from support import build, statuses, tools  # noqa: E402
from support.scratch import ScratchCase  # noqa: E402

# A tag of the JSON OUTPUT section: the key, then its type in parentheses.
KEY_TAG = re.compile(r"([a-z][a-z0-9_]*) \(([a-z ]+)\)")
TYPES = {
    "integer": lambda v: isinstance(v, int) and not isinstance(v, bool),
    "number": lambda v: isinstance(v, (int, float)) and not isinstance(v, bool),
    "boolean": lambda v: isinstance(v, bool),
    "string": lambda v: isinstance(v, str),
    "array of objects": lambda v: isinstance(v, list) and all(isinstance(e, dict) for e in v),
    "object": lambda v: isinstance(v, dict),
    "null": lambda v: v is None,
}


def documented_keys(lines, where=""):
    """{key path: [type names]} of the JSON OUTPUT section, a key path being
    the tags of the items a key is nested in, then its own."""
    found = manpage.sections(lines)
    if "JSON OUTPUT" not in found:
        raise AssertionError("%s has no JSON OUTPUT section" % where)
    keys = {}
    for item in manpage.tagged_items(found["JSON OUTPUT"]):
        match = KEY_TAG.fullmatch(item.tag)
        if not match:
            raise AssertionError("%s: JSON OUTPUT tag %r is not \"key (type)\"" % (where, item.tag))
        types = match.group(2).split(" or ")
        unknown = [t for t in types if t not in TYPES]
        if unknown:
            raise AssertionError("%s: %s has types %s, not among %s" % (where, match.group(1), unknown,
                                                                       sorted(TYPES)))
        path = tuple(KEY_TAG.fullmatch(parent).group(1) for parent in item.parents) + (match.group(1),)
        if path in keys:
            raise AssertionError("%s: %s is documented twice" % (where, "/".join(path)))
        keys[path] = types
    return keys


def emitted_keys(document, path=(), into=None):
    """{key path: [every value written under it]}: the keys of the objects
    in an array are nested under the array's key."""
    into = {} if into is None else into
    if isinstance(document, dict):
        for key, value in document.items():
            into.setdefault(path + (key,), []).append(value)
            emitted_keys(value, path + (key,), into)
    elif isinstance(document, list):
        for element in document:
            emitted_keys(element, path, into)
    return into


def key_orders(document, path=(), into=None):
    """[(object's path, its keys in the order written)] of every object."""
    into = [] if into is None else into
    if isinstance(document, dict):
        into.append((path, list(document)))
        for key, value in document.items():
            key_orders(value, path + (key,), into)
    elif isinstance(document, list):
        for element in document:
            key_orders(element, path, into)
    return into


def shown(paths):
    return sorted("/".join(path) for path in paths)


class JsonKeys(ScratchCase):
    def run_json(self, tool, args, status):
        program = tools.path(tool)
        proc = subprocess.run([program.encode(), b"--json", b"--no-progress", *args], capture_output=True,
                              cwd=self.dir, env=build.environment(program))
        self.assertEqual(proc.returncode, status, proc.stderr)
        return json.loads(proc.stdout.decode("utf-8"))

    def check(self, tool, *documents):
        """The documents, together, write every key the page documents."""
        page = manpage.PAGES[tool]
        documented = documented_keys(manpage.read_lines(os.path.join(manpage.MAN_DIR, page)), "man/" + page)
        emitted = {}
        for document in documents:
            for path, values in emitted_keys(document).items():
                emitted.setdefault(path, []).extend(values)
        self.assertFalse(set(emitted) - set(documented),
                         "%s writes keys man/%s does not document: %s"
                         % (tool, page, shown(set(emitted) - set(documented))))
        self.assertFalse(set(documented) - set(emitted),
                         "man/%s documents keys %s did not write; make this test's run write them: %s"
                         % (page, tool, shown(set(documented) - set(emitted))))
        # The page lists the keys in the order they are written.
        place = {path: index for index, path in enumerate(documented)}
        for document in documents:
            for path, keys in key_orders(document):
                places = [place[path + (key,)] for key in keys]
                self.assertEqual(places, sorted(places), "man/%s lists the keys of %s in another order than %s "
                                 "writes them: %s" % (page, "/".join(path) or "the document", tool, keys))
        for path, values in sorted(emitted.items()):
            for value in values:
                self.assertTrue(any(TYPES[t](value) for t in documented[path]),
                                "%s: %s is %r, not %s" % (tool, "/".join(path), value,
                                                          " or ".join(documented[path])))

    def test_tolvane(self):
        data = random.Random(5).randbytes(300000)
        # A name that is not UTF-8, for path_hex; a file that repeats part of
        # it, for duplicates; a missing one, for error; a short one.
        os.makedirs(self.dir, exist_ok=True)
        for name, content in ((b"first\xff.bin", data), (b"second.bin", data[100000:] + data),
                              (b"short.bin", b"tiny")):
            with open(os.path.join(os.fsencode(self.dir), name), "wb") as handle:
                handle.write(content)
        listing = b"\0".join([b"first\xff.bin", b"second.bin", b"missing.bin", b"short.bin"]) + b"\0"
        with open(os.path.join(os.fsencode(self.dir), b"list\xfe"), "wb") as handle:
            handle.write(listing)
        # The keys of the chunker and of compression come only with their options.
        operands = [b"list\xfe", b"512", b"8192", b"10", b"48", b"16", b"y"]
        exact = self.run_json("Tolvane", [b"--null", b"--chunker", b"rabin", b"--compress", b"lz4"] + operands,
                              statuses.tolvane.UNREADABLE_INPUT)
        # A sample of 1 in 2 holds duplicates of this data too.
        sampled = self.run_json("Tolvane", [b"--null", b"--sample", b"2", b"--compress", b"lz4"] + operands,
                                statuses.tolvane.UNREADABLE_INPUT)
        self.check("Tolvane", exact, sampled)

    def test_sha(self):
        # Near-empty chunks and busy ones, and a padded last chunk.
        data = bytes(20000) + random.Random(6).randbytes(9000) + bytes(3000) + b"end"
        with open(os.path.join(os.fsencode(self.dir), b"image\xff"), "wb") as handle:
            handle.write(data)
        document = self.run_json("sha", [b"image\xff", b"4096", b"64", b"16", b"8"], statuses.sha.SUCCESS)
        self.check("sha", document)


class Parsing(unittest.TestCase):
    PAGE = [".TH X 1", ".SH JSON OUTPUT", "Keys:", ".TP", '.BR count " (integer)"', "A count.", ".TP",
            '.BR files " (array of objects)"', "The files:", ".RS", ".TP", '.BR path " (string)"', "Its path.",
            ".RE", ".TP", '.BR ratio " (number or null)"', "A ratio.", ".SH EXIT STATUS", ".TP", ".B 0", "Fine."]

    def test_man_page_section(self):
        self.assertEqual(documented_keys(self.PAGE), {("count",): ["integer"], ("files",): ["array of objects"],
                                                      ("files", "path"): ["string"],
                                                      ("ratio",): ["number", "null"]})
        for replaced, by in ((4, ".B count"), (4, '.BR count " (whole number)"'), (15, '.BR files " (string)"')):
            with self.subTest(by=by), self.assertRaises(AssertionError):
                documented_keys(self.PAGE[:replaced] + [by] + self.PAGE[replaced + 1:])

    def test_key_orders(self):
        self.assertEqual(key_orders({"b": 1, "a": [{"y": 1, "x": 2}, {"x": 3}]}),
                         [((), ["b", "a"]), (("a",), ["y", "x"]), (("a",), ["x"])])

    def test_emitted_keys(self):
        keys = emitted_keys({"count": 2, "files": [{"path": "a"}, {"path": "b", "error": "x"}], "ratio": None})
        self.assertEqual(shown(keys), ["count", "files", "files/error", "files/path", "ratio"])
        self.assertEqual(keys[("files", "path")], ["a", "b"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
