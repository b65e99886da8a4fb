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
import hashlib
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
# What a worker of the local cluster keeps in memory: beyond about 60 % of it
# it spills to its folder on disk, at 80 % it waits for that; never is it
# ended for its memory, which would lose its work.
WORKER_MEMORY = 1 << 30
CONNECT_SECONDS = 10
ARCHIVE_TIME = (1980, 1, 1, 0, 0, 0)
CLOSE_SECONDS = 20
QUIET = {"DASK_LOGGING__DISTRIBUTED": "critical", "PYTHONWARNINGS": "ignore"}


def require():
    """The modules the engine needs, or a Failure naming the packages."""
    for name, value in QUIET.items():  # for this process and the workers it starts
        os.environ.setdefault(name, value)
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            # Those dask.dataframe needs first: it would not name them.
            import numpy  # noqa: F401
            import pandas  # noqa: F401
            import dask  # noqa: F401
            import distributed  # noqa: F401
            import dask.dataframe  # noqa: F401
    except ImportError as missing:
        raise Failure(MISSING % (missing.name or "a module").split(".")[0], TOOL_MISSING)
    # Their messages are not the command's: asyncio's about a future left
    # behind as a connection closes, say.
    for name in ("distributed", "asyncio", "tornado"):
        logging.getLogger(name).addHandler(logging.NullHandler())
        logging.getLogger(name).propagate = False
        logging.getLogger(name).setLevel(logging.CRITICAL + 1)


def kit_archive(folder):
    """(a zip archive in folder of these modules, their digest). The archive's
    name is new, its digest in it: a worker never has an upload rewritten
    under it while another merge of the same kit reads it."""
    package = os.path.dirname(os.path.abspath(__file__))
    sources = {}
    for name in sorted(os.listdir(package)):
        if name.endswith(".py"):
            with open(os.path.join(package, name), "rb") as source:
                sources[name] = source.read()
    digest = hashlib.sha1(b"".join(name.encode() + b"\0" + text + b"\0" for name, text in sources.items()))
    kit = "dedupmeasure_kit_%s" % digest.hexdigest()[:20]
    archive = os.path.join(folder, "%s_%s.zip" % (kit, uuid.uuid4().hex[:12]))
    with zipfile.ZipFile(archive, "w") as zipped:
        for name, text in sources.items():
            zipped.writestr(zipfile.ZipInfo("dedupmeasure_kit/" + name, date_time=ARCHIVE_TIME), text)
    return archive, kit


def share_kit(client, folder):
    """Sends these modules to every worker of the cluster, and to every one
    that joins it during the merge; returns the plugin that does it, to
    withdraw at the end."""
    from distributed.diagnostics.plugin import UploadFile

    archive, kit = kit_archive(folder)
    plugin = os.path.basename(archive)
    client.register_worker_plugin(UploadFile(archive), name=plugin)

    # Sent by value (a nested function), so that a worker runs it whatever it
    # imported: the modules of another kit, imported before, give way to these;
    # those of the same kit, another merge's maybe, stay.
    def settle():
        import importlib

        def ours(module):
            return getattr(module, "__name__", "").split(".")[0] == "dedupmeasure_kit"

        sys.path[:] = [path for path in sys.path
                       if not os.path.basename(path).startswith("dedupmeasure_kit_") or path.endswith(plugin)]
        if any(kit not in (getattr(module, "__file__", None) or "") for module in sys.modules.values()
               if ours(module)):
            for module in [module for module in sys.modules.values() if ours(module)]:
                del sys.modules[module.__name__]
        return importlib.import_module("dedupmeasure_kit.dask_tasks").__file__

    for worker, loaded in client.run(settle).items():
        if kit not in loaded:
            raise Failure("the Dask worker %s runs the modules of %s, not those sent" % (worker, loaded), RUN_FAILED)
    return plugin


def _close(client, cluster, plugin):
    if plugin is not None:
        with contextlib.suppress(Exception):
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
                import dask

                dask.config.set({"distributed.worker.memory.terminate": False})
                made["cluster"] = distributed.LocalCluster(
                    n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                    dashboard_address=":0", local_directory=folder, silence_logs=logging.CRITICAL,
                    memory_limit=WORKER_MEMORY)
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
    try:
        with leftovers.temporary_folder() as folder, connected(scheduler, workers, folder) as client:
            return _sums(client, trace_paths, progress)
    except Failure:
        raise
    except Exception as error:
        raise cluster_failure(error)


def _refuse(refusal):
    if refusal is not None:
        raise Failure(*refusal)


def _sums(client, trace_paths, progress):
    import dask
    import dask.dataframe
    import distributed

    from . import dask_tasks

    progress.show("reading the first lines of %d traces" % len(trace_paths))
    # The workers open the paths as this command sees them; messages name them as given.
    starts = client.gather(client.map(dask_tasks.start, [os.path.abspath(path) for path in trace_paths], trace_paths,
                                      pure=False))
    for _, refusal in starts:
        _refuse(refusal)
    starts = [start for start, _ in starts]
    sample = traces.common_sample(starts)

    step = piece_bytes()
    frames, chains = [], []
    for number, start in enumerate(starts):
        count = max(1, -(-start.size // step))
        before, chain = None, []
        for index in range(count):
            until = (index + 1) * step if index + 1 < count else None
            frame, before = dask.delayed(dask_tasks.read_piece, nout=2, pure=False)(start, number, until, before)
            frames.append(frame)
            chain.append(before)
        chains.append(chain)
    workers = len(client.scheduler_info()["workers"]) or 1
    partitions = max(workers, math.ceil(sum(start.size for start in starts) / BYTES_PER_ROW / ROWS_PER_PARTITION))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        rows = dask.dataframe.from_delayed(frames, meta=dask_tasks.empty_frame(), verify_meta=False)
        shuffled = rows.shuffle("h0", npartitions=partitions, shuffle="tasks", ignore_index=True)
        partials = [dask.delayed(dask_tasks.aggregate, pure=False)(part, len(starts)) for part in shuffled.to_delayed()]
        total = dask.delayed(dask_tasks.add_up, pure=False)(partials)
        pieces = [piece for chain in chains for piece in chain]
        futures = client.compute(pieces + [total])
    for done, _ in enumerate(distributed.as_completed(futures[:-1], loop=client.loop), 1):
        progress.show("%d of %d trace pieces read" % (done, len(pieces)))
    progress.show("%d trace pieces read, aggregating" % len(pieces))
    results = client.gather(futures)
    read, summed = iter(results[:-1]), results[-1]

    ended = []
    bytes_before = 0
    for start, chain in zip(starts, chains):
        before = None
        for piece in (next(read) for _ in chain):
            if bytes_before + piece.bytes > traces.LARGEST:
                _refuse(client.submit(dask_tasks.overflow, start, before, bytes_before, pure=False).result())
                raise Failure("the sizes of %s pass %d bytes" % (start.name, traces.LARGEST), RUN_FAILED)
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
