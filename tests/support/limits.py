"""Running a program in a small address space, to make large allocations fail."""
import resource

# Far below what a huge allocation needs, far above what a normal run needs.
SMALL_ADDRESS_SPACE = 256 << 20


def address_space(limit):
    """A preexec function for subprocess that limits the child's address space
    to limit bytes; None (no limit) for 0."""
    if not limit:
        return None

    def apply_limit():
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

    return apply_limit
