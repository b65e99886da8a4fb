"""sweep-tolvane: one Tolvane run per anchor-bit count (and per summary
vector size), over the same list of files."""
import contextlib
import errno
import os
import shutil
import sys

from . import leftovers, outputs, parallel, plots, streams, study, tools
from .failures import BAD_INPUT, NOTHING_READ, USAGE, Failure

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


def command(tolvane, list_path, setting, threads, null_separated, sample=None):
    return [tolvane, "--json", "--no-progress", "--threads", str(threads)] + (["--null"] if null_separated else []) + (
        ["--sample", str(sample)] if sample else []) + [
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
    with leftovers.temporary_folder() as folder:
        path = os.path.join(folder, "list")
        try:
            if sys.stdin is None:
                raise OSError(errno.EBADF, os.strerror(errno.EBADF))
            with open(path, "wb") as handle:
                shutil.copyfileobj(sys.stdin.buffer, handle)
        except OSError as error:
            raise Failure("cannot read the list from standard input: %s" % (error.strerror or error), BAD_INPUT)
        yield path


def listed_paths(path, null_separated):
    """The entries of the list file at path (bytes), split as Tolvane splits
    them; none when it cannot be read (Tolvane then says why)."""
    separators = b"\0" if null_separated else b" \t\n\r\x0b\x0c"
    try:
        with open(path, "rb") as handle:
            rest = b""
            while True:
                block = handle.read(1 << 20)
                data = rest + block
                # The last entry of a block may go on in the next one.
                cut = max(data.rfind(separator) for separator in separators) if block else len(data)
                rest = data[cut + 1:]
                for entry in data[:max(cut, 0)].split(b"\0" if null_separated else None):
                    if entry:
                        yield entry
                if not block:
                    return
    except OSError:
        return


def warn_unreadable(finished_runs):
    """One warning per distinct complaint of runs that kept their report
    although some listed file could not be read."""
    complaints = {}
    for finished in finished_runs:
        if finished.status == STATUS_SOME_FILE_UNREADABLE:
            key = finished.why("Tolvane")
            complaints[key] = complaints.get(key, 0) + 1
    for why, count in complaints.items():
        streams.say("warning: Tolvane exited with status %d in %d of %d runs, reports kept: %s"
                    % (STATUS_SOME_FILE_UNREADABLE, count, len(finished_runs), why))


def read_something(finished):
    """True for a run that read its whole list, or at least one file of it."""
    return finished.status == 0 or any(entry.get("read") for entry in finished.document().get("files", []))


def sweep(args, progress, name, settings, command_of, describe_setting, figure, extra=None, first=("bits",),
          document_extra=None):
    """Runs Tolvane once per setting over the list and writes the study
    `name` (its CSV, JSON and figure). command_of(tolvane, list_path,
    setting, threads) is a run's command line; extra(setting, report) the
    columns a run adds to the report's; first the columns that lead."""
    tolvane = tools.find("Tolvane", args.bin)
    jobs = min(args.jobs, len(settings))
    threads = max(1, tools.cpu_count() // jobs)
    subcommand = "sweep-" + name

    def check(index, finished):
        usable = finished.status in (0, STATUS_SOME_FILE_UNREADABLE) and finished.document() is not None
        if not usable:
            raise tools.failed("Tolvane", describe_setting(settings[index]), finished)

    # Standard input is an input too when it holds the list.
    with study.planned(args.out, name, ["/dev/stdin" if args.list == "-" else args.list]) as files:
        with list_file(args.list) as list_path:
            files.refuse_listed(listed_paths(list_path, args.null), args.list)
            commands = [command_of(tolvane, list_path, setting, threads) for setting in settings]
            finished_runs = parallel.run_all(commands, jobs, check, progress)
        progress.erase()
        if not any(read_something(finished) for finished in finished_runs):
            raise Failure("%s: no run read any file of the list (Tolvane exited with status %d: %s)"
                          % (subcommand, finished_runs[0].status, finished_runs[0].why("Tolvane")), NOTHING_READ)
        warn_unreadable(finished_runs)

        runs, rows = [], []
        for setting, finished in zip(settings, finished_runs):
            report = finished.document()
            if args.list == "-":
                report["list"] = "-"  # not the name of the sweep's temporary copy
            more = extra(setting, report) if extra else {}
            runs.append(dict(setting, threads=threads, **more, command=finished.command,
                             exit_status=finished.status, messages=finished.messages("Tolvane"), report=report))
            rows.append(dict(report, bits=setting["bits"], **more, exit_status=finished.status))
        columns = outputs.scalar_columns(rows, first=tuple(first) + ("exit_status",))
        document = dict({"tool": tolvane, "list": args.list}, **(document_extra or {}), runs=runs)
        return files.write(columns, rows, document, figure)


def estimate_columns(setting, report):
    """A sampled run's estimates as columns: estimated_KEY, KEY_low, KEY_high."""
    columns = {}
    for key, estimate in report.get("estimates", {}).items():
        columns.update({"estimated_" + key: estimate["value"], key + "_low": estimate["low"],
                        key + "_high": estimate["high"]})
    return columns


def run(args, progress):
    sample = getattr(args, "sample", None)
    return sweep(args, progress, "tolvane", plan(args),
                 lambda tolvane, list_path, setting, threads: command(tolvane, list_path, setting, threads,
                                                                      args.null, sample),
                 describe, plots.tolvane_figure, extra=estimate_columns if sample else None,
                 document_extra={"sample": sample} if sample else None)
