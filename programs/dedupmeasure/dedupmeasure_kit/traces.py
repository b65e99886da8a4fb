"""Reading a chunk trace of Tolvane (--trace FILE). A trace made now states
the settings it was made with on its first line and its exact totals on its
last, both comment lines:

  # Tolvane trace: sample=N chunker=NAME min=MIN max=MAX bits=BITS window=WIN
  path,offset,size,sha1,new
  one row per chunk (with a sample N above 1, per sampled chunk)
  # Tolvane trace end: chunks=C bytes=B

A trace made before has the header and the rows only: it is exact, its
settings unknown, and its totals those of its rows. Every malformed line is
reported with its file and line number.

A trace is read from a Position (a byte offset and the lines before it), so
that it can be read in pieces, each from where the one before it ended: the
rows read are the same, and so are the refusals."""
import collections
import csv
import io
import os
import re

from .failures import BAD_INPUT, Failure

HEADER = ["path", "offset", "size", "sha1", "new"]
NUMBER = re.compile(r"[0-9]+")
SHA1 = re.compile(r"[0-9a-fA-F]{40}")
SETTINGS_LINE = re.compile(r"# Tolvane trace: sample=([0-9]+) chunker=([^\s]+) min=([0-9]+) max=([0-9]+) "
                           r"bits=([0-9]+) window=([0-9]+)")
END_LINE = re.compile(r"# Tolvane trace end: chunks=([0-9]+) bytes=([0-9]+)")
SETTINGS_FORM = "# Tolvane trace: sample=N chunker=NAME min=MIN max=MAX bits=BITS window=WIN"
END_FORM = "# Tolvane trace end: chunks=C bytes=B"
LARGEST_SAMPLE = 2**20
# SQLite's largest integer. Every sum merge makes is at most the sum of all
# sizes, so that sum is kept within it, and so is each size.
LARGEST = 2**63 - 1
SHOWN_DIGITS = 40  # of a number that is too large
SHORT_SIZE = 18  # digits of a size that cannot be above LARGEST


class ByteTotal:
    """The sizes of every chunk row read so far, over all traces, from
    bytes on; largest None: no limit (a piece read apart from the others,
    whose sum is checked afterwards)."""

    def __init__(self, bytes=0, largest=LARGEST):
        self.bytes, self.largest = bytes, largest

    def add(self, path, line, size):
        self.bytes += size
        if self.largest is not None and self.bytes > self.largest:
            raise malformed(path, line, "the chunk sizes add up to %d, more than %d bytes" % (self.bytes, LARGEST))


def malformed(path, line, why):
    return Failure("%s:%d: %s" % (path, line, why), BAD_INPUT)


def unreadable(path, error):
    return Failure("cannot read the trace %s: %s" % (path, error.strerror or error), BAD_INPUT)


def too_large(digits):
    """True when the whole number of those digits is above LARGEST; int()
    is not asked to read thousands of digits."""
    return len(digits.lstrip("0")) > len(str(LARGEST)) or int(digits) > LARGEST


def shown(digits):
    return digits if len(digits) <= SHOWN_DIGITS else digits[:SHOWN_DIGITS] + "..."


def checked_chunk(path, line, fields):
    """(sha1 as 20 bytes, size) of one row, or a Failure naming the line."""
    if len(fields) == len(HEADER):
        _, offset, size, sha1, new = fields
        # The rows Tolvane writes pass here at once; the checks below say why another does not.
        if (offset.isascii() and offset.isdigit() and size.isascii() and size.isdigit()
                and len(size) <= SHORT_SIZE and size.strip("0") and new in ("0", "1") and SHA1.fullmatch(sha1)):
            return bytes.fromhex(sha1), int(size)
    if len(fields) != len(HEADER):
        raise malformed(path, line, "%d fields, a chunk row has %d (%s)" % (len(fields), len(HEADER),
                                                                             ",".join(HEADER)))
    if not NUMBER.fullmatch(offset):
        raise malformed(path, line, "offset %r is no whole number" % offset)
    if not NUMBER.fullmatch(size) or not size.strip("0"):
        raise malformed(path, line, "size %r is no positive whole number" % size)
    if too_large(size):
        raise malformed(path, line, "size %s is more than %d bytes" % (shown(size), LARGEST))
    if not SHA1.fullmatch(sha1):
        raise malformed(path, line, "sha1 %r is not 40 hexadecimal digits" % sha1)
    if new not in ("0", "1"):
        raise malformed(path, line, "new is %r, not 0 or 1" % new)
    return bytes.fromhex(sha1), int(size)


