"""Outputs never destroy what they are not: a --db that is a device, a FIFO
or a folder is refused and left as it is, a symbolic link is followed, an
output that is also an input or standard output is refused before anything
is written, and the output folder is checked before the first run."""
import os
import pwd
import shutil
import stat
import unittest

from kit import KitCase, read_bytes

OUTPUT_FAILED = 6  # as the manual page says
SQLITE = b"SQLite format 3\0"


class Outputs(KitCase):
    def setUp(self):
        super().setUp()
        self.file("a.csv", b"path,offset,size,sha1,new\nm,0,100,%s,1\n" % (b"ab" * 20))

    def path(self, name):
        return os.path.join(self.dir, name)

    def assert_refused(self, done, message):
        self.assertEqual((done.returncode, done.stderr), (OUTPUT_FAILED, "dedupmeasure: %s\n" % message))
        self.assertEqual([name for _, _, names in os.walk(self.dir) for name in names if name.endswith(".tmp")], [])

    def test_db_that_is_no_regular_file_or_an_input(self):
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
        os.link(self.path("a.csv"), self.path("hard.csv"))
        os.symlink("a.csv", self.path("soft.csv"))
        before = read_bytes(self.path("a.csv"))
        for db, traces in [("a.csv", ["a.csv"]), ("hard.csv", ["a.csv"]), ("soft.csv", ["a.csv"]),
                           ("./missing.csv", ["a.csv", "missing.csv"])]:
            self.assert_refused(self.dedupmeasure("merge", "--db", db, *traces), "the database %s is also an input" % db)
        with open(self.path("out.db"), "w") as printed:
            self.assert_refused(self.dedupmeasure("merge", "--db", "out.db", "a.csv", stdout=printed),
                                "the database out.db is also standard output")
        self.assertEqual(read_bytes(self.path("a.csv")), before)

    def test_db_through_a_link_and_with_a_long_name(self):
        os.symlink("kept.sqlite", self.path("link"))
        for name, written in [("link", "kept.sqlite"), ("d" * 250, "d" * 250)]:
            done = self.dedupmeasure("merge", "--db", name, "a.csv")
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(read_bytes(self.path(written))[:16], SQLITE)
        self.assertEqual(os.readlink(self.path("link")), "kept.sqlite")
        self.assertEqual([name for name in os.listdir(self.dir) if name.endswith(".tmp")], [])

    def test_sweep_outputs_that_are_inputs(self):
        lists = self.machines(count=1)
        self.assertEqual(self.dedupmeasure("sweep-tolvane", lists[0], "-o", "out", "--bits", "11").returncode, 0)
        self.assertEqual(self.dedupmeasure("sweep-sha", "m0_f0", "-o", "out", "--chunk-sizes", "4096").returncode, 0)
        self.file("names.list", b"m0_f0\n\tout/tolvane.json  m0_f1\n")
        self.file("names0.list", b"m0_f0\0out/../out/tolvane.csv\0")
        os.link(self.path("out/tolvane.png"), self.path("picture"))
        self.file("picture.list", b"picture\n")
        outputs = {name: read_bytes(self.path("out/" + name)) for name in os.listdir(self.path("out"))}
        also, listed = "the output out/%s is also an input", "the output out/%s is also a file listed in %s"
        for args, stdin, message in [
                (["sweep-tolvane", "out/tolvane.csv"], None, also % "tolvane.csv"),
                (["sweep-tolvane", "-"], "out/tolvane.png", also % "tolvane.png"),
                (["sweep-tolvane", "names.list"], None, listed % ("tolvane.json", "names.list")),
                (["sweep-tolvane", "names0.list", "--null"], None, listed % ("tolvane.csv", "names0.list")),
                (["sweep-tolvane", "picture.list"], None, listed % ("tolvane.png", "picture.list")),
                (["sweep-sha", "out/sha.json"], None, also % "sha.json")]:
            with open(self.path(stdin or os.devnull), "rb") as given:
                self.assert_refused(self.dedupmeasure(*args, "-o", "out", stdin=given), message)
        self.assertEqual({name: read_bytes(self.path("out/" + name)) for name in os.listdir(self.path("out"))},
                         outputs)

    def test_output_folder_checked_before_the_first_run(self):
        """A file in place of the folder; a folder the user may not write in
        (root may, whatever its mode: the sweep runs as nobody then)."""
        as_user = []
        if os.geteuid() == 0:
            if not shutil.which("setpriv"):
                self.skipTest("running as root without setpriv: no unprivileged user to test with")
            nobody = pwd.getpwnam("nobody")
            as_user = ["setpriv", "--reuid=%d" % nobody.pw_uid, "--regid=%d" % nobody.pw_gid, "--clear-groups"]
        # Tools that only leave a mark: the sweep must not get to run them.
        os.mkdir(self.path("bin"))
        os.mkdir(self.path("marks"))
        for tool in ("Tolvane", "sha"):
            self.file("bin/" + tool, b"#!/bin/sh\ntouch '%s'\n" % self.path("marks/" + tool).encode())
            os.chmod(self.path("bin/" + tool), 0o755)
        self.file("one.list", b"a.csv\n")
        self.file("regular", b"")
        os.mkdir(self.path("locked"))
        for folder, mode in ((self.dir, 0o755), (self.tmp, 0o777), (self.path("marks"), 0o777),
                             (self.path("locked"), 0o555)):
            os.chmod(folder, mode)
        for args in (["sweep-tolvane", "one.list"], ["sweep-sha", "a.csv"]):
            self.assert_refused(self.dedupmeasure(*args, "-o", "regular", "--bin", "bin"),
                                "the output folder regular exists and is not a folder")
            self.assert_refused(self.dedupmeasure(*args, "-o", "locked", "--bin", "bin", command=as_user,
                                                  env=self.environment(HOME=self.tmp)),
                                "cannot write in the folder locked: Permission denied")
        self.assertEqual(os.listdir(self.path("marks")) + os.listdir(self.path("locked")), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
