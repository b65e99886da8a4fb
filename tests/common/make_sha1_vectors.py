#!/usr/bin/env python3
"""Writes SHA-1 test vectors computed with hashlib: one line per message,
"<message in hex> <digest in hex>". Every length from 0 to 300 bytes, then a
few messages of several KiB. The seed is fixed so the file never changes."""
import hashlib
import random
import sys

SEED = 20261207
LONG_LENGTHS = [1000, 4095, 4096, 4097, 6000, 8191, 12345]


def main():
    rng = random.Random(SEED)
    lengths = list(range(301)) + LONG_LENGTHS
    with open(sys.argv[1], "w", encoding="ascii") as out:
        for length in lengths:
            message = bytes(rng.getrandbits(8) for _ in range(length))
            out.write(f"{message.hex()} {hashlib.sha1(message).hexdigest()}\n")


if __name__ == "__main__":
    main()
