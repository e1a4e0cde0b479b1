#!/usr/bin/env python3
"""Times vexlo.columns beside the per-call loop on one column of names, and
measures how far one answer raises the peak memory of a fresh process.

    bench_column_calls.py [--corpus FILE | --count N --seed S] [--list FILE]
                          [--rounds N] [--question Q ...] [--threads T ...]
                          [--no-memory] [--json FILE]

Speed: the names as a pyarrow string array and as a list of str; each round
runs, in an order shuffled from round to round, the loop
`for n in names: f(n)` with the scalar function, and the column function on
the array with each thread count. Figures are medians over the rounds in
nanoseconds per name of wall time (threads share the work, so their time
counts once), and the loop's time over each column time.

Memory: for each question and thread count, a fresh interpreter builds the
array, then answers it once; the figure is the growth of the peak resident
size during that answer (VmHWM, reset through /proc/self/clear_refs) over
the bytes of the answer's own buffers. Linux only.

Run it with the interpreter vexlo is installed for (the project's .venv).
"""

import argparse
import json
import os
import pathlib
import random
import statistics
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import corpus  # noqa: E402

QUESTIONS = (
    "publicsuffix",
    "privatesuffix",
    "is_public",
    "is_private",
    "privateparts",
    "subdomain",
)

MEMORY_PROBE = r"""
import gc, sys
import pyarrow as pa
from vexlo import columns

def status(key):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1]) * 1024
    raise RuntimeError(key)

path, question, threads = sys.argv[1], sys.argv[2], int(sys.argv[3])
with open(path, encoding="utf-8") as f:
    array = pa.array(f.read().splitlines(), type=pa.string())
args = (1,) if question == "subdomain" else ()
function = getattr(columns, question)
function(pa.array(["warm.example.com"]), *args, threads=threads)  # load, once
gc.collect()
gc.disable()
before = status("VmRSS:")
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")
result = function(array, *args, threads=threads)
peak = status("VmHWM:")
buffers = sum(b.size for b in result.buffers() if b is not None)
print(peak - before, buffers)
"""


def names_from(args):
    if args.corpus:
        with open(args.corpus, encoding="utf-8") as f:
            return f.read().splitlines()
    return corpus.generate(args.list or corpus.default_list_path(), args.count, args.seed)[0]


def time_speed(names, questions, thread_counts, rounds):
    import pyarrow as pa

    import vexlo
    from vexlo import columns

    array = pa.array(names, type=pa.string())
    rows = {}
    for question in questions:
        scalar = getattr(vexlo, question)
        column = getattr(columns, question)
        extra = (1,) if question == "subdomain" else ()

        def loop(scalar=scalar, extra=extra):
            for n in names:
                scalar(n, *extra)

        runs = {"per-call loop": loop}
        for threads in thread_counts:
            runs[f"column threads={threads}"] = lambda column=column, extra=extra, threads=threads: (
                column(array, *extra, threads=threads)
            )
        times = {name: [] for name in runs}
        order = list(runs)
        for _ in range(rounds):
            random.shuffle(order)
            for name in order:
                start = time.perf_counter()
                runs[name]()
                times[name].append((time.perf_counter() - start) * 1e9 / len(names))
        rows[question] = {name: statistics.median(values) for name, values in times.items()}
    return rows


def measure_memory(path, questions, thread_counts):
    rows = {}
    for question in questions:
        for threads in thread_counts:
            out = subprocess.run(
                [sys.executable, "-c", MEMORY_PROBE, str(path), question, str(threads)],
                check=True,
                capture_output=True,
                text=True,
            ).stdout.split()
            growth, buffers = int(out[0]), int(out[1])
            rows[(question, threads)] = (growth, buffers)
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--corpus", help="file of names, one per line")
    parser.add_argument("--count", type=int, default=1_000_000)
    parser.add_argument("--seed", type=int, default=6)
    parser.add_argument("--list", help="list file for corpus.py")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--question", action="append", choices=QUESTIONS)
    parser.add_argument("--threads", action="append", type=int)
    parser.add_argument("--no-memory", action="store_true")
    parser.add_argument("--json", help="also write the figures here")
    args = parser.parse_args()
    questions = args.question or ["privatesuffix"]
    thread_counts = args.threads or [1, 2]

    names = names_from(args)
    print(f"{len(names):,} names; load average {os.getloadavg()[0]:.2f} at the start")
    speed = time_speed(names, questions, thread_counts, args.rounds)
    for question, row in speed.items():
        loop = row["per-call loop"]
        print(f"{question}, median of {args.rounds} rounds (ns/name, wall):")
        for name, ns in row.items():
            ratio = "" if name == "per-call loop" else f"   {loop / ns:4.2f}x the loop"
            print(f"  {name:<22} {ns:7.1f}{ratio}")
    print(f"load average {os.getloadavg()[0]:.2f} at the end")

    memory = {}
    if not args.no_memory:
        path = pathlib.Path(args.corpus) if args.corpus else None
        if path is None:
            import tempfile

            handle = tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False)
            with handle:
                handle.write("\n".join(names) + "\n")
            path = pathlib.Path(handle.name)
        try:
            memory = measure_memory(path, args.question or QUESTIONS, thread_counts)
        finally:
            if not args.corpus:
                path.unlink()
        print("peak resident growth of one answer in a fresh process, over the answer's buffers:")
        for (question, threads), (growth, buffers) in memory.items():
            print(
                f"  {question:<14} threads={threads}  buffers {buffers / 1e6:7.2f} MB  "
                f"growth {growth / 1e6:7.2f} MB  {growth / buffers:5.2f}x"
            )

    if args.json:
        with open(args.json, "w") as f:
            json.dump(
                {
                    "names": len(names),
                    "speed": speed,
                    "memory": {f"{q} threads={t}": list(v) for (q, t), v in memory.items()},
                },
                f,
                indent=2,
            )


if __name__ == "__main__":
    main()
