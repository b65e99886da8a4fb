"""Draws what bench/sample_accuracy.py measured: the relative error of the
unique-bytes estimate against N, each data set's, with the median half-width
of the intervals, and the coverage of the intervals. Runs with Debian's /usr/bin/python3 (matplotlib).

usage: plot_sample_accuracy.py RESULTS.json PICTURE.png
"""
import json
import random
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "programs" / "dedupmeasure"))
from dedupmeasure_kit import plots  # noqa: E402


def holds(result, n):
    figures = result["samples"][n]
    return figures["low"] <= result["unique_bytes"] <= figures["high"]


def error_and_width(result, n):
    """|relative error| and the interval's relative half-width, in %."""
    figures, exact = result["samples"][n], result["unique_bytes"]
    return 100 * abs(figures["value"] - exact) / exact, 100 * (figures["high"] - figures["low"]) / 2 / exact


LABELLED = {"coverage": 2, "large": 64}
TICKS = [1 << k for k in range(11)]


def draw_errors(axes, data_sets, kind, color, label):
    """Each data set's |error| as a point (red when its interval missed the
    exact figure), spread a little sideways, and the median |error| and the
    median half-width of the intervals as lines. N = 1 is exact: no error."""
    jitter = random.Random(0)
    chosen = [d for d in data_sets if d["kind"] == kind]
    ns = sorted({int(n) for d in chosen for n in d["samples"]} - {1})
    medians = {"error": [], "width": []}
    for n in ns:
        key = str(n)
        pairs = [error_and_width(d, key) for d in chosen]
        xs = [n * 2 ** jitter.uniform(-0.25, 0.25) for _ in chosen]
        colors = [color if holds(d, key) else "red" for d in chosen]
        axes.scatter(xs, [max(e, 1e-4) for e, _ in pairs], s=5, c=colors, zorder=3,
                     label=label if n == LABELLED[kind] else None)
        medians["error"].append(statistics.median(e for e, _ in pairs))
        medians["width"].append(statistics.median(w for _, w in pairs))
    if kind == "coverage" and ns:
        axes.plot(ns, medians["width"], color="black", marker="_", label="median half-width of the 95 % intervals")
        axes.plot(ns, medians["error"], color="black", linestyle=":", label="median |error|")
        axes.scatter([], [], s=5, c="red", label="interval missed the exact figure")


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
    draw_errors(errors, data_sets, "coverage", "tab:blue", "coverage data sets: |error| of each")
    draw_errors(errors, data_sets, "large", "tab:orange", "large data sets at N = 64")
    errors.set_yscale("log")
    errors.set_ylabel("|relative error| of the estimate (%)")
    errors.text(1, 0.5, "exact", transform=errors.get_xaxis_transform(), ha="center")
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
