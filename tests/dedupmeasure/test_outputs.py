"""Outputs never destroy what they are not: a --db that is a device or a
FIFO is refused and left as it is, a symbolic link is followed, an output
that is also an input or standard output is refused before anything is
written, and the output folder is checked before the first run."""
import os
import pwd
import shutil
import stat
import subprocess
import unittest

from kit import ENTRY, KitCase, read_bytes

HEADER = "path,offset,size,sha1,new\n"
OUTPUT_FAILED = 6  # as the manual page says
# A tool that only leaves a mark: the sweep must not get to run it.
MARKING_TOOL = "#!/bin/sh\ntouch '%s'\n"


class Outputs(KitCase):
    def setUp(self):
        super().setUp()
        self.file("a.csv", (HEADER + "m,0,100,%s,1\n" % ("ab" * 20)).encode())

    def assert_refused(self, done, message):
        self.assertEqual((done.returncode, done.stderr), (OUTPUT_FAILED, "dedupmeasure: %s\n" % message))

    def assert_no_temporaries(self):
        self.assertEqual([name for _, _, names in os.walk(self.dir) for name in names if name.endswith(".tmp")], [])

    def path(self, name):
        return os.path.join(self.dir, name)

    def test_db_that_is_no_regular_file(self):
        os.mkfifo(self.path("fifo"))
        os.mkdir(self.path("folder"))
        kinds = [("fifo", stat.S_ISFIFO, "a FIFO"), ("folder", stat.S_ISDIR, "a folder")]
        try:  # a null device of the test's own, never the system's
            os.mknod(self.path("null"), stat.S_IFCHR | 0o666, os.makedev(1, 3))
            kinds.append(("null", stat.S_ISCHR, "a character device"))
        except PermissionError:
            pass
        for name, kind, called in kinds:
            self.assert_refused(self.dedupmeasure("merge", "--db", name, "a.csv"),
                                "the database %s is %s, not a regular file" % (name, called))
            self.assertTrue(kind(os.lstat(self.path(name)).st_mode), name)
        self.assert_no_temporaries()

    def test_db_through_a_symbolic_link(self):
        os.symlink("kept.sqlite", self.path("link"))
        self.assertEqual(self.dedupmeasure("merge", "--db", "link", "a.csv").returncode, 0)
        self.assertEqual(os.readlink(self.path("link")), "kept.sqlite")
        self.assertEqual(read_bytes(self.path("kept.sqlite"))[:16], b"SQLite format 3\0")
        self.assert_no_temporaries()

    def test_db_with_a_long_name(self):
        name = "d" * 250
        done = self.dedupmeasure("merge", "--db", name, "a.csv")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(read_bytes(self.path(name))[:16], b"SQLite format 3\0")
        self.assert_no_temporaries()

    def test_db_that_is_an_input_or_standard_output(self):
        os.link(self.path("a.csv"), self.path("hard.csv"))
        os.symlink("a.csv", self.path("soft.csv"))
        before = read_bytes(self.path("a.csv"))
        for db, traces in [("a.csv", ["a.csv"]), ("hard.csv", ["a.csv"]), ("soft.csv", ["a.csv"]),
                           ("./missing.csv", ["a.csv", "missing.csv"])]:
            self.assert_refused(self.dedupmeasure("merge", "--db", db, *traces),
                                "the database %s is also an input" % db)
        with open(self.path("out.db"), "w") as printed:
            self.assert_refused(self.dedupmeasure("merge", "--db", "out.db", "a.csv", stdout=printed),
                                "the database out.db is also standard output")
        self.assertEqual(read_bytes(self.path("a.csv")), before)
        self.assert_no_temporaries()

    def test_sweep_outputs_that_are_inputs(self):
        lists = self.machines(count=1)
        self.assertEqual(self.dedupmeasure("sweep-tolvane", lists[0], "-o", "out", "--bits", "11").returncode, 0)
        self.assertEqual(self.dedupmeasure("sweep-sha", "m0_f0", "-o", "out", "--chunk-sizes", "4096").returncode, 0)
        self.file("names.list", b"m0_f0\n\tout/tolvane.json  m0_f1\n")
        self.file("names0.list", b"m0_f0\0out/../out/tolvane.csv\0")
        outputs = {name: read_bytes(self.path("out/" + name)) for name in os.listdir(self.path("out"))}
        for args, stdin, message in [
                (["sweep-tolvane", "out/tolvane.csv"], None, "the output out/tolvane.csv is also an input"),
                (["sweep-tolvane", "-"], "out/tolvane.png", "the output out/tolvane.png is also an input"),
                (["sweep-tolvane", "names.list"], None, "the output out/tolvane.json is also a file listed in "
                 "names.list"),
                (["sweep-tolvane", "names0.list", "--null"], None, "the output out/tolvane.csv is also a file listed "
                 "in names0.list"),
                (["sweep-sha", "out/sha.json"], None, "the output out/sha.json is also an input")]:
            with open(self.path(stdin or os.devnull), "rb") as given:
                self.assert_refused(self.dedupmeasure(*args, "-o", "out", stdin=given), message)
        os.link(self.path("out/tolvane.png"), self.path("picture"))
        self.file("picture.list", b"picture\n")
        self.assert_refused(self.dedupmeasure("sweep-tolvane", "picture.list", "-o", "out"),
                            "the output out/tolvane.png is also a file listed in picture.list")
        self.assertEqual({name: read_bytes(self.path("out/" + name)) for name in os.listdir(self.path("out"))},
                         outputs)
        self.assert_no_temporaries()

    def marking_tools(self):
        """A --bin folder whose tools only mark that they ran."""
        os.mkdir(self.path("bin"))
        for tool in ("Tolvane", "sha"):
            self.file("bin/" + tool, (MARKING_TOOL % self.path("marks/" + tool)).encode())
            os.chmod(self.path("bin/" + tool), 0o755)
        os.mkdir(self.path("marks"))
        os.chmod(self.path("marks"), 0o777)
        return self.path("bin")

    def test_output_folder_that_is_a_file(self):
        tools = self.marking_tools()
        self.file("regular", b"")
        self.file("one.list", b"a.csv\n")
        for args in (["sweep-tolvane", "one.list"], ["sweep-sha", "a.csv"]):
            self.assert_refused(self.dedupmeasure(*args, "-o", "regular", "--bin", tools),
                                "the output folder regular exists and is not a folder")
        self.assertEqual(os.listdir(self.path("marks")), [])

    def test_output_folder_that_cannot_be_written(self):
        """As a user that may not write in the folder: root may, whatever its mode."""
        as_user = []
        if os.geteuid() == 0:
            if not shutil.which("setpriv"):
                self.skipTest("running as root without setpriv: no unprivileged user to test with")
            nobody = pwd.getpwnam("nobody")
            as_user = ["setpriv", "--reuid=%d" % nobody.pw_uid, "--regid=%d" % nobody.pw_gid, "--clear-groups"]
        tools = self.marking_tools()
        self.file("one.list", b"a.csv\n")
        os.mkdir(self.path("locked"))
        for folder, mode in ((self.dir, 0o755), (self.tmp, 0o777), (self.path("locked"), 0o555)):
            os.chmod(folder, mode)
        for args in (["sweep-tolvane", "one.list"], ["sweep-sha", "a.csv"]):
            done = subprocess.run(as_user + [ENTRY, *args, "-o", "locked", "--bin", tools], cwd=self.dir,
                                  capture_output=True, text=True, env=self.environment(HOME=self.tmp))
            self.assert_refused(done, "cannot write in the folder locked: Permission denied")
        self.assertEqual(os.listdir(self.path("marks")), [])
        self.assertEqual(os.listdir(self.path("locked")), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
