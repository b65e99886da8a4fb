"""merge --engine dask on real clusters (a scheduler and worker processes
started here, or the command's own local cluster): the figures and the text
are those of the SQLite engine, of one Tolvane run over every machine's
files and of an independent model, for exact and sampled traces, also when
the traces are read in many small pieces; every bad input is refused as
SQLite refuses it; a worker killed mid-merge never gives wrong figures; and
the local cluster ends with the command, on a signal too."""
import concurrent.futures
import json
import os
import pty
import random
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import bad_traces
import merge_model
from kit import DASK_MODULES, ENTRY, INSTALLED, NO_DASK, DaskCluster, KitCase, interpreter_has, read_bytes
from support import tools
from support.processes import descendants, read_to_the_end

HAS_DASK = interpreter_has(*DASK_MODULES)
CHUNKING = [512, 8192, 11, 48, 3125, "y"]
LIMITS = CHUNKING[:4]
BAD_INPUT, RUN_FAILED = 5, 4  # as the manual page says
PIECES = "DEDUPMEASURE_PIECE_BYTES"
DEADLINE_SECONDS = 60


def tolvane_samples():
    return "--sample" in subprocess.run([tools.path("Tolvane"), "--help"], capture_output=True, text=True).stdout


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def gone(pids):
    """True once none of pids runs (zombies of other parents aside), within the deadline."""
    for _ in range(DEADLINE_SECONDS * 10):
        alive = []
        for pid in pids:
            try:
                with open("/proc/%d/stat" % pid) as stat:
                    if stat.read().rsplit(")", 1)[1].split()[0] != "Z":
                        alive.append(pid)
            except OSError:
                pass
        if not alive:
            return True
        time.sleep(0.1)
    return False


