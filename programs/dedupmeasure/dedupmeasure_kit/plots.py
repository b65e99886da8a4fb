"""The pictures of the sweeps, drawn with matplotlib when it is installed
(Debian's python3-matplotlib). Each function returns a matplotlib Figure of
a fixed size: WIDTH_INCHES wide, PANEL_INCHES high per panel, at DPI."""
import contextlib
import logging
import math
import os
import warnings

from . import leftovers

WIDTH_INCHES = 10
PANEL_INCHES = 4.5
DPI = 100


def _writable_folder(path):
    """True when path is, or can be made, a folder this process may write in:
    what matplotlib asks of its config and cache folders."""
    try:
        os.makedirs(path, exist_ok=True)
    except OSError:
        return False
    return os.path.isdir(path) and os.access(path, os.W_OK)


def _matplotlib_folders():
    """The config and cache folders matplotlib would use."""
    if os.environ.get("MPLCONFIGDIR"):
        return [os.environ["MPLCONFIGDIR"]]
    home = os.path.expanduser("~")
    if home == "~":  # no home at all
        return []
    return [os.path.join(os.environ.get(variable) or os.path.join(home, default), "matplotlib")
            for variable, default in (("XDG_CONFIG_HOME", ".config"), ("XDG_CACHE_HOME", ".cache"))]


def _prepare():
    """Without folders of its own to write, matplotlib warns in many lines
    and makes a temporary one: it is given one instead, removed at the end.
    Its other messages are not the command's, and stay unsaid."""
    folders = _matplotlib_folders()
    if not folders or not all(_writable_folder(folder) for folder in folders):
        os.environ["MPLCONFIGDIR"] = leftovers.new_temporary_folder()[0]
    logging.getLogger("matplotlib").addHandler(logging.NullHandler())


@contextlib.contextmanager
def quiet():
    """Draws without matplotlib's warnings on standard error."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        yield


def available():
    """True when matplotlib can draw here."""
    _prepare()
    try:
        import matplotlib.backends.backend_agg  # noqa: F401
        import matplotlib.figure  # noqa: F401
    except ImportError:
        return False
    return True


def new_figure(panels, title):
    """A figure of panels stacked axes, drawn off screen (no display needed)."""
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    from matplotlib.figure import Figure

    figure = Figure(figsize=(WIDTH_INCHES, PANEL_INCHES * panels), dpi=DPI, layout="constrained")
    FigureCanvasAgg(figure)
    figure.suptitle(title)
    return figure, figure.subplots(panels, 1, squeeze=False)[:, 0]


def save(figure, path):
    # No tight bounding box: the picture keeps the figure's exact size.
    figure.savefig(path, format="png", dpi=DPI)


def defined_points(xs, ys):
    """The (x, y) pairs where both are known numbers."""
    pairs = [(x, y) for x, y in zip(xs, ys) if x is not None and y is not None and not math.isnan(y)]
    return [x for x, _ in pairs], [y for _, y in pairs]


def plot(axes, xs, ys, label, **style):
    xs, ys = defined_points(xs, ys)
    return axes.plot(xs, ys, marker="o", label=label, **style)


def tolvane_figure(study):
    """Dedup ratios and index size against the actual average chunk size,
    the chunk-size histograms, and, for several summary vector sizes, false
    positives and on-disk lookups against the summary vector size. study is
    the document of tolvane.json."""
    runs = study["runs"]
    word_counts = sorted({run["summary_vector_words"] for run in runs})
    several_sizes = len(word_counts) > 1
    # The chunking does not depend on the summary vector: one run per bits.
    chunkings = sorted((run for run in runs if run["summary_vector_words"] == word_counts[0]),
                       key=lambda run: run["bits"])
    figure, axes = new_figure(3 if several_sizes else 2, "Tolvane: chunk size sweep of %s" % study["list"])
    draw_ratios(axes[0], chunkings)
    draw_histograms(axes[1], chunkings)
    if several_sizes:
        draw_summary_vector(axes[2], runs)
    return figure


def estimated(report, key):
    """The estimate {value, low, high} of a sampled run's key, else None."""
    return report.get("estimates", {}).get(key)


def plot_estimates(axes, xs, estimates, label, **style):
    """Estimates drawn at their values with their 95 % intervals as error
    bars; returns the legend handles."""
    points = [(x, e) for x, e in zip(xs, estimates) if x is not None and e and e["value"] is not None]
    values = [e["value"] for _, e in points]
    below = [value - (e["low"] if e["low"] is not None else value) for value, (_, e) in zip(values, points)]
    above = [(e["high"] if e["high"] is not None else value) - value for value, (_, e) in zip(values, points)]
    return [axes.errorbar([x for x, _ in points], values, yerr=[below, above], marker="o", capsize=3, label=label,
                          **style)]


