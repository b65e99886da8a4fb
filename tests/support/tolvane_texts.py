"""What Tolvane prints besides its counts: the usage text, its messages and
the time line that ends the report."""
import re

from . import messages

USAGE = (b"usage: Tolvane <f> <min> <max> <nmb> <win> <svl> <usv>\n"
         b"            <f>   = filename\n"
         b"            <min> = minimum chunk size\n"
         b"            <max> = maximum chunk size\n"
         b"            <nmb> = no. bits for determining avg. chunk size\n"
         b"            <win> = sliding window size\n"
         b"            <svl> = summary vector size\n"
         b"            <usv> = use summary vector (y/n)\n")
UNABLE_TO_OPEN = "Tolvane: unable to open file %s\n"
# Elapsed seconds as %lf prints them; a clock set back makes them negative.
TIME_LINE = r"time = -?\d+\.\d{6} seconds"


def message(*parts):
    """One message line naming every part."""
    return messages.one_line("Tolvane: ", *parts)


def refused_number(name, lowest, highest):
    """The message for a numeric argument outside its range: it names the
    argument and both limits."""
    return "Tolvane: %s [^\n]*\\b%d\\b[^\n]*\\b%d\\b[^\n]*\n" % (re.escape(name), lowest, highest)


def report(lines):
    """A pattern for a whole standard output: these exact lines, then the time."""
    return "".join(re.escape(line + "\n") for line in lines) + TIME_LINE + "\n"
