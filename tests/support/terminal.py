"""A program's standard error on a pseudo-terminal: everything it writes
there, and what a terminal would show in the end."""
import errno
import fcntl
import os
import re
import select
import struct
import subprocess
import termios
import time


def run_on_terminal(argv, columns=80, timeout=None, on="stderr", **popen_arguments):
    """Runs argv with standard error (or standard output, on="stdout") on a
    pseudo-terminal of the given width that passes bytes through
    untranslated (no line-break mapping). Returns (status, bytes written to
    the terminal, the other stream); raises subprocess.TimeoutExpired, the
    program killed, after timeout seconds. The other stream is read at the
    end: it must fit in a pipe."""
    master, slave = os.openpty()
    attributes = termios.tcgetattr(slave)
    attributes[1] &= ~termios.OPOST
    termios.tcsetattr(slave, termios.TCSANOW, attributes)
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    try:
        streams = {"stdout": slave, "stderr": subprocess.PIPE} if on == "stdout" else {
            "stdout": subprocess.PIPE, "stderr": slave}
        proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, **streams, **popen_arguments)
    finally:
        os.close(slave)
    written = bytearray()
    deadline = None if timeout is None else time.monotonic() + timeout
    try:
        while True:
            left = None if deadline is None else max(0, deadline - time.monotonic())
            if not select.select([master], [], [], left)[0]:
                proc.kill()
                proc.communicate()
                raise subprocess.TimeoutExpired(argv, timeout)
            try:
                piece = os.read(master, 65536)
            except OSError as error:  # the last writer has gone
                if error.errno != errno.EIO:
                    raise
                break
            if not piece:
                break
            written += piece
    finally:
        os.close(master)
    stdout, stderr = proc.communicate(timeout=None if deadline is None else max(0, deadline - time.monotonic()))
    return proc.returncode, bytes(written), stderr if on == "stdout" else stdout


def screen(written):
    """What a terminal shows after these bytes: carriage return goes to the
    start of the line, ESC [ K erases to its end, a line break ends the line.
    Any other control sequence is refused."""
    lines, column = [bytearray()], 0
    at = 0
    while at < len(written):
        byte = written[at]
        if written.startswith(b"\x1b[K", at):
            del lines[-1][column:]
            at += 3
            continue
        if byte == 0x1b:
            raise ValueError("unexpected control sequence at %d: %r" % (at, written[at:at + 8]))
        if byte == ord("\r"):
            column = 0
        elif byte == ord("\n"):
            lines.append(bytearray())
            column = 0
        else:
            line = lines[-1]
            line[column:column + 1] = bytes([byte])
            column += 1
        at += 1
    return b"\n".join(bytes(line) for line in lines)


def drawn_lines(written):
    """The status lines drawn in place: text between a carriage return and
    the erasure that ends it."""
    return [line for line in re.findall(rb"\r([^\r\n\x1b]*)\x1b\[K", written) if line]
