"""The cases at scale, for bench/run: 8 GiB of random data (an AES-CTR
stream from openssl, written at disk speed) and its first GiB, the store's
cost as it grows to 100 million fingerprints, and one thread against the
program before the store worked in constant time.

  T9   seconds per GiB on 8 GiB, small chunks, over the same on its first GiB
  T10  the main thread's share of the CPU time, --threads 2, defaults, 8 GiB
  T10s the same with small chunks (1 KiB on average)
  M3   peak memory per stored fingerprint, 8 GiB, small chunks
  ST1  the store's cost per new fingerprint at 100 million over at 1 million
  ST2  the same for a lookup of a stored one
  R2   one thread against the program at STORE_BASELINE_REVISION, defaults
"""
import os
import re
import statistics
import subprocess
import time

GiB = 1 << 30
MiB = 1 << 20
SMALL_CHUNKS = ["256", "8192", "10", "48", "3125", "y"]
# The last landed program before the store worked in constant time.
STORE_BASELINE_REVISION = "cff28cbb688cdf2196f97c879ec342be2d00d1fc"
STORE_SIZES = (1_000_000, 100_000_000)
SMOKE_STORE_SIZES = (100_000, 1_000_000)


def write_stream(path, size):
    """size bytes of an AES-CTR key stream: random to every test the tools
    make, and fast to write."""
    subprocess.run(["sh", "-c", f"head -c {size} /dev/zero | openssl enc -aes-128-ctr -pass pass:dedup -nosalt "
                                f"-pbkdf2 2>/dev/null | head -c {size} > '{path}'"], check=True)


def make_data(folder, smoke):
    """The big file, its first part, and list files naming each."""
    big, first = (8 * MiB, MiB) if smoke else (8 * GiB, GiB)
    files = {"big": folder / "stream_8", "first": folder / "stream_1"}
    write_stream(files["big"], big)
    with open(files["big"], "rb") as source, open(files["first"], "wb") as out:
        out.write(source.read(first))
    for name in ("big", "first"):
        files[f"list_{name}"] = folder / f"list_{name}.txt"
        files[f"list_{name}"].write_text(f"{files[name]}\n")
    files["list_empty"] = folder / "list_scale_empty.txt"
    files["list_empty"].write_text("")
    return files, big / GiB, first / GiB


def thread_seconds(command, scratch):
    """(wall seconds, the main thread's CPU seconds, the others' as (name,
    seconds), most first) of a run: each thread's run time as the scheduler
    counts it (/proc/PID/task/TID/schedstat), read every 20 ms to the end (a
    thread's last 20 ms may go uncounted), and the name it gave itself."""
    last, names = {}, {}
    with open(os.devnull, "wb") as out, open(scratch / "stderr.txt", "wb") as err:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=out, stderr=err)
        while process.poll() is None:
            try:
                for tid in os.listdir(f"/proc/{process.pid}/task"):
                    with open(f"/proc/{process.pid}/task/{tid}/schedstat") as stat:
                        last[int(tid)] = int(stat.read().split()[0]) / 1e9
                    if int(tid) not in names:
                        with open(f"/proc/{process.pid}/task/{tid}/comm") as comm:
                            names[int(tid)] = comm.read().strip()
            except OSError:
                pass  # a thread or the process ended while being read
            time.sleep(0.02)
        wall = time.perf_counter() - start
    if process.returncode != 0:
        raise RuntimeError(f"{' '.join(map(str, command))}: exit status {process.returncode}")
    main = last.pop(process.pid, 0.0)
    return wall, main, sorted(((names.get(tid, "thread"), seconds) for tid, seconds in last.items()),
                              key=lambda named: named[1], reverse=True)


def amdahl(serial_share, cores):
    return 1 / (serial_share + (1 - serial_share) / cores)


def timer_medians(program, sizes, repeat):
    """{size: the figures program prints for it}, each the median of `repeat`
    runs (a run's figures at 100 million vary by half from run to run on a
    virtual machine). store_cost prints insert ns, lookup ns, bytes per
    fingerprint and steady-state insert ns; memory_floor insert and lookup
    ns."""
    runs = []
    for _ in range(repeat):
        output = subprocess.run([str(program)] + [str(size) for size in sizes], check=True, capture_output=True,
                                text=True).stdout
        runs.append({int(fields[0]): tuple(float(field) for field in fields[1:])
                     for fields in (line.split() for line in output.splitlines())})
    return {size: tuple(statistics.median(run[size][i] for run in runs) for i in range(len(runs[0][size])))
            for size in sizes}


def stored_of(report):
    match = re.search(r"^number of chunks stored = (\d+)$", report, re.M)
    return int(match.group(1)) if match else None


