#!/usr/bin/env python3
"""Times `dedupmeasure merge` with each engine on generated traces: 5
machines whose chunks are 30 % shared among them, at 1 and 5 million rows
in all. Prints, per engine and size, the seconds (median of the runs), rows
a second and the peak memory: of the command for SQLite, of the largest
worker (and of the command) for Dask's local cluster of 2 workers. Not a
test: run it when the machine is quiet.

  bench/merge_engines.py [--rows 1000000,5000000] [--runs 3] [--dedupmeasure PATH]

The command is the installed one of the release build (installed into a
temporary folder first) unless --dedupmeasure names one. Exit status 0 when
every merge succeeded and both engines gave the same figures, 1 otherwise.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests"))
from support.processes import descendants  # noqa: E402
MACHINES = 5
SHARED = 0.3
MiB = 1 << 20


def write_traces(folder, rows, seed=1):
    """MACHINES traces of rows / MACHINES rows each, as Tolvane writes them:
    30 % of each machine's rows are chunks from one pool all machines draw
    from, the rest its own; sizes from 2 to 16 KiB."""
    rng = random.Random(seed)
    per_machine = rows // MACHINES
    pool = [(rng.getrandbits(160), rng.randrange(2048, 16384)) for _ in range(max(1, int(per_machine * SHARED)))]
    paths = []
    for machine in range(MACHINES):
        path = folder / ("machine%d.csv" % machine)
        with open(path, "w") as trace:
            trace.write("# Tolvane trace: sample=1 chunker=rabin min=1024 max=65536 bits=13 window=48\n"
                        "path,offset,size,sha1,new\n")
            offset, total, lines = 0, 0, []
            for row in range(per_machine):
                sha1, size = rng.choice(pool) if rng.random() < SHARED else (rng.getrandbits(160),
                                                                              rng.randrange(2048, 16384))
                lines.append("/srv/data/m%d/file%05d,%d,%d,%040x,1\n" % (machine, row // 200, offset, size, sha1))
                offset += size
                total += size
                if len(lines) == 100000:
                    trace.write("".join(lines))
                    lines = []
            trace.write("".join(lines))
            trace.write("# Tolvane trace end: chunks=%d bytes=%d\n" % (per_machine, total))
        paths.append(str(path))
    return paths


def peak_kib(pid):
    """VmHWM of a live process, in KiB, or None."""
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def timed(command, cwd):
    """(seconds, stdout, peak KiB of the command, peak KiB of its largest
    descendant): the peaks read every 50 ms while it runs."""
    started = time.monotonic()
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    peaks = {}
    stop = threading.Event()

    def watch():
        while not stop.is_set():
            for pid in [process.pid] + descendants(process.pid):
                peak = peak_kib(pid)
                if peak is not None:
                    peaks[pid] = max(peaks.get(pid, 0), peak)
            stop.wait(0.05)

    watcher = threading.Thread(target=watch)
    watcher.start()
    stdout, stderr = process.communicate()
    seconds = time.monotonic() - started
    stop.set()
    watcher.join()
    if process.returncode != 0:
        sys.exit("%s failed (%d): %s" % (" ".join(command), process.returncode, stderr))
    own = peaks.pop(process.pid, 0)
    return seconds, stdout, own, max(peaks.values(), default=0)


def installed_dedupmeasure(folder):
    build = ROOT / "build" / "release"
    for step in (["cmake", "--preset", "release"], ["cmake", "--build", "--preset", "release"],
                 ["cmake", "--install", str(build), "--prefix", str(folder / "installed")]):
        done = subprocess.run(step, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if done.returncode != 0:
            sys.exit("%s\n%s failed" % (done.stdout, " ".join(step)))
    return str(folder / "installed" / "bin" / "dedupmeasure")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", default="1000000,5000000", help="row counts, comma-separated")
    parser.add_argument("--runs", type=int, default=3, help="runs per engine and size (the median is shown)")
    parser.add_argument("--workers", type=int, default=2, help="workers of the Dask engine's local cluster")
    parser.add_argument("--dedupmeasure", help="the command to time (default: the release build, installed)")
    args = parser.parse_args()
    folder = Path(tempfile.mkdtemp(prefix="merge-bench."))
    try:
        command = args.dedupmeasure or installed_dedupmeasure(folder)
        print("| rows | engine | seconds | rows a second | peak memory |")
        print("|---|---|---|---|---|")
        for rows in [int(count) for count in args.rows.split(",")]:
            traces = write_traces(folder, rows)
            for path in traces:  # in the page cache before the first run
                with open(path, "rb") as trace:
                    while trace.read(16 * MiB):
                        pass
            printed = {}
            for engine, extra in (("sqlite", []), ("dask", ["--workers", str(args.workers)])):
                runs = [timed([command, "merge", "--json", "--engine", engine, *extra, *traces], folder)
                        for _ in range(args.runs)]
                seconds = statistics.median(run[0] for run in runs)
                printed[engine] = {run[1] for run in runs}
                own, worker = max(run[2] for run in runs), max(run[3] for run in runs)
                memory = ("%d MiB" % (own >> 10) if engine == "sqlite" else
                          "%d MiB a worker (%d MiB the command)" % (worker >> 10, own >> 10))
                label = engine if engine == "sqlite" else "dask, %d workers" % args.workers
                print("| %d | %s | %.1f | %d | %s |" % (rows, label, seconds, rows / seconds, memory), flush=True)
            if len(printed["sqlite"] | printed["dask"]) != 1:
                print("the engines' figures differ at %d rows" % rows)
                return 1
            for path in traces:
                os.remove(path)
        return 0
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
