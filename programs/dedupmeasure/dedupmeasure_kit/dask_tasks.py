"""What the workers of a Dask merge run: a trace read in pieces into frames
of fixed-width columns (the SHA-1 as two 64-bit and one 32-bit integers),
and a partition of the rows shuffled by SHA-1 summed into the exact
integers of merge_figures.

Traces are read by the reader SQLite's merge uses, so a refusal is the same
message. A refusal, the only thing a task may end with, is returned as a
value, a plain (message, status) pair, for the client to raise in trace
order: no class of these modules is told by its identity, which a worker
that imported them anew would not keep."""
import numpy
import pandas

from . import traces
from .failures import Failure

# The SHA-1 in three big-endian integers; compared in this order they sort as the digest does.
DIGEST = numpy.dtype([("h0", ">u8"), ("h1", ">u8"), ("h2", ">u4")])
COLUMNS = {"h0": numpy.uint64, "h1": numpy.uint64, "h2": numpy.uint32, "size": numpy.int64, "source": numpy.int32}
BATCH_ROWS = 65536  # rows kept as Python objects before they become columns
SMALL = 2**32  # a value whose square a 64-bit integer holds


def refusal(failure):
    return str(failure), failure.status


def empty_frame():
    return pandas.DataFrame({name: numpy.empty(0, kind) for name, kind in COLUMNS.items()})


def start(path, name):
    """(the Start of the trace at path, None) or (None, its refusal); name:
    how messages call it."""
    try:
        return traces.start_of(path, name=name)[0], None
    except Failure as failure:
        return None, refusal(failure)


class Piece:
    """What a piece of a trace tells the piece after it and the client:
    where the next one begins, the trace's rows so far (tally) and its end
    once read; bytes: the sizes of this piece's rows, summed; failure: the
    refusal it met, or None."""

    def __init__(self, position, tally, end=None, bytes=0, failure=None):
        self.position, self.tally, self.end, self.bytes, self.failure = position, tally, end, bytes, failure

    @property
    def finished(self):
        return self.end is not None or self.failure is not None


def _columns(digests, sizes, source):
    codes = numpy.frombuffer(b"".join(digests), dtype=DIGEST)
    return {"h0": codes["h0"].astype(numpy.uint64), "h1": codes["h1"].astype(numpy.uint64),
            "h2": codes["h2"].astype(numpy.uint32), "size": numpy.array(sizes, dtype=numpy.int64),
            "source": numpy.full(len(sizes), source, dtype=numpy.int32)}


def read_piece(start, source, until, before):
    """(frame, Piece): the rows of the trace of start (the source-th) from
    where the piece before ended (before, a Piece; None for the first) up
    to the first row that begins at or after the byte offset until (None:
    to the end)."""
    if before is not None and before.finished:
        return empty_frame(), Piece(before.position, before.tally, before.end, failure=before.failure)
    reader = traces.Reader(start, before.position if before else None,
                           traces.Tally(before.tally.rows, before.tally.bytes) if before else None)
    total = traces.ByteTotal(largest=None)  # the client checks the sum over every trace
    batches, digests, sizes, failure = [], [], [], None
    try:
        for digest, size in reader.rows(total, until):
            digests.append(digest)
            sizes.append(size)
            if len(sizes) == BATCH_ROWS:
                batches.append(_columns(digests, sizes, source))
                digests, sizes = [], []
    except Failure as refused:
        failure = refusal(refused)
    batches.append(_columns(digests, sizes, source))
    frame = pandas.DataFrame({name: numpy.concatenate([batch[name] for batch in batches]) for name in COLUMNS})
    return frame, Piece(reader.position, reader.tally, reader.end, total.bytes, failure)


def overflow(start, before, bytes_before):
    """The refusal of the sum of sizes passing traces.LARGEST in the piece
    after before, bytes_before being the sizes of every row before it."""
    reader = traces.Reader(start, before.position if before else None,
                           traces.Tally(before.tally.rows, before.tally.bytes) if before else None)
    try:
        for _ in reader.rows(traces.ByteTotal(bytes_before)):
            pass
    except Failure as failure:
        return refusal(failure)
    return None


def square_sum(values):
    """The exact sum of the squares of values (integers from 0 to
    traces.LARGEST), as a Python integer."""
    small = values[values < SMALL].astype(numpy.uint64)
    squares = small * small
    # Halves of 32 bits: each sum holds as many of them as there can be rows in a partition.
    total = (int((squares >> numpy.uint64(32)).sum(dtype=numpy.uint64)) << 32) + \
        int((squares & numpy.uint64(SMALL - 1)).sum(dtype=numpy.uint64))
    return total + sum(value * value for value in values[values >= SMALL].tolist())


