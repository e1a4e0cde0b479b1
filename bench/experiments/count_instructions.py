#!/usr/bin/env python3
"""Counts the instructions of one call under callgrind: machine-independent and
repeatable, whatever else the machine is doing, where timings are not.

    bench/experiments/count_instructions.py --corpus FILE --list FILE --bench-core PATH
                          [--passes N] [--python-call NAME ...] [--core NAME ...]
                          [--keep DIR] [--module PATH]

Each figure is the difference of two runs that differ only in the statement
of the loop: `f(n)` (or the core benchmark NAME) against `pass` (the core's
"empty loop"), divided by the number of calls, so start-up and the loop cancel
out. Python runs with a fixed hash seed, one pass first (which makes the strs'
cached UTF-8 forms), then --passes passes; all count. With
--keep, the callgrind files of the measured runs stay in DIR, for
callgrind_annotate. With --module, the Python calls go to the _lookup built
in PATH instead of the installed one (a build folder's copy keeps its symbols,
which the installed one does not). Needs valgrind.
"""

import argparse
import os
import pathlib
import re
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent))
import harness  # noqa: E402

PY_DRIVER = """
import sys
sys.path[:0] = {paths!r}
import harness
{load_lookup}
names = harness.read_corpus({corpus!r})
f = {function}
run = harness.loop({statement!r})
run(f, names)
for _ in range({passes}):
    run(f, names)
"""

PY_CALLS = {
    "str.lower": ("str.lower", "f(n)"),
    "len": ("len", "f(n)"),
    "subdomain": ("_lookup.subdomain", "f(n, 1)"),
    # The texts' questions, for a corpus of URLs (bench_urls.py --write-corpus).
    "host": ("__import__('vexlo').host", "f(n)"),
    "privatesuffix(host)": (
        "(__import__('vexlo').host, _lookup.privatesuffix)",
        "f[1](f[0](n) or '')",
    ),
    "extract": ("__import__('vexlo').extract", "f(n)"),
}


def callgrind(command, out_file):
    done = subprocess.run(
        ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out_file}", *command],
        capture_output=True,
        text=True,
        env=dict(os.environ, PYTHONHASHSEED="0"),
    )
    match = re.search(r"Collected : (\d+)", done.stderr)
    if done.returncode != 0 or not match:
        raise SystemExit(f"count_instructions: {' '.join(command)} failed:\n{done.stderr}")
    return int(match.group(1))


def python_count(name, args, out_dir):
    function, statement = PY_CALLS.get(name, (f"_lookup.{name}", "f(n)"))
    if name == "pass":
        function, statement = "None", "pass"
    load_lookup = "from vexlo import _lookup"
    if args.module:
        load_lookup = (
            f"from ab_single_call import load_module; _lookup = load_module({str(args.module)!r})"
        )
    code = PY_DRIVER.format(
        load_lookup=load_lookup,
        paths=[str(HERE), str(HERE.parent)],
        corpus=str(args.corpus),
        function=function,
        statement=statement,
        passes=args.passes,
    )
    return callgrind([sys.executable, "-P", "-c", code], out_dir / f"python.{name}.out")


def core_count(name, args, out_dir):
    # bench_core: one untimed pass and --rounds timed ones, each after a
    # tenth of the names.
    return callgrind(
        [
            str(args.bench_core),
            str(args.corpus),
            str(args.list),
            "--rounds",
            str(args.passes),
            "--only",
            name,
        ],
        out_dir / f"core.{name}.out",
    )


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", type=pathlib.Path, required=True)
    parser.add_argument("--list", type=pathlib.Path, required=True)
    parser.add_argument("--bench-core", type=pathlib.Path)
    parser.add_argument("--passes", type=int, default=2)
    parser.add_argument("--python-call", nargs="*", default=[])
    parser.add_argument("--core", nargs="*", default=[])
    parser.add_argument("--keep", type=pathlib.Path)
    parser.add_argument("--module", type=pathlib.Path)
    args = parser.parse_args(argv)
    names = len(harness.read_corpus(args.corpus))
    with tempfile.TemporaryDirectory(prefix="vexlo-callgrind-") as scratch:
        out_dir = args.keep or pathlib.Path(scratch)
        out_dir.mkdir(parents=True, exist_ok=True)
        if args.python_call:
            calls = names * (args.passes + 1)  # the first pass counts too
            empty = python_count("pass", args, out_dir)
            for name in args.python_call:
                per_call = (python_count(name, args, out_dir) - empty) / calls
                print(f"python {name:<16} {per_call:10.1f} instructions/call")
        if args.core:
            calls = (names + max(1, names // 10)) * (args.passes + 1)
            empty = core_count("empty loop", args, out_dir)
            for name in args.core:
                per_call = (core_count(name, args, out_dir) - empty) / calls
                print(f"core   {name:<16} {per_call:10.1f} instructions/call")
    return 0


if __name__ == "__main__":
    sys.exit(main())
