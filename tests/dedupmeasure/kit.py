"""What the dedupmeasure tests share: the installed command (CTest installs
the build into DEDUP_INSTALLED first), generated machines' files, and
readers for its outputs."""
import csv
import json
import os
import random
import signal
import struct
import subprocess
import sys
import tempfile
import time

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


def interpreter_has(*modules):
    """True when the installed command's interpreter imports every module."""
    return subprocess.run(interpreter() + ["-c", "import " + ", ".join(modules)], capture_output=True).returncode == 0


def interpreter_has_matplotlib():
    return interpreter_has("matplotlib")


DASK_MODULES = ("dask.dataframe", "distributed", "pandas")
NO_DASK = "Dask is not installed for the installed command (Debian's python3-dask, python3-distributed, python3-pandas)"


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
    """The rows of a CSV file (a study's or a trace), as dicts; a trace's
    comment lines are skipped."""
    with open(path, newline="") as handle:
        return list(csv.DictReader(line for line in handle if not line.startswith("#")))


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

    def dedupmeasure(self, *args, env=None, command=(), entry=ENTRY, **streams):
        """The finished run, after the words of command (setpriv ..., say);
        streams (stdin, stdout, stderr) default to pipes; entry: the command
        (an installed dedupmeasure)."""
        for stream in ("stdout", "stderr"):
            streams.setdefault(stream, subprocess.PIPE)
        return subprocess.run([*command, entry, *map(str, args)], cwd=self.dir, text=True,
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


class DaskCluster:
    """A Dask scheduler and worker processes (no nannies: a worker killed
    stays dead) of the installed command's interpreter, on the loopback,
    their files in folder. address: the scheduler's."""
    DEADLINE_SECONDS = 60

    def __init__(self, folder, workers=3):
        self.folder, self.processes = folder, []
        book = os.path.join(folder, "scheduler.json")
        self.scheduler = self.start("scheduler", "--host", "127.0.0.1", "--port", "0", "--dashboard-address",
                                    "127.0.0.1:0", "--scheduler-file", book)
        for _ in range(self.DEADLINE_SECONDS * 10):
            if os.path.exists(book) and os.path.getsize(book):
                break
            time.sleep(0.1)
        with open(book) as described:
            self.address = json.load(described)["address"]
        self.workers = [self.start("worker", self.address, "--nthreads", "1", "--no-nanny", "--memory-limit",
                                   "1GiB", "--local-directory", folder) for _ in range(workers)]
        waited = subprocess.run(interpreter() + ["-c", "import sys, distributed; distributed.Client(sys.argv[1])"
                                                 ".wait_for_workers(int(sys.argv[2]), timeout=%d)"
                                                 % self.DEADLINE_SECONDS, self.address, str(workers)],
                                capture_output=True, text=True)
        if waited.returncode != 0:
            self.stop()
            raise AssertionError("the Dask cluster did not start: " + waited.stderr)

    def start(self, role, *args):
        log = open(os.path.join(self.folder, "%s%d.log" % (role, len(self.processes))), "wb")
        process = subprocess.Popen(interpreter() + ["-m", "dask", role, *args], cwd=self.folder,
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        log.close()
        self.processes.append(process)
        return process

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
        for process in self.processes:
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
