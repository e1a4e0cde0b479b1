#!/usr/bin/env python3
"""Times vexlo's six functions per call beside the floor (str.lower on the same
names) and two pure-Python peers, tldextract and publicsuffix2, all loaded from
the same list file, in one process; then the start-up of each in fresh
interpreters: import, import plus loading plus first call, and resident memory.

    bench_python.py --corpus FILE [--list FILE] [--rounds N] [--startup-runs N] [--json FILE]

Each round passes once over the whole corpus per benchmark, in an order
shuffled from round to round; the figures are medians over the rounds, in the
thread's CPU time (on a shared machine, time that other processes take is not
counted). A benchmark's loop is

    for n in names:
        <statement>

with the function in a local variable; "empty loop" is the same loop with
`pass` as the statement, and a figure net of it is the cost of the call alone.
Run it with the project's environment (.venv, with the bench dependency
group: the peers' current releases from the package index).
"""

import argparse
import gc
import os
import pathlib
import platform
import statistics
import subprocess
import sys
import sysconfig
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import harness


class Bench:
    def __init__(self, name, group, function, statement="f(n)", mapping="", shown=None):
        self.name = name
        self.shown = shown or statement.replace("f(", name + "(", 1)  # the call as a user writes it
        self.group = group
        self.function = function
        self.run = harness.loop(statement)
        self.statement = statement
        self.mapping = mapping  # the vexlo function this one stands in for
        self.rounds_ns = []

    def time_pass(self, names):
        return harness.time_pass(self.run, self.function, names)


def peers(list_path):
    """tldextract and publicsuffix2, configured offline from `list_path`, or
    a reason each is missing."""
    loaded, missing = {}, {}
    try:
        loaded["tldextract"] = harness.tldextract_extractor(list_path)
    except ImportError as error:
        missing["tldextract"] = str(error)
    try:
        import publicsuffix2

        with open(list_path, encoding="utf-8") as lines:
            loaded["publicsuffix2"] = publicsuffix2.PublicSuffixList(psl_file=lines)
    except ImportError as error:
        missing["publicsuffix2"] = str(error)
    return loaded, missing


def make_benches(lookup, loaded):
    benches = [
        Bench("empty loop", "reference", None, "pass"),
        Bench("len", "reference", len),
        Bench("str.lower", "floor", str.lower),
    ]
    for name in ("publicsuffix", "privatesuffix", "is_public", "is_private", "privateparts"):
        benches.append(Bench(name, "vexlo", getattr(lookup, name)))
    benches.append(Bench("subdomain", "vexlo", lookup.subdomain, "f(n, 1)"))
    if "tldextract" in loaded:
        ext = loaded["tldextract"]
        benches.append(
            Bench(
                "tldextract .top_domain_under_public_suffix",
                "tldextract",
                ext,
                "f(n).top_domain_under_public_suffix",
                "privatesuffix",
                "extract(n).top_domain_under_public_suffix",
            )
        )
        benches.append(
            Bench(
                "tldextract .suffix",
                "tldextract",
                ext,
                "f(n).suffix",
                "publicsuffix",
                "extract(n).suffix",
            )
        )
    if "publicsuffix2" in loaded:
        psl = loaded["publicsuffix2"]
        benches.append(
            Bench(
                "publicsuffix2 get_sld",
                "publicsuffix2",
                psl.get_sld,
                mapping="privatesuffix",
                shown="psl.get_sld(n)",
            )
        )
        benches.append(
            Bench(
                "publicsuffix2 get_tld",
                "publicsuffix2",
                psl.get_tld,
                mapping="publicsuffix",
                shown="psl.get_tld(n)",
            )
        )
    return benches


def time_calls(benches, names, rounds):
    for bench in benches:  # warm up: caches, the peers' lazy loading
        bench.time_pass(names[:200])
    gc_was_enabled = gc.isenabled()
    gc.disable()
    try:
        rounds_ns = harness.in_shuffled_rounds(
            benches, rounds, lambda bench: bench.time_pass(names), seed=6
        )
    finally:
        if gc_was_enabled:
            gc.enable()
    for bench in benches:
        bench.rounds_ns = rounds_ns[bench]


# Start-up, each in a fresh interpreter. `setup` imports; `ready` loads the
# list where the library does so and answers one call.
STARTUP = {
    "bare interpreter": ("", ""),
    "vexlo": ("import vexlo._lookup", "vexlo._lookup.privatesuffix('www.example.co.uk')"),
    "tldextract": (
        "import tldextract",
        "tldextract.TLDExtract(**TLDEXTRACT_OPTIONS)('www.example.co.uk').top_domain_under_public_suffix",
    ),
    "publicsuffix2": (
        "import publicsuffix2",
        "publicsuffix2.PublicSuffixList(psl_file=open(LIST_PATH, encoding='utf-8'))"
        ".get_sld('www.example.co.uk')",
    ),
}