def _per_source(sources, held_by, values):
    """[(sum, sum of squares)] of values per source number, 0 to sources-1."""
    order = numpy.argsort(held_by, kind="stable")
    held_by, values = held_by[order], values[order]
    bounds = numpy.searchsorted(held_by, numpy.arange(sources + 1))
    return [(int(values[low:high].sum()), square_sum(values[low:high])) for low, high in zip(bounds, bounds[1:])]


def aggregate(frame, sources):
    """The sums of one partition, whose rows hold every row of their sha1s:
    a dict of the fields of merge_figures' Totals, and per source (lists)
    alone, alone_squares, shared, shared_squares; clash: (sha1, smallest
    size, largest size, [sources]) of its first sha1 with two sizes, or None."""
    summed = {"rows": len(frame), "distinct": 0, "bytes": 0, "unique": 0, "unique_squares": 0,
              "duplicate_squares": 0, "clash": None}
    for key in ("alone", "alone_squares", "shared", "shared_squares"):
        summed[key] = [0] * sources
    if not len(frame):
        return summed
    columns = [frame[name].to_numpy() for name in ("h0", "h1", "h2", "size", "source")]
    h0, h1, h2, size, source = columns
    # By the digest's first 8 bytes, then the source: two quick sorts. Two
    # digests that begin alike (which SHA-1 makes rare) need a sort by all.
    order = numpy.argsort(source, kind="stable")
    order = order[numpy.argsort(h0[order], kind="stable")]
    h0, h1, h2 = h0[order], h1[order], h2[order]
    if ((h0[1:] == h0[:-1]) & ((h1[1:] != h1[:-1]) | (h2[1:] != h2[:-1]))).any():
        order = numpy.lexsort((source, h2, h1, h0))  # the last key first
        h0, h1, h2 = (column[order] for column in columns[:3])
    size, source = size[order], source[order]
    first = numpy.empty(len(size), dtype=bool)  # the first row of its sha1
    first[0] = True
    first[1:] = (h0[1:] != h0[:-1]) | (h1[1:] != h1[:-1]) | (h2[1:] != h2[:-1])
    starts = numpy.flatnonzero(first)
    rows = numpy.diff(numpy.append(starts, len(size)))
    smallest, largest = numpy.minimum.reduceat(size, starts), numpy.maximum.reduceat(size, starts)
    clashes = numpy.flatnonzero(smallest != largest)
    if clashes.size:
        at, chunk = starts[clashes[0]], clashes[0]
        sha1 = int(h0[at]).to_bytes(8, "big") + int(h1[at]).to_bytes(8, "big") + int(h2[at]).to_bytes(4, "big")
        summed["clash"] = (sha1, int(smallest[chunk]), int(largest[chunk]),
                           numpy.unique(source[at:at + rows[chunk]]).tolist())
    summed.update(distinct=len(starts), bytes=int(size.sum()), unique=int(smallest.sum()),
                  unique_squares=square_sum(smallest), duplicate_squares=square_sum(rows - 1))
    # Each sha1's bytes in each source that holds it.
    pair_first = first.copy()
    pair_first[1:] |= source[1:] != source[:-1]
    pair_starts = numpy.flatnonzero(pair_first)
    pair_bytes = numpy.add.reduceat(size, pair_starts)
    pair_source = source[pair_starts]
    pair_chunk = numpy.cumsum(first)[pair_starts] - 1
    alone = numpy.bincount(pair_chunk, minlength=len(starts))[pair_chunk] == 1
    for kind, chosen in (("alone", alone), ("shared", ~alone)):
        for number, (held, squares) in enumerate(_per_source(sources, pair_source[chosen], pair_bytes[chosen])):
            summed[kind][number] = held
            summed[kind + "_squares"][number] = squares
    return summed


def add_up(partials):
    """The sums of every partition: one dict as aggregate gives, its clash
    the one of the smallest sha1."""
    total = dict(partials[0])
    for partial in partials[1:]:
        for key, value in partial.items():
            if key == "clash":
                if value is not None and (total[key] is None or value[0] < total[key][0]):
                    total[key] = value
            elif isinstance(value, list):
                total[key] = [mine + theirs for mine, theirs in zip(total[key], value)]
            else:
                total[key] += value
    return total
