"""sweep-sha: one sha run per chunk size over the same file, begin and end
offsets 0."""
from . import outputs, parallel, plots, study, tools
from .failures import USAGE, Failure


def check_sizes(chunk_sizes, window):
    """sha needs every chunk at least as long as the window: a sweep with a
    smaller chunk size is refused before any run."""
    too_small = [size for size in chunk_sizes if size < window]
    if too_small:
        raise Failure("sweep-sha: chunk size %d is smaller than the window of %d bytes; drop it from --chunk-sizes "
                      "or give a window of at most %d with --window" % (too_small[0], window, min(chunk_sizes)),
                      USAGE)


def ratio(numerator, denominator):
    return numerator / denominator if denominator else None


def derived(report):
    """Figures the picture shows that sha does not print."""
    return {"near_empty_share": ratio(report["near_empty_chunks"], report["chunks"]),
            "windows_per_compared_chunk": ratio(report["windows"], report["window_lists"])}


def run(args, progress):
    sha = tools.find("sha", args.bin)
    check_sizes(args.chunk_sizes, args.window)
    jobs = min(args.jobs, len(args.chunk_sizes))
    threads = max(1, tools.cpu_count() // jobs)
    commands = [[sha, "--json", "--no-progress", "--threads", str(threads), "--", args.file, str(size),
                 str(args.window), "0", "0"] for size in args.chunk_sizes]

    def check(index, finished):
        if finished.status != 0 or finished.document() is None:
            raise tools.failed("sha", "at chunk size %d" % args.chunk_sizes[index], finished)

    with study.planned(args.out, "sha", [args.file]) as files:
        finished_runs = parallel.run_all(commands, jobs, check, progress)
        progress.erase()

        runs, rows = [], []
        for size, finished in zip(args.chunk_sizes, finished_runs):
            report = finished.document()
            extra = derived(report)
            runs.append({"chunk_size": size, "window_size": args.window, "threads": threads,
                         "command": finished.command, "report": report, "derived": extra})
            rows.append(dict(report, **extra))
        columns = outputs.scalar_columns(rows)
        document = {"tool": sha, "file": args.file, "runs": runs}
        return files.write(columns, rows, document, plots.sha_figure)
