"""sweep-tolvane: one Tolvane run per anchor-bit count (and per summary
vector size), over the same list of files."""
import contextlib
import os
import shutil
import sys
import tempfile

from . import outputs, parallel, plots, study, tools
from .failures import USAGE, Failure

# Tolvane's own limits on its numeric operands.
LARGEST_CHUNK_SIZE = 2**32 - 1
STATUS_SOME_FILE_UNREADABLE = 2  # Tolvane still prints its report


def chunk_limits(bits, args, sweep="sweep-tolvane"):
    """(min, max) chunk sizes of a run: --min/--max as given, else the
    average 2^bits divided and multiplied by the ratios. sweep names the
    subcommand in a refusal."""
    average = 2**bits
    low = args.min if args.min is not None else int(average / args.min_ratio)
    high = args.max if args.max is not None else int(average * args.max_ratio)
    if high > LARGEST_CHUNK_SIZE:
        raise Failure("%s: a maximum chunk size of %d at %d bits is above Tolvane's limit %d; lower "
                      "--max-ratio or --bits" % (sweep, high, bits, LARGEST_CHUNK_SIZE), USAGE)
    if low > high:
        raise Failure("%s: the minimum chunk size %d is above the maximum %d at %d bits"
                      % (sweep, low, high, bits), USAGE)
    return low, high


def plan(args):
    """The settings of every run: bits outer, summary vector size inner."""
    settings = []
    for bits in args.bits:
        low, high = chunk_limits(bits, args)
        for words in args.summary_words:
            settings.append({"bits": bits, "min_chunk_size": low, "max_chunk_size": high,
                             "window_size": args.window, "summary_vector_words": words})
    return settings


def command(tolvane, list_path, setting, threads, null_separated):
    return [tolvane, "--json", "--no-progress", "--threads", str(threads)] + (["--null"] if null_separated else []) + [
        "--", list_path, str(setting["min_chunk_size"]), str(setting["max_chunk_size"]), str(setting["bits"]),
        str(setting["window_size"]), str(setting["summary_vector_words"]), "y"]


def describe(setting):
    return "at %d bits, summary vector of %d words" % (setting["bits"], setting["summary_vector_words"])


@contextlib.contextmanager
def list_file(name):
    """The list to give every run: standard input ("-") can be read only
    once, so it is kept in a temporary file for the sweep."""
    if name != "-":
        yield name
        return
    with tempfile.TemporaryDirectory(prefix="dedupmeasure.") as folder:
        path = os.path.join(folder, "list")
        with open(path, "wb") as handle:
            shutil.copyfileobj(sys.stdin.buffer, handle)
        yield path


def warn_unreadable(finished_runs):
    """One warning per distinct complaint of runs that kept their report
    although some listed file could not be read."""
    complaints = {}
    for finished in finished_runs:
        if finished.status == STATUS_SOME_FILE_UNREADABLE:
            key = finished.why("Tolvane")
            complaints[key] = complaints.get(key, 0) + 1
    for why, count in complaints.items():
        print("dedupmeasure: warning: Tolvane exited with status %d in %d of %d runs, reports kept: %s"
              % (STATUS_SOME_FILE_UNREADABLE, count, len(finished_runs), why), file=sys.stderr)


def run(args, progress):
    tolvane = tools.find("Tolvane", args.bin)
    settings = plan(args)
    jobs = min(args.jobs, len(settings))
    threads = max(1, tools.cpu_count() // jobs)

    def check(index, finished):
        usable = finished.status in (0, STATUS_SOME_FILE_UNREADABLE) and finished.document() is not None
        if not usable:
            raise tools.failed("Tolvane", describe(settings[index]), finished)

    with list_file(args.list) as list_path:
        commands = [command(tolvane, list_path, setting, threads, args.null) for setting in settings]
        finished_runs = parallel.run_all(commands, jobs, check, progress)
    progress.erase()
    warn_unreadable(finished_runs)

    runs, rows = [], []
    for setting, finished in zip(settings, finished_runs):
        report = finished.document()
        if args.list == "-":
            report["list"] = "-"  # not the name of the sweep's temporary copy
        runs.append(dict(setting, threads=threads, command=finished.command, exit_status=finished.status,
                         messages=finished.messages("Tolvane"), report=report))
        rows.append(dict(report, bits=setting["bits"], exit_status=finished.status))
    columns = outputs.scalar_columns(rows, first=("bits", "exit_status"))
    document = {"tool": tolvane, "list": args.list, "runs": runs}
    return study.write(args.out, "tolvane", columns, rows, document, plots.tolvane_figure)
