#!/usr/bin/env python3
"""How close Tolvane --sample N comes to the exact run, measured.

Writes data sets of a known duplication structure (random blocks repeated whole
and from shifted offsets, of many sizes, some copies edited, some runs of one
byte value, spread over a few files, a different mix in each), one data set at a
time in a temporary folder emptied before the next, runs Tolvane on each exactly
and with --sample N, and reports:
  A1  coverage: per N from 2 to 1024, the share of data sets whose 95 % interval
      of unique bytes holds the exact unique bytes (at least 93 %);
  A2  on large data sets at N = 64 (100 000 or more distinct sampled chunks):
      the share whose unique-bytes estimate is within 1 % of the exact figure
      (at least 95 %);
  M4  on 8 GiB of random data with 1 KiB chunks: the peak memory --sample 64
      adds over an empty run, against what the exact run adds (at most 1/32),
      and the same for the store alone (M4s: over a run of the same data
      sampled 1 in 2^20, whose store holds a handful of fingerprints);
  S2  --sample 64 against the exact run on that data, median times (at most 1);
      S3 the median of the same ratio over the large data sets (small chunks).
It draws the relative error against N with the intervals (with Debian's
/usr/bin/python3 and matplotlib) and keeps every figure in a JSON file.
bench/run runs it as its last case; run alone, it builds the release preset
unless given --tolvane. Exit status: 0 when every target is met, 1 otherwise or when a command fails.
With --smoke the data is tiny and no target is judged.
"""
import argparse
import importlib.machinery
import importlib.util
import json
import math
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, replace
from pathlib import Path

import scale_cases

ROOT = Path(__file__).resolve().parent.parent

KiB, MiB, GiB = 1 << 10, 1 << 20, 1 << 30
# Small chunks (47 bytes on average), so that a few hundred MiB give millions.
CHUNKING = ["16", "1024", "5", "48", "3125", "y"]
# 1 KiB chunks for the memory and speed cases, as the other cases at scale.
MEMORY_CHUNKING = scale_cases.SMALL_CHUNKS
SAMPLES = [1 << k for k in range(11)]  # 1 to 1024
LARGE_SAMPLE = 64
LARGE_SAMPLED_CHUNKS = 100_000
NEAR_EMPTY_SAMPLE = 1 << 20
COVERAGE_TARGET = 0.93
WITHIN = 0.01  # relative error of A2
WITHIN_TARGET = 0.95
MEMORY_TARGET = 1 / 32
SPEED_TARGET = 1.0


@dataclass(frozen=True)
class Scale:
    coverage_sets: int
    coverage_mib: tuple  # fresh random bytes of a coverage data set, MiB: (low, high), log-uniform
    large_sets: int
    large_mib: tuple     # the same for a large data set, uniform
    memory_gib: float
    repeat: int


FULL = Scale(coverage_sets=200, coverage_mib=(8, 64), large_sets=200, large_mib=(320, 380), memory_gib=8, repeat=5)
SMOKE = Scale(coverage_sets=3, coverage_mib=(0.25, 1), large_sets=1, large_mib=(2, 2), memory_gib=1 / 64, repeat=1)


# ---------------------------------------------------------------- data sets