def big_traces(folder, rows, count=3, seed=3):
    """count traces of rows rows each in the format with comment lines, a
    third of their rows from a pool they share."""
    rng = random.Random(seed)
    pool = [("%040x" % rng.getrandbits(160), rng.randrange(1, 20000)) for _ in range(rows // 3)]
    names = []
    for number in range(count):
        chosen = [rng.choice(pool) if rng.random() < 0.33 else ("%040x" % rng.getrandbits(160),
                                                                 rng.randrange(1, 20000)) for _ in range(rows)]
        names.append(os.path.join(folder, "big%d.csv" % number))
        merge_model.write_trace(names[-1], [("/srv/f%d" % (n // 50), sha1, size) for n, (sha1, size) in
                                            enumerate(chosen)], 1, LIMITS, rows, sum(size for _, size in chosen))
    return names


@unittest.skipUnless(HAS_DASK, NO_DASK)
class DaskMerge(KitCase):
    @classmethod
    def setUpClass(cls):
        cls.cluster_folder = tempfile.TemporaryDirectory()
        cls.cluster = DaskCluster(cls.cluster_folder.name)

    @classmethod
    def tearDownClass(cls):
        cls.cluster.stop()
        cls.cluster_folder.cleanup()

    def merged(self, *args, engine="dask", pieces=None):
        """The finished merge; engine dask joins the test's cluster, local
        starts the command's own; pieces: the bytes of a trace a task reads."""
        extra = {"sqlite": [], "dask": ["--engine", "dask", "--scheduler", self.cluster.address],
                 "local": ["--engine", "dask", "--workers", "2"]}[engine]
        changes = {PIECES: str(pieces)} if pieces else {}
        return self.dedupmeasure("merge", *extra, *args, env=self.environment(**changes))

    def assert_engines_agree(self, traces, pieces=(None, 300)):
        """Both formats of the figures, alike from every engine; returns the JSON."""
        printed = {}
        for form in (["--json"], []):
            for engine, piece in [("sqlite", None)] + [("dask", size) for size in pieces] + [("local", pieces[-1])]:
                done = self.merged(*form, *traces, engine=engine, pieces=piece)
                self.assertEqual((done.returncode, done.stderr), (0, ""), (engine, piece))
                printed.setdefault(tuple(form), set()).add(done.stdout)
        self.assertEqual([len(texts) for texts in printed.values()], [1, 1])
        self.assertEqual(os.listdir(self.tmp), [])
        return json.loads(printed[("--json",)].pop())

    def machine_traces(self, sample=None):
        """Traces of three generated machines and Tolvane's report over the
        union of their files, with --sample when sample is given."""
        lists = self.machines()
        option = ["--sample", str(sample)] if sample else []
        traces = []
        for number, listed in enumerate(lists):
            traces.append("m%d.csv" % number)
            self.assertEqual(self.tool("Tolvane", *option, "--trace", traces[-1], listed, *CHUNKING).returncode, 0)
        union = self.file("all.list", b"".join(read_bytes(path) for path in lists))
        return traces, json.loads(self.tool("Tolvane", "--json", *option, union, *CHUNKING).stdout)

    def test_exact_merge_equals_sqlite_one_run_and_the_model(self):
        traces, union = self.machine_traces()
        merged = self.assert_engines_agree(traces)
        self.assertEqual(
            [merged[k] for k in ("chunks", "distinct_chunks", "bytes", "unique_bytes", "byte_dedup_ratio",
                                 "chunk_dedup_ratio")],
            [union[k] for k in ("original_chunks", "chunks_stored", "chunked_bytes", "unique_bytes",
                                "byte_dedup_ratio", "compression_ratio")])
        self.assertEqual(merged, merge_model.expected([os.path.join(self.dir, t) for t in traces], traces))
        self.assertTrue(all(source["bytes_shared"] > 0 for source in merged["sources"]))

    def test_sampled_merge_equals_sqlite_and_the_model(self):
        """Sampled traces made from exact ones by the sampling rule."""
        exact, _ = self.machine_traces()
        for sample in (4, 16):
            traces = []
            for trace in exact:
                traces.append("s%d_%s" % (sample, trace))
                merge_model.sample_trace(os.path.join(self.dir, trace), os.path.join(self.dir, traces[-1]), sample,
                                         LIMITS)
            merged = self.assert_engines_agree(traces)
            self.assertEqual(merged, merge_model.expected([os.path.join(self.dir, t) for t in traces], traces))
            self.assertEqual(merged["sample"], sample)
            self.assertGreater(merged["sampled_chunks"], merged["distinct_sampled_chunks"])

    @unittest.skipUnless(tolvane_samples(), "Tolvane has no --sample yet")
    def test_sampled_merge_equals_one_sampled_run(self):
        for sample in (2, 16):
            traces, union = self.machine_traces(sample)
            merged = self.assert_engines_agree(traces, pieces=(None,))
            self.assertEqual(merged["estimates"], union["estimates"])
            self.assertEqual((merged["chunks"], merged["bytes"]), (union["original_chunks"], union["chunked_bytes"]))
            self.assertEqual(merged, merge_model.expected([os.path.join(self.dir, t) for t in traces], traces))

    def test_bad_inputs_refused_as_sqlite_refuses_them(self):
        def refusals(number):
            files, given, _ = bad_traces.CASES[number]
            folder = "case%d" % number
            os.mkdir(os.path.join(self.dir, folder))
            for name, text in files.items():
                self.file(os.path.join(folder, name), text.encode())
            # Pieces of a few rows: the line numbers carried from one to the next.
            return [self.merged(*[os.path.join(folder, name) for name in given], engine=engine, pieces=pieces)
                    for engine, pieces in (("sqlite", None), ("dask", 40))]

        with concurrent.futures.ThreadPoolExecutor(4) as pool:
            for sqlite, dask in pool.map(refusals, range(len(bad_traces.CASES))):
                self.assertEqual((sqlite.returncode, sqlite.stdout, sqlite.stderr.count("\n")), (BAD_INPUT, "", 1),
                                 sqlite.stderr)
                self.assertEqual((dask.returncode, dask.stdout, dask.stderr), (BAD_INPUT, "", sqlite.stderr))
        self.assertEqual(os.listdir(self.tmp), [])

    def test_workers_that_ran_another_kit_run_this_one(self):
        other = os.path.join(self.dir, "other")
        shutil.copytree(INSTALLED, other)
        kit_traces = os.path.join(other, "share", "dedupmeasure", "dedupmeasure_kit", "traces.py")
        with open(kit_traces) as source:
            text = source.read()
        with open(kit_traces, "w") as source:
            source.write(text.replace('"%d fields, a chunk row has', '"%d FIELDS, a chunk row has'))
        self.file("a.csv", (bad_traces.HEADER + "m,0\n").encode())
        for entry, said in [(ENTRY, "2 fields"), (os.path.join(other, "bin", "dedupmeasure"), "2 FIELDS"),
                            (ENTRY, "2 fields")]:
            done = self.dedupmeasure("merge", "--engine", "dask", "--scheduler", self.cluster.address, "a.csv",
                                     entry=entry)
            self.assertIn("a.csv:2: %s," % said, done.stderr)

    def test_unreachable_scheduler(self):
        self.file("a.csv", bad_traces.made([bad_traces.ROW]).encode())
        done = self.dedupmeasure("merge", "--engine", "dask", "--scheduler", "tcp://127.0.0.1:1", "a.csv")
        self.assertEqual(done.returncode, RUN_FAILED)
        self.assertRegex(done.stderr, r"\Adedupmeasure: cannot reach the Dask scheduler tcp://127\.0\.0\.1:1: .*\n\Z")


@unittest.skipUnless(HAS_DASK, NO_DASK)
class DaskFailures(KitCase):
    def test_a_worker_killed_mid_merge(self):
        """Survived with the figures of SQLite, or a failure in one line:
        never other figures."""
        traces = big_traces(self.dir, 60000)
        expected = self.dedupmeasure("merge", "--json", *traces)
        self.assertEqual(expected.returncode, 0, expected.stderr)
        with tempfile.TemporaryDirectory() as folder:
            cluster = DaskCluster(folder)
            try:
                victim = cluster.workers[0].pid
                before = cpu_seconds(victim)
                merge = subprocess.Popen([ENTRY, "merge", "--json", "--engine", "dask", "--scheduler",
                                          cluster.address, *traces], cwd=self.dir, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, text=True,
                                         env=self.environment(**{PIECES: "200000"}))
                for _ in range(DEADLINE_SECONDS * 100):
                    if cpu_seconds(victim) > before + 0.3 or merge.poll() is not None:
                        break
                    time.sleep(0.01)
                killed_while_running = merge.poll() is None
                os.kill(victim, signal.SIGKILL)
                stdout, stderr = merge.communicate(timeout=DEADLINE_SECONDS * 5)
            finally:
                cluster.stop()
        self.assertTrue(killed_while_running, "the merge ended before the worker was killed")
        if merge.returncode == 0:
            self.assertEqual((stdout, stderr), (expected.stdout, ""))
        else:
            self.assertEqual((merge.returncode, stdout), (RUN_FAILED, ""))
            self.assertRegex(stderr, r"\Adedupmeasure: the Dask cluster failed: [^\n]+\n\Z")

    def test_the_local_cluster_ends_with_the_command(self):
        traces = big_traces(self.dir, 100000, count=2)
        for signum in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(signal=signum):
                # The status line tells when the workers read the traces.
                main, terminal = pty.openpty()
                merge = subprocess.Popen([ENTRY, "merge", "--engine", "dask", "--workers", "2", *traces],
                                         cwd=self.dir, stdout=subprocess.PIPE, stderr=terminal,
                                         env=self.environment(**{PIECES: "100000"}),
                                         preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
                os.close(terminal)
                shown = b""
                while b"trace pieces read" not in shown:
                    shown += os.read(main, 4096)
                started = descendants(merge.pid)
                merge.send_signal(signum)
                stdout = merge.communicate(timeout=DEADLINE_SECONDS)[0]
                shown += read_to_the_end(main)
                self.assertEqual((merge.returncode, stdout), (-signum, b""))
                self.assertRegex(shown, rb"\r +\rdedupmeasure: interrupted\r\n\Z")
                self.assertGreaterEqual(len(started), 2)
                self.assertTrue(gone(started), "processes of the local cluster outlived the command")
                self.assertEqual(os.listdir(self.tmp), [])
        # A refused merge ends its cluster too.
        self.file("bad.csv", b"path,offset,size,sha1,new\nm,0,x,%s,1\n" % (b"ab" * 20))
        done = self.dedupmeasure("merge", "--engine", "dask", "--workers", "2", "bad.csv")
        self.assertEqual((done.returncode, done.stderr), (BAD_INPUT, "dedupmeasure: bad.csv:2: size 'x' is no "
                                                                     "positive whole number\n"))
        self.assertEqual(os.listdir(self.tmp), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
