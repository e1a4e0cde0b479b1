#!/usr/bin/env python3
"""Writes BENCHMARKS.md from the JSON results of bench_python.py and
bench_core, with the ratios that the goals name.

    bench/report/report.py --python PY.json --core CORE.json [--columns COLUMNS.json]
                           [--cli CLI.json] [--rules RULES.json] [--urls URLS.json]
                           [--tldextract TLDEXTRACT.json] [--duckdb DUCKDB.json]
                           [--chart NAME.png] --output BENCHMARKS.md

Carries docs/single_call_steps.md and docs/engines.md over as they stand.

Ratios are taken round by round (both sides of a ratio were timed in the same
round) and the median of those is shown, so a change of machine load during the
run cancels out. Standard library only.
"""

import argparse
import importlib.metadata
import os
import pathlib
import platform
import statistics
import sys

from columns_section import columns_report
from duckdb_section import duckdb_report
from markup import table, verdict
from rules_section import rules_report
from tldextract_section import tldextract_report
from urls_section import urls_report

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
import harness

GOAL_FLOOR_RATIO = 3.0
GOAL_FLOOR_MOONSHOT = 2.0
GOAL_PREDICATE_RATIO = 2.2
GOAL_INTERPRETER_NS = 35.0
GOAL_PEER_SPEEDUP = {"tldextract": 30.0, "publicsuffix2": 20.0}
DOCS = harness.REPO / "docs"
STEPS_LOG = DOCS / "single_call_steps.md"
# Written by bench_engines.py, which is run by hand (it takes Spark, Dask and
# some minutes); carried over as it stands.
ENGINES_LOG = DOCS / "engines.md"
GOAL_CORE_NS = 40.0
GOAL_LIBPSL_SPEEDUP = 5.0
GOAL_IMPORT_MS = 1.0


def median(values):
    return statistics.median(values)


class Calls:
    """The per-call results of one benchmark program, by name."""

    def __init__(self, entries, empty_name):
        self.entries = entries
        self.by_name = {entry["name"]: entry for entry in entries}
        self.empty_name = empty_name
        self.empty = self.by_name[empty_name]["rounds_ns"]

    def __contains__(self, name):
        return name in self.by_name

    def gross(self, name):
        return median(self.by_name[name]["rounds_ns"])

    def net(self, name):
        return self.gross(name) - median(self.empty)

    def difference(self, name, other):
        """Median over rounds of cost(name) - cost(other)."""
        pairs = zip(self.by_name[name]["rounds_ns"], self.by_name[other]["rounds_ns"])
        return median([a - b for a, b in pairs])

    def ratio(self, name, other, net=True):
        """Median over rounds of cost(name) / cost(other)."""
        a = self.by_name[name]["rounds_ns"]
        b = self.by_name[other]["rounds_ns"]
        ratios = []
        for x, y, e in zip(a, b, self.empty):
            if net:
                x, y = x - e, y - e
            if y > 0:
                ratios.append(x / y)
        return median(ratios) if ratios else float("nan")

    def rows(self, shown, ratio):
        """A table row for every benchmark but the empty loop, in their order:
        `shown(entry)`, the library, ns gross and net, and `ratio(name)`."""
        return [
            [
                shown(entry),
                entry["group"],
                fmt_ns(self.gross(entry["name"])),
                fmt_ns(self.net(entry["name"])),
                ratio(entry["name"]),
            ]
            for entry in self.entries
            if entry["name"] != self.empty_name
        ]


def peer_versions():
    """The installed releases of the peers, as the benchmark ran them."""
    found = []
    for name in ("tldextract", "publicsuffix2"):
        try:
            found.append(f"{name} {importlib.metadata.version(name)}")
        except importlib.metadata.PackageNotFoundError:
            found.append(f"{name} not installed")
    return ", ".join(found)


def fmt_ns(value):
    return f"{value:,.1f}"


def startup_ms(startup, name, key):
    values = startup.get(name, {}).get(key) or []
    return median(values) / 1e6 if values else None


def carried_over(path, title):
    """The section `title` as the file `path` holds it, where there is one."""
    if not path.is_file():
        return []
    return [f"## {title}\n", path.read_text(encoding="utf-8").strip() + "\n"]


