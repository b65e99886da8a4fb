#!/usr/bin/env python3
"""Writes cases for the big-number tests with results from Python's integers.

Usage: gen_cases.py SEED COUNT OUTPUT_FILE. One case a line: an operation
name, its operands, '=' and the expected results. A number is written as
32-bit blocks in hexadecimal, least significant first, joined by ':'; zero is
'_' and a negative value starts with '-'. Shift amounts and bases are decimal.
"""
import random
import sys

DIGITS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"


def encode(n):
    if isinstance(n, str):
        return n
    sign, n = ("-", -n) if n < 0 else ("", n)
    blocks = []
    while n:
        blocks.append("%x" % (n & 0xFFFFFFFF))
        n >>= 32
    return sign + (":".join(blocks) or "_")


def in_base(n, base):
    text = ""
    while n:
        n, digit = divmod(n, base)
        text = DIGITS[digit] + text
    return text or "0"


def value(rng, max_bits=640):
    """Random values, biased to the shapes that break carries and borrows."""
    bits = rng.randrange(max_bits + 1)
    kind = rng.randrange(6)
    if kind < 3:
        return [rng.getrandbits(bits), 1 << bits, (1 << bits) - 1][kind]
    if kind == 3:
        return rng.randrange(1 << rng.choice([1, 8, 32, 33, 64]))
    special = [0, 1, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF]
    return sum(rng.choice(special + [rng.getrandbits(32)]) << (32 * i) for i in range(bits // 32 + 1))


def divisor_for(rng, a):
    """Divisors of every size relative to a, including ones close to it."""
    return [value(rng), a >> rng.randrange(a.bit_length() + 1), rng.randrange(1 << 32),
            a + rng.randrange(-3, 4) if a > 3 else a][rng.randrange(4)]


def cases(rng, count):
    for _ in range(count):
        a, b = value(rng), value(rng)
        hi, lo, d, n = max(a, b), min(a, b), divisor_for(rng, a), rng.randrange(700)
        c = rng.choice([b, a, a + 1, max(a - 1, 0)])
        yield from [("add", [a, b], [a + b]), ("sub", [hi, lo], [hi - lo]), ("mul", [a, b], [a * b]),
                    ("div", [a, d], [a // d, a % d] if d else [0, a]),  # x / 0 = 0 leaving x
                    ("shl", [a, str(n)], [a << n]), ("shr", [a, str(n)], [a >> n]),
                    ("and", [a, b], [a & b]), ("or", [a, b], [a | b]), ("xor", [a, b], [a ^ b]),
                    ("cmp", [a, c], [str((a > c) - (a < c))]), ("inc", [a], [a + 1])]
        if a:
            yield "dec", [a], [a - 1]
        x, y = (value(rng, 320) * rng.choice([-1, 1]) for _ in range(2))
        z = y or 1
        yield from [("sadd", [x, y], [x + y]), ("ssub", [x, y], [x - y]), ("smul", [x, y], [x * y]),
                    ("scmp", [x, y], [str((x > y) - (x < y))]), ("sdiv", [x, z], [x // z, x % z])]
    for _ in range(8):  # a few of the sizes the largest fingerprint windows need
        a, b = value(rng, 20000), value(rng, 6000)
        yield from [("mul", [a, b], [a * b]), ("div", [a, b], [a // b, a % b] if b else [0, a])]
    for base in range(2, 37):
        for _ in range(count // 20):
            v = value(rng)
            yield "text", [v, str(base)], [in_base(v, base)]


def main():
    seed, count, output = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    with open(output, "w") as out:
        for op, args, results in cases(random.Random(seed), count):
            print(op, *map(encode, args), "=", *map(encode, results), file=out)


if __name__ == "__main__":
    main()