# The probes run without the site module: an editable install of the
# project (a development checkout) would put its import redirector in front
# of every import. The folders are on sys.path as an installed program has
# them: the plain package first, then the environment's packages.
STARTUP_PROBE = """
import sys
sys.path[:0] = {paths!r}
import time
def rss_kib():
    with open('/proc/self/status') as status:
        for line in status:
            if line.startswith('VmRSS:'):
                return int(line.split()[1])
rss0 = rss_kib()
LIST_PATH = {list_path!r}
TLDEXTRACT_OPTIONS = {tldextract_options!r}
w1, c1 = time.perf_counter_ns(), time.thread_time_ns()
{setup}
w2, c2 = time.perf_counter_ns(), time.thread_time_ns()
{ready}
w3, c3 = time.perf_counter_ns(), time.thread_time_ns()
rss1 = rss_kib()
print(w2 - w1, w3 - w1, c2 - c1, c3 - c1, rss0, rss1)
"""


def time_startup(list_path, runs, package_root):
    results = {
        name: {
            "import_ns": [],
            "ready_ns": [],
            "import_cpu_ns": [],
            "ready_cpu_ns": [],
            "rss_kib": [],
            "rss_delta_kib": [],
        }
        for name in STARTUP
    }
    codes = {
        name: STARTUP_PROBE.format(
            list_path=str(list_path),
            tldextract_options=harness.tldextract_options(list_path),
            setup=setup,
            ready=ready,
            paths=[str(package_root), sysconfig.get_path("purelib")],
        )
        for name, (setup, ready) in STARTUP.items()
    }
    # Byte-compiled sources, as an installed package has them, kept out of
    # the source folders; the first, untimed run of each writes them.
    with tempfile.TemporaryDirectory(prefix="vexlo-bench-pycache-") as pycache:
        env = dict(os.environ, PYTHONPYCACHEPREFIX=pycache)
        env.pop("PYTHONDONTWRITEBYTECODE", None)

        def run(code):
            return subprocess.run(
                [sys.executable, "-S", "-P", "-c", code], capture_output=True, text=True, env=env
            )

        for code in codes.values():
            run(code)
        for _ in range(runs):
            for name, code in codes.items():
                _record(results[name], run(code))
    return results


def _record(entry, done):
    if done.returncode != 0:
        entry["error"] = done.stderr.strip().splitlines()[-1:]
        return
    import_ns, ready_ns, import_cpu, ready_cpu, rss0, rss1 = map(int, done.stdout.split())
    entry["import_ns"].append(import_ns)
    entry["ready_ns"].append(ready_ns)
    entry["import_cpu_ns"].append(import_cpu)
    entry["ready_cpu_ns"].append(ready_cpu)
    entry["rss_kib"].append(rss1)
    entry["rss_delta_kib"].append(rss1 - rss0)


def median(values):
    return statistics.median(values) if values else None


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", type=pathlib.Path, required=True)
    parser.add_argument("--list", type=pathlib.Path, default=None)
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--startup-runs", type=int, default=11)
    parser.add_argument("--json", type=pathlib.Path)
    parser.add_argument(
        "--package-root",
        type=pathlib.Path,
        help="a folder holding the vexlo package as installed, for the start-up "
        "probes (default: where this interpreter imports it from)",
    )
    args = parser.parse_args(argv)

    list_path = args.list or harness.default_list_path()
    from vexlo import _lookup as lookup

    checksum = harness.list_checksum(list_path)
    if checksum != lookup.LIST_CHECKSUM:
        raise SystemExit(
            f"bench_python: {list_path} is not the list vexlo was compiled from "
            f"(SHA-256 {checksum}, module {lookup.LIST_CHECKSUM})"
        )
    names = harness.read_corpus(args.corpus)
    loaded, missing = peers(list_path)
    benches = make_benches(lookup, loaded)
    time_calls(benches, names, max(1, args.rounds))
    package_root = args.package_root or pathlib.Path(lookup.__file__).parents[1]
    startup = time_startup(list_path, max(1, args.startup_runs), package_root)

    result = {
        "python": sys.version.split()[0],
        "implementation": platform.python_implementation(),
        "module": lookup.__file__,
        "list_file": str(list_path),
        "list_checksum": checksum,
        "corpus_file": str(args.corpus),
        "corpus_names": len(names),
        "rounds": max(1, args.rounds),
        "missing_peers": missing,
        "calls": [
            {
                "name": b.name,
                "group": b.group,
                "statement": b.statement,
                "shown": b.shown,
                "mapping": b.mapping,
                "median_ns": median(b.rounds_ns),
                "rounds_ns": b.rounds_ns,
            }
            for b in benches
        ],
        "startup": startup,
    }
    empty = median(benches[0].rounds_ns)
    for bench in benches:
        print(
            f"{bench.name:<32} {median(bench.rounds_ns) - empty:10.1f} ns/call net", file=sys.stderr
        )
    for name, entry in startup.items():
        if entry["import_ns"]:
            print(
                f"start-up {name:<18} import {median(entry['import_ns']) / 1e6:8.2f} ms "
                f"(CPU {median(entry['import_cpu_ns']) / 1e6:.2f}), "
                f"ready {median(entry['ready_ns']) / 1e6:8.2f} ms, "
                f"RSS +{median(entry['rss_delta_kib'])} KiB",
                file=sys.stderr,
            )
    if args.json:
        harness.write_results(args.json, result)
    return 0


if __name__ == "__main__":
    sys.exit(main())
