#!/usr/bin/env python3
"""Times whole builds of vexlo against each other on one corpus: the single
call, the column functions and the command line, each build in processes of
its own (two builds' modules cannot share one), interleaved round by round so
that whatever else the machine does falls on all of them alike.

    ab_builds.py --corpus FILE --build LABEL=DIR [--build LABEL=DIR ...]
                 [--rounds N] [--threads N ...]

DIR holds a `vexlo` package (its Python files and both compiled modules).
Printed: the median over the rounds of each figure, and each build's ratio to
the first. The single call is in ns per call of thread CPU time net of an
empty loop; a column function in ms for the whole corpus (wall time, best of
three in each round); the command line in ms of wall time for the corpus on
standard input, rows to /dev/null. Standard library only, but the column
figures need pyarrow in the interpreter that runs the builds.
"""

import argparse
import os
import pathlib
import random
import statistics
import subprocess
import sys
import time

SINGLE_CALL = """
import sys, time
names = [line.rstrip("\\n") for line in open(sys.argv[1], encoding="utf-8")]
import vexlo
def run(f, names):
    for n in names:
        f(n)
def empty(f, names):
    for n in names:
        pass
for loop, f in ((run, getattr(vexlo, sys.argv[2])), (empty, None)):
    loop(f, names[: len(names) // 10])
    start = time.thread_time_ns()
    loop(f, names)
    print((time.thread_time_ns() - start) / len(names))
"""

COLUMN = """
import sys, time
import pyarrow as pa
import vexlo.columns
names = pa.array([line.rstrip("\\n") for line in open(sys.argv[1], encoding="utf-8")])
f = getattr(vexlo.columns, sys.argv[2])
f(names, threads=int(sys.argv[3]))
best = None
for _ in range(3):
    start = time.perf_counter()
    f(names, threads=int(sys.argv[3]))
    elapsed = time.perf_counter() - start
    best = elapsed if best is None else min(best, elapsed)
print(best * 1e3)
"""


def run_python(build, script, *args):
    env = dict(os.environ, PYTHONPATH=str(build))
    out = subprocess.run(
        [sys.executable, "-P", "-c", script, *map(str, args)],
        env=env,
        check=True,
        capture_output=True,
        text=True,
    ).stdout.split()
    return [float(x) for x in out]


def single_call(build, corpus, function):
    call, empty = run_python(build, SINGLE_CALL, corpus, function)
    return call - empty


def column(build, corpus, function, threads):
    return run_python(build, COLUMN, corpus, function, threads)[0]


def command_line(build, corpus):
    env = dict(os.environ, PYTHONPATH=str(build))
    with open(corpus, "rb") as stdin:
        start = time.perf_counter()
        subprocess.run(
            [sys.executable, "-P", "-m", "vexlo", "--fields", "name,privatesuffix"],
            stdin=stdin,
            stdout=subprocess.DEVNULL,
            env=env,
            check=False,
        )
        return (time.perf_counter() - start) * 1e3


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", type=pathlib.Path, required=True)
    parser.add_argument("--build", action="append", required=True, metavar="LABEL=DIR")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--threads", type=int, nargs="*", default=[1, 2])
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args(argv)
    builds = [tuple(entry.split("=", 1)) for entry in args.build]

    measures = [
        ("privatesuffix (ns/call)", lambda b: single_call(b, args.corpus, "privatesuffix")),
        ("is_private (ns/call)", lambda b: single_call(b, args.corpus, "is_private")),
    ]
    for threads in args.threads:
        for function in ("privatesuffix", "is_private"):
            measures.append(
                (
                    f"columns.{function} threads={threads} (ms)",
                    lambda b, f=function, t=threads: column(b, args.corpus, f, t),
                )
            )
    measures.append(("command line (ms)", lambda b: command_line(b, args.corpus)))

    figures = {(m, label): [] for m, _ in measures for label, _ in builds}
    jobs = [(m, run, label, d) for m, run in measures for label, d in builds]
    shuffle = random.Random(args.seed)
    for round_number in range(args.rounds):
        shuffle.shuffle(jobs)
        for name, run, label, directory in jobs:
            figures[(name, label)].append(run(directory))
        print(f"round {round_number + 1} of {args.rounds} done", file=sys.stderr)

    labels = [label for label, _ in builds]
    print("| measure | " + " | ".join(labels) + " | " + " | ".join(f"{x}/{labels[0]}" for x in labels[1:]) + " |")
    print("|---|" + "---:|" * (2 * len(labels) - 1))
    for name, _ in measures:
        medians = [statistics.median(figures[(name, label)]) for label in labels]
        ratios = [f"{m / medians[0]:.3f}" for m in medians[1:]]
        print(f"| {name} | " + " | ".join(f"{m:.1f}" for m in medians) + " | " + " | ".join(ratios) + " |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
