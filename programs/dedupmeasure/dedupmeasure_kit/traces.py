"""Reading a chunk trace of Tolvane (--trace FILE) row by row: a header
`path,offset,size,sha1,new`, then one row per chunk. Every malformed line is
reported with its file and line number."""
import csv
import re

from .failures import BAD_INPUT, Failure

HEADER = ["path", "offset", "size", "sha1", "new"]
NUMBER = re.compile(r"[0-9]+")
SHA1 = re.compile(r"[0-9a-fA-F]{40}")
# SQLite's largest integer. Every sum merge makes is at most the sum of all
# sizes, so that sum is kept within it, and so is each size.
LARGEST = 2**63 - 1
SHOWN_DIGITS = 40  # of a number that is too large


class ByteTotal:
    """The sizes of every chunk row read so far, over all traces."""

    def __init__(self):
        self.bytes = 0

    def add(self, path, line, size):
        self.bytes += size
        if self.bytes > LARGEST:
            raise malformed(path, line, "the chunk sizes add up to %d, more than %d bytes" % (self.bytes, LARGEST))


def malformed(path, line, why):
    return Failure("%s:%d: %s" % (path, line, why), BAD_INPUT)


def too_large(digits):
    """True when the whole number of those digits is above LARGEST; int()
    is not asked to read thousands of digits."""
    return len(digits.lstrip("0")) > len(str(LARGEST)) or int(digits) > LARGEST


def checked_chunk(path, line, fields):
    """(sha1 as 20 bytes, size) of one row, or a Failure naming the line."""
    if len(fields) != len(HEADER):
        raise malformed(path, line, "%d fields, a chunk row has %d (%s)" % (len(fields), len(HEADER),
                                                                             ",".join(HEADER)))
    _, offset, size, sha1, new = fields
    if not NUMBER.fullmatch(offset):
        raise malformed(path, line, "offset %r is no whole number" % offset)
    if not NUMBER.fullmatch(size) or not size.strip("0"):
        raise malformed(path, line, "size %r is no positive whole number" % size)
    if too_large(size):
        shown = size if len(size) <= SHOWN_DIGITS else size[:SHOWN_DIGITS] + "..."
        raise malformed(path, line, "size %s is more than %d bytes" % (shown, LARGEST))
    if not SHA1.fullmatch(sha1):
        raise malformed(path, line, "sha1 %r is not 40 hexadecimal digits" % sha1)
    if new not in ("0", "1"):
        raise malformed(path, line, "new is %r, not 0 or 1" % new)
    return bytes.fromhex(sha1), int(size)


def chunks(path, total):
    """Yields (sha1, size) for every chunk row of the trace at path, each
    size added to total (a ByteTotal)."""
    try:
        # Paths in the rows may be any bytes: surrogateescape keeps them readable.
        handle = open(path, encoding="utf-8", errors="surrogateescape", newline="")
    except OSError as error:
        raise Failure("cannot read the trace %s: %s" % (path, error.strerror or error), BAD_INPUT)
    with handle:
        reader = csv.reader(handle, strict=True)
        try:
            header = next(reader, None)
            if header != HEADER:
                raise malformed(path, max(reader.line_num, 1), "not a Tolvane trace: the first line must be %s"
                                % ",".join(HEADER))
            while True:
                # A quoted path may span lines: report the line a row starts on.
                first_line = reader.line_num + 1
                fields = next(reader, None)
                if fields is None:
                    return
                sha1, size = checked_chunk(path, first_line, fields)
                total.add(path, first_line, size)
                yield sha1, size
        except csv.Error as error:
            raise malformed(path, first_line if header is not None else 1, str(error))
        except OSError as error:
            raise Failure("cannot read the trace %s: %s" % (path, error.strerror or error), BAD_INPUT)