def build_report(py, core, chart, run_info):
    calls = Calls(py["calls"], "empty loop")
    core_calls = Calls(core["benchmarks"], "empty loop")
    startup = py["startup"]
    bare_rss = median(startup["bare interpreter"]["rss_kib"])
    out = []
    add = out.append

    add("# vexlo benchmarks\n")
    add(
        f"Written by `scripts/bench` on {run_info['date']}. Remake with `scripts/bench`; "
        "every figure below comes from that one run.\n"
    )
    add(
        table(
            ["", ""],
            [
                [
                    "Machine",
                    f"{harness.cpu_model()}, {os.cpu_count()} logical CPUs, Linux {platform.release()}",
                ],
                [
                    "Load average (start, end of run)",
                    f"{run_info['load_start']}, {run_info['load_end']}",
                ],
                ["Python", f"CPython {py['python']}"],
                ["C++ compiler", core.get("compiler", "unknown")],
                ["libpsl", core["libpsl_version"]],
                ["List file", f"`{py['list_file']}`"],
                ["List SHA-256 (= `LIST_CHECKSUM`)", f"`{py['list_checksum']}`"],
                [
                    "Corpus",
                    f"{py['corpus_names']:,} names, `bench/corpus.py` {run_info['corpus_args']}",
                ],
                [
                    "Rounds",
                    f"Python {py['rounds']}, C++ {core['rounds']}; start-up runs "
                    f"{len(startup['vexlo']['import_ns'])}",
                ],
            ],
        )
    )
    add("")

    # Goals.
    floor_ratio = calls.ratio("privatesuffix", "str.lower")
    goals = [
        [
            "`privatesuffix` net cost / `str.lower` net cost",
            f"{floor_ratio:.2f}x",
            f"<= {GOAL_FLOOR_RATIO}x (moonshot {GOAL_FLOOR_MOONSHOT}x)",
            verdict(floor_ratio <= GOAL_FLOOR_RATIO),
        ]
    ]
    interpreter_ns = calls.net("privatesuffix") - core_calls.net("privatesuffix")
    goals.append(
        [
            "`privatesuffix`: interpreter side (Python net - core net)",
            f"{interpreter_ns:.1f} ns",
            f"<= {GOAL_INTERPRETER_NS:.0f} ns",
            verdict(interpreter_ns <= GOAL_INTERPRETER_NS),
        ]
    )
    for predicate in ("is_public", "is_private"):
        ratio = calls.ratio(predicate, "str.lower")
        goals.append(
            [
                f"`{predicate}` net cost / `str.lower` net cost",
                f"{ratio:.2f}x",
                f"<= {GOAL_PREDICATE_RATIO}x",
                verdict(ratio <= GOAL_PREDICATE_RATIO),
            ]
        )
    for peer, call in (
        ("tldextract", "tldextract .top_domain_under_public_suffix"),
        ("publicsuffix2", "publicsuffix2 get_sld"),
    ):
        if call in calls:
            speedup = calls.ratio(call, "privatesuffix")
            goals.append(
                [
                    f"`privatesuffix` vs {peer} (`{call.split(' ', 1)[1]}`)",
                    f"{speedup:,.1f}x faster",
                    f">= {GOAL_PEER_SPEEDUP[peer]:.0f}x",
                    verdict(speedup >= GOAL_PEER_SPEEDUP[peer]),
                ]
            )
    core_ns = core_calls.gross("privatesuffix")
    goals.append(
        [
            "C++ core per name (normalise, match, private suffix)",
            f"{core_ns:.1f} ns",
            f"<= {GOAL_CORE_NS:.0f} ns",
            verdict(core_ns <= GOAL_CORE_NS),
        ]
    )
    libpsl = core_calls.ratio("psl_registrable_domain", "privatesuffix", net=False)
    goals.append(
        [
            "C++ core vs libpsl `psl_registrable_domain`",
            f"{libpsl:.1f}x faster",
            f">= {GOAL_LIBPSL_SPEEDUP:.0f}x",
            verdict(libpsl >= GOAL_LIBPSL_SPEEDUP),
        ]
    )
    import_ms = startup_ms(startup, "vexlo", "import_cpu_ns")
    goals.append(
        [
            "`import vexlo._lookup` (CPU time)",
            f"{import_ms:.2f} ms",
            f"<= {GOAL_IMPORT_MS:.0f} ms",
            verdict(import_ms <= GOAL_IMPORT_MS),
        ]
    )
    add("## Goals\n")
    add(table(["Goal", "Measured", "Target", ""], goals))
    add("")
    if chart:
        add(f"![ns per call, log scale]({chart})\n")

    # Where the time of the headline call goes.
    py_net = calls.net("privatesuffix")
    core_net = core_calls.net("privatesuffix")
    add("## Where the time goes\n")
    add(
        f"A `privatesuffix` call from Python costs {fmt_ns(py_net)} ns beyond the empty loop. "
        f"The core alone, in C++ on the same names, takes {fmt_ns(core_net)} ns: "
        f"{fmt_ns(core_calls.net('lower_short_ascii'))} ns to normalise the name, "
        f"{fmt_ns(core_calls.difference('match_short', 'lower_short_ascii'))} ns more to match "
        f"it against the rules, and "
        f"{fmt_ns(core_calls.difference('privatesuffix', 'match_short'))} ns to cut the "
        f"private suffix (differences of rows timed in the same rounds; short ASCII names, "
        f"nearly all, are lowercased on the stack by `lower_short_ascii` and matched by "
        f"`match_short`, the others go through `normalize_domain` and `match_domain`). The other {fmt_ns(py_net - core_net)} ns are the interpreter's call, argument "
        f"extraction and the result `str`, made and freed; `str.lower`, all of it, takes "
        f"{fmt_ns(calls.net('str.lower'))} ns. Matching walks the rule trie with a binary "
        "search of a fixed number of probes over each node's edges (11 at the root), each "
        "probe comparing one eight-byte label key from an array beside the tables.\n"
    )

    out += carried_over(STEPS_LOG, "The single call, step by step")

    # Python per call.
    add("## Python, per call\n")
    add(
        "Each benchmark is `for n in names: <statement>` over the whole corpus with the "
        "function in a local variable, timed in the thread's CPU time. *Net* subtracts the same loop with `pass` as its "
        "statement (the empty loop, "
        f"{fmt_ns(calls.gross('empty loop'))} ns per name): what remains is the call. "
        "`len` is a C call that makes no object, for scale; `str.lower` on the same names "
        "is the floor, a C call that makes a new string.\n"
    )
    rows = calls.rows(
        lambda entry: f"`{entry['shown']}`",
        lambda name: f"{calls.ratio(name, 'str.lower'):.2f}x",
    )
    add(table(["Call", "Library", "ns/call", "net ns/call", "net / str.lower"], rows))
    add("")

    # Peers side by side.
    peer_rows = []
    for entry in py["calls"]:
        if entry["mapping"]:
            name = entry["name"]
            peer_rows.append(
                [
                    f"`{entry['mapping']}`",
                    f"{entry['group']}: `{entry['shown']}`",
                    fmt_ns(calls.net(entry["mapping"])),
                    fmt_ns(calls.net(name)),
                    f"{calls.ratio(name, entry['mapping']):,.1f}x",
                ]
            )
    if peer_rows:
        add("## Against the Python peers\n")
        add(
            f"The peers are the pure-Python packages' releases pinned in pyproject.toml "
            f"({peer_versions()}), loaded from the same list file "
            "(tldextract with the private section included, offline from a `file://` URL "
            "and without its disk cache; publicsuffix2 from the open file): `extract` is the "
            "configured `TLDExtract` object and `psl` the `PublicSuffixList`. The closest "
            "equivalents: tldextract's `top_domain_under_public_suffix` and publicsuffix2's `get_sld` are "
            "the private suffix; tldextract's `suffix` and publicsuffix2's `get_tld` the "
            "public suffix. Their answers differ from vexlo's at the edges (case, unknown "
            "top-level labels, invalid names); tldextract also takes its argument apart as "
            "a URL (scheme, user, port, path) and decodes `xn--` labels before matching, "
            "which is part of what its callers pay per name.\n"
        )
        add(
            table(
                ["vexlo", "Peer call", "vexlo net ns", "peer net ns", "vexlo faster by"], peer_rows
            )
        )
        add("")
    missing = py.get("missing_peers") or {}
    for peer, reason in missing.items():
        add(f"{peer} could not be loaded: {reason}\n")

    out += carried_over(ENGINES_LOG, "Spark and Dask")

    # Start-up.
    add("## Start-up and memory\n")
    add(
        "Each in a fresh interpreter with byte-compiled sources (as installed packages have "
        "them; an untimed first run writes them) and every package imported from a plain "
        "folder, as installed (vexlo's files and built modules copied to one, so that the "
        "development checkout's editable install is not what is measured), the median of the "
        "runs: the time of the import "
        "statement alone; of the import, loading the list where the library does that at "
        "run time, and one call; and the resident set size after that, beside the bare "
        f"interpreter's ({bare_rss / 1024:.1f} MiB). Times are CPU time, with the wall-clock "
        "time (which includes waiting for the processor on a busy machine) after it.\n"
    )
    rows = []
    for name in ("vexlo", "tldextract", "publicsuffix2"):
        entry = startup.get(name)
        if not entry or not entry["import_ns"]:
            continue
        setup = {
            "vexlo": "`import vexlo._lookup`",
            "tldextract": "`import tldextract`",
            "publicsuffix2": "`import publicsuffix2`",
        }[name]
        rss = median(entry["rss_kib"])

        def ms(key, name=name):
            return (
                f"{startup_ms(startup, name, key + '_cpu_ns'):.2f} "
                f"({startup_ms(startup, name, key + '_ns'):.2f})"
            )

        rows.append(
            [
                name,
                setup,
                ms("import"),
                ms("ready"),
                f"{rss / 1024:.1f}",
                f"+{(rss - bare_rss) / 1024:.1f}",
            ]
        )
    add(
        table(
            [
                "Library",
                "Import",
                "import ms (wall)",
                "import + load + first call ms (wall)",
                "RSS MiB",
                "RSS over bare interpreter MiB",
            ],
            rows,
        )
    )
    add("")

    # C++ core.
    add("## C++ core against libpsl\n")
    add(
        "`bench/bench_core.cpp`: the core alone, no Python, on the same corpus. Each vexlo row "
        "normalises the name, matches it and computes the query's plain answer (a length, a "
        "view into the text); libpsl answers from `psl_load_file` on the same list. libpsl "
        "expects lowercase input: the last row adds its own lowercasing, which a caller with "
        "mixed-case names needs for the same answer. Times are the thread's CPU time. *Net* "
        "subtracts the loop alone "
        f"({fmt_ns(core_calls.gross('empty loop'))} ns per name).\n"
    )
    rows = core_calls.rows(
        lambda entry: f"`{entry['name']}`",
        lambda name: f"{core_calls.ratio('psl_registrable_domain', name, net=False):.1f}x",
    )
    add(
        table(
            ["Benchmark", "Library", "ns/name", "net ns/name", "psl_registrable_domain / this"],
            rows,
        )
    )
    add("")
    return "\n".join(out)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--python", type=pathlib.Path, required=True)
    parser.add_argument("--core", type=pathlib.Path, required=True)
    parser.add_argument("--chart", help="file name of the chart, relative to the output")
    parser.add_argument("--corpus-args", default="")
    parser.add_argument("--load-start", default="?")
    parser.add_argument("--columns", type=pathlib.Path, help="bench_column_calls.py's JSON")
    parser.add_argument("--cli", type=pathlib.Path, help="bench_cli.py's JSON")
    parser.add_argument("--rules", type=pathlib.Path, help="bench_rules.py's JSON")
    parser.add_argument("--urls", type=pathlib.Path, help="bench_urls.py's JSON")
    parser.add_argument("--tldextract", type=pathlib.Path, help="bench_tldextract.py's JSON")
    parser.add_argument("--duckdb", type=pathlib.Path, help="bench_duckdb.py's JSON")
    parser.add_argument("--output", type=pathlib.Path, required=True)
    args = parser.parse_args(argv)
    py = harness.read_results(args.python)
    core = harness.read_results(args.core)
    run_info = {
        "date": harness.run_date(),
        "load_start": args.load_start,
        "load_end": harness.load_average(),
        "corpus_args": args.corpus_args,
    }
    extra = [harness.read_results(path) if path else None for path in (args.columns, args.cli)]
    rules = harness.read_results(args.rules) if args.rules else None
    urls = harness.read_results(args.urls) if args.urls else None
    like_tldextract = harness.read_results(args.tldextract) if args.tldextract else None
    in_duckdb = harness.read_results(args.duckdb) if args.duckdb else None
    report = (
        build_report(py, core, args.chart, run_info)
        + "\n"
        + columns_report(*extra)
        + "\n"
        + rules_report(rules)
        + "\n"
        + urls_report(urls)
        + "\n"
        + tldextract_report(like_tldextract)
        + "\n"
        + duckdb_report(in_duckdb)
    )
    args.output.write_text(report, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
