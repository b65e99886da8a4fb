"""merge: chunk traces of one or many machines put into one store, as one
Tolvane run over all their files would have: global figures and, per trace,
the bytes only it holds and the bytes it shares with the others."""
import contextlib
import json
import os
import sqlite3

from . import leftovers, outputs, traces
from .chunk_store import ChunkStore
from .failures import OUTPUT_FAILED, Failure


def quotient(numerator, denominator):
    return numerator / denominator if denominator else None


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


def figures(store, trace_paths):
    chunks, distinct, total, unique = store.totals()
    sources = [{"trace": trace, "bytes": held, "bytes_only_here": alone, "bytes_shared": held - alone}
               for trace, (held, alone) in zip(trace_paths, store.sources())]
    return {"chunks": chunks, "distinct_chunks": distinct, "bytes": total, "unique_bytes": unique,
            "byte_dedup_ratio": quotient(total, unique), "chunk_dedup_ratio": quotient(chunks, distinct),
            "sources": sources}


def build(trace_paths, path, name, progress):
    store = ChunkStore(path, name)
    total = traces.ByteTotal()
    try:
        for trace in trace_paths:
            store.load(trace, traces.chunks(trace, total), lambda rows: progress.show("%d rows loaded" % rows))
        progress.show("%d rows loaded, aggregating" % store.loaded)
        store.aggregate()
        return figures(store, trace_paths)
    except sqlite3.Error as error:
        raise Failure("the database %s: %s" % (name, error), OUTPUT_FAILED)
    finally:
        store.close()


def as_text(result):
    def show(ratio):
        return "-" if ratio is None else "%.6f" % ratio

    lines = ["chunks             %d" % result["chunks"],
             "distinct chunks    %d" % result["distinct_chunks"],
             "bytes              %d" % result["bytes"],
             "unique bytes       %d" % result["unique_bytes"],
             "byte dedup ratio   %s" % show(result["byte_dedup_ratio"]),
             "chunk dedup ratio  %s" % show(result["chunk_dedup_ratio"]),
             "",
             "%15s %15s %15s  %s" % ("bytes", "only here", "shared", "trace")]
    for source in result["sources"]:
        lines.append("%15d %15d %15d  %s" % (source["bytes"], source["bytes_only_here"], source["bytes_shared"],
                                             source["trace"]))
    return "\n".join(lines)


def run(args, progress):
    keep_as = None
    if args.db is not None:
        keep_as = outputs.Destination(args.db, "the database")
        keep_as.refuse_inputs(args.traces)
    with progress, database(keep_as) as path:
        result = build(args.traces, path, args.db or "in the temporary folder", progress)
    print(json.dumps(result, indent=2) if args.json else as_text(result))
