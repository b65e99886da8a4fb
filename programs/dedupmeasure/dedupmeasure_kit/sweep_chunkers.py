"""sweep-chunkers: one Tolvane run per chunker and per anchor-bit count (all
with the same --compress, when given), over the same list of files: the
chunkers side by side on the same data."""
import argparse

from . import outputs, parallel, plots_chunkers, study, sweep_tolvane, tools
from .failures import USAGE, Failure

CHUNKERS = ("rabin", "gear", "fastcdc", "fixed")
SUMMARY_WORDS = 3125  # Tolvane's default: the chunking does not depend on it


def chunker_list(text):
    """A comma-separated list of chunker names, each once."""
    names = text.split(",")
    unknown = [name for name in names if name not in CHUNKERS]
    if unknown:
        raise argparse.ArgumentTypeError("unknown chunker %s (known: %s)" % (", ".join(unknown), ", ".join(CHUNKERS)))
    return list(dict.fromkeys(names))


def compression(text):
    """zstd, zstd:LEVEL (LEVEL from -131072 to 22), lz4 or none, as Tolvane
    takes them."""
    codec, colon, level = text.partition(":")
    if (codec in ("lz4", "none") and not colon) or (codec == "zstd" and not colon):
        return text
    if codec == "zstd" and level.lstrip("-").isdigit() and -131072 <= int(level) <= 22:
        return text
    raise argparse.ArgumentTypeError("%r is no codec: zstd, zstd:LEVEL with a LEVEL from -131072 to 22, lz4 or none" % text)


def plan(args):
    """The settings of every run: chunkers outer, bits inner."""
    settings = []
    for chunker in args.chunkers:
        for bits in args.bits:
            low, high = sweep_tolvane.chunk_limits(bits, args, "sweep-chunkers")
            settings.append({"chunker": chunker, "bits": bits, "min_chunk_size": low, "max_chunk_size": high,
                             "window_size": args.window, "summary_vector_words": SUMMARY_WORDS})
    return settings


def command(tolvane, list_path, setting, threads, args):
    line = sweep_tolvane.command(tolvane, list_path, setting, threads, args.null)
    extra = ["--chunker", setting["chunker"]] + (["--compress", args.compress] if args.compress else [])
    return line[:1] + extra + line[1:]


def describe(setting):
    return "%s at %d bits" % (setting["chunker"], setting["bits"])


def throughput(report):
    """Megabytes (10^6 bytes) read per second of the run's own time."""
    seconds = report.get("seconds")
    return report["byte_count"] / seconds / 1e6 if seconds else None


def run(args, progress):
    tolvane = tools.find("Tolvane", args.bin)
    if not args.chunkers:
        raise Failure("sweep-chunkers: no chunker to run", USAGE)
    settings = plan(args)
    jobs = min(args.jobs, len(settings))
    threads = max(1, tools.cpu_count() // jobs)

    def check(index, finished):
        usable = finished.status in (0, sweep_tolvane.STATUS_SOME_FILE_UNREADABLE) and finished.document() is not None
        if not usable:
            raise tools.failed("Tolvane", describe(settings[index]), finished)

    with sweep_tolvane.list_file(args.list) as list_path:
        commands = [command(tolvane, list_path, setting, threads, args) for setting in settings]
        finished_runs = parallel.run_all(commands, jobs, check, progress)
    progress.erase()
    sweep_tolvane.warn_unreadable(finished_runs)

    runs, rows = [], []
    for setting, finished in zip(settings, finished_runs):
        report = finished.document()
        if args.list == "-":
            report["list"] = "-"  # not the name of the sweep's temporary copy
        speed = throughput(report)
        runs.append(dict(setting, threads=threads, throughput_mb_per_s=speed, command=finished.command,
                         exit_status=finished.status, messages=finished.messages("Tolvane"), report=report))
        rows.append(dict(report, bits=setting["bits"], throughput_mb_per_s=speed, exit_status=finished.status))
    columns = outputs.scalar_columns(rows, first=("chunker", "bits", "throughput_mb_per_s", "exit_status"))
    document = {"tool": tolvane, "list": args.list, "compress": args.compress or "none", "runs": runs}
    return study.write(args.out, "chunkers", columns, rows, document, plots_chunkers.chunkers_figure)
