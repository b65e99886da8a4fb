"""merge: chunk traces of one or many machines put into one store, as one
Tolvane run over all their files would have: global figures and, per trace,
the bytes only it holds and the bytes it shares with the others; for
sampled traces, estimates of them with their intervals. Two engines give the
same sums: SQLite on this machine (the default), or a Dask cluster."""
import contextlib
import json
import os
import sqlite3

from . import leftovers, merge_figures, outputs, traces
from .chunk_store import ChunkStore
from .failures import OUTPUT_FAILED, USAGE, Failure
from .merge_figures import SourceTotals, Totals


@contextlib.contextmanager
def database(keep_as):
    """The path to build the database at: a temporary one, or, for --db (a
    Destination), a temporary name beside it renamed to it only once
    complete."""
    if keep_as is None:
        with leftovers.temporary_folder() as folder:
            yield os.path.join(folder, "merge.sqlite")
        return
    with outputs.PendingFiles() as pending:
        yield pending.add(keep_as)
        pending.commit()


@contextlib.contextmanager
def started(trace_paths):
    """The Starts of the traces, and each one opened where its rows begin
    when it cannot be opened again (a pipe), else None."""
    with contextlib.ExitStack() as opened:
        starts, texts = [], []
        for trace in trace_paths:
            start, text = traces.start_of(trace, keep_open=True)
            opened.callback(text.close)
            starts.append(start)
            if text.seekable():
                text.close()  # opened again when its turn comes: many traces, few descriptors
                text = None
            texts.append(text)
        yield starts, texts


def sqlite_sums(trace_paths, path, name, progress):
    """(sample, Totals, [SourceTotals], ends) of the traces, merged in the
    SQLite database at path (name: how messages call it)."""
    store = ChunkStore(path, name)
    try:
        with started(trace_paths) as (starts, texts):
            sample = traces.common_sample(starts)
            total, readers = traces.ByteTotal(), []
            for start, text in zip(starts, texts):
                readers.append(traces.Reader(start, text=text))
                store.load(start.name, readers[-1].rows(total),
                           lambda rows: progress.show("%d rows loaded" % rows))
        progress.show("%d rows loaded, aggregating" % store.loaded)
        store.aggregate()
        totals = Totals(*store.totals(), *(store.squares() if sample > 1 else (None, None)))
        per_trace = store.source_squares() if sample > 1 else [[None] * 4] * len(starts)
        sources = [SourceTotals(reader.tally.rows, held, alone, alone_squares, shared, shared_squares)
                   for reader, (held, alone), (_, alone_squares, shared, shared_squares)
                   in zip(readers, store.sources(), per_trace)]
        return sample, totals, sources, [reader.end for reader in readers]
    except sqlite3.Error as error:
        raise Failure("the database %s: %s" % (name, error), OUTPUT_FAILED)
    finally:
        store.close()


def check_options(args):
    """The options of one engine are refused with the other."""
    if args.engine == "dask":
        if args.db is not None:
            raise Failure("merge: --db keeps the SQLite database, there is none with --engine dask", USAGE)
        if args.scheduler is not None and args.workers is not None:
            raise Failure("merge: --workers starts a local cluster, --scheduler joins a running one: give one of "
                          "them", USAGE)
    else:
        for option, value in (("--scheduler", args.scheduler), ("--workers", args.workers)):
            if value is not None:
                raise Failure("merge: %s is for --engine dask" % option, USAGE)


def run(args, progress, workers):
    """workers: how many a local Dask cluster has without --workers."""
    check_options(args)
    if args.engine == "dask":
        from . import dask_engine  # only here: the default engine needs none of its modules

        with progress:
            sample, totals, sources, ends = dask_engine.sums(args.traces, args.scheduler, args.workers or workers,
                                                             progress)
    else:
        keep_as = None
        if args.db is not None:
            keep_as = outputs.Destination(args.db, "the database")
            keep_as.refuse_inputs(args.traces)
        with progress, database(keep_as) as path:
            sample, totals, sources, ends = sqlite_sums(args.traces, path, args.db or "in the temporary folder",
                                                        progress)
    result = merge_figures.figures(args.traces, sample, totals, sources, ends)
    print(json.dumps(result, indent=2) if args.json else merge_figures.as_text(result))
