"""What the dedupmeasure tests share: the installed command (CTest installs
the build into DEDUP_INSTALLED first), generated machines' files, and
readers for its outputs."""
import csv
import json
import os
import random
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import tools  # noqa: E402
from support.scratch import ScratchCase  # noqa: E402

INSTALLED = os.environ.get("DEDUP_INSTALLED", "")
ENTRY = os.path.join(INSTALLED, "bin", "dedupmeasure")
KIT = os.path.join(INSTALLED, "share", "dedupmeasure")


def interpreter():
    """The Python the installed entry's shebang names."""
    with open(ENTRY) as entry:
        return entry.readline()[2:].split()


def interpreter_has_matplotlib():
    return subprocess.run(interpreter() + ["-c", "import matplotlib"], capture_output=True).returncode == 0


def png_size(path):
    """(width, height) from the PNG signature and IHDR chunk."""
    with open(path, "rb") as png:
        head = png.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", "%s is no PNG" % path
    return struct.unpack(">II", head[16:24])


def read_json(path):
    with open(path) as handle:
        return json.load(handle)


def read_bytes(path):
    with open(path, "rb") as handle:
        return handle.read()


def read_csv(path):
    with open(path, newline="") as handle:
        return list(csv.DictReader(handle))


def cell(value):
    """How a JSON value of a tool reads in dedupmeasure's CSV: null is
    empty, a string is itself, the rest keep their JSON text."""
    if value is None:
        return ""
    return value if isinstance(value, str) else json.dumps(value)


class KitCase(ScratchCase):
    """Runs the command in the scratch folder, with a temporary folder of
    its own (self.tmp) to see what it leaves there."""

    def setUp(self):
        super().setUp()
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.tmp = tmp.name

    def environment(self, **changes):
        """The command's environment: TMPDIR is self.tmp; a change to None
        removes the variable."""
        environment = dict(os.environ, TMPDIR=self.tmp, **changes)
        return {name: value for name, value in environment.items() if value is not None}

    def dedupmeasure(self, *args, env=None, command=(), **streams):
        """The finished run, after the words of command (setpriv ..., say);
        streams (stdin, stdout, stderr) default to pipes."""
        for stream in ("stdout", "stderr"):
            streams.setdefault(stream, subprocess.PIPE)
        return subprocess.run([*command, ENTRY, *map(str, args)], cwd=self.dir, text=True,
                              env=env or self.environment(), **streams)

    def tool(self, name, *args):
        return subprocess.run([tools.path(name), *map(str, args)], cwd=self.dir, capture_output=True, text=True)

    def machines(self, count=3, seed=7):
        """count machines of two files each, returned as their list files.
        Every file holds pieces that all machines share, copied in at shifted
        offsets, and a piece of itself repeated; a machine's second file is a
        copy of the machine before's first."""
        rng = random.Random(seed)
        shared = [rng.randbytes(40000) for _ in range(3)]

        def new_file():
            data = bytearray(rng.randbytes(150000))
            for piece in shared:
                at = rng.randrange(len(data))
                data[at:at] = piece[rng.randrange(100):]
            return bytes(data + data[5000:30000])

        lists, before = [], None
        for machine in range(count):
            own = new_file()
            paths = [self.file("m%d_f%d" % (machine, n), data) for n, data in enumerate([own, before or new_file()])]
            before = own
            lists.append(self.file("m%d.list" % machine, "\n".join(paths).encode() + b"\n"))
        return lists