def measure(bench, tools, scratch, repeat, judged, verdicts, failures, build_baseline):
    """Adds the rows of the cases at scale to bench/run's table."""
    tolvane = tools["Tolvane"]
    started = time.perf_counter()
    files, big_gib, first_gib = make_data(scratch, not judged)
    for name in ("big", "first"):
        bench.warm_page_cache(files[name])
    print(f"\ncases at scale ({big_gib * GiB // MiB} MiB of random data, written and read in "
          f"{time.perf_counter() - started:.1f} s):")
    legend = []

    def row(name, what, ours, reference, value, target, shown):
        legend.append(f"{name}  {what}")
        verdicts.append(bench.verdict(value, target, judged))
        bench.print_row(name, ours, reference, shown, bench.target_text(target), verdicts[-1])

    def attempt(name, work):
        try:
            work()
        except (bench.CommandFailed, RuntimeError, subprocess.CalledProcessError) as failure:
            failures.append(f"{name}: {failure}")
            bench.print_row(name, "FAILED")

    def t9():
        # Each file read once more just before its runs: the page cache may
        # not hold every data set of the benchmark at once.
        bench.warm_page_cache(files["first"])
        first = statistics.median(bench.run_once([tolvane, files["list_first"]] + SMALL_CHUNKS, scratch)
                                  for _ in range(repeat))
        bench.warm_page_cache(files["big"])
        big = statistics.median(bench.run_once([tolvane, files["list_big"]] + SMALL_CHUNKS, scratch)
                                for _ in range(repeat))
        value = (big / big_gib) / (first / first_gib)
        row("T9", "Tolvane small chunks, seconds per GiB on 8 GiB random; ref. on its first GiB",
            f"{big / big_gib:.3f} s/GiB", f"{first / first_gib:.3f} s/GiB", value, 1.15, f"{value:.2f}")

    shares = {}

    def t10(name, operands, target):
        runs = sorted((thread_seconds([tolvane, "--threads", "2", files["list_big"]] + operands, scratch)
                       for _ in range(max(1, repeat // 2))), key=lambda run: run[1] / (run[1] + sum(s for _, s in run[2])))
        wall, main, others = runs[len(runs) // 2]  # the median share
        share = main / (main + sum(s for _, s in others))
        shares[name] = (main, others, share)
        row(name, "Tolvane --threads 2 on 8 GiB random%s: the main thread's share of the CPU time (the "
            "median of the runs; ref. column: the other threads' CPU seconds)"
            % (" with small chunks" if operands else ", defaults"),
            f"{main:.2f} s CPU", " + ".join(f"{s:.2f}" for _, s in others) + " s", share, target,
            f"{100 * share:.1f} %")

    def m3():
        helper = bench.build_peak_rss(scratch)
        empty = bench.peak_rss(helper, [tolvane, files["list_empty"]] + SMALL_CHUNKS, scratch)
        report = scratch / "scale_report.txt"
        peak = bench.peak_rss(helper, [tolvane, files["list_big"]] + SMALL_CHUNKS, scratch, report)
        stored = stored_of(report.read_text())
        per = (peak - empty) * 1024 / max(stored or 1, 1)
        row("M3", f"Tolvane small chunks on 8 GiB random: peak RSS above an empty run (ref. column) per stored "
            f"fingerprint ({stored} stored)", f"{peak} KiB", f"{empty} KiB", per, 32, f"{per:.1f} B")

    def store():
        sizes = SMOKE_STORE_SIZES if not judged else STORE_SIZES
        cost = timer_medians(tools["store_cost"], sizes, repeat)
        small, large = (cost[size] for size in sizes)
        for index, (name, what) in enumerate((("ST1", "insert of a new fingerprint"),
                                             ("ST2", "lookup of a stored fingerprint"))):
            value = large[index] / max(small[index], 1e-9)
            row(name, f"the store alone, median of {repeat} runs: ns per {what} at {sizes[1]} stored; "
                f"ref. at {sizes[0]}",
                f"{large[index]:.1f} ns", f"{small[index]:.1f} ns", value, 1.5, f"{value:.2f}")
        legend.append(f"     bytes per fingerprint in the store: {small[2]:.1f} at {sizes[0]}, "
                      f"{large[2]:.1f} at {sizes[1]}")
        legend.append(f"     ST1's median batch, an insert: {small[3]:.1f} ns at {sizes[0]}, "
                      f"{large[3]:.1f} ns at {sizes[1]}, {large[3] / max(small[3], 1e-9):.2f}; the rest of "
                      f"an insert is its share of the growths on the recorder's thread (bench/store_cost.cpp says "
                      f"when they come)")
        floor = timer_medians(tools["memory_floor"], sizes, repeat)
        legend.append("     the machine's floor (bench/memory_floor.cpp: one fetched line an insert or a lookup, "
                      "nothing else): " + "; ".join(
                          f"{what} {floor[sizes[0]][index]:.1f} ns at {sizes[0]}, {floor[sizes[1]][index]:.1f} ns "
                          f"at {sizes[1]}, {floor[sizes[1]][index] / max(floor[sizes[0]][index], 1e-9):.2f}"
                          for index, what in enumerate(("inserts", "lookups"))))

    def r2():
        baseline = build_baseline(STORE_BASELINE_REVISION, "R2")
        if baseline is None:
            return
        random_list = scratch / "list_random.txt"
        ours, reference = bench.time_pair([tolvane, "--threads", "1", random_list],
                                          [baseline, "--threads", "1", random_list], repeat, scratch)
        row("R2", f"Tolvane defaults, one thread, 512 MiB random; ref. the program at "
            f"{STORE_BASELINE_REVISION[:7]}", f"{ours:.3f} s", f"{reference:.3f} s", ours / reference, 1.05,
            f"{ours / reference:.2f}")

    attempt("T9", t9)
    attempt("T10", lambda: t10("T10", [], 0.05))
    attempt("T10s", lambda: t10("T10s", SMALL_CHUNKS, 0.15))
    attempt("M3", m3)
    attempt("ST1", store)
    attempt("R2", r2)
    print("\n" + "\n".join(legend))
    for name, (main, others, share) in shares.items():
        total = main + sum(s for _, s in others)
        print(f"{name} threads' shares of the CPU time: main {100 * main / total:.1f} %, "
              + ", ".join(f"{thread} {100 * s / total:.1f} %" for thread, s in others)
              + f"; by Amdahl's law, with the main thread's share serial, 16 cores would run "
              f"{amdahl(share, 16):.1f} times as fast as one")
    for name in ("big", "first"):
        files[name].unlink()
