"""What sha prints besides its result line: the usage text and its messages."""
from . import messages

USAGE = (b"usage: sha <file> <chunk size in bytes> <chunk window size in bytes> "
         b"<begin offset> <end offset>\n")
UNABLE_TO_OPEN = "sha: unable to open file %s\n"
MIN_CHUNK_SIZE = "sha: min chunk size is %d\n"
WINDOW_BELOW_ONE = "sha: window size is %d, it must be at least 1\n"
CHUNK_TOO_LARGE = "sha: chunk size %d is too large, at most %d\n"


def message(*parts):
    """One message line naming every part."""
    return messages.one_line("sha: ", *parts)
