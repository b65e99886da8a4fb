"""The command line: subcommands, their options and what a failure prints."""
import argparse

from . import leftovers, merge, streams, sweep_chunkers, sweep_sha, sweep_tolvane, tools, version
from .failures import SUCCESS, USAGE, Failure
from .progress import Progress

# The ranges Tolvane and sha accept.
MAX_ANCHOR_BITS = 32
MAX_WINDOW = 65535
MAX_SUMMARY_WORDS = 134217727
DEFAULT_SUMMARY_WORDS = 3125
DEFAULT_CHUNK_SIZES = [2**k for k in range(9, 17)]  # 512 .. 65536
MAX_SAMPLE = 2**20


class Parser(argparse.ArgumentParser):
    """argparse, with a bad argument told in one line that begins with the
    command's name, as every other message."""

    def error(self, message):
        raise Failure("%s (see %s --help)" % (message, self.prog), USAGE)


def whole_number(low, high=None):
    def parse(text):
        try:
            value = int(text)
        except ValueError:
            raise argparse.ArgumentTypeError("%r is no whole number" % text)
        if value < low or (high is not None and value > high):
            limit = "from %d to %d" % (low, high) if high is not None else "at least %d" % low
            raise argparse.ArgumentTypeError("%s must be %s" % (text, limit))
        return value
    return parse


def number_list(low, high=None, ranges=False):
    """A comma-separated list of whole numbers; with ranges, A-B stands for
    every number from A to B."""
    number = whole_number(low, high)

    def parse(text):
        values = []
        for part in text.split(","):
            first, dash, last = part.partition("-")
            if dash and ranges:
                start, stop = number(first), number(last)
                if stop < start:
                    raise argparse.ArgumentTypeError("the range %s is empty" % part)
                values.extend(range(start, stop + 1))
            else:
                values.append(number(part))
        return list(dict.fromkeys(values))  # each setting once
    return parse


def power_of_two(high):
    number = whole_number(1, high)

    def parse(text):
        value = number(text)
        if value & (value - 1):
            raise argparse.ArgumentTypeError("%s is no power of two" % text)
        return value
    return parse


def positive_ratio(text):
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError("%r is no number" % text)
    if not value > 0 or value == float("inf"):
        raise argparse.ArgumentTypeError("the ratio must be above 0, not %s" % text)
    return value


def add_common(parser, default_bin):
    parser.add_argument("-o", "--out", metavar="DIR", required=True, help="folder for the CSV, JSON and PNG files")
    parser.add_argument("--jobs", metavar="J", type=whole_number(1), default=tools.cpu_count(),
                        help="runs at a time (default: the CPUs, %(default)s); each run gets CPUs / J threads")
    parser.add_argument("--bin", metavar="DIR", default=default_bin,
                        help="folder of the installed tools (default: the folder of dedupmeasure%s)"
                        % ("" if default_bin else "; PATH from a source tree"))


def add_chunk_limits(parser):
    """The chunk size limits and window of the Tolvane sweeps."""
    parser.add_argument("--min-ratio", metavar="R", type=positive_ratio, default=8.0,
                        help="minimum chunk size = 2^bits / R (default 8)")
    parser.add_argument("--max-ratio", metavar="R", type=positive_ratio, default=8.0,
                        help="maximum chunk size = 2^bits * R (default 8)")
    parser.add_argument("--min", metavar="N", type=whole_number(0, 2**32 - 1),
                        help="the same minimum chunk size for every run, instead of --min-ratio")
    parser.add_argument("--max", metavar="N", type=whole_number(0, 2**32 - 1),
                        help="the same maximum chunk size for every run, instead of --max-ratio")
    parser.add_argument("--window", metavar="W", type=whole_number(1, MAX_WINDOW), default=48,
                        help="sliding window of the rolling fingerprint (default 48)")


