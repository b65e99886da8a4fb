"""The picture of sweep-chunkers: the chunkers side by side. Three rows of
the plots module's size: dedup ratio (and, with compression, data reduction
ratio) against the actual average chunk size, one curve per chunker; the
throughput of every run; and each chunker's chunk-size histograms, one small
panel per chunker in the last row."""
from . import plots


def chunkers_figure(study):
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    from matplotlib.figure import Figure

    runs = study["runs"]
    chunkers = list(dict.fromkeys(run["chunker"] for run in runs))
    figure = Figure(figsize=(plots.WIDTH_INCHES, plots.PANEL_INCHES * 3), dpi=plots.DPI, layout="constrained")
    FigureCanvasAgg(figure)
    title = "Tolvane: chunkers compared on %s" % study["list"]
    if study.get("compress", "none") != "none":
        title += " (compressed with %s)" % study["compress"]
    figure.suptitle(title)
    rows = figure.subfigures(3, 1)
    draw_ratios(rows[0].subplots(), runs, chunkers, study.get("compress", "none") != "none")
    draw_throughput(rows[1].subplots(), runs, chunkers)
    histograms = rows[2].subplots(1, len(chunkers), squeeze=False, sharey=True)[0]
    for axes, chunker in zip(histograms, chunkers):
        draw_histograms(axes, [run for run in runs if run["chunker"] == chunker], chunker)
    return figure


def of(runs, chunker):
    return sorted((run for run in runs if run["chunker"] == chunker), key=lambda run: run["bits"])


def draw_ratios(axes, runs, chunkers, compressed):
    axes.set_xscale("log", base=2)
    for number, chunker in enumerate(chunkers):
        same = of(runs, chunker)
        reports = [run["report"] for run in same]
        sizes = [report["actual_average_chunk_size"] for report in reports]
        colour = "C%d" % number
        plots.plot(axes, sizes, [r["byte_dedup_ratio"] for r in reports], "%s: byte dedup ratio" % chunker,
                   color=colour)
        if compressed:
            plots.plot(axes, sizes, [r.get("data_reduction_ratio") for r in reports],
                       "%s: data reduction ratio" % chunker, color=colour, linestyle="--")
    axes.set_xlabel("actual average chunk size (bytes)")
    axes.set_ylabel("ratio")
    axes.set_title("Savings against the average chunk size")
    axes.legend(loc="best", fontsize=8)
    axes.grid(True, which="both", alpha=0.3)


def draw_throughput(axes, runs, chunkers):
    for chunker in chunkers:
        same = of(runs, chunker)
        plots.plot(axes, [run["bits"] for run in same], [run["throughput_mb_per_s"] for run in same], chunker)
    axes.set_xlabel("anchor bits (average chunk size 2^bits)")
    axes.set_ylabel("MB/s")
    axes.set_title("Throughput (bytes read per second of each run, 10^6 bytes a MB)")
    axes.legend(loc="best", fontsize=8)
    axes.grid(True, alpha=0.3)


def draw_histograms(axes, same, chunker):
    axes.set_xscale("log", base=2)
    for run in sorted(same, key=lambda run: run["bits"]):
        buckets = run["report"]["chunk_size_histogram"]
        plots.plot(axes, [b["from"] for b in buckets], [b["chunks"] for b in buckets],
                   "%s, %d bits" % (chunker, run["bits"]))
    axes.set_title("%s: chunk sizes" % chunker)
    axes.set_xlabel("chunk size (bucket from 2^k)")
    axes.set_ylabel("chunks")
    axes.legend(loc="best", fontsize=7)
    axes.grid(True, which="both", alpha=0.3)
