"""The processes a process started, and what is left to read of a
pseudo-terminal once the program on its other end has ended."""
import os


def descendants(pid):
    """The processes pid started, from any of its threads, and theirs."""
    found, pending = [], [pid]
    while pending:
        parent = pending.pop()
        try:
            for thread in os.listdir("/proc/%d/task" % parent):
                with open("/proc/%d/task/%s/children" % (parent, thread)) as listed:
                    children = [int(child) for child in listed.read().split()]
                pending += children
                found += children
        except OSError:  # ended meanwhile
            continue
    return found


def read_to_the_end(descriptor):
    """What is left to read of a terminal whose other end is closed; the
    descriptor is closed."""
    shown = b""
    try:
        while True:
            piece = os.read(descriptor, 4096)
            if not piece:
                break
            shown += piece
    except OSError:  # the other end is closed: all was read
        pass
    os.close(descriptor)
    return shown
