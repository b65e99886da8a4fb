"""The form every tool's messages share: one line on standard error that
starts with the tool's name. Where a message carries system detail (an
strerror text, a limit) tests match this form rather than the exact text."""
import re


def one_line(prefix, *parts):
    """A pattern for one line that starts with prefix and names every part, in
    order."""
    return re.escape(prefix) + "".join("[^\n]*" + re.escape(part) for part in parts) + "[^\n]*\n"