def curve(axes, sizes, reports, key, estimate_key, label, **style):
    """The runs' key against sizes, or, for sampled runs, the estimates of
    estimate_key with their intervals."""
    if any(estimated(report, estimate_key) for report in reports):
        return plot_estimates(axes, sizes, [estimated(report, estimate_key) for report in reports],
                              label.split(" (")[0] + ", estimated", **style)
    return plot(axes, sizes, [report.get(key) for report in reports], label, **style)


def draw_ratios(axes, chunkings):
    reports = [run["report"] for run in chunkings]
    sizes = [report["actual_average_chunk_size"] for report in reports]
    axes.set_xscale("log", base=2)
    lines = curve(axes, sizes, reports, "byte_dedup_ratio", "byte_dedup_ratio", "byte dedup ratio")
    lines += curve(axes, sizes, reports, "compression_ratio", "chunk_dedup_ratio",
                   "chunk dedup ratio (compression_ratio)")
    for run, size, report in zip(chunkings, sizes, reports):
        ratio = (estimated(report, "byte_dedup_ratio") or {}).get("value", report.get("byte_dedup_ratio"))
        if size is not None and ratio is not None:
            axes.annotate("%d bits" % run["bits"], (size, ratio), textcoords="offset points", xytext=(4, 6),
                          fontsize=8)
    axes.set_xlabel("actual average chunk size (bytes)")
    axes.set_ylabel("dedup ratio")
    index = axes.twinx()
    lines += curve(index, sizes, reports, "chunks_stored", "distinct_chunks", "stored fingerprints (chunks_stored)",
                   color="tab:green", linestyle="--")
    index.set_ylabel("stored fingerprints (index size)")
    axes.legend(lines, [line.get_label() for line in lines], loc="best")
    axes.set_title("Savings and index size" + (" (95 % intervals)" if any("estimates" in r for r in reports) else ""))
    axes.grid(True, which="both", alpha=0.3)


def draw_histograms(axes, chunkings):
    axes.set_xscale("log", base=2)
    for run in chunkings:
        buckets = run["report"]["chunk_size_histogram"]
        plot(axes, [b["from"] for b in buckets], [b["chunks"] for b in buckets], "%d bits" % run["bits"])
    axes.set_xlabel("chunk size (bucket from 2^k to 2^(k+1)-1 bytes)")
    axes.set_ylabel("chunks")
    axes.set_title("Chunk-size histograms")
    axes.legend(loc="best", fontsize=8)
    axes.grid(True, which="both", alpha=0.3)


def draw_summary_vector(axes, runs):
    axes.set_xscale("log", base=2)
    axes.set_yscale("symlog", linthresh=1)  # false positives may be 0
    for number, bits in enumerate(sorted({run["bits"] for run in runs})):
        colour = "C%d" % number  # both curves of one chunking in one colour
        same = sorted((run for run in runs if run["bits"] == bits), key=lambda run: run["summary_vector_words"])
        words = [run["summary_vector_words"] for run in same]
        reports = [run["report"] for run in same]
        plot(axes, words, [r["false_positives"] for r in reports], "false positives, %d bits" % bits, color=colour)
        plot(axes, words, [r["on_disk_lookups"] for r in reports], "on-disk lookups, %d bits" % bits, color=colour,
             linestyle=":")
    axes.set_xlabel("summary vector size (32-bit words)")
    axes.set_ylabel("count")
    axes.set_title("How large a summary vector this data needs")
    axes.legend(loc="best", fontsize=8)
    axes.grid(True, which="both", alpha=0.3)


def sha_figure(study):
    """Near-empty share, distinct near-empty fingerprints and windows per
    compared chunk against the chunk size. study is the document of sha.json."""
    runs = sorted(study["runs"], key=lambda run: run["chunk_size"])
    sizes = [run["chunk_size"] for run in runs]
    figure, axes = new_figure(3, "sha: chunk size sweep of %s (window %d bytes)"
                              % (study["file"], runs[0]["window_size"]))
    panels = [
        ("near-empty share", [run["derived"]["near_empty_share"] for run in runs], "near-empty chunks / chunks"),
        ("distinct near-empty fingerprints", [run["report"]["unique_near_empty_fingerprints"] for run in runs],
         "fingerprints"),
        ("windows per compared chunk", [run["derived"]["windows_per_compared_chunk"] for run in runs],
         "windows / window lists"),
    ]
    for panel, (label, values, unit) in zip(axes, panels):
        panel.set_xscale("log", base=2)
        plot(panel, sizes, values, label)
        panel.set_title(label)
        panel.set_ylabel(unit)
        panel.legend(loc="best")
        panel.grid(True, which="both", alpha=0.3)
    axes[-1].set_xlabel("chunk size (bytes)")
    return figure