class Settings(collections.namedtuple("Settings", "sample chunker min max bits window")):
    """What a trace says it was made with."""

    def __str__(self):
        return "sample=%d chunker=%s min=%d max=%d bits=%d window=%d" % self


def parse_settings(path, line, text):
    """The Settings of the comment line text (line number line)."""
    found = SETTINGS_LINE.fullmatch(text.rstrip("\r\n"))
    if not found:
        raise malformed(path, line, "not a Tolvane trace's settings: the first line must be %s, or the header %s"
                        % (SETTINGS_FORM, ",".join(HEADER)))
    numbers = [found.group(index) for index in (1, 3, 4, 5, 6)]
    for digits in numbers:
        if too_large(digits):
            raise malformed(path, line, "the setting %s is more than %d" % (shown(digits), LARGEST))
    sample, low, high, bits, window = map(int, numbers)
    if sample < 1 or sample > LARGEST_SAMPLE or sample & (sample - 1):
        raise malformed(path, line, "sample=%d is not a power of two from 1 to %d" % (sample, LARGEST_SAMPLE))
    return Settings(sample, found.group(2), low, high, bits, window)


def described(trace, settings):
    if settings is None:
        return "%s with no settings stated (an older trace, exact)" % trace
    return "%s with %s" % (trace, settings)


def common_sample(starts):
    """The sample of traces that may be merged: all of them state the same
    settings, or state none (older, exact traces) while the others are
    exact too. Else a Failure naming the first two that differ."""
    stating = [start for start in starts if start.settings is not None]
    if not stating:
        return 1
    reference = stating[0]
    for start in starts:
        differs = reference.settings.sample != 1 if start.settings is None else start.settings != reference.settings
        if differs:
            first, second = sorted((reference, start), key=starts.index)
            raise Failure("%s was made with %s, %s: traces merge only when made alike"
                          % (first.name, str(first.settings) if first.settings else "no settings stated",
                             described(second.name, second.settings)), BAD_INPUT)
    return reference.settings.sample


Position = collections.namedtuple("Position", "offset line")  # bytes and lines before it


class Tally:
    """A trace's rows and their bytes, read so far."""

    def __init__(self, rows=0, bytes=0):
        self.rows, self.bytes = rows, bytes


# path: where the trace is opened; name: how messages call it (the path as
# given); rows: the Position of the first row; size: the file's, in bytes.
Start = collections.namedtuple("Start", "path name settings rows size")


class _Lines:
    """The lines of a text file from a byte offset, each counted in bytes.
    With comments, a line that begins with "#" where a row would begin is
    held back, not given to the CSV reader: it ends the rows."""

    def __init__(self, text, offset, comments):
        self.text, self.offset, self.comments = text, offset, comments
        self.at_row_start = True
        self.held = None

    def __iter__(self):
        for line in self.text:
            if self.at_row_start and self.comments and line.startswith("#"):
                self.held = line
                return
            self.at_row_start = False
            # The bytes as they were: surrogateescape gives back what was not UTF-8.
            self.offset += len(line) if line.isascii() else len(line.encode("utf-8", "surrogateescape"))
            yield line


def _opened(path, offset, name):
    try:
        raw = open(path, "rb")
    except OSError as error:
        raise unreadable(name, error)
    try:
        if offset:  # a pipe is read from its start, and cannot seek
            raw.seek(offset)
        # Paths in the rows may be any bytes: surrogateescape keeps them readable.
        return io.TextIOWrapper(raw, encoding="utf-8", errors="surrogateescape", newline="")
    except OSError as error:
        raw.close()
        raise unreadable(name, error)


