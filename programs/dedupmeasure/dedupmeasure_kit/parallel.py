"""Running a list of commands, a few at a time, each result checked as soon
as it comes: the first failure stops the runs still going and keeps the
ones not yet started from starting. A signal ends every run before the
command ends."""
import concurrent.futures
import subprocess
import threading

from . import leftovers
from .failures import TOOL_MISSING, Failure
from .tools import Finished

# How long a run may take to end after SIGTERM before it is killed.
GRACE_SECONDS = 5


class _Runner:
    def __init__(self):
        self.stopping = threading.Event()
        # A run is started and added to live under the lock, so that stop()
        # either keeps it from starting or finds it. Reentrant: the signal
        # handler may call end() on the main thread while stop() holds it.
        self.lock = threading.RLock()
        self.live = set()  # the processes running now, to stop on failure

    def run(self, command):
        with self.lock:
            if self.stopping.is_set():
                return None
            try:
                process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                           stderr=subprocess.PIPE, text=True, errors="replace")
            except OSError as error:
                raise Failure("cannot run %s: %s" % (command[0], error.strerror or error), TOOL_MISSING)
            self.live.add(process)
        try:
            stdout, stderr = process.communicate()
        finally:
            with self.lock:
                self.live.discard(process)
        return Finished(command, process.returncode, stdout, stderr)

    def stop(self):
        self.stopping.set()
        with self.lock:
            for process in self.live:
                process.terminate()

    def end(self):
        """Stops every run and waits until each has ended."""
        self.stop()
        with self.lock:
            running = list(self.live)
        for process in running:
            try:
                process.wait(GRACE_SECONDS)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


# How often the main thread wakes while the runs go on.
WAKE_SECONDS = 0.1


def _as_completed(futures):
    """The futures as they complete, waiting in short steps: a signal the
    kernel gives to a thread of the pool is handled only once the main
    thread runs again, and a wait without end would never let it."""
    pending = set(futures)
    while pending:
        done, pending = concurrent.futures.wait(pending, WAKE_SECONDS, concurrent.futures.FIRST_COMPLETED)
        yield from done


def run_all(commands, jobs, check, progress):
    """The Finished runs of commands, in their order. check(index, finished)
    raises a Failure for a failed run; progress shows runs done of planned."""
    runner = _Runner()
    results = [None] * len(commands)
    progress.show("0/%d runs" % len(commands))
    pool = concurrent.futures.ThreadPoolExecutor(max_workers=jobs)
    token = leftovers.add(runner.end)
    try:
        futures = {pool.submit(runner.run, command): index for index, command in enumerate(commands)}
        for done, future in enumerate(_as_completed(futures), 1):
            index = futures[future]
            results[index] = future.result()
            check(index, results[index])
            progress.show("%d/%d runs" % (done, len(commands)))
    except BaseException:
        runner.stop()
        raise
    finally:
        pool.shutdown(wait=True, cancel_futures=True)
        leftovers.forget(token)
    return results
