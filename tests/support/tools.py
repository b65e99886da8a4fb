"""The built programs a test runs, by name: CMake passes their paths in the
environment (DEDUP_TOLVANE, DEDUP_SHA, DEDUP_NIMBREL, and DEDUP_BIN_DIR for
the companion command's tests), so one script can run several tools."""
import os

VARIABLES = {"Tolvane": "DEDUP_TOLVANE", "sha": "DEDUP_SHA", "Nimbrel": "DEDUP_NIMBREL"}


def path(tool):
    """The absolute path of the built tool ("Tolvane", "sha" or "Nimbrel")."""
    variable = VARIABLES[tool]
    value = os.environ.get(variable)
    if not value:
        raise RuntimeError("%s is not set: run the test through CTest" % variable)
    return os.path.abspath(value)
