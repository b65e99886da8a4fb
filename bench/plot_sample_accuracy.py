"""Draws what bench/sample_accuracy.py measured: the relative error of the
unique-bytes estimate against N, each data set's interval with it, and the
coverage of the intervals. Runs with Debian's /usr/bin/python3 (matplotlib).

usage: plot_sample_accuracy.py RESULTS.json PICTURE.png
"""
import json
import random
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "programs" / "dedupmeasure"))
from dedupmeasure_kit import plots  # noqa: E402


def relative(result, n, key):
    """A figure of the sample at N relative to the exact unique bytes, in %."""
    return 100 * (result["samples"][n][key] - result["unique_bytes"]) / result["unique_bytes"]


def draw_errors(axes, data_sets, kind, color, label):
    """Each data set's error as a point, its interval as a line through it,
    spread a little sideways so that they can be told apart."""
    jitter = random.Random(0)
    chosen = [d for d in data_sets if d["kind"] == kind]
    for n in sorted({int(n) for d in chosen for n in d["samples"]}):
        key = str(n)
        xs = [n * 2 ** jitter.uniform(-0.25, 0.25) for _ in chosen]
        errors = [relative(d, key, "value") for d in chosen]
        lows = [relative(d, key, "low") for d in chosen]
        highs = [relative(d, key, "high") for d in chosen]
        axes.vlines(xs, lows, highs, color=color, alpha=0.12, linewidth=0.8)
        axes.scatter(xs, errors, s=4, color=color, label=label if n == LABELLED[kind] else None, zorder=3)
        half = statistics.median((h - lo) / 2 for lo, h in zip(lows, highs))
        axes.hlines([-half, half], n / 1.35, n * 1.35, color="black", linewidth=1.2,
                    label="median half-width of the 95 % interval" if n == LABELLED[kind] and kind == "coverage"
                    else None, zorder=4)


LABELLED = {"coverage": 2, "large": 64}
TICKS = [1 << k for k in range(11)]


def draw_coverage(axes, data_sets):
    for kind, marker, label in (("coverage", "o", "coverage data sets"), ("large", "s", "large data sets")):
        chosen = [d for d in data_sets if d["kind"] == kind]
        ns = sorted({int(n) for d in chosen for n in d["samples"]})
        shares = [100 * sum(d["samples"][str(n)]["low"] <= d["unique_bytes"] <= d["samples"][str(n)]["high"]
                            for d in chosen) / len(chosen) for n in ns]
        if ns:
            axes.plot(ns, shares, marker=marker, label=f"{label} ({len(chosen)})")
    axes.axhline(95, color="grey", linestyle=":", label="95 % (nominal)")
    axes.axhline(93, color="red", linestyle="--", label="93 % (target)")
    axes.set_ylabel("interval holds the exact unique bytes (%)")


def figure(results):
    data_sets = results["data_sets"]
    figure, (errors, coverage) = plots.new_figure(2, "Tolvane --sample N: unique bytes, estimate against exact "
                                                     f"(chunking {' '.join(results['chunking'])})")
    draw_errors(errors, data_sets, "coverage", "tab:blue", "coverage data sets: error, and its 95 % interval")
    draw_errors(errors, data_sets, "large", "tab:orange", "large data sets at N = 64")
    errors.set_yscale("symlog", linthresh=0.1)
    errors.set_ylabel("relative error of the estimate (%)")
    errors.axhline(0, color="grey", linewidth=0.5)
    draw_coverage(coverage, data_sets)
    for axes in (errors, coverage):
        axes.set_xscale("log", base=2)
        axes.set_xlim(0.7, 1500)
        axes.set_xticks(TICKS, [str(n) for n in TICKS])
        axes.set_xlabel("N (one chunk in N sampled)")
        axes.legend(loc="best", fontsize="small")
    return figure


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    if not plots.available():
        print(f"no plot drawn: matplotlib is missing under {sys.executable} (Debian's python3-matplotlib)")
        return 0
    results = json.loads(Path(sys.argv[1]).read_text())
    with plots.quiet():
        plots.save(figure(results), sys.argv[2])
    print(f"plot: {sys.argv[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
