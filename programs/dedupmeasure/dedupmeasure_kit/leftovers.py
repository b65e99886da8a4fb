"""What a run makes that must not outlive it: temporary files and folders,
the tool runs of a sweep, the status line. Each is registered with what
undoes it before it is made. When SIGINT, SIGTERM or SIGHUP comes, all of
them are undone and the command ends by the signal itself, so that its
parent sees the signal, as if it had not been caught.

Signal handlers run in the main thread between two steps of its Python
code, so an undo never meets a half-updated registry; held() keeps a
signal waiting where a few steps must not be parted (a folder made and
registered, outputs renamed together)."""
import contextlib
import itertools
import os
import shutil
import signal
import tempfile

from . import streams

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)

_undos = {}  # token: what undoes it, in the order they were added
_tokens = itertools.count()
_holding = 0
_waiting = None  # the signal that came while held


def catch_signals():
    """From now on the signals undo everything before ending the command. A
    signal ignored from the start (SIGHUP under nohup) stays ignored."""
    for signum in SIGNALS:
        if signal.getsignal(signum) != signal.SIG_IGN:
            signal.signal(signum, _on_signal)


def add(undo):
    """Registers undo (a function that may run more than once); returns the
    token that forgets it."""
    token = next(_tokens)
    _undos[token] = undo
    return token


def forget(token):
    _undos.pop(token, None)


def tidy():
    """Undoes what is still registered, the newest first."""
    for token in sorted(_undos, reverse=True):
        # Forgotten only once done: a signal meanwhile undoes it again.
        try:
            _undos.get(token, lambda: None)()
        except Exception:  # the others must still be undone
            pass
        forget(token)


def remove_file(path):
    try:
        os.remove(path)
    except OSError:
        pass


@contextlib.contextmanager
def held():
    """Runs the block with signals waiting; one that came ends the command
    when the block is left."""
    global _holding
    _holding += 1
    try:
        yield
    finally:
        _holding -= 1
        if not _holding and _waiting is not None:
            _end_by(_waiting)


@contextlib.contextmanager
def undone_on_failure(undo):
    """The block's work stays when it succeeds; undo runs when it fails or
    a signal comes."""
    token = add(undo)
    try:
        yield
    except BaseException:
        undo()
        raise
    finally:
        forget(token)


def new_temporary_folder():
    """A new $TMPDIR/dedupmeasure.* folder, removed with its content when a
    signal comes or tidy() runs; returns it and the token that forgets it."""
    with held():
        folder = tempfile.mkdtemp(prefix="dedupmeasure.")
        token = add(lambda: shutil.rmtree(folder, ignore_errors=True))
    return folder, token


@contextlib.contextmanager
def temporary_folder():
    """A new temporary folder, removed with its content when the block is
    left or a signal comes."""
    folder, token = new_temporary_folder()
    try:
        yield folder
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        forget(token)


def _on_signal(signum, frame):
    global _waiting
    if _holding:
        _waiting = _waiting or signum
        return
    _end_by(signum)


def _unheeded(signum, frame):
    pass


def _end_by(signum):
    # A second signal must not cut the undoing short. Not SIG_IGN: a tool
    # run starting meanwhile would inherit it, and not heed SIGTERM.
    for each in SIGNALS:
        signal.signal(each, _unheeded)
    tidy()
    streams.say("interrupted")
    signal.signal(signum, signal.SIG_DFL)
    signal.raise_signal(signum)
    os._exit(128 + signum)  # not reached: the signal ends the process
