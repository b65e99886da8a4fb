"""A status line on standard error, only when it is a terminal: redrawn in
place with a carriage return and erased when the work ends, so logs and
pipes never see it."""
import sys


class Progress:
    def __init__(self, stream=None):
        self.stream = stream or sys.stderr
        self.enabled = self.stream.isatty()
        self.width = 0  # length of the line on screen, to blank it out

    def show(self, text):
        if not self.enabled:
            return
        line = "dedupmeasure: " + text
        # Pad with blanks to cover a longer line drawn before.
        self._draw("\r" + line.ljust(self.width))
        self.width = max(self.width, len(line))

    def erase(self):
        if self.enabled and self.width:
            self._draw("\r" + " " * self.width + "\r")
            self.width = 0

    def _draw(self, text):
        try:
            self.stream.write(text)
            self.stream.flush()
        except (OSError, ValueError):  # the terminal is gone: no more lines
            self.enabled = False

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        self.erase()
        return False
