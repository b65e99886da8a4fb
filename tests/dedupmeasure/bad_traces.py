"""Traces merge must refuse, as (files, traces given, what the one message
names, in order): malformed rows, first lines and comment lines, sizes past
what a merge sums, one sha1 with two sizes, and traces not made alike."""
HEADER = "path,offset,size,sha1,new\n"
SHA1 = "ab" * 20
LARGEST = 2**63 - 1  # the largest size, and sum of sizes, a merge takes
ROW = "m,0,100,%s,1\n" % SHA1
SETTINGS = "# Tolvane trace: sample=%d chunker=rabin min=512 max=8192 bits=11 window=48\n"


def row(size, digit="a"):
    return "m,0,%s,%s,1\n" % (size, digit * 40)


def made(rows, sample=1, chunks=None, total=None, settings=None):
    """A trace in the format with comment lines; its end line states the
    rows' own totals unless chunks or total say otherwise."""
    sizes = [int(line.split(",")[2]) for line in rows]
    chunks = len(rows) if chunks is None else chunks
    total = sum(sizes) if total is None else total
    return ((settings or SETTINGS % sample) + HEADER + "".join(rows)
            + "# Tolvane trace end: chunks=%d bytes=%d\n" % (chunks, total))


def one(text, *named):
    return {"a.csv": text}, ["a.csv"], list(named)


CASES = [
    # Traces of the older format: no comment lines.
    one("", "a.csv:1: "),
    one("a,b\n", "a.csv:1: "),
    one(HEADER + ROW + "m,100,100,%s\n" % SHA1, "a.csv:3: ", "4 fields"),
    one(HEADER + "m,0,x,%s,1\n" % SHA1, "a.csv:2: ", "size"),
    one(HEADER + ROW + ROW + "m,0,10,abc,1\n", "a.csv:4: ", "sha1"),
    one(HEADER + ROW + '"m\nn",0,10,%s,2\n' % SHA1, "a.csv:3: ", "new"),
    one(HEADER + '"m,0,1\n', "a.csv:2: "),
    one(HEADER + row("9" * 5000), "a.csv:2: size 9999"),
    one(HEADER + row(LARGEST) + row(1, "b"), "a.csv:3: ", "add up"),
    ({"a.csv": HEADER + row(LARGEST // 2 + 1), "b.csv": HEADER + row(3, "c") + row(LARGEST // 2 + 1, "b")},
     ["a.csv", "b.csv"], ["b.csv:3: ", "add up to %d" % (LARGEST + 4)]),
    ({"a.csv": HEADER + ROW, "b.csv": HEADER + "m,0,101,%s,1\n" % SHA1},
     ["a.csv", "b.csv"], [SHA1, "two sizes", "a.csv, b.csv"]),
    ({"a.csv": HEADER + ROW}, ["a.csv", "missing.csv"], ["cannot read the trace missing.csv"]),
    # Comment lines.
    one(SETTINGS.replace(" window=48", "") % 1 + HEADER, "a.csv:1: ", "settings"),
    one(made([ROW], sample=3), "a.csv:1: ", "sample=3"),
    one(made([ROW], sample=2**21), "a.csv:1: ", "sample=2097152"),
    one(SETTINGS % 1 + ROW, "a.csv:2: ", "the line after its settings"),
    one(SETTINGS % 1 + HEADER + ROW, "a.csv:4: ", "end line"),
    one(made([ROW]) + ROW, "a.csv:5: ", "after the trace's end line"),
    one(SETTINGS % 1 + HEADER + ROW + "# a note\n" + ROW + "# Tolvane trace end: chunks=2 bytes=200\n",
        "a.csv:4: ", "comment line"),
    one(made([ROW]).replace(" bytes=100", ""), "a.csv:4: ", "comment line"),
    one(made([ROW], chunks=2), "a.csv:4: ", "2 chunks of 100 bytes"),
    one(made([ROW], total=99), "a.csv:4: ", "1 chunks of 99 bytes"),
    one(made([ROW], sample=4, chunks=0, total=100), "a.csv:4: "),
    one(made([ROW], chunks=10**30), "a.csv:4: ", "more than"),
    # Traces not made alike.
    ({"a.csv": made([ROW]), "b.csv": made([ROW], sample=2, chunks=2, total=200)}, ["a.csv", "b.csv"],
     ["a.csv was made with sample=1 chunker=rabin min=512 max=8192 bits=11 window=48, b.csv with sample=2 ",
      ": traces merge only when made alike"]),
    ({"a.csv": made([ROW]), "b.csv": made([ROW], settings=(SETTINGS % 1).replace("min=512", "min=256"))},
     ["a.csv", "b.csv"], ["b.csv with sample=1 chunker=rabin min=256 "]),
    ({"a.csv": HEADER + ROW, "b.csv": made([ROW], sample=4, chunks=4, total=400)}, ["a.csv", "b.csv"],
     ["a.csv was made with no settings stated, b.csv with sample=4 "]),
]
