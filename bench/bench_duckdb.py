#!/usr/bin/env python3
"""Times vexlo's DuckDB extension inside DuckDB, beside DuckDB's own lower()
and beside the same answers through vexlo.columns.privatesuffix registered as
an Arrow UDF, on one table of host names from the benchmark corpus.

    bench_duckdb.py --corpus FILE [--threads N] [--rounds N] [--json FILE]

Each query runs on a DuckDB of --threads threads (default 2) over a native
table of the corpus' names; every round runs every query once, in a shuffled
order, and a ratio is taken round by round (both of its queries timed in the
same round) before the median is kept, so a change of the machine's load
falls on both sides alike. The queries:

- count(DISTINCT f(h)), f being lower, psl_privatesuffix and the Arrow UDF
  (the goals: psl_privatesuffix at most 1.5 times lower, and at least 2 times
  faster than the UDF);
- sum(length(f(h))), the same functions with a cheap aggregate after them,
  which shows the functions' own cost with less of the hash table's;
- sum(length(h)), the scan alone, which the per-row costs are net of.

Wall time, as the queries run on several threads. Run by scripts/bench; no
timing is checked anywhere.
"""

import argparse
import pathlib
import statistics
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import harness  # noqa: E402

FUNCTIONS = {
    "lower": "lower(h)",
    "psl_privatesuffix": "psl_privatesuffix(h)",
    "Arrow UDF": "arrow_privatesuffix(h)",
}
QUERIES = {
    **{
        f"count(DISTINCT {name})": f"SELECT count(DISTINCT {call}) FROM hosts"
        for name, call in FUNCTIONS.items()
    },
    **{
        f"sum(length({name}))": f"SELECT sum(length({call})) FROM hosts"
        for name, call in FUNCTIONS.items()
    },
    "scan": "SELECT sum(length(h)) FROM hosts",
}
# (ratio's name, numerator query, denominator query, goal)
RATIOS = [
    (
        "count(DISTINCT psl_privatesuffix) / count(DISTINCT lower)",
        "count(DISTINCT psl_privatesuffix)",
        "count(DISTINCT lower)",
        "at most 1.5",
    ),
    (
        "Arrow UDF / psl_privatesuffix, count(DISTINCT)",
        "count(DISTINCT Arrow UDF)",
        "count(DISTINCT psl_privatesuffix)",
        "at least 2",
    ),
    (
        "sum(length(psl_privatesuffix)) / sum(length(lower))",
        "sum(length(psl_privatesuffix))",
        "sum(length(lower))",
        None,
    ),
    (
        "Arrow UDF / psl_privatesuffix, sum(length())",
        "sum(length(Arrow UDF))",
        "sum(length(psl_privatesuffix))",
        None,
    ),
]


def connect(names, threads):
    import duckdb
    import pyarrow as pa

    import vexlo.columns
    import vexlo.duckdb

    connection = vexlo.duckdb.connect(config={"threads": threads})
    connection.register("corpus", pa.table({"h": names}))
    connection.execute("CREATE TABLE hosts AS SELECT h FROM corpus")
    connection.unregister("corpus")

    def registrable_domains(hosts):
        return vexlo.columns.privatesuffix(hosts)

    connection.create_function(
        "arrow_privatesuffix",
        registrable_domains,
        [duckdb.sqltypes.VARCHAR],
        duckdb.sqltypes.VARCHAR,
        type="arrow",
        null_handling="special",
    )
    return connection, duckdb.__version__


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--corpus", required=True, type=pathlib.Path)
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--json", type=pathlib.Path)
    args = parser.parse_args(argv)

    names = harness.read_corpus(args.corpus)
    connection, version = connect(names, args.threads)
    answers = {}

    def measure(query):
        start = time.perf_counter()
        answers[query] = connection.execute(QUERIES[query]).fetchall()
        return time.perf_counter() - start

    # One untimed round: DuckDB's and the UDF's first calls set things up.
    for query in QUERIES:
        measure(query)
    seconds = harness.in_shuffled_rounds(list(QUERIES), args.rounds, measure, seed=25)
    assert answers["count(DISTINCT psl_privatesuffix)"] == answers["count(DISTINCT Arrow UDF)"]

    scan = statistics.median(seconds["scan"])
    ns_per_row = {
        query: statistics.median(times) / len(names) * 1e9 for query, times in seconds.items()
    }
    net_ns_per_row = {
        name: (statistics.median(seconds[f"sum(length({name}))"]) - scan) / len(names) * 1e9
        for name in FUNCTIONS
    }
    ratios = []
    for label, numerator, denominator, goal in RATIOS:
        value = statistics.median(a / b for a, b in zip(seconds[numerator], seconds[denominator]))
        ratios.append({"ratio": label, "value": value, "goal": goal})
        print(f"{label}: {value:.2f}" + (f" (goal: {goal})" if goal else ""))
    for query, ns in ns_per_row.items():
        print(f"{query}: {ns:.1f} ns per row")
    result = {
        "names": len(names),
        "distinct": {
            "lower": answers["count(DISTINCT lower)"][0][0],
            "psl_privatesuffix": answers["count(DISTINCT psl_privatesuffix)"][0][0],
        },
        "threads": args.threads,
        "rounds": args.rounds,
        "duckdb": version,
        "ns_per_row": ns_per_row,
        "net_ns_per_row": net_ns_per_row,
        "ratios": ratios,
    }
    if args.json:
        harness.write_results(args.json, result)
    return 0


if __name__ == "__main__":
    sys.exit(main())
