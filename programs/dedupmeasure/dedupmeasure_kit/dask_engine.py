"""merge --engine dask: the traces merged on a Dask cluster, a running one
(--scheduler ADDRESS) or a local one of worker processes started for the
merge and shut down at its end, also when it fails or a signal comes.

The workers read the traces (so their paths must be ones every worker can
reach), each in pieces of a bounded size read one after the other; the rows,
SHA-1s as fixed-width integers, are shuffled by SHA-1 into partitions of a
bounded size (dask.dataframe's task shuffle: a worker spills to its disk what
its memory cannot hold), and each partition is summed on its own. The client
gets the sums of merge_figures only, and checks the refusals in the order
SQLite's merge meets them, so both engines refuse alike."""
import contextlib
import logging
import math
import os
import sys
import uuid
import warnings
import zipfile

from . import leftovers, traces
from .chunk_store import readable, two_sizes
from .failures import RUN_FAILED, TOOL_MISSING, Failure
from .merge_figures import SourceTotals, Totals

PACKAGES = ("python3-dask", "python3-distributed", "python3-pandas")
MISSING = ("the dask engine needs Debian's %s (%%s is missing): apt-get install %s; the default engine, sqlite, "
           "needs none of them" % (", ".join(PACKAGES), " ".join(PACKAGES)))
PIECE_BYTES = 64 << 20  # of a trace, read by one task
PIECE_VARIABLE = "DEDUPMEASURE_PIECE_BYTES"
ROWS_PER_PARTITION = 1 << 20
BYTES_PER_ROW = 64  # of a trace, about: the partitions are planned from the traces' sizes
CONNECT_SECONDS = 30
CLOSE_SECONDS = 20
QUIET = {"DASK_LOGGING__DISTRIBUTED": "critical", "PYTHONWARNINGS": "ignore"}


def require():
    """The modules the engine needs, or a Failure naming the packages."""
    for name, value in QUIET.items():  # for this process and the workers it starts
        os.environ.setdefault(name, value)
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            import dask.dataframe  # noqa: F401
            import distributed  # noqa: F401
            import numpy  # noqa: F401
            import pandas  # noqa: F401
    except ImportError as missing:
        raise Failure(MISSING % (missing.name or missing), TOOL_MISSING)
    logging.getLogger("distributed").setLevel(logging.CRITICAL)


def share_kit(client, folder):
    """Sends these modules to every worker of the cluster, and to every one
    that joins it during the merge; returns the name that withdraws them."""
    from distributed.diagnostics.plugin import UploadFile

    package = os.path.dirname(os.path.abspath(__file__))
    archive = os.path.join(folder, "dedupmeasure_kit_%s.zip" % uuid.uuid4().hex)  # never an older archive's name
    with zipfile.ZipFile(archive, "w") as zipped:
        for name in sorted(os.listdir(package)):
            if name.endswith(".py"):
                zipped.write(os.path.join(package, name), "dedupmeasure_kit/" + name)
    # A lambda is sent by value: a worker runs it whatever it imported. A kit
    # imported before, maybe older, gives way to the one sent.
    client.run(lambda: [sys.modules.pop(name) for name in list(sys.modules)
                        if name.split(".")[0] == "dedupmeasure_kit"])
    name = os.path.basename(archive)
    client.register_worker_plugin(UploadFile(archive), name=name)
    return name


def _close(client, cluster, plugin):
    with contextlib.suppress(Exception):
        if plugin is not None:
            client.unregister_worker_plugin(plugin)
    for closing in (client, cluster):
        if closing is not None:
            with contextlib.suppress(Exception):
                closing.close(timeout=CLOSE_SECONDS)


@contextlib.contextmanager
def connected(scheduler, workers, folder):
    """A Client of the cluster at scheduler, or of a new local cluster of
    workers processes (their files in folder), closed at the end."""
    import distributed

    made = {"client": None, "cluster": None, "plugin": None}
    token = leftovers.add(lambda: _close(made["client"], made["cluster"], made["plugin"]))
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            if scheduler is None:
                made["cluster"] = distributed.LocalCluster(
                    n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                    dashboard_address=":0", local_directory=folder, silence_logs=logging.CRITICAL)
                made["client"] = distributed.Client(made["cluster"], set_as_default=False)
            else:
                try:
                    made["client"] = distributed.Client(scheduler, timeout=CONNECT_SECONDS, set_as_default=False)
                except (OSError, ValueError, TypeError) as error:
                    raise Failure("cannot reach the Dask scheduler %s: %s" % (scheduler, error), RUN_FAILED)
                made["plugin"] = share_kit(made["client"], folder)
        yield made["client"]
    finally:
        _close(made["client"], made["cluster"], made["plugin"])
        leftovers.forget(token)


