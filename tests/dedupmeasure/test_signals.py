"""SIGINT, SIGTERM and SIGHUP at several moments (a merge loading or
aggregating, a sweep running its tools): nothing left behind, no tool still
running, the command ended by the signal. Also a run started while the
runs are being stopped."""
import ctypes
import itertools
import os
import platform
import pty
import random
import signal
import subprocess
import sys
import threading
import time
import unittest
from unittest import mock

from kit import ENTRY, KIT, KitCase
from support.processes import read_to_the_end

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
HEADER = b"path,offset,size,sha1,new\n"
DEADLINE_SECONDS = 60  # a fault fails the test rather than hang it
LIBC = ctypes.CDLL(None, use_errno=True)
SYS_TGKILL = 234  # x86-64: a signal to one thread of a process


def children(pid):
    """The processes pid started, from any of its threads."""
    found = []
    for thread in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/children" % (pid, thread)) as listed:
            found += [int(child) for child in listed.read().split()]
    return found


class Signals(KitCase):
    def start(self, *args, stderr=subprocess.PIPE):
        # SIGINT as a foreground job has it: a shell's background job starts with it ignored.
        process = subprocess.Popen([ENTRY, *args], cwd=self.dir, env=self.environment(), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=stderr,
                                   preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        self.addCleanup(lambda: process.poll() is None and process.kill())
        return process

    def temporaries(self):
        return [name for _, _, names in os.walk(self.dir) for name in names if name.endswith(".tmp")] + \
            os.listdir(self.tmp)

    def assert_ended_by(self, process, signum, runs=()):
        """Ended by the signal, nothing left, none of runs alive; returns
        standard error."""
        stdout, stderr = process.communicate(timeout=DEADLINE_SECONDS)
        alive = [pid for pid in runs if os.path.exists("/proc/%d" % pid)]
        made = os.path.exists(os.path.join(self.dir, "out"))
        self.assertEqual((process.returncode, stdout, self.temporaries(), alive, made), (-signum, b"", [], [], False))
        return stderr

    def test_merge_while_loading(self):
        os.mkfifo(os.path.join(self.dir, "trace.csv"))
        for signum in SIGNALS:
            for db in (["--db", "kept.sqlite"], []):
                with self.subTest(signal=signum, db=db):
                    process = self.start("merge", *db, "trace.csv")
                    try:
                        # The merge reads the row, then waits for more.
                        with open(os.path.join(self.dir, "trace.csv"), "wb") as writer:
                            writer.write(HEADER + b"m,0,100,%s,1\n" % (b"ab" * 20))
                            writer.flush()
                            self.assertTrue(self.temporaries())
                            process.send_signal(signum)
                            self.assertEqual(self.assert_ended_by(process, signum), b"dedupmeasure: interrupted\n")
                        self.assertFalse(os.path.exists(os.path.join(self.dir, "kept.sqlite")))
                    finally:  # nothing of a failed case left to read the next one's trace
                        if process.poll() is None:
                            process.kill()
                            process.communicate()

    def test_merge_while_aggregating(self):
        rng = random.Random(5)
        self.file("big.csv", HEADER + b"".join(b"f,0,%d,%040x,1\n" % (rng.randrange(1, 1 << 20), rng.getrandbits(160))
                                               for _ in range(300000)))
        for signum in SIGNALS:
            with self.subTest(signal=signum):
                # The status line tells when the aggregation begins.
                main, terminal = pty.openpty()
                process = self.start("merge", "--db", "kept.sqlite", "big.csv", stderr=terminal)
                os.close(terminal)
                shown = b""
                while b"aggregating" not in shown:
                    shown += os.read(main, 4096)
                process.send_signal(signum)
                self.assert_ended_by(process, signum)
                shown += read_to_the_end(main)
                # The status line is erased before the message.
                self.assertRegex(shown, rb"\r +\rdedupmeasure: interrupted\r\n\Z")

    def test_sweep_while_its_tools_run(self):
        # Each run waits to open the FIFO until it is ended.
        os.mkfifo(os.path.join(self.dir, "fifo"))
        self.file("fifo.list", b"fifo\n")
        # The kernel may give a signal to any thread: to the main one, or to
        # one of the threads that wait for the runs.
        for signum, to_a_pool_thread in itertools.product(SIGNALS, (False, True)):
            with self.subTest(signal=signum, to_a_pool_thread=to_a_pool_thread):
                process = self.start("sweep-tolvane", "fifo.list", "-o", "out", "--bits", "11,12", "--jobs", "2")
                for _ in range(DEADLINE_SECONDS * 100):
                    runs = children(process.pid)
                    if len(runs) == 2:
                        break
                    time.sleep(0.01)
                try:
                    if to_a_pool_thread:
                        if platform.machine() != "x86_64":
                            self.skipTest("the tgkill system call's number is known for x86-64 only")
                        pool_thread = next(int(task) for task in os.listdir("/proc/%d/task" % process.pid)
                                           if int(task) != process.pid)
                        self.assertEqual(LIBC.syscall(SYS_TGKILL, process.pid, pool_thread, signum), 0)
                    else:
                        process.send_signal(signum)
                    self.assertEqual(self.assert_ended_by(process, signum, runs), b"dedupmeasure: interrupted\n")
                finally:  # nothing of a failed case left to disturb the next
                    for pid in runs + ([process.pid] if process.poll() is None else []):
                        if os.path.exists("/proc/%d" % pid):
                            os.kill(pid, signal.SIGKILL)


class StopRace(unittest.TestCase):
    def test_a_run_started_while_stop_runs_is_ended(self):
        sys.path.insert(0, KIT)
        from dedupmeasure_kit import parallel

        runner, started, real_popen = parallel._Runner(), [], subprocess.Popen

        def popen_while_stopping(*args, **options):
            # The process starts, then stop() begins before the run records it.
            started.append(real_popen(*args, **options))
            threading.Thread(target=runner.stop).start()
            runner.stopping.wait()
            return started[-1]

        with mock.patch("subprocess.Popen", popen_while_stopping):
            worker = threading.Thread(target=runner.run, args=(["sleep", "30"],))
            worker.start()
            worker.join(10)
        try:
            self.assertFalse(worker.is_alive(), "the run started while stop() ran was never ended")
            self.assertEqual(started[0].returncode, -signal.SIGTERM)
        finally:
            if started[0].poll() is None:
                started[0].kill()
            worker.join()


if __name__ == "__main__":
    unittest.main(verbosity=2)
