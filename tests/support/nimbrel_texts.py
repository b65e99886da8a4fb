"""What Nimbrel prints besides its listing: the usage text and its messages."""
from . import messages

USAGE = b"usage: Nimbrel <filename>\n"
UNABLE_TO_OPEN = "Nimbrel: unable to open file %s\n"


def message(*parts):
    """One message line naming every part."""
    return messages.one_line("Nimbrel: ", *parts)
