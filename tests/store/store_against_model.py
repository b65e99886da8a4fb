#!/usr/bin/env python3
"""The fingerprint store against an independent model: a Python dict for
membership, a literal binary search tree (the same insertions and removals,
node by node) for the listings, and a list of words for the summary vector.
Scripts of random and adversarial fingerprints (sharing long prefixes, in
sorted order, repeated) go to store_script; every answer, figure and listing
must be the model's.

usage: store_against_model.py STORE_SCRIPT [unittest arguments]
"""
import random
import struct
import subprocess
import sys
import unittest

STORE_SCRIPT = sys.argv.pop(1)


class Node:
    __slots__ = ("key", "left", "right")

    def __init__(self, key):
        self.key, self.left, self.right = key, None, None


class StoreModel:
    """What the store must answer, written from its description."""

    def __init__(self, words):
        self.words = words
        self.vector = {}  # word index -> word, the words not 0
        self.bits = words * 32
        self.root = None
        self.keys = set()
        self.calls = self.false_positives = 0
        self.out = []

    def positions(self, key):
        return [word % self.bits for word in key]

    def fast_lookup(self, key):
        return all(self.vector.get(p // 32, 0) >> (p % 32) & 1 for p in self.positions(key))

    def insert(self, key):
        for p in self.positions(key):
            self.vector[p // 32] = self.vector.get(p // 32, 0) | 1 << (p % 32)
        if key in self.keys:
            return False
        self.keys.add(key)
        if self.root is None:
            self.root = Node(key)
            return True
        node = self.root
        while True:
            side = "right" if key > node.key else "left"
            child = getattr(node, side)
            if child is None:
                setattr(node, side, Node(key))
                return True
            node = child

    def contains(self, key):
        self.calls += 1
        if not self.fast_lookup(key):
            return False
        if key in self.keys:
            return True
        self.false_positives += 1
        return False

    def remove(self, key):
        if self.root is None:
            self.out.append(" This Tree is empty! \n")
            return
        parent, node = None, self.root
        while node is not None and node.key != key:
            parent, node = node, node.right if key > node.key else node.left
        if node is None:
            self.out.append(" Data not found! \n")
            return
        self.keys.discard(key)
        if node.left is None or node.right is None:
            child = node.left if node.left is not None else node.right
            if parent is None:
                self.root = child
            elif parent.left is node:
                parent.left = child
            else:
                parent.right = child
            return
        successor = node.right
        if successor.left is None:
            node.key, node.right = successor.key, successor.right
            return
        while successor.left is not None:
            parent, successor = successor, successor.left
        node.key = successor.key
        parent.left = successor.right

    def listing(self, order):
        entries, stack = [], [(self.root, False)]
        while stack:
            node, visited = stack.pop()
            if node is None:
                continue
            if visited:
                entries.append(node.key)
                continue
            # The stack runs backwards: push what comes last first.
            parts = {"pre": [(node.right, False), (node.left, False), (node, True)],
                     "in": [(node.right, False), (node, True), (node.left, False)],
                     "post": [(node, True), (node.right, False), (node.left, False)]}[order]
            stack.extend(parts)
        return "".join(" %08x%08x%08x%08x%08x " % key for key in entries) + "\n"

    def vector_listing(self):
        lines, words = [], [self.vector.get(i, 0) for i in range(self.words)]
        full = len(words) // 4 * 4
        for i in range(0, full, 4):
            lines.append("%x %x %x %x\n" % tuple(words[i:i + 4]))
        if full < len(words):
            lines.append(" ".join("%x" % w for w in words[full:]) + "\n")
        return "".join(lines) + "\n"

    def run(self, command, key=None):
        if command == "i":
            self.out.append("%d\n" % self.insert(key))
        elif command == "f":
            self.out.append("%d\n" % self.fast_lookup(key))
        elif command == "c":
            self.out.append("%d\n" % self.contains(key))
        elif command == "r":
            self.remove(key)
        elif command == "size":
            self.out.append("%d\n" % len(self.keys))
        elif command == "rate":
            rate = self.false_positives / self.calls if self.calls else 0.0
            self.out.append("%.9g\n" % struct.unpack("f", struct.pack("f", rate))[0])
        elif command == "vector":
            self.out.append(self.vector_listing())
        else:
            self.out.append(self.listing(command))


def hex_key(key):
    return "%08x%08x%08x%08x%08x" % key


class Script:
    def __init__(self, words):
        self.words, self.commands = words, []

    def add(self, command, key=None):
        self.commands.append((command, key))

    def check(self, case):
        model = StoreModel(self.words)
        lines = ["new %d" % self.words]
        for command, key in self.commands:
            model.run(command, key)
            lines.append(command if key is None else "%s %s" % (command, hex_key(key)))
        result = subprocess.run([STORE_SCRIPT], input="\n".join(lines) + "\n", capture_output=True, text=True)
        case.assertEqual(result.returncode, 0, result.stderr)
        expected = "".join(model.out)
        if result.stdout != expected:
            got, want = result.stdout.splitlines(), expected.splitlines()
            first = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b), min(len(got), len(want)))
            case.fail("output differs at line %d: %r, the model says %r" %
                      (first + 1, got[first][:200] if first < len(got) else None,
                       want[first][:200] if first < len(want) else None))

    def listings(self):
        for command in ("in", "pre", "post", "size", "rate"):
            self.add(command)


def random_key(rng):
    return tuple(rng.getrandbits(32) for _ in range(5))


class StoreAgainstModel(unittest.TestCase):
    def test_random_fingerprints_inserted_looked_up_and_removed(self):
        # Enough fingerprints that every part of the table grows many times.
        rng = random.Random(15)
        script, kept = Script(3125), []
        for step in range(40000):
            key = rng.choice(kept) if kept and rng.random() < 0.2 else random_key(rng)
            kept.append(key)
            script.add("i", key)
            if step % 7 == 0:
                script.add("c", rng.choice(kept) if rng.random() < 0.5 else random_key(rng))
                script.add("f", random_key(rng))
        script.listings()
        for _ in range(3000):
            script.add("r", rng.choice(kept) if rng.random() < 0.8 else random_key(rng))
        for _ in range(3000):
            script.add("i", random_key(rng) if rng.random() < 0.7 else rng.choice(kept))
        script.listings()
        script.add("vector")
        script.check(self)

    def test_fingerprints_that_share_long_prefixes(self):
        # Equal first words put fingerprints in one part of the table, at
        # one home slot; equal first four words leave only the last apart.
        rng = random.Random(16)
        for shared_words in (1, 2, 4):
            with self.subTest(shared_words=shared_words):
                script, keys = Script(64), []
                prefix = random_key(rng)[:shared_words]
                for _ in range(3000):
                    keys.append(prefix + random_key(rng)[shared_words:])
                for key in keys + rng.sample(keys, 500):
                    script.add("i", key)
                    script.add("c", key)
                script.add("c", prefix + (0,) * (5 - shared_words))
                script.listings()
                for key in rng.sample(keys, 1000):
                    script.add("r", key)
                script.listings()
                script.check(self)

    def test_sorted_and_reversed_input_and_a_tiny_vector(self):
        # Sorted input makes the tree a list; one summary-vector word makes
        # nearly every lookup a false positive.
        rng = random.Random(17)
        keys = sorted(random_key(rng) for _ in range(2000))
        for order, words in ((keys, 1), (keys[::-1], 2)):
            script = Script(words)
            for key in order:
                script.add("f", key)
                script.add("i", key)
                script.add("c", random_key(rng))
            script.listings()
            script.add("vector")
            script.check(self)

    def test_bit_positions_of_the_largest_vector(self):
        # Words near 2^32 against a bit count just below it: the positions
        # wrap, and words that differ by the bit count meet.
        rng = random.Random(18)
        script, bits = Script(134217727), 134217727 * 32
        for _ in range(300):
            high = tuple(bits + rng.randrange(2**32 - bits) for _ in range(5))
            script.add("i", high)
            script.add("f", tuple(word - bits for word in high))
            script.add("c", tuple(rng.choice((word, word - bits)) for word in high))
        script.add("rate")
        script.check(self)

    def test_removing_from_empty_and_small_stores(self):
        script = Script(3125)
        one, two, three = ((i, 0, 0, 0, 0) for i in (50, 30, 70))
        script.add("r", one)
        for key in (one, two, three):
            script.add("i", key)
        for key in (two, (99, 0, 0, 0, 0), one, one, three):
            script.add("r", key)
            script.listings()
        script.add("i", one)
        script.listings()
        script.check(self)


if __name__ == "__main__":
    unittest.main()
