"""The figures of a merge, from the exact integer sums an engine gives
(SQLite or Dask: both give the same sums, and these functions make the
figures and their text from them, so the engines print the same).

  Totals, over every row of every trace:
    rows, distinct (distinct sha1), bytes (their sizes), unique (the sizes
    of the distinct ones), unique_squares (their squares), duplicate_squares
    (per distinct sha1, the square of its rows less one)
  SourceTotals, per trace, over its rows:
    rows, bytes, alone (the bytes of its chunks no other trace holds),
    shared (the bytes of the others); alone_squares and shared_squares: the
    squares of each distinct chunk's bytes in the trace, summed
  ends: per trace, its exact (chunks, bytes), from its end line

An exact merge needs only rows, distinct, bytes, unique and, per trace, bytes
and alone (the rest may be None); a sampled one needs every sum."""
import collections

from .estimates import estimate, quotient, ratio

Totals = collections.namedtuple("Totals", "rows distinct bytes unique unique_squares duplicate_squares")
SourceTotals = collections.namedtuple("SourceTotals", "rows bytes alone alone_squares shared shared_squares")
ESTIMATE_LABELS = [("distinct_chunks", "distinct chunks"), ("unique_bytes", "unique bytes"),
                   ("duplicate_chunks", "duplicate chunks"), ("byte_dedup_ratio", "byte dedup ratio"),
                   ("chunk_dedup_ratio", "chunk dedup ratio")]
SOURCE_ESTIMATE_LABELS = [("bytes_only_here", "bytes only here"), ("bytes_shared", "bytes shared")]
LABEL_WIDTH = 25  # of a sampled merge's lines


def figures(trace_paths, sample, totals, sources, ends):
    if sample == 1:
        return exact_figures(trace_paths, totals, sources)
    return sampled_figures(trace_paths, sample, totals, sources, ends)


def exact_figures(trace_paths, totals, sources):
    listed = [{"trace": trace, "bytes": source.bytes, "bytes_only_here": source.alone,
               "bytes_shared": source.bytes - source.alone} for trace, source in zip(trace_paths, sources)]
    return {"chunks": totals.rows, "distinct_chunks": totals.distinct, "bytes": totals.bytes,
            "unique_bytes": totals.unique, "byte_dedup_ratio": quotient(totals.bytes, totals.unique),
            "chunk_dedup_ratio": quotient(totals.rows, totals.distinct), "sources": listed}


def sampled_figures(trace_paths, sample, totals, sources, ends):
    chunks, total = sum(end[0] for end in ends), sum(end[1] for end in ends)
    distinct = estimate(sample, totals.distinct, totals.distinct, totals.distinct, chunks)
    unique = estimate(sample, totals.unique, totals.unique_squares, totals.unique, total)
    duplicates = totals.rows - totals.distinct
    listed = []
    for trace, source, (trace_chunks, trace_bytes) in zip(trace_paths, sources, ends):
        listed.append({"trace": trace, "chunks": trace_chunks, "bytes": trace_bytes, "sampled_chunks": source.rows,
                       "sampled_bytes": source.bytes, "estimates": {
                           "bytes_only_here": estimate(sample, source.alone, source.alone_squares, source.alone,
                                                       trace_bytes),
                           "bytes_shared": estimate(sample, source.shared, source.shared_squares, source.shared,
                                                    trace_bytes)}})
    return {"sample": sample, "chunks": chunks, "bytes": total, "sampled_chunks": totals.rows,
            "distinct_sampled_chunks": totals.distinct, "sampled_bytes": totals.bytes,
            "distinct_sampled_bytes": totals.unique, "estimates": {
                "distinct_chunks": distinct, "unique_bytes": unique,
                "duplicate_chunks": estimate(sample, duplicates, totals.duplicate_squares, duplicates,
                                             chunks - totals.distinct),
                "byte_dedup_ratio": ratio(total, unique), "chunk_dedup_ratio": ratio(chunks, distinct)},
            "sources": listed}


def show_ratio(ratio):
    return "-" if ratio is None else "%.6f" % ratio


def as_text(result):
    return sampled_text(result) if "sample" in result else exact_text(result)


def exact_text(result):
    lines = ["chunks             %d" % result["chunks"],
             "distinct chunks    %d" % result["distinct_chunks"],
             "bytes              %d" % result["bytes"],
             "unique bytes       %d" % result["unique_bytes"],
             "byte dedup ratio   %s" % show_ratio(result["byte_dedup_ratio"]),
             "chunk dedup ratio  %s" % show_ratio(result["chunk_dedup_ratio"]),
             "",
             "%15s %15s %15s  %s" % ("bytes", "only here", "shared", "trace")]
    for source in result["sources"]:
        lines.append("%15d %15d %15d  %s" % (source["bytes"], source["bytes_only_here"], source["bytes_shared"],
                                             source["trace"]))
    return "\n".join(lines)


def estimate_text(estimated, is_ratio):
    if is_ratio:
        return "estimated %s (95%% interval %s to %s)" % tuple(show_ratio(estimated[end])
                                                               for end in ("value", "low", "high"))
    return "estimated %d (95%% interval %.0f to %.0f)" % (estimated["value"], estimated["low"], estimated["high"])


def labelled(label, text, indent=""):
    return indent + label.ljust(LABEL_WIDTH - len(indent)) + text


def sampled_text(result):
    lines = [labelled("sample", "1 chunk in %d, chosen by its SHA-1" % result["sample"])]
    for key in ("chunks", "bytes", "sampled_chunks", "distinct_sampled_chunks", "sampled_bytes",
                "distinct_sampled_bytes"):
        lines.append(labelled(key.replace("_", " "), "%d" % result[key]))
    for key, label in ESTIMATE_LABELS:
        lines.append(labelled(label, estimate_text(result["estimates"][key], key.endswith("ratio"))))
    for source in result["sources"]:
        lines += ["", source["trace"]]
        for key in ("chunks", "bytes", "sampled_chunks", "sampled_bytes"):
            lines.append(labelled(key.replace("_", " "), "%d" % source[key], "  "))
        for key, label in SOURCE_ESTIMATE_LABELS:
            lines.append(labelled(label, estimate_text(source["estimates"][key], False), "  "))
    return "\n".join(lines)
