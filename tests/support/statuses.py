"""The exit statuses of the three tools, read from the header the programs
return them from, so a test never restates a number:
statuses.sha.BAD_SIZES is sha_status::kBadSizes. Values are as a shell sees
them (kUsage = -1 reads 255)."""
import os
import re
import types

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "programs", "common",
                      "ExitStatus.h")


def python_name(name):
    """OutOfMemory -> OUT_OF_MEMORY."""
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", name).upper()


def read(path=HEADER):
    """{namespace: its statuses as attributes} for every namespace of the header."""
    tools, current = {}, None
    with open(path) as header:
        for line in map(str.strip, header):
            if re.fullmatch(r"namespace \w+ \{", line):
                current = tools.setdefault(line.split()[1], types.SimpleNamespace())
            elif line.startswith("}"):
                current = None
            elif line.startswith("constexpr"):
                # A constant in another form would go missing: refuse it.
                constant = re.fullmatch(r"constexpr int k(\w+) = (-?\d+);", line)
                if current is None or not constant:
                    raise ValueError("%s: not `constexpr int kName = value;` in a namespace: %s" % (path, line))
                setattr(current, python_name(constant.group(1)), int(constant.group(2)) & 0xFF)
    return tools


_tools = read()
tolvane, sha, nimbrel = _tools["tolvane_status"], _tools["sha_status"], _tools["nimbrel_status"]
