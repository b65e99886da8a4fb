"""Output files that appear whole or not at all, and never in place of an
input: each is checked before any work, written under a temporary name in
its own folder and renamed into place once everything succeeded; on
failure, or when a signal comes, the temporaries are removed."""
import contextlib
import csv
import json
import os
import secrets
import stat

from . import leftovers
from .failures import OUTPUT_FAILED, Failure

# What an existing output may not be: it would be replaced by a regular file.
NOT_REGULAR = [(stat.S_ISDIR, "a folder"), (stat.S_ISFIFO, "a FIFO"), (stat.S_ISCHR, "a character device"),
               (stat.S_ISBLK, "a block device"), (stat.S_ISSOCK, "a socket")]
NAME_MAX = 255  # when the folder does not say


def status_of(path):
    """os.stat of path, None when there is nothing there."""
    try:
        return os.stat(path)
    except (FileNotFoundError, NotADirectoryError):
        return None


def temporary_name(final):
    """A fresh name beside final, hidden, unlikely to clash, and within the
    folder's limit on name length however long final's name is."""
    folder, name = os.path.split(final)
    try:
        limit = os.pathconf(folder or ".", "PC_NAME_MAX")
    except (OSError, ValueError):
        limit = NAME_MAX
    tail = ".%d.%s.tmp" % (os.getpid(), secrets.token_hex(4))
    kept = os.fsencode(name)[:max(1, limit - 1 - len(tail))]
    return os.path.join(folder, "." + os.fsdecode(kept) + tail)


class Destination:
    """An output file: name as given (messages use it), and path, where it
    is written: symbolic links are followed, so a link keeps pointing to
    the new file. One that exists as anything but a regular file (a device,
    a FIFO, a folder) is refused rather than replaced. what names it in
    messages: "the database", "the output"."""

    def __init__(self, name, what):
        self.name, self.what = name, what
        self.path = os.path.realpath(name)
        try:
            self.status = status_of(self.path)
        except OSError as error:
            raise Failure("cannot write %s %s: %s" % (what, name, error.strerror or error), OUTPUT_FAILED)
        for kind, called in NOT_REGULAR:
            if self.status and kind(self.status.st_mode):
                raise Failure("%s %s is %s, not a regular file" % (what, name, called), OUTPUT_FAILED)

    def is_file(self, status):
        """True when status (os.stat) is of this very file."""
        return self.status is not None and (self.status.st_dev, self.status.st_ino) == (status.st_dev, status.st_ino)

    def refuse_inputs(self, paths):
        """A Failure when the output is one of the input files at paths, or
        standard output (its rename would unlink what is printed)."""
        for path in paths:
            try:
                status = status_of(path)
            except OSError:  # unreadable: its reader says so
                status = None
            if (self.is_file(status) if status else self.path == os.path.realpath(path)):
                raise self.also("an input")
        try:
            printed = os.fstat(1)
        except OSError:
            return
        if stat.S_ISREG(printed.st_mode) and self.is_file(printed):
            raise self.also("standard output")

    def also(self, what):
        return Failure("%s %s is also %s" % (self.what, self.name, what), OUTPUT_FAILED)


def _missing_folders(path):
    """The folders makedirs(path) would make, the outermost first."""
    missing = []
    while path and not os.path.lexists(path):
        missing.insert(0, path)
        parent = os.path.dirname(path.rstrip(os.sep))
        if parent == path:
            break
        path = parent
    return missing


def _remove_folders(folders):
    for folder in reversed(folders):
        try:
            os.rmdir(folder)
        except OSError:  # not empty, or gone
            pass


@contextlib.contextmanager
def output_folder(path):
    """Makes the folder path when missing and checks that a file can be
    made in it, before any work; the folders it made are removed again
    (when still empty) if the block fails or a signal comes."""
    created = _missing_folders(os.path.abspath(path))
    with leftovers.undone_on_failure(lambda: _remove_folders(created)):
        try:
            os.makedirs(path, exist_ok=True)
        except FileExistsError:
            raise Failure("the output folder %s exists and is not a folder" % path, OUTPUT_FAILED)
        except OSError as error:
            raise Failure("cannot create the folder %s: %s" % (path, error.strerror or error), OUTPUT_FAILED)
        probe = temporary_name(os.path.join(path, "probe"))
        token = leftovers.add(lambda: leftovers.remove_file(probe))
        try:
            os.close(os.open(probe, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600))
        except OSError as error:
            raise Failure("cannot write in the folder %s: %s" % (path, error.strerror or error), OUTPUT_FAILED)
        finally:
            leftovers.remove_file(probe)
            leftovers.forget(token)
        yield


class PendingFiles:
    """Temporary files to be renamed to their final names together.

    with PendingFiles() as pending:
        write(pending.add(destination))
        pending.commit()
    Leaving the block without commit() removes every temporary."""

    def __init__(self):
        self.renames = []  # (temporary, Destination)
        self.tokens = []   # of the temporaries' removal on a signal

    def add(self, destination):
        """The temporary path to write the destination's content to."""
        temporary = temporary_name(destination.path)
        self.tokens.append(leftovers.add(lambda: leftovers.remove_file(temporary)))
        self.renames.append((temporary, destination))
        return temporary

    def commit(self):
        with leftovers.held():
            for temporary, destination in self.renames:
                try:
                    os.replace(temporary, destination.path)
                except OSError as error:
                    raise Failure("cannot write %s: %s" % (destination.name, error.strerror or error),
                                  OUTPUT_FAILED)
            self.renames = []
            self._forget()

    def discard(self):
        for temporary, _ in self.renames:
            leftovers.remove_file(temporary)
        self.renames = []
        self._forget()

    def _forget(self):
        for token in self.tokens:
            leftovers.forget(token)
        self.tokens = []

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.discard()
        return False


def _opened(path, final):
    try:
        # Names that are no UTF-8 come back as the bytes they were.
        return open(path, "x", encoding="utf-8", errors="surrogateescape", newline="")
    except OSError as error:
        raise Failure("cannot write %s: %s" % (final, error.strerror or error), OUTPUT_FAILED)


def cell(value):
    """A CSV cell: empty for null, JSON's words for booleans, floats as
    Python's shortest exact form."""
    if value is None:
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    return repr(value) if isinstance(value, float) else str(value)


def write_csv(pending, destination, columns, rows):
    """rows (dicts) as a CSV file with a header of columns; missing cells empty."""
    with _opened(pending.add(destination), destination.name) as handle:
        writer = csv.writer(handle, lineterminator="\n")
        writer.writerow(columns)
        for row in rows:
            writer.writerow([cell(row.get(column)) for column in columns])


def write_json(pending, destination, document):
    with _opened(pending.add(destination), destination.name) as handle:
        json.dump(document, handle, indent=2)
        handle.write("\n")


def scalar_columns(documents, first=()):
    """The columns first, then every key of the documents whose value is no
    list or object, in the order the documents give them."""
    columns = list(first)
    for document in documents:
        for key, value in document.items():
            if not isinstance(value, (list, dict)) and key not in columns:
                columns.append(key)
    return columns
