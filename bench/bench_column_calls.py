#!/usr/bin/env python3
"""Times vexlo.columns from Python on one pyarrow column of names, beside the
per-call loop over the same names, and measures the memory an answer takes.

    bench_column_calls.py --corpus FILE [--rounds N] [--json FILE]

Each figure is the median wall time of --rounds runs (wall time, since the
column functions run on several threads), per name. The per-call loop is
`[privatesuffix(n) for n in names]` with the function in a local variable.
Memory: in a fresh process that has loaded the column, the growth of the
peak resident set size over the resident size just before one answer (the
peak is reset first), against the byte size of the answer's own buffers.
Dictionary columns: as many rows, drawn from DICTIONARY_VALUES distinct
names, dictionary-encoded (pyarrow, a pandas category Series, a Polars
Categorical Series), against the same rows plain and against the distinct
names alone: each call's median wall time.
Run by scripts/bench; no timing is checked anywhere.
"""

import argparse
import json
import pathlib
import statistics
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import harness  # noqa: E402

# The probe finds the harness in this folder, its last argument.
MEMORY = r"""
import json, sys
sys.path.append(sys.argv[4])
import pyarrow as pa
import vexlo.columns
from harness import read_corpus

def status(field):
    for line in open("/proc/self/status"):
        if line.startswith(field + ":"):
            return int(line.split()[1]) * 1024

names = pa.array(read_corpus(sys.argv[1]))
question, threads = sys.argv[2], int(sys.argv[3])
before = status("VmRSS")
with open("/proc/self/clear_refs", "w") as refs:
    refs.write("5")  # the peak starts again from here
answers = getattr(vexlo.columns, question)(names, threads=threads)
peak = status("VmHWM")
own = sum(buffer.size for buffer in answers.buffers() if buffer is not None)
print(json.dumps({"question": question, "threads": threads, "growth": peak - before,
                  "result_bytes": own}))
"""


# The distinct names of the dictionary columns.
DICTIONARY_VALUES = 1000


def timed(function, rounds):
    return statistics.median(harness.wall_seconds(function, rounds))


def dictionary_calls(names, rounds):
    """Seconds per call of columns.privatesuffix on one thread: the rows as a
    dictionary of few values, in each library's form; the same rows plain;
    the values alone."""
    import pyarrow as pa

    import vexlo.columns

    values = list(dict.fromkeys(names))[:DICTIONARY_VALUES]
    indices = pa.array([(i * 7919) % len(values) for i in range(len(names))], pa.int32())
    encoded = pa.DictionaryArray.from_arrays(indices, pa.array(values))
    columns = {
        "pyarrow DictionaryArray": encoded,
        "the same rows plain": encoded.cast(pa.string()),
        f"its {len(values):,} values alone": pa.array(values),
    }
    try:
        import pandas as pd

        columns["pandas category Series"] = pd.Series(encoded.to_pandas())
    except ImportError:
        pass
    try:
        import polars as pl

        columns["Polars Categorical Series"] = pl.Series(encoded.cast(pa.string())).cast(
            pl.Categorical
        )
    except ImportError:
        pass
    privatesuffix = vexlo.columns.privatesuffix
    seconds = {
        label: timed(lambda c=column: privatesuffix(c, threads=1), rounds)
        for label, column in columns.items()
    }
    for label, value in seconds.items():
        print(f"dictionary: {label:<28} {value * 1e3:9.3f} ms", file=sys.stderr)
    return {"rows": len(names), "values": len(values), "seconds": seconds}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--corpus", required=True, type=pathlib.Path)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--json", type=pathlib.Path)
    options = parser.parse_args(argv)

    import pyarrow as pa

    import vexlo
    import vexlo.columns

    names = harness.read_corpus(options.corpus)
    column = pa.array(names)
    count = len(names)
    rows = []

    def row(label, seconds):
        rows.append({"benchmark": label, "ns_per_name": seconds * 1e9 / count})
        print(f"{label:<40} {seconds * 1e9 / count:8.1f} ns/name", file=sys.stderr)

    privatesuffix = vexlo.privatesuffix

    def loop():
        function = privatesuffix
        [function(n) for n in names]

    row("per-call loop privatesuffix", timed(loop, options.rounds))
    for question in ("privatesuffix", "is_private", "privateparts"):
        function = getattr(vexlo.columns, question)
        for threads in (1, 2):
            row(
                f"columns.{question} threads={threads}",
                timed(lambda f=function, t=threads: f(column, threads=t), options.rounds),
            )
    row(
        "columns.privatesuffix list threads=1",
        timed(lambda: vexlo.columns.privatesuffix(names, threads=1), options.rounds),
    )

    memory = []
    for question in ("privatesuffix", "is_private", "privateparts"):
        for threads in (1, 2):
            out = subprocess.run(
                [
                    sys.executable,
                    "-c",
                    MEMORY,
                    str(options.corpus),
                    question,
                    str(threads),
                    str(HERE),
                ],
                capture_output=True,
                text=True,
                check=True,
            ).stdout
            found = json.loads(out)
            memory.append(found)
            print(
                f"memory {question} threads={threads}: growth {found['growth'] / 2**20:.1f} MiB, "
                f"answer's buffers {found['result_bytes'] / 2**20:.1f} MiB "
                f"({found['growth'] / found['result_bytes']:.2f}x)",
                file=sys.stderr,
            )
    dictionary = dictionary_calls(names, options.rounds)
    if options.json:
        harness.write_results(
            options.json,
            {"names": count, "rows": rows, "memory": memory, "dictionary": dictionary},
        )


if __name__ == "__main__":
    main()
