"""Reading the manual pages' man(7) source as the documentation tests need
it: the sections, the tagged paragraphs (.TP) of a section with the .RS/.RE
nesting they sit in, and their text without macros and escapes."""
import os
import re
from typing import List, NamedTuple, Tuple

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MAN_DIR = os.path.join(ROOT, "man")
README = os.path.join(ROOT, "README.md")

# The manual page of each tool.
PAGES = {"Tolvane": "Tolvane.1", "sha": "sha.1", "Nimbrel": "Nimbrel.1"}

_ESCAPES = {
    "-": "-", "e": "\\", "~": " ", "%": "", " ": " ", "&": "", "c": "", "|": "", "^": "", "0": " ",
    "(aq": "'", "(mu": "\u00d7", "(em": "\u2014", "(en": "\u2013", "(lq": "\u201c", "(rq": "\u201d",
    "(bu": "\u2022", "(ha": "^", "(ti": "~", "(dq": '"',
}


def unescape(text):
    """The text a roff escape sequence stands for, font changes dropped."""
    def one(match):
        escape = match.group(1)
        if escape.startswith("f"):
            return ""
        if escape not in _ESCAPES:
            raise ValueError("an escape the documentation tests do not know: \\" + escape)
        return _ESCAPES[escape]
    return re.sub(r"\\(f\[[^\]]*\]|f.|\(..|.)", one, text)


def arguments(line):
    """The arguments of a macro line, as roff splits them: at spaces, with
    double quotes grouping ("" inside quotes is one quote)."""
    args, i = [], 0
    while i < len(line):
        if line[i] == " ":
            i += 1
            continue
        if line[i] == '"':
            i += 1
            arg = ""
            while i < len(line):
                if line.startswith('""', i):
                    arg += '"'
                    i += 2
                elif line[i] == '"':
                    i += 1
                    break
                else:
                    arg += line[i]
                    i += 1
            args.append(arg)
        else:
            end = line.find(" ", i)
            end = len(line) if end < 0 else end
            args.append(line[i:end])
            i = end
    return args


def plain(line):
    """A source line as a reader sees its text: a font macro's arguments
    joined (with spaces for .B and .I, alternating without for .BR and the
    like), other macros dropped, escapes resolved."""
    if line.startswith((".", "'")):
        parts = line[1:].split(None, 1)
        name, rest = (parts + ["", ""])[:2] if parts else ("", "")
        if name in ("B", "I", "SM", "SB"):
            return unescape(" ".join(arguments(rest)))
        if re.fullmatch(r"[BIR]{2}", name):
            return unescape("".join(arguments(rest)))
        return ""
    return unescape(line)


def read_lines(path):
    with open(path, encoding="utf-8") as page:
        return [line.rstrip("\n") for line in page if not line.startswith(('.\\"', "'\\\""))]


def sections(lines):
    """{section heading: its source lines}, in page order."""
    found, current = {}, None
    for line in lines:
        if line.startswith(".SH"):
            current = " ".join(arguments(line[3:]))
            if current in found:
                raise ValueError("section %s appears twice" % current)
            found[current] = []
        elif current is not None:
            found[current].append(line)
    return found


class Item(NamedTuple):
    """A tagged paragraph: its tag's text, the tags of the items it is nested
    in (through .RS/.RE), outermost first, and its body's text."""
    tag: str
    parents: Tuple[str, ...]
    body: str


def tagged_items(lines) -> List[Item]:
    """The .TP items of a section's lines. An .RS block belongs to the item
    before it, so nested items name it among their parents."""
    items, depth_tags, depth = [], [], 0
    current = None  # [tag, parents, body lines]
    i = 0
    while i < len(lines):
        line = lines[i]
        macro = line.split(None, 1)[0] if line.startswith(".") else ""
        if macro == ".TP":
            if i + 1 >= len(lines):
                raise ValueError(".TP without a tag line")
            tag = " ".join(plain(lines[i + 1]).split())
            del depth_tags[depth:]
            current = [tag, tuple(depth_tags), []]
            items.append(current)
            depth_tags.append(tag)
            i += 2
            continue
        if macro == ".RS":
            depth += 1
        elif macro == ".RE":
            if depth == 0:
                raise ValueError(".RE without .RS")
            depth -= 1
            del depth_tags[depth + 1:]
            current = None
        elif macro in (".SS", ".PP", ".IP") and depth == 0:
            current = None
        elif current is not None:
            text = plain(line)
            if text:
                current[2].append(text)
        i += 1
    return [Item(tag, parents, " ".join(" ".join(body).split())) for tag, parents, body in items]


def page_sections(tool):
    return sections(read_lines(os.path.join(MAN_DIR, PAGES[tool])))


def section_items(tool, heading):
    """The tagged items of a section of a tool's page; the section must exist."""
    found = page_sections(tool)
    if heading not in found:
        raise AssertionError("%s has no %s section" % (PAGES[tool], heading))
    return tagged_items(found[heading])