def cluster_failure(error):
    """The Failure for anything else the cluster raised (a worker lost too
    often, the scheduler gone): one line."""
    said = str(error).strip()
    why = said.splitlines()[0] if said else "no message"
    return Failure("the Dask cluster failed: %s: %s" % (type(error).__name__, why), RUN_FAILED)


def piece_bytes():
    text = os.environ.get(PIECE_VARIABLE, "")
    return int(text) if text.isdigit() and int(text) > 0 else PIECE_BYTES


def sums(trace_paths, scheduler, workers, progress):
    """(sample, Totals, [SourceTotals], ends) of the traces, as SQLite's
    merge gives them."""
    require()
    with leftovers.temporary_folder() as folder, connected(scheduler, workers, folder) as client:
        try:
            return _sums(client, trace_paths, progress)
        except Failure:
            raise
        except Exception as error:
            raise cluster_failure(error)


def _refuse(found):
    from .dask_tasks import Refusal

    if isinstance(found, Refusal):
        raise Failure(*found)


def _sums(client, trace_paths, progress):
    import dask
    import dask.dataframe
    import distributed

    from . import dask_tasks

    progress.show("reading the first lines of %d traces" % len(trace_paths))
    starts = client.gather(client.map(dask_tasks.start, trace_paths, pure=False))
    for start in starts:
        _refuse(start)
    sample = traces.common_sample(starts)

    step = piece_bytes()
    frames, chains = [], []
    for number, start in enumerate(starts):
        count = max(1, -(-start.size // step))
        before, chain = None, []
        for index in range(count):
            until = (index + 1) * step if index + 1 < count else None
            frame, before = dask.delayed(dask_tasks.read_piece, nout=2, pure=True)(start, number, until, before)
            frames.append(frame)
            chain.append(before)
        chains.append(chain)
    workers = len(client.scheduler_info()["workers"]) or 1
    partitions = max(workers, math.ceil(sum(start.size for start in starts) / BYTES_PER_ROW / ROWS_PER_PARTITION))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        rows = dask.dataframe.from_delayed(frames, meta=dask_tasks.empty_frame(), verify_meta=False)
        shuffled = rows.shuffle("h0", npartitions=partitions, shuffle="tasks", ignore_index=True)
        partials = [dask.delayed(dask_tasks.aggregate, pure=True)(part, len(starts)) for part in shuffled.to_delayed()]
        total = dask.delayed(dask_tasks.add_up, pure=True)(partials)
        pieces = [piece for chain in chains for piece in chain]
        futures = client.compute(pieces + [total])
    for done, _ in enumerate(distributed.as_completed(futures[:-1], loop=client.loop), 1):
        progress.show("%d of %d trace pieces read" % (done, len(pieces)))
    progress.show("%d trace pieces read, aggregating" % len(pieces))
    results = client.gather(futures)
    read, summed = results[:-1], results[-1]

    ended = []
    bytes_before = 0
    for start, chain in zip(starts, chains):
        before = None
        for piece in (read.pop(0) for _ in chain):
            if bytes_before + piece.bytes > traces.LARGEST:
                _refuse(client.gather(client.submit(dask_tasks.overflow, start, before, bytes_before, pure=False)))
                raise Failure("the sizes of %s pass %d bytes" % (start.path, traces.LARGEST), RUN_FAILED)
            bytes_before += piece.bytes
            _refuse(piece.failure)
            before = piece
        ended.append(before)
    if summed["clash"] is not None:
        sha1, size, other, holders = summed["clash"]
        raise two_sizes(sha1, size, other, list(dict.fromkeys(readable(trace_paths[n]) for n in holders)))
    totals = Totals(summed["rows"], summed["distinct"], summed["bytes"], summed["unique"], summed["unique_squares"],
                    summed["duplicate_squares"])
    sources = [SourceTotals(piece.tally.rows, piece.tally.bytes, summed["alone"][n], summed["alone_squares"][n],
                            summed["shared"][n], summed["shared_squares"][n]) for n, piece in enumerate(ended)]
    return sample, totals, sources, [piece.end for piece in ended]