class Keystream:
    """Random bytes that a seed reproduces: AES-128-CTR of zeros (openssl), as fast
    as the pipe carries them."""

    def __init__(self, key):
        self.process = subprocess.Popen(
            ["openssl", "enc", "-aes-128-ctr", "-nosalt", "-K", key, "-iv", "0" * 32, "-in", "/dev/zero"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def read(self, size):
        data = self.process.stdout.read(size)
        if len(data) != size:
            raise CommandFailed("openssl enc -aes-128-ctr ended before giving the random bytes asked for")
        return data

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.process.kill()
        self.process.wait()
        self.process.stdout.close()


def log_uniform(rng, low, high):
    return int(math.exp(rng.uniform(math.log(low), math.log(high))))


def draw_mix(rng, most_duplicated):
    """The duplication structure of one data set."""
    return dict(files=rng.randint(1, 8), duplicate_share=rng.uniform(0.05, most_duplicated),
                largest_fresh_block=log_uniform(rng, 16 * KiB, 8 * MiB),
                largest_shifted_copy=log_uniform(rng, 4 * KiB, 16 * MiB),
                whole_share=rng.random(), edited_share=rng.uniform(0, 0.5),
                fill_share=rng.uniform(0, 0.03), popularity_skew=rng.uniform(1, 4),
                file_listed_twice=rng.random() < 0.15)


def edit(piece, rng, stream, counts):
    """A few small changes: bytes replaced, inserted or removed."""
    for _ in range(rng.randint(1, 8)):
        at, size, kind = rng.randrange(len(piece) + 1), rng.randint(1, 32), rng.randrange(3)
        if kind == 0:
            piece[at:at + size] = stream.read(size)
        elif kind == 1:
            piece[at:at] = stream.read(size)
        else:
            del piece[at:at + size]
        counts["edits"] += 1


def generate(rng, fresh_bytes, mix, stream):
    """The bytes of one data set and what they are made of. Until fresh_bytes of
    fresh random blocks are written, each step adds a fresh block, a copy of
    earlier bytes (the duplicate share of the data), or a run of one byte value.
    A copy is either a whole earlier block (fresh or copied; early blocks far
    more often, so some are copied many times) or any range from a shifted
    offset; some copies are edited."""
    data = bytearray()
    blocks = []  # (start, size) of every block written
    counts = dict(fresh_bytes=0, fresh_blocks=0, whole_copies=0, whole_bytes=0, shifted_copies=0,
                  shifted_bytes=0, edited_copies=0, edits=0, fills=0, fill_bytes=0)
    while counts["fresh_bytes"] < fresh_bytes:
        copied = counts["whole_bytes"] + counts["shifted_bytes"]
        if blocks and rng.random() < mix["fill_share"]:
            size = log_uniform(rng, 64, 256 * KiB)
            data += bytes([rng.randrange(256)]) * size
            counts["fills"] += 1
            counts["fill_bytes"] += size
            continue
        start = len(data)
        if blocks and copied < mix["duplicate_share"] * len(data):
            if rng.random() < mix["whole_share"]:
                source, size = blocks[int(len(blocks) * rng.random() ** mix["popularity_skew"])]
                kind = "whole"
            else:
                size = min(log_uniform(rng, 16, mix["largest_shifted_copy"]), len(data))
                source, kind = rng.randrange(len(data) - size + 1), "shifted"
            piece = data[source:source + size]
            if rng.random() < mix["edited_share"]:
                edit(piece, rng, stream, counts)
                counts["edited_copies"] += 1
            counts[f"{kind}_copies"] += 1
            counts[f"{kind}_bytes"] += len(piece)
            data += piece
        else:
            size = min(log_uniform(rng, 64, mix["largest_fresh_block"]), fresh_bytes - counts["fresh_bytes"])
            data += stream.read(max(size, 1))
            counts["fresh_bytes"] += max(size, 1)
            counts["fresh_blocks"] += 1
        blocks.append((start, len(data) - start))
    return data, counts


def write_data_set(folder, rng, fresh_bytes, most_duplicated):
    """Writes one data set into folder, cut into files; returns its list file and
    its description."""
    mix = draw_mix(rng, most_duplicated)
    with Keystream("%032x" % rng.getrandbits(128)) as stream:
        data, counts = generate(rng, fresh_bytes, mix, stream)
    cuts = [0] + sorted(rng.sample(range(1, len(data)), min(mix["files"] - 1, len(data) - 1))) + [len(data)]
    paths, view = [], memoryview(data)
    for number, (begin, end) in enumerate(zip(cuts, cuts[1:])):
        paths.append(folder / f"part{number}")
        paths[-1].write_bytes(view[begin:end])
    if mix["file_listed_twice"]:
        paths.append(rng.choice(paths))
    listing = folder / "list.txt"
    listing.write_text("".join(f"{path}\n" for path in paths))
    return listing, dict(mix, **counts, bytes=len(data), listed_files=len(paths))


# ---------------------------------------------------------------- runs

def sampled_figures(report, seconds):
    estimate = report["estimates"]["unique_bytes"]
    return dict(value=estimate["value"], low=estimate["low"], high=estimate["high"],
                distinct_sampled_chunks=report["distinct_sampled_chunks"], seconds=seconds)


class Runs:
    """Tolvane's runs, through bench/run's helpers (bench: that module)."""

    def __init__(self, bench, tolvane, scratch):
        self.bench, self.tolvane, self.scratch = bench, tolvane, scratch

    def report(self, options, listing):
        """Tolvane's JSON report on the data set's chunking, and the run's wall time."""
        path = self.scratch / "report.json"
        seconds = self.bench.run_once([self.tolvane, "--json", *options, str(listing), *CHUNKING], self.scratch, path)
        return json.loads(path.read_text()), seconds

    def data_set(self, listing, samples):
        """The exact figures and, for every N, the estimate of unique bytes with
        its interval. --sample 1 must give the exact report itself."""
        exact, exact_seconds = self.report([], listing)
        figures = dict(unique_bytes=exact["unique_bytes"], chunks_stored=exact["chunks_stored"],
                       original_chunks=exact["original_chunks"], seconds=exact_seconds, samples={})
        for n in samples:
            report, seconds = self.report(["--sample", str(n)], listing)
            if n > 1:
                figures["samples"][n] = sampled_figures(report, seconds)
                continue
            without_time = lambda r: {key: value for key, value in r.items() if key != "seconds"}
            if without_time(report) != without_time(exact):
                raise self.bench.CommandFailed(f"Tolvane --sample 1 on {listing} does not report what the exact "
                                               "run does")
            figures["samples"][1] = dict(value=exact["unique_bytes"], low=exact["unique_bytes"],
                                         high=exact["unique_bytes"], distinct_sampled_chunks=exact["chunks_stored"],
                                         seconds=seconds)
        return figures

    def data_sets(self, kind, count, mib, samples, seed, draw_size, most_duplicated):
        """Writes, measures and removes count data sets one after another: at
        most most_duplicated of a data set's bytes are copies."""
        results, started = [], time.perf_counter()
        for index in range(count):
            rng = random.Random(f"{seed}:{kind}:{index}")
            folder = self.scratch / f"{kind}{index}"
            folder.mkdir()
            try:
                listing, description = write_data_set(folder, rng, int(draw_size(rng, *mib) * MiB), most_duplicated)
                results.append(dict(kind=kind, index=index, **description, **self.data_set(listing, samples)))
            finally:
                shutil.rmtree(folder, ignore_errors=True)
            if (index + 1) % 10 == 0 or index + 1 == count:
                print(f"  {kind}: {index + 1} of {count} data sets measured, {time.perf_counter() - started:.0f} s",
                      flush=True)
        return results

    def memory_and_speed(self, scale):
        """Peak RSS of an empty run, the exact run, --sample 64 and --sample 2^20
        on random data with 1 KiB chunks; then the exact and --sample 64 runs
        timed alternately."""
        bench, scratch = self.bench, self.scratch
        data, listing, empty = scratch / "random.bin", scratch / "random.txt", scratch / "empty.txt"
        started = time.perf_counter()
        scale_cases.write_stream(data, int(scale.memory_gib * GiB))
        listing.write_text(f"{data}\n")
        empty.write_text("")
        print(f"\n{scale.memory_gib * 1024:g} MiB of random bytes written in {time.perf_counter() - started:.0f} s",
              flush=True)
        helper = bench.build_peak_rss(scratch)
        peak = lambda options, files: bench.peak_rss(helper, [self.tolvane, *options, str(files), *MEMORY_CHUNKING],
                                                     scratch)
        figures = dict(empty=peak([], empty), exact=peak([], listing),
                       sampled=peak(["--sample", str(LARGE_SAMPLE)], listing),
                       near_empty=peak(["--sample", str(NEAR_EMPTY_SAMPLE)], listing))
        sampled_run = [self.tolvane, "--sample", str(LARGE_SAMPLE), str(listing), *MEMORY_CHUNKING]
        exact_run = [self.tolvane, str(listing), *MEMORY_CHUNKING]
        figures["sampled_seconds"], figures["exact_seconds"] = bench.time_pair(sampled_run, exact_run, scale.repeat,
                                                                               scratch)
        data.unlink()
        return figures


# ---------------------------------------------------------------- accuracy figures

def relative_error(result, n):
    return (result["samples"][n]["value"] - result["unique_bytes"]) / result["unique_bytes"]


def holds_exact(result, n):
    figures = result["samples"][n]
    return figures["low"] <= result["unique_bytes"] <= figures["high"]


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def coverage_table(results):
    """Prints one line per N; returns {N: coverage}."""
    print(f"\n{'N':>5}{'data sets':>11}{'distinct sampled chunks':>25}{'coverage':>10}{'mean error':>12}"
          f"{'median |error|':>16}{'95th pct |error|':>18}{'median half-width':>19}")
    print(f"{'':>16}{'(median, least)':>25}")
    coverage = {}
    for n in SAMPLES:
        signed = [relative_error(r, n) for r in results]
        errors = [abs(e) for e in signed]
        widths = [(r["samples"][n]["high"] - r["samples"][n]["low"]) / 2 / r["unique_bytes"] for r in results]
        sampled = [r["samples"][n]["distinct_sampled_chunks"] for r in results]
        coverage[n] = sum(holds_exact(r, n) for r in results) / len(results)
        print(f"{n:>5}{len(results):>11}{statistics.median(sampled):>16.0f}{min(sampled):>9}"
              f"{100 * coverage[n]:>9.1f}%{100 * statistics.fmean(signed):>+11.3f}%"
              f"{100 * statistics.median(errors):>15.3f}%"
              f"{100 * percentile(errors, 0.95):>17.3f}%{100 * statistics.median(widths):>18.3f}%")
    return coverage


def describe_structure(results):
    """What the data sets were made of, and how the exact unique bytes compare
    with the fresh random bytes written (the structure's own lower bound)."""
    share = lambda key: [r[key] / r["bytes"] for r in results]
    bytes_ = [r["bytes"] for r in results]
    against_fresh = [r["unique_bytes"] / r["fresh_bytes"] for r in results]
    listed = [r["listed_files"] for r in results]
    print(f"  {len(results)} data sets of {min(bytes_) / MiB:.1f} to {max(bytes_) / MiB:.1f} MiB in {min(listed)} to "
          f"{max(listed)} listed files; copied whole "
          f"{100 * min(share('whole_bytes')):.0f}-{100 * max(share('whole_bytes')):.0f} %, from shifted offsets "
          f"{100 * min(share('shifted_bytes')):.0f}-{100 * max(share('shifted_bytes')):.0f} %, runs of one byte "
          f"{100 * max(share('fill_bytes')):.1f} % at most, {sum(r['edited_copies'] for r in results)} copies "
          f"edited ({sum(r['edits'] for r in results)} edits)")
    print(f"  exact unique bytes / fresh random bytes written: {min(against_fresh):.3f} to "
          f"{max(against_fresh):.3f}; exact byte dedup ratio "
          f"{min(r['bytes'] / r['unique_bytes'] for r in results):.2f} to "
          f"{max(r['bytes'] / r['unique_bytes'] for r in results):.2f}")


def large_figures(results):
    """A2 on the data sets whose sample at N = 64 has enough distinct chunks."""
    eligible = [r for r in results if r["samples"][LARGE_SAMPLE]["distinct_sampled_chunks"] >= LARGE_SAMPLED_CHUNKS]
    errors = [abs(relative_error(r, LARGE_SAMPLE)) for r in eligible]
    sampled = [r["samples"][LARGE_SAMPLE]["distinct_sampled_chunks"] for r in results]
    print(f"\nN = {LARGE_SAMPLE} on {len(results)} large data sets: {min(sampled)} to {max(sampled)} distinct sampled "
          f"chunks; {len(eligible)} with {LARGE_SAMPLED_CHUNKS} or more")
    if not errors:
        return None
    within = sum(e <= WITHIN for e in errors) / len(errors)
    coverage = sum(holds_exact(r, LARGE_SAMPLE) for r in eligible) / len(eligible)
    print(f"  relative error of unique bytes: median {100 * statistics.median(errors):.3f} %, 95th percentile "
          f"{100 * percentile(errors, 0.95):.3f} %, largest {100 * max(errors):.3f} %; within 1 %: "
          f"{100 * within:.1f} %; the 95 % interval holds the exact figure in {100 * coverage:.1f} %")
    return within


# ---------------------------------------------------------------- the case

def plot(results_path, picture):
    """Draws the picture with Debian's Python; says so when it cannot."""
    python = "/usr/bin/python3"
    if not os.access(python, os.X_OK):
        print(f"no plot drawn: {python} is missing (it and python3-matplotlib draw it)")
        return
    drawn = subprocess.run([python, str(ROOT / "bench" / "plot_sample_accuracy.py"), str(results_path),
                            str(picture)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    print(drawn.stdout.strip() or f"plot: {picture}")


def summary_rows(coverage, within, memory, large):
    """(case, our figure, reference figure, ratio shown, value, target, target shown)
    for each target; a target given as (">=", x) asks for at least x."""
    rows = []
    if coverage:
        worst, n = min((share, n) for n, share in coverage.items() if n > 1)
        rows.append(("A1", f"{100 * worst:.1f} %", f"N={n}", "-", worst, (">=", COVERAGE_TARGET), ">= 93 %"))
    if large:
        rows.append(("A2", "none" if within is None else f"{100 * within:.1f} %", "-", "-", within or 0,
                     (">=", WITHIN_TARGET), ">= 95 %"))
    if memory:
        for name, base in (("M4", memory["empty"]), ("M4s", memory["near_empty"])):
            added, exact_added = memory["sampled"] - base, memory["exact"] - base
            ratio = added / exact_added
            rows.append((name, f"{added:+d} KiB", f"{exact_added:+d} KiB", f"1/{1 / ratio:.1f}" if ratio > 0 else "0",
                         ratio, MEMORY_TARGET, "<= 1/32"))
        ratio = memory["sampled_seconds"] / memory["exact_seconds"]
        rows.append(("S2", f"{memory['sampled_seconds']:.3f} s", f"{memory['exact_seconds']:.3f} s", f"{ratio:.2f}",
                     ratio, SPEED_TARGET, "<= 1"))
    if large:
        ratio = statistics.median(r["samples"][LARGE_SAMPLE]["seconds"] / r["seconds"] for r in large)
        rows.append(("S3", "-", "-", f"{ratio:.2f}", ratio, SPEED_TARGET, "<= 1"))
    return rows


LEGEND = (
    "A1  Tolvane --sample N, N = 2 to 1024: share of the data sets whose 95 % interval of unique bytes holds the "
    "exact figure (the lowest over N; ref. column: that N)",
    "A2  --sample 64 on the large data sets (100 000 or more distinct sampled chunks): share with the unique-bytes "
    "estimate within 1 % of the exact figure",
    f"M4  Tolvane {' '.join(MEMORY_CHUNKING)} on random bytes: peak RSS --sample 64 adds over an empty run (ref. "
    "column: what the exact run adds)",
    "M4s the same over a run of the same data at --sample 1048576 (the store alone; the read blocks in flight are "
    "in both)",
    "S2  --sample 64 on those random bytes, median time (ref. column: the exact run)",
    "S3  the median over the large data sets of --sample 64's time over the exact run's (small chunks)",
)


def measure(bench, tolvane, scale, judged, scratch, output, verdicts, failures, seed=16,
            parts=("coverage", "large", "memory")):
    """Runs the case with bench/run's helpers (bench: that module), prints its
    figures and rows, and adds their verdicts and what failed."""
    output.mkdir(parents=True, exist_ok=True)
    folder = Path(tempfile.mkdtemp(prefix="sample-accuracy-", dir=scratch))
    runs = Runs(bench, tolvane, folder)
    coverage, within, memory, large, results = {}, None, None, [], []
    started = time.perf_counter()
    print(f"\nsampling accuracy (bench/sample_accuracy.py), chunking {' '.join(CHUNKING)}, seed {seed}", flush=True)
    try:
        if "coverage" in parts:
            results += runs.data_sets("coverage", scale.coverage_sets, scale.coverage_mib, SAMPLES, seed,
                                      log_uniform_mib, 0.6)
            describe_structure(results)
            coverage = coverage_table(results)
        if "large" in parts:
            large = runs.data_sets("large", scale.large_sets, scale.large_mib, [LARGE_SAMPLE], seed,
                                   random.Random.uniform, 0.4)
            describe_structure(large)
            within = large_figures(large)
            results += large
        if "memory" in parts:
            memory = runs.memory_and_speed(scale)
    except (bench.CommandFailed, subprocess.CalledProcessError) as failure:
        failures.append(f"sampling accuracy: {failure}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    results_path = output / "sample_accuracy.json"
    results_path.write_text(json.dumps(dict(chunking=CHUNKING, seed=seed, scale=scale.__dict__, data_sets=results,
                                            memory=memory), indent=1))
    print(f"\nevery figure: {results_path}")
    if results:
        plot(results_path, output / "sample_accuracy.png")
    print(f"sampling accuracy measured in {(time.perf_counter() - started) / 60:.1f} minutes\n")
    header = "".join(f"{title:{width}}" for title, width in bench.COLUMNS)
    print(header + "\n" + "-" * len(header))
    for name, ours, reference, shown, value, target, target_shown in summary_rows(coverage, within, memory, large):
        verdicts.append(bench.verdict(value, target, judged))
        bench.print_row(name, ours, reference, shown, target_shown, verdicts[-1])
    print("\n" + "\n".join(LEGEND))


def default_output(smoke):
    return ROOT / "build" / "bench" / ("sample-accuracy-smoke" if smoke else "sample-accuracy")


def log_uniform_mib(rng, low, high):
    return math.exp(rng.uniform(math.log(low), math.log(high)))


def size_range(text):
    low, _, high = text.partition("-")
    return (float(low), float(high or low))


def load_bench_run():
    """bench/run as a module: its helpers run, time and build."""
    loader = importlib.machinery.SourceFileLoader("bench_run", str(ROOT / "bench" / "run"))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader("bench_run", loader))
    loader.exec_module(module)
    return module


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--smoke", action="store_true", help="tiny data, one repetition, no targets judged")
    parser.add_argument("--tolvane", help="the Tolvane to measure (default: build the release preset's)")
    parser.add_argument("--build-dir", help="build a Release configuration here instead of the release preset")
    parser.add_argument("--datasets", type=int, help="coverage data sets (default 200)")
    parser.add_argument("--dataset-mib", type=size_range, metavar="LOW-HIGH",
                        help="fresh random MiB of a coverage data set, log-uniform (default 8-64)")
    parser.add_argument("--large-datasets", type=int, help="large data sets (default 200)")
    parser.add_argument("--large-mib", type=size_range, metavar="LOW-HIGH",
                        help="fresh random MiB of a large data set, uniform (default 320-380)")
    parser.add_argument("--memory-gib", type=float, help="random data of the memory and speed cases (default 8)")
    parser.add_argument("--repeat", type=int, help="timed runs of each command (default 5)")
    parser.add_argument("--seed", type=int, default=16, help="the data sets' seed (default 16)")
    parser.add_argument("--parts", default="coverage,large,memory",
                        help="comma-separated parts to run: coverage, large, memory (default all)")
    parser.add_argument("--output", type=Path, help="where the JSON and the plot go "
                        "(default build/bench/sample-accuracy, -smoke with --smoke)")
    options = parser.parse_args()
    scale = SMOKE if options.smoke else FULL
    overrides = dict(coverage_sets=options.datasets, coverage_mib=options.dataset_mib,
                     large_sets=options.large_datasets, large_mib=options.large_mib,
                     memory_gib=options.memory_gib, repeat=options.repeat)
    scale = replace(scale, **{key: value for key, value in overrides.items() if value is not None})
    bench = load_bench_run()
    tolvane = options.tolvane or bench.build(options.build_dir)["Tolvane"]
    print("load average before the run: %.2f %.2f %.2f" % os.getloadavg())
    verdicts, failures = [], []
    measure(bench, tolvane, scale, not options.smoke, Path(tempfile.gettempdir()),
            options.output or default_output(options.smoke), verdicts, failures, options.seed,
            options.parts.split(","))
    for failure in failures:
        print(f"\nfailed: {failure}", file=sys.stderr)
    return 1 if failures or "no" in verdicts else 0


if __name__ == "__main__":
    sys.exit(main())
