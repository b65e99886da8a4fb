"""sweep-chunkers: one Tolvane run per chunker and per anchor-bit count (all
with the same --compress, when given), over the same list of files: the
chunkers side by side on the same data."""
import argparse

from . import plots_chunkers, sweep_tolvane
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
    if not args.chunkers:
        raise Failure("sweep-chunkers: no chunker to run", USAGE)
    return sweep_tolvane.sweep(
        args, progress, "chunkers", plan(args),
        lambda tolvane, list_path, setting, threads: command(tolvane, list_path, setting, threads, args),
        describe, plots_chunkers.chunkers_figure,
        extra=lambda setting, report: {"throughput_mb_per_s": throughput(report)},
        first=("chunker", "bits", "throughput_mb_per_s"), document_extra={"compress": args.compress or "none"})
