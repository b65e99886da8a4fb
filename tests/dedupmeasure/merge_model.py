"""An independent model of what `dedupmeasure merge --json` prints, from the
rows of the traces, with Python's integers and the formulas of the trace
contract (distinct chunks N*D, unique bytes N*S1, duplicate chunks N*(R-D),
variances N(N-1) times the sums of squares, intervals of 1.96 standard
deviations within the bounds the sample proves). Also writes traces: a
sampled trace is the exact one's rows whose SHA-1 begins below 2^32 / N."""
import csv
import io
import math

Z = 1.96
HEADER = "path,offset,size,sha1,new\n"
SETTINGS = "# Tolvane trace: sample=%d chunker=rabin min=%d max=%d bits=%d window=%d\n"
END = "# Tolvane trace end: chunks=%d bytes=%d\n"


def rows_of(path):
    """(sample, [(path, sha1, size)], (chunks, bytes)) of a trace, old or new."""
    with open(path, newline="", encoding="utf-8", errors="surrogateescape") as handle:
        text = handle.read()
    lines = text.splitlines(keepends=True)
    sample, end = 1, None
    if lines and lines[0].startswith("#"):
        sample = int(lines[0].split("sample=")[1].split()[0])
        end = tuple(int(part.split("=")[1]) for part in lines[-1].split()[-2:])
        lines = lines[1:-1]
    rows = [(row[0], row[3].lower(), int(row[2])) for row in list(csv.reader(io.StringIO("".join(lines))))[1:]]
    return sample, rows, end or (len(rows), sum(size for _, _, size in rows))


def sampled(sha1, sample):
    return int(sha1[:8], 16) < 2**32 // sample


def write_trace(path, rows, sample, chunking, chunks, total):
    """A trace of rows [(path, sha1, size)] in the format with comment lines;
    chunking: (min, max, bits, window)."""
    with open(path, "w", newline="") as handle:
        handle.write(SETTINGS % ((sample,) + tuple(chunking)) + HEADER)
        writer = csv.writer(handle, lineterminator="\n")
        for name, sha1, size in rows:
            writer.writerow([name, 0, size, sha1, 1])
        handle.write(END % (chunks, total))


def sample_trace(exact, path, sample, chunking):
    """Writes at path the trace a run with --sample would have written
    beside the exact trace at exact."""
    _, rows, (chunks, total) = rows_of(exact)
    write_trace(path, [row for row in rows if sampled(row[1], sample)], sample, chunking, chunks, total)


def estimate(sample, total, squares, low, high):
    scaled = sample * total
    deviation = math.sqrt(float(sample * (sample - 1) * squares))
    top = min(float(high), scaled + Z * deviation)
    return {"value": min(scaled, high), "low": min(max(float(low), scaled - Z * deviation), top), "high": top}


def divided(numerator, denominator):
    return numerator / denominator if denominator else None


def ratio(numerator, estimated):
    return {"value": divided(numerator, estimated["value"]), "low": divided(numerator, estimated["high"]),
            "high": divided(numerator, estimated["low"])}


def expected(paths, names=None):
    """The document merge --json prints for the traces at paths (named
    names in it)."""
    names = names or paths
    traces = [rows_of(path) for path in paths]
    sample = traces[0][0]
    held = {}  # sha1: {trace number: bytes}
    size_of, count = {}, {}
    for number, (_, rows, _) in enumerate(traces):
        for _, sha1, size in rows:
            held.setdefault(sha1, {}).setdefault(number, 0)
            held[sha1][number] += size
            size_of[sha1] = size
            count[sha1] = count.get(sha1, 0) + 1
    rows_in_all = sum(len(rows) for _, rows, _ in traces)
    bytes_in_rows = sum(size for _, rows, _ in traces for _, _, size in rows)
    unique = sum(size_of.values())
    sources = []
    for number, (name, (_, rows, (chunks, total))) in enumerate(zip(names, traces)):
        alone = [bytes_held[number] for bytes_held in held.values() if list(bytes_held) == [number]]
        shared = [bytes_held[number] for bytes_held in held.values() if number in bytes_held and len(bytes_held) > 1]
        row_bytes = sum(size for _, _, size in rows)
        if sample == 1:
            sources.append({"trace": name, "bytes": row_bytes, "bytes_only_here": sum(alone),
                            "bytes_shared": row_bytes - sum(alone)})
        else:
            sources.append({"trace": name, "chunks": chunks, "bytes": total, "sampled_chunks": len(rows),
                            "sampled_bytes": row_bytes, "estimates": {
                                "bytes_only_here": estimate(sample, sum(alone), sum(b * b for b in alone), sum(alone),
                                                            total),
                                "bytes_shared": estimate(sample, sum(shared), sum(b * b for b in shared),
                                                         sum(shared), total)}})
    if sample == 1:
        return {"chunks": rows_in_all, "distinct_chunks": len(size_of), "bytes": bytes_in_rows, "unique_bytes": unique,
                "byte_dedup_ratio": divided(bytes_in_rows, unique), "chunk_dedup_ratio": divided(rows_in_all,
                                                                                                len(size_of)),
                "sources": sources}
    chunks, total = sum(end[0] for _, _, end in traces), sum(end[1] for _, _, end in traces)
    distinct = estimate(sample, len(size_of), len(size_of), len(size_of), chunks)
    unique_estimate = estimate(sample, unique, sum(s * s for s in size_of.values()), unique, total)
    repeats = rows_in_all - len(size_of)
    return {"sample": sample, "chunks": chunks, "bytes": total, "sampled_chunks": rows_in_all,
            "distinct_sampled_chunks": len(size_of), "sampled_bytes": bytes_in_rows, "distinct_sampled_bytes": unique,
            "estimates": {"distinct_chunks": distinct, "unique_bytes": unique_estimate,
                          "duplicate_chunks": estimate(sample, repeats, sum((c - 1) ** 2 for c in count.values()),
                                                       repeats, chunks - len(size_of)),
                          "byte_dedup_ratio": ratio(total, unique_estimate), "chunk_dedup_ratio": ratio(chunks,
                                                                                                        distinct)},
            "sources": sources}
