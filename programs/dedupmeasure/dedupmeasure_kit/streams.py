"""The standard streams, made safe before anything else runs: a closed one
is refused (standard output) or kept away from the files the command opens
(a descriptor left free would be the next file's), standard output failing
becomes one message and a status, and a message that cannot be shown is
dropped without stopping the command."""
import errno
import os
import sys

from .failures import OUTPUT_FAILED, Failure


def _is_open(fd):
    try:
        os.fstat(fd)
    except OSError:
        return False
    return True


def _to_null(fd):
    null = os.open(os.devnull, os.O_RDWR)
    if null != fd:
        os.dup2(null, fd)
        os.close(null)


def _failed(error):
    # What standard output still buffers goes nowhere, not to the end's flush.
    _to_null(1)
    return Failure("error writing standard output: %s" % (error.strerror or error), OUTPUT_FAILED)


class _CheckedOutput:
    """Standard output whose failures are Failures (status 6)."""

    def __init__(self, stream):
        self._stream = stream

    def write(self, text):
        try:
            return self._stream.write(text)
        except OSError as error:
            raise _failed(error)

    def flush(self):
        try:
            self._stream.flush()
        except OSError as error:
            raise _failed(error)

    def __getattr__(self, name):
        return getattr(self._stream, name)


def prepare():
    """Called first. A Failure when standard output is closed."""
    closed = [fd for fd in (0, 1, 2) if not _is_open(fd)]
    for fd in closed:
        _to_null(fd)
    if 2 in closed:
        sys.stderr = open(2, "w", errors="backslashreplace", closefd=False)
    if 1 in closed:
        raise Failure("error writing standard output: %s" % os.strerror(errno.EBADF), OUTPUT_FAILED)
    # Paths that are no UTF-8 are printed as the bytes they were given as.
    sys.stdout.reconfigure(errors="surrogateescape")
    sys.stdout = _CheckedOutput(sys.stdout)


def flush():
    sys.stdout.flush()


def say(message):
    """One line on standard error, beginning with the command's name."""
    try:
        print("dedupmeasure: " + message, file=sys.stderr, flush=True)
    except (OSError, ValueError):
        pass
