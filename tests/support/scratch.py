"""Scratch files: each test gets its own directory, removed when it ends."""
import os
import tempfile
import unittest


class ScratchCase(unittest.TestCase):
    """A test case with a fresh directory, self.dir."""

    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.dir = scratch.name

    def file(self, name, data):
        """Writes data to the file name in the scratch directory; returns its path."""
        path = os.path.join(self.dir, name)
        with open(path, "wb") as handle:
            handle.write(data)
        return path

    def sparse_file(self, name, length, pieces=None):
        """A file of length bytes, all holes but the {offset: data} pieces, so
        files of many GiB take no disk space; returns its path."""
        path = os.path.join(self.dir, name)
        with open(path, "wb") as handle:
            handle.truncate(length)
            for offset, data in (pieces or {}).items():
                handle.seek(offset)
                handle.write(data)
        return path
