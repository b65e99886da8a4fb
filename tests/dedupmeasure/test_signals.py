"""A run started while the runs are being stopped is stopped too."""
import signal
import subprocess
import sys
import threading
import unittest
from unittest import mock

from kit import KIT


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
