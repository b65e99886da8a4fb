"""Which build a program comes from, and what it needs to run: the sanitizer
build reports leaks and errors on standard error."""
import functools
import os

# What the sanitizers print when they find something.
SANITIZER_REPORT = r"Sanitizer|runtime error:"


@functools.lru_cache(maxsize=None)
def is_sanitized(program):
    """True when the program is linked with the AddressSanitizer or the
    ThreadSanitizer runtime: both reserve far more memory than the program."""
    with open(program, "rb") as binary:
        image = binary.read()
    return b"__asan_init" in image or b"__tsan_init" in image


def environment(program):
    """The caller's environment, passed through whole so the sanitizer options
    of the test preset reach the program; leak detection stays on without them."""
    env = dict(os.environ)
    if is_sanitized(program):
        env.setdefault("ASAN_OPTIONS", "detect_leaks=1")
    return env
