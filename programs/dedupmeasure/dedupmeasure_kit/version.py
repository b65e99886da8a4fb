"""The version dedupmeasure reports: the installed entry script passes the
one CMake configured into it; in a source tree it is read from the root
CMakeLists.txt."""
import os
import re

UNKNOWN = "unknown"
ROOT_CMAKELISTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "CMakeLists.txt")


def from_cmakelists(path=ROOT_CMAKELISTS):
    """x.y.z from `project(dedupmeasure VERSION x.y.z ...)`, or UNKNOWN."""
    try:
        with open(path, encoding="utf-8") as handle:
            text = handle.read()
    except OSError:
        return UNKNOWN
    found = re.search(r"project\(\s*dedupmeasure\s+VERSION\s+([0-9][0-9.]*)", text)
    return found.group(1) if found else UNKNOWN


def resolve(configured):
    """The configured version unless it is missing or still a template
    placeholder (a script run straight from the source tree)."""
    if configured and "@" not in configured:
        return configured
    return from_cmakelists()