def start_of(path, keep_open=False, name=None):
    """The Start of the trace at path (called name in messages, path unless
    given): its settings, if it states them, and where its rows begin, once
    its first lines are checked. With keep_open, also the trace opened
    there (a pipe can be read only once), else None."""
    name = name or path
    text = _opened(path, 0, name)
    try:
        start = _start(path, name, text)
    except BaseException:
        text.close()
        raise
    if keep_open:
        return start, text
    text.close()
    return start, None


def _start(path, name, text):
    try:
        size = os.fstat(text.fileno()).st_size
        settings, before = None, Position(0, 0)
        if text.buffer.peek(1)[:1] == b"#":
            first = text.readline()
            settings = parse_settings(name, 1, first)
            before = Position(len(first.encode("utf-8", "surrogateescape")), 1)
        lines = _Lines(text, before.offset, comments=False)
        reader = csv.reader(lines, strict=True)
        try:
            header = next(reader, None)
        except csv.Error as error:
            raise malformed(name, before.line + 1, str(error))
        if header != HEADER:
            after = "the line after its settings" if settings else "the first line"
            raise malformed(name, max(before.line + reader.line_num, before.line + 1),
                            "not a Tolvane trace: %s must be %s" % (after, ",".join(HEADER)))
        return Start(path, name, settings, Position(lines.offset, before.line + reader.line_num), size)
    except OSError as error:
        raise unreadable(name, error)


class Reader:
    """Reads the rows of a trace (a Start) from position on, the trace's
    rows so far in tally. Once read to its end, end is (chunks, bytes): the
    trace's exact totals."""

    def __init__(self, start, position=None, tally=None, text=None):
        """text: the trace already open at position (start_of's), or None."""
        self.start, self.text = start, text
        self.position = position or start.rows
        self.tally = tally or Tally()
        self.end = None

    def rows(self, total, until=None):
        """Yields (sha1, size) for every row, each size added to total (a
        ByteTotal); with until, stops at the first row that begins at or
        after that byte offset, self.position then being where it begins."""
        path, tally, base = self.start.name, self.tally, self.position.line
        new_format = self.start.settings is not None
        text, self.text = self.text or _opened(self.start.path, self.position.offset, path), None
        with text:
            lines = _Lines(text, self.position.offset, comments=new_format)
            reader = csv.reader(lines, strict=True)
            first_line = base + 1
            try:
                while True:
                    if until is not None and lines.offset >= until:
                        self.position = Position(lines.offset, base + reader.line_num)
                        return
                    # A quoted path may span lines: report the line a row starts on.
                    first_line = base + reader.line_num + 1
                    lines.at_row_start = True
                    fields = next(reader, None)
                    if fields is None:
                        break
                    sha1, size = checked_chunk(path, first_line, fields)
                    tally.rows += 1
                    tally.bytes += size
                    total.add(path, first_line, size)
                    yield sha1, size
                if lines.held is not None:
                    self.end = self._end_line(lines.held, first_line)
                    if text.readline():
                        raise malformed(path, first_line + 1, "a line after the trace's end line")
                elif new_format:
                    raise malformed(path, first_line, "the trace ends before its end line (%s): was it cut short?"
                                    % END_FORM)
                else:
                    self.end = (tally.rows, tally.bytes)
                self.position = Position(lines.offset, first_line - 1)
            except csv.Error as error:
                raise malformed(path, first_line, str(error))
            except OSError as error:
                raise unreadable(path, error)

    def _end_line(self, text, line):
        """(chunks, bytes) of the end line text, checked against the rows."""
        path, tally = self.start.name, self.tally
        found = END_LINE.fullmatch(text.rstrip("\r\n"))
        if not found:
            raise malformed(path, line, "a comment line where a row or the end line (%s) must be" % END_FORM)
        for digits in found.groups():
            if too_large(digits):
                raise malformed(path, line, "the end line's %s is more than %d" % (shown(digits), LARGEST))
        chunks, size = map(int, found.groups())
        exact = self.start.settings.sample == 1
        fewer = chunks < tally.rows or size < tally.bytes
        if ((chunks, size) != (tally.rows, tally.bytes)) if exact else fewer:
            raise malformed(path, line, "the end line says %d chunks of %d bytes, the rows are %d of %d bytes%s"
                            % (chunks, size, tally.rows, tally.bytes,
                               " (an exact trace has a row for every chunk)" if exact else ""))
        return chunks, size

