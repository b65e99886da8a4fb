"""SIGINT, SIGTERM and SIGHUP at several moments (a merge loading or
aggregating, a sweep reading its list or running its tools): the command
leaves no temporary file or folder and no tool running, and ends by the
signal. Also the race of a run started while the runs are being stopped."""
import os
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

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
HEADER = b"path,offset,size,sha1,new\n"
DEADLINE_SECONDS = 60  # a bound on waiting, so a fault fails instead of hanging


def restore_sigint():
    # A shell's background job starts with SIGINT ignored, and so would the command.
    signal.signal(signal.SIGINT, signal.SIG_DFL)


def wait_until(condition, what):
    deadline = time.monotonic() + DEADLINE_SECONDS
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError("waited in vain for " + what)
        time.sleep(0.01)


def children(pid):
    """The processes whose parent is pid."""
    found = []
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/stat" % entry) as status:
                fields = status.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if int(fields[1]) == pid:
            found.append(int(entry))
    return found


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as status:
            return status.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


class Signals(KitCase):
    def start(self, *args, **streams):
        streams.setdefault("stdin", subprocess.DEVNULL)
        streams.setdefault("stderr", subprocess.PIPE)
        process = subprocess.Popen([ENTRY, *args], cwd=self.dir, env=self.environment(), stdout=subprocess.PIPE,
                                   preexec_fn=restore_sigint, **streams)
        self.addCleanup(self.end, process)
        return process

    def end(self, process):
        if process.poll() is None:
            process.kill()
        process.communicate()

    def assert_ended_by(self, process, signum):
        """Ended by the signal, nothing left; returns its standard error."""
        stdout, stderr = process.communicate(timeout=DEADLINE_SECONDS)
        left = [name for _, _, names in os.walk(self.dir) for name in names if name.endswith(".tmp")]
        self.assertEqual((process.returncode, left, os.listdir(self.tmp), stdout), (-signum, [], [], b""))
        return stderr

    def assert_interrupted(self, process, signum):
        self.assertEqual(self.assert_ended_by(process, signum), b"dedupmeasure: interrupted\n")

    def temporaries(self):
        return [name for name in os.listdir(self.dir) if name.endswith(".tmp")] + os.listdir(self.tmp)

    def test_merge_while_loading(self):
        os.mkfifo(os.path.join(self.dir, "trace.csv"))
        for signum in SIGNALS:
            for db in (["--db", "kept.sqlite"], []):
                with self.subTest(signal=signum, db=db):
                    process = self.start("merge", *db, "trace.csv")
                    # The merge reads what comes, and waits for more.
                    with open(os.path.join(self.dir, "trace.csv"), "wb") as writer:
                        writer.write(HEADER + b"m,0,100,%s,1\n" % (b"ab" * 20))
                        writer.flush()
                        self.assertTrue(self.temporaries())
                        process.send_signal(signum)
                        self.assert_interrupted(process, signum)
                    self.assertFalse(os.path.exists(os.path.join(self.dir, "kept.sqlite")))

    def test_merge_while_aggregating(self):
        rng = random.Random(5)
        self.file("big.csv", HEADER + b"".join(b"f,0,%d,%040x,1\n" % (rng.randrange(1, 1 << 20), rng.getrandbits(160))
                                               for _ in range(300000)))
        for signum in SIGNALS:
            with self.subTest(signal=signum):
                # The status line says when the aggregation begins.
                main, terminal = pty.openpty()
                process = self.start("merge", "--db", "kept.sqlite", "big.csv", stderr=terminal)
                os.close(terminal)
                shown = b""
                while b"aggregating" not in shown:
                    shown += os.read(main, 4096)
                self.assertTrue(self.temporaries())
                process.send_signal(signum)
                while True:
                    try:
                        piece = os.read(main, 4096)
                    except OSError:  # the other end is closed
                        break
                    if not piece:
                        break
                    shown += piece
                os.close(main)
                self.assert_ended_by(process, signum)
                # The status line is erased before the message.
                self.assertRegex(shown, rb"\r +\rdedupmeasure: interrupted\r\n\Z")

    def test_sweep_while_reading_its_list(self):
        for signum in SIGNALS:
            with self.subTest(signal=signum):
                process = self.start("sweep-tolvane", "-", "-o", "out", stdin=subprocess.PIPE)
                process.stdin.write(b"some_file\n")
                process.stdin.flush()
                wait_until(lambda: os.listdir(self.tmp), "the copy of the list")
                process.send_signal(signum)
                self.assert_interrupted(process, signum)
                process.stdin.close()
                self.assertFalse(os.path.exists(os.path.join(self.dir, "out")))

    def test_sweep_while_its_tools_run(self):
        # Every run waits to open the FIFO, until its tool is ended.
        os.mkfifo(os.path.join(self.dir, "fifo"))
        self.file("fifo.list", b"fifo\n")
        for signum in SIGNALS:
            with self.subTest(signal=signum):
                process = self.start("sweep-tolvane", "fifo.list", "-o", "out", "--bits", "11,12", "--jobs", "2")
                wait_until(lambda: len(children(process.pid)) == 2, "two runs of Tolvane")
                runs = children(process.pid)
                try:
                    process.send_signal(signum)
                    stderr = self.assert_ended_by(process, signum)
                    self.assertEqual([pid for pid in runs if alive(pid)], [])
                    self.assertEqual(stderr, b"dedupmeasure: interrupted\n")
                finally:
                    for pid in runs:
                        if alive(pid):
                            os.kill(pid, signal.SIGKILL)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "out")))


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
            if started and started[0].poll() is None:
                started[0].kill()
            worker.join()


if __name__ == "__main__":
    unittest.main(verbosity=2)
