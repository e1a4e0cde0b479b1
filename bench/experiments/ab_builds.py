#!/usr/bin/env python3
"""Times whole builds of vexlo against each other on one corpus: the single
call, the column functions and the command line, each build in processes of
its own (two builds' modules cannot share one), interleaved round by round so
that whatever else the machine does falls on all of them alike.

    bench/experiments/ab_builds.py --corpus FILE --build LABEL=DIR [--build LABEL=DIR ...]
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
import statistics
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
import harness

# The scripts below run in a fresh interpreter that imports vexlo from one
# build and the harness from bench/ (build_env).
SINGLE_CALL = """
import sys
import harness
import vexlo
names = harness.read_corpus(sys.argv[1])
for statement, f in (("f(n)", getattr(vexlo, sys.argv[2])), ("pass", None)):
    print(harness.time_pass(harness.loop(statement), f, names))
"""

COLUMN = """
import sys
import pyarrow as pa
import harness
import vexlo.columns
names = pa.array(harness.read_corpus(sys.argv[1]))
f, threads = getattr(vexlo.columns, sys.argv[2]), int(sys.argv[3])
f(names, threads=threads)
print(min(harness.wall_seconds(lambda: f(names, threads=threads), 3)) * 1e3)
"""


def build_env(build):
    """The environment that imports vexlo from `build` and no other build."""
    # The caller's own path comes after them: it may be where pyarrow is.
    path = [str(build), str(harness.BENCH), os.environ.get("PYTHONPATH", "")]
    return dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, path)))


def run_python(build, script, *args):
    out = subprocess.run(
        [sys.executable, "-P", "-c", script, *map(str, args)],
        env=build_env(build),
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
    command = [sys.executable, "-P", "-m", "vexlo", "--fields", "name,privatesuffix"]
    return harness.time_command(command, corpus, build_env(build))[0] * 1e3


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

    jobs = [(m, run, label, d) for m, run in measures for label, d in builds]
    by_job = harness.in_shuffled_rounds(
        jobs,
        args.rounds,
        lambda job: job[1](job[3]),
        args.seed,
        lambda n: print(f"round {n + 1} of {args.rounds} done", file=sys.stderr),
    )
    figures = {(name, label): values for (name, _, label, _), values in by_job.items()}

    labels = [label for label, _ in builds]
    print(
        "| measure | "
        + " | ".join(labels)
        + " | "
        + " | ".join(f"{x}/{labels[0]}" for x in labels[1:])
        + " |"
    )
    print("|---|" + "---:|" * (2 * len(labels) - 1))
    for name, _ in measures:
        medians = [statistics.median(figures[(name, label)]) for label in labels]
        ratios = [f"{m / medians[0]:.3f}" for m in medians[1:]]
        print(
            f"| {name} | "
            + " | ".join(f"{m:.1f}" for m in medians)
            + " | "
            + " | ".join(ratios)
            + " |"
        )
    return 0


if __name__ == "__main__":
    sys.exit(main())