def build_parser(default_bin):
    parser = Parser(prog="dedupmeasure", description="Studies of deduplication: sweeps of Tolvane and sha over "
                    "their settings, drawn as plots, and chunk traces of many machines merged into one store.")
    parser.add_argument("--version", action="store_true", help="print the version and exit")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", parser_class=Parser)

    tolvane = commands.add_parser("sweep-tolvane", help="one Tolvane run per average chunk size (and summary "
                                  "vector size)", description="One Tolvane run per anchor-bit count over the "
                                  "files of LIST: dedup ratios, index size and chunk sizes against the average "
                                  "chunk size; with several --summary-words, false positives and lookups too.")
    tolvane.add_argument("list", metavar="LIST", help="list file of paths separated by white space; - reads it "
                         "from standard input")
    add_common(tolvane, default_bin)
    tolvane.add_argument("--bits", type=number_list(0, MAX_ANCHOR_BITS, ranges=True), default=list(range(9, 17)),
                         help="anchor bits, average chunk size 2^bits: A-B, or a list such as 10,12,14 "
                         "(default 9-16)")
    add_chunk_limits(tolvane)
    tolvane.add_argument("--summary-words", metavar="N", nargs="+", action="extend",
                         type=number_list(1, MAX_SUMMARY_WORDS),
                         help="summary vector sizes in 32-bit words, one run per bits and size (default 3125)")
    tolvane.add_argument("--null", action="store_true", help="LIST entries are separated by NUL bytes "
                         "(find -print0)")
    tolvane.add_argument("--sample", metavar="N", type=power_of_two(MAX_SAMPLE),
                         help="every run samples 1 chunk in N by its SHA-1 (Tolvane --sample N, N a power of two up "
                         "to %d): estimates with their 95 %%%% intervals, drawn as error bars" % MAX_SAMPLE)

    chunkers = commands.add_parser("sweep-chunkers", help="one Tolvane run per chunker (and average chunk "
                                   "size)", description="One Tolvane run per chunker and anchor-bit count over the "
                                   "files of LIST: dedup ratio against the average chunk size for each chunker, "
                                   "the throughput of each run and the chunk-size histograms side by side; with "
                                   "--compress, the data reduction ratio too.")
    chunkers.add_argument("list", metavar="LIST", help="list file of paths separated by white space; - reads it "
                          "from standard input")
    add_common(chunkers, default_bin)
    chunkers.add_argument("--chunkers", metavar="NAMES", type=sweep_chunkers.chunker_list,
                          default=list(sweep_chunkers.CHUNKERS),
                          help="the chunkers to run, comma-separated (default rabin,gear,fastcdc,fixed)")
    chunkers.add_argument("--bits", type=number_list(0, MAX_ANCHOR_BITS, ranges=True), default=list(range(9, 17)),
                          help="anchor bits, average chunk size 2^bits: A-B, or a list (default 9-16)")
    chunkers.add_argument("--compress", metavar="CODEC", type=sweep_chunkers.compression,
                          help="compress the stored chunks of every run: zstd, zstd:LEVEL, lz4 or none (default)")
    add_chunk_limits(chunkers)
    chunkers.add_argument("--null", action="store_true", help="LIST entries are separated by NUL bytes "
                          "(find -print0)")

    sha = commands.add_parser("sweep-sha", help="one sha run per chunk size",
                              description="One sha run per chunk size over FILE (begin and end offsets 0): the "
                              "share of near-empty chunks, the distinct near-empty fingerprints and the windows "
                              "per compared chunk against the chunk size.")
    sha.add_argument("file", metavar="FILE", help="the file (a disk image, say) to measure")
    add_common(sha, default_bin)
    sha.add_argument("--chunk-sizes", metavar="N,N,...", type=number_list(1), default=DEFAULT_CHUNK_SIZES,
                     help="chunk sizes in bytes (default 512,1024,...,65536); none may be below the window")
    sha.add_argument("--window", metavar="W", type=whole_number(1), default=64,
                     help="window of the window-by-window comparison (default 64)")

    merged = commands.add_parser("merge", help="merge Tolvane chunk traces into one store's figures",
                                 description="Chunk traces of Tolvane (--trace FILE), from one or many machines, "
                                 "merged by SQLite on this machine or on a Dask cluster: the figures of one store "
                                 "holding every chunk, and per trace the bytes only it holds and the bytes it "
                                 "shares; for sampled traces (Tolvane --sample N), estimates of them with their "
                                 "95 % intervals. With --engine dask the workers read the traces: give paths every "
                                 "worker can reach (a shared file system).")
    merged.add_argument("traces", metavar="TRACE", nargs="+", help="a trace written by Tolvane --trace")
    merged.add_argument("--engine", choices=("sqlite", "dask"), default="sqlite",
                        help="sqlite: a database on this machine (default); dask: a Dask cluster (Debian's "
                        "python3-dask, python3-distributed and python3-pandas)")
    merged.add_argument("--scheduler", metavar="ADDRESS", help="with --engine dask: join the cluster of this "
                        "scheduler (tcp://HOST:PORT), whose workers can all read the traces at the paths given")
    merged.add_argument("--workers", metavar="N", type=whole_number(1), help="with --engine dask and no "
                        "--scheduler: the worker processes of the local cluster started for the merge (default: "
                        "the CPUs, %d)" % tools.cpu_count())
    merged.add_argument("--db", metavar="FILE", help="keep the SQLite database as FILE (replaced if it exists)")
    merged.add_argument("--json", action="store_true", help="print the figures as one JSON document")
    return parser


def dispatch(args):
    progress = Progress()
    token = leftovers.add(progress.erase)
    try:
        if args.command == "sweep-tolvane":
            # Each --summary-words value is a comma list of its own.
            groups = args.summary_words or [[DEFAULT_SUMMARY_WORDS]]
            args.summary_words = list(dict.fromkeys(words for group in groups for words in group))
            written = sweep_tolvane.run(args, progress)
        elif args.command == "sweep-chunkers":
            written = sweep_chunkers.run(args, progress)
        elif args.command == "sweep-sha":
            written = sweep_sha.run(args, progress)
        else:
            merge.run(args, progress, tools.cpu_count())
            return
    finally:
        progress.erase()
        leftovers.forget(token)
    for path in written:
        print(path)


def main(argv=None, installed_version=None, bin_dir=None):
    """Runs the command; returns its exit status. bin_dir: the folder of the
    installed tools (the entry script's own), None to use PATH. SIGINT,
    SIGTERM and SIGHUP end it by the signal, once what it made is undone."""
    leftovers.catch_signals()
    try:
        streams.prepare()
        parser = build_parser(bin_dir)
        try:
            args = parser.parse_args(argv)
        except SystemExit as done:  # --help was printed
            streams.flush()
            return done.code
        if args.version:
            print("dedupmeasure %s" % version.resolve(installed_version))
        elif args.command is None:
            parser.error("a subcommand is needed: sweep-tolvane, sweep-chunkers, sweep-sha or merge")
        else:
            dispatch(args)
        streams.flush()
    except Failure as failure:
        streams.say(str(failure))
        return failure.status
    finally:
        leftovers.tidy()
    return SUCCESS
