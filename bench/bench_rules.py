#!/usr/bin/env python3
"""Lists loaded at run time, side by side in one run: loading the list file
beside publicsuffix2 parsing the same file; lookups through a loaded copy of
the compiled list beside the compiled tables, one call at a time and through
vexlo.columns; and the memory a loaded list takes beside the compiled tables'
bytes.

    bench_rules.py --corpus FILE --list FILE --tool COMPILE_RULE_TABLES [--rounds N]
                   [--json FILE]

The list must be the one vexlo was compiled from (its copy is then the same
rules). Loading: the best of --rounds wall times of each. Lookups: the median
over shuffled rounds (harness.in_shuffled_rounds) of thread CPU time per call
net of an empty loop, and of wall time per name for the columns. Memory: the
growth of the process's resident set over ten loads, each of its own bytes,
and the bytes of the tables alone (nodes, edges, label pool and label keys,
as the compiled tables hold them; the pool's size from the build's own tool,
compile_rule_tables --summary-only).
"""

import argparse
import gc
import pathlib
import re
import statistics
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import harness  # noqa: E402

TRIE_NODE_BYTES = 8  # first_edge (4), edge_count (2), flags (1), padding
TRIE_EDGE_BYTES = 12
KEY_BYTES = 8


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


def table_bytes(rules, pool_bytes):
    edges = rules.node_count - 1
    return rules.node_count * TRIE_NODE_BYTES + edges * (TRIE_EDGE_BYTES + KEY_BYTES) + pool_bytes


def loading(vexlo, list_path, rounds):
    import publicsuffix2

    def vexlo_load():
        vexlo.load_rules(list_path)

    def publicsuffix2_load():
        with open(list_path, encoding="utf-8") as file:
            publicsuffix2.PublicSuffixList(file)

    jobs = {"vexlo.load_rules": vexlo_load, "publicsuffix2.PublicSuffixList": publicsuffix2_load}
    figures = harness.in_shuffled_rounds(
        list(jobs), rounds, lambda job: harness.wall_seconds(jobs[job], 1)[0], seed=3
    )
    return {job: min(times) * 1e3 for job, times in figures.items()}


def lookups(vexlo, loaded, names, rounds):
    import pyarrow as pa

    call, empty = harness.loop("f(n)"), harness.loop("pass")
    compiled = vexlo.compiled_rules()
    single = {
        "compiled privatesuffix": vexlo.privatesuffix,
        "loaded privatesuffix": loaded.privatesuffix,
        "compiled is_private": vexlo.is_private,
        "loaded is_private": loaded.is_private,
    }
    column = pa.array(names * max(1, 1_000_000 // len(names)))
    columns = {"compiled columns.privatesuffix": compiled, "loaded columns.privatesuffix": loaded}

    def measure(job):
        if job == "empty loop":
            return harness.time_pass(empty, None, names)
        if job in single:
            return harness.time_pass(call, single[job], names)
        rules = columns[job]
        seconds = harness.wall_seconds(
            lambda: vexlo.columns.privatesuffix(column, threads=1, rules=rules), 1
        )[0]
        return seconds * 1e9 / len(column)

    jobs = ["empty loop", *single, *columns]
    figures = harness.in_shuffled_rounds(jobs, rounds, measure, seed=5)
    medians = {job: statistics.median(values) for job, values in figures.items()}
    empty_ns = medians.pop("empty loop")
    return {job: ns - empty_ns if job in single else ns for job, ns in medians.items()}


def memory(vexlo, list_path):
    data = pathlib.Path(list_path).read_bytes()
    gc.collect()
    before = resident_bytes()
    kept = [vexlo.load_rules(bytes(bytearray(data))) for _ in range(10)]
    gc.collect()
    per_list = (resident_bytes() - before) / len(kept)
    return {"per_list": per_list, "list_bytes": len(data)}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", type=pathlib.Path, required=True)
    parser.add_argument("--list", type=pathlib.Path, required=True)
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--tool", type=pathlib.Path, required=True, help="compile_rule_tables")
    parser.add_argument("--json", type=pathlib.Path)
    args = parser.parse_args(argv)

    import vexlo
    import vexlo.columns

    if harness.list_checksum(args.list) != vexlo.LIST_CHECKSUM:
        sys.exit(f"{args.list} is not the list vexlo was compiled from")
    names = [name for name in harness.read_corpus(args.corpus) if name is not None]
    loaded = vexlo.load_rules(args.list)
    pool = _pool_bytes(args.tool, args.list)
    result = {
        "loading_ms": loading(vexlo, args.list, args.rounds),
        "lookups_ns": lookups(vexlo, loaded, names, args.rounds),
        "memory": {**memory(vexlo, args.list), "tables": table_bytes(loaded, pool)},
        "names": len(names),
    }
    for section, figures in result.items():
        print(section, figures)
    if args.json:
        harness.write_results(args.json, result)
    return 0


def _pool_bytes(tool, list_path):
    """The label pool's size, as the build's tool prints it in its summary."""
    summary = subprocess.run(
        [str(tool), str(list_path), "--summary-only"], capture_output=True, text=True, check=True
    ).stdout
    return int(re.search(r"(\d+) label-pool bytes", summary).group(1))


if __name__ == "__main__":
    sys.exit(main())
