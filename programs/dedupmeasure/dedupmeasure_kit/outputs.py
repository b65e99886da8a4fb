"""Output files that appear whole or not at all: each is written under a
temporary name in its own folder and renamed into place once everything
succeeded; on failure, or when a signal comes, the temporaries are
removed."""
import csv
import json
import os
import secrets

from . import leftovers
from .failures import OUTPUT_FAILED, Failure


def temporary_name(final):
    """A fresh name beside final, hidden and unlikely to clash."""
    folder, name = os.path.split(final)
    return os.path.join(folder, ".%s.%d.%s.tmp" % (name, os.getpid(), secrets.token_hex(4)))


def make_folder(path):
    try:
        os.makedirs(path, exist_ok=True)
    except OSError as error:
        raise Failure("cannot create the folder %s: %s" % (path, error.strerror or error), OUTPUT_FAILED)


class PendingFiles:
    """Temporary files to be renamed to their final names together.

    with PendingFiles() as pending:
        write(pending.add("out.csv"))
        pending.commit()
    Leaving the block without commit() removes every temporary."""

    def __init__(self):
        self.renames = []  # (temporary, final)
        self.tokens = []   # of the temporaries' removal on a signal

    def add(self, final):
        """The temporary path to write final's content to."""
        temporary = temporary_name(final)
        self.tokens.append(leftovers.add(lambda: leftovers.remove_file(temporary)))
        self.renames.append((temporary, final))
        return temporary

    def commit(self):
        with leftovers.held():
            for temporary, final in self.renames:
                try:
                    os.replace(temporary, final)
                except OSError as error:
                    raise Failure("cannot write %s: %s" % (final, error.strerror or error), OUTPUT_FAILED)
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


def write_csv(pending, final, columns, rows):
    """rows (dicts) as a CSV file with a header of columns; missing cells empty."""
    path = pending.add(final)
    with _opened(path, final) as handle:
        writer = csv.writer(handle, lineterminator="\n")
        writer.writerow(columns)
        for row in rows:
            writer.writerow([cell(row.get(column)) for column in columns])


def write_json(pending, final, document):
    path = pending.add(final)
    with _opened(path, final) as handle:
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
