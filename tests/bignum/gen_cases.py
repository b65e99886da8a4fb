#!/usr/bin/env python3
"""Writes arithmetic cases for the big-number tests, with results computed by
Python's own integers. One case a line: an operation name, its operands, then
the expected results, separated by spaces.

A number is written as 32-bit blocks in hexadecimal, least significant first,
joined by ':'; zero (no blocks) is '_', and a negative value starts with '-'.
Shift amounts and bases are decimal; texts are written as they are.
"""
import random
import sys

DIGITS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"


def encode(n):
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
    if kind == 0:
        return rng.getrandbits(bits)
    if kind == 1:
        return 1 << bits
    if kind == 2:
        return (1 << bits) - 1
    if kind == 3:
        return rng.randrange(1 << rng.choice([1, 8, 32, 33, 64]))
    blocks = [rng.choice([0, 1, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, rng.getrandbits(32)])
              for _ in range(bits // 32 + 1)]
    return sum(b << (32 * i) for i, b in enumerate(blocks))


def divisor_for(rng, a):
    """Divisors of every size relative to a, including ones close to it."""
    kind = rng.randrange(4)
    if kind == 0:
        return value(rng)
    if kind == 1:
        return a >> rng.randrange(a.bit_length() + 1)
    if kind == 2:
        return rng.randrange(1 << 32)
    return a + rng.randrange(-3, 4) if a > 3 else a


def signed(rng):
    return value(rng, 320) * rng.choice([-1, 1])


def cases(rng, count):
    for _ in range(count):
        a, b = value(rng), value(rng)
        hi, lo = max(a, b), min(a, b)
        yield "add", [a, b], [a + b]
        yield "sub", [hi, lo], [hi - lo]
        yield "mul", [a, b], [a * b]
        d = divisor_for(rng, a)
        # Dividing by zero leaves the dividend as remainder and gives 0.
        yield "div", [a, d], [a // d, a % d] if d else [0, a]
        n = rng.randrange(700)
        yield "shl", [a, str(n)], [a << n]
        yield "shr", [a, str(n)], [a >> n]
        yield "and", [a, b], [a & b]
        yield "or", [a, b], [a | b]
        yield "xor", [a, b], [a ^ b]
        c = rng.choice([b, a, a + 1 if rng.random() < 0.5 else max(a - 1, 0)])
        yield "cmp", [a, c], [str((a > c) - (a < c))]
        yield "inc", [a], [a + 1]
        if a:
            yield "dec", [a], [a - 1]
        x, y = signed(rng), signed(rng)
        yield "sadd", [x, y], [x + y]
        yield "ssub", [x, y], [x - y]
        yield "smul", [x, y], [x * y]
        yield "scmp", [x, y], [str((x > y) - (x < y))]
        z = y or 1
        yield "sdiv", [x, z], [x // z, x % z]
    for _ in range(8):  # a few of the sizes the largest fingerprint windows need
        a, b = value(rng, 20000), value(rng, 6000)
        yield "mul", [a, b], [a * b]
        yield "div", [a, b], [a // b, a % b] if b else [0, a]
    for base in range(2, 37):
        for _ in range(count // 20):
            v = value(rng)
            yield "text", [v, str(base)], [in_base(v, base)]


def main():
    """Usage: gen_cases.py SEED COUNT OUTPUT_FILE"""
    seed, count, output = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    rng = random.Random(seed)
    with open(output, "w") as out:
        for op, args, results in cases(rng, count):
            words = [w if isinstance(w, str) else encode(w) for w in args + results]
            print(op, *words, file=out)


if __name__ == "__main__":
    main()
