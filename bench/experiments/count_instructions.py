#!/usr/bin/env python3
"""Counts the instructions of one call under callgrind: machine-independent and
repeatable, whatever else the machine is doing, where timings are not.

    bench/experiments/count_instructions.py --corpus FILE [--list FILE] [--bench-core PATH]
                          [--steps PATH] [--passes N] [--python-call NAME ...]
                          [--core NAME ...] [--step NAME ...] [--functions NAME ...]
                          [--keep DIR] [--module PATH] [--package-root DIR]

Each figure is the difference of two runs that differ only in the statement
of the loop: `f(n)` (or the core benchmark NAME) against `pass` (the core's
"empty loop"), divided by the number of calls, so start-up and the loop cancel
out. Python runs with a fixed hash seed, one pass first (which makes the strs'
cached UTF-8 forms), then --passes passes; all count. With
--keep, the callgrind files of the measured runs stay in DIR, for
callgrind_annotate. With --module, the Python calls go to the _lookup built
in PATH instead of the installed one (a build folder's copy keeps its symbols,
which the installed one does not); with --package-root, vexlo is imported
from DIR (a folder holding the package with both compiled modules, such as
scripts/bench makes), so that two builds can be counted one after the other.
Needs valgrind.

For a corpus of URLs (bench_urls.py --write-corpus): the calls named "...
(host)" take the host of each URL instead (as vexlo.host finds it), and the
calls named "columns. ..." are made once a pass on a pyarrow array of the
URLs or of their hosts (--column-passes passes), their figure per element;
--steps counts the rows of bench_url_steps (PATH), each net of its "empty
loop", per URL; --functions adds, for each Python call, the instructions per call of the named C++
functions with all they call (a substring of the name as callgrind_annotate
prints it; symbols come from a build folder's modules, see --package-root).
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
{prepare}
f = {function}
run = harness.loop({statement!r})
run(f, {texts})
for _ in range({passes}):
    run(f, {texts})
"""

# What a run over a corpus of URLs prepares, the same in the run that counts
# and in its empty run, so that it cancels out: the hosts, and for the column
# calls both as pyarrow arrays (pyarrow's import varies from run to run by
# millions of instructions: the column calls make up for it by more passes).
PREPARE_URLS = """
import vexlo
from vexlo import columns
hosts = [vexlo.host(n) or "" for n in names]
"""
PREPARE_COLUMNS = """
import pyarrow
url_column, host_column = [pyarrow.array(names)], [pyarrow.array(hosts)]
"""

# name: (function, statement, the texts it runs over). The texts: "names"
# (the corpus), "hosts" (the hosts of a corpus of URLs), or a column of
# either ("url_column", "host_column"), which the loop takes as one item.
PY_CALLS = {
    "str.lower": ("str.lower", "f(n)", "names"),
    "len": ("len", "f(n)", "names"),
    "subdomain": ("_lookup.subdomain", "f(n, 1)", "names"),
    # The texts' questions, for a corpus of URLs.
    "host": ("__import__('vexlo').host", "f(n)", "names"),
    "privatesuffix(host(url))": (
        "(__import__('vexlo').host, _lookup.privatesuffix)",
        "f[1](f[0](n) or '')",
        "names",
    ),
    "extract": ("__import__('vexlo').extract", "f(n)", "names"),
    "privatesuffix (host)": ("_lookup.privatesuffix", "f(n)", "hosts"),
    "extract (host)": ("__import__('vexlo').extract", "f(n)", "hosts"),
    "columns.host(urls)": ("columns.host", "f(n)", "url_column"),
    "columns.privatesuffix(hosts)": ("columns.privatesuffix", "f(n)", "host_column"),
    "columns.privatesuffix(columns.host(urls))": (
        "lambda urls: columns.privatesuffix(columns.host(urls))",
        "f(n)",
        "url_column",
    ),
    "columns.extract(urls, fields=(privatesuffix,))": (
        "lambda urls: columns.extract(urls, fields=('privatesuffix',))",
        "f(n)",
        "url_column",
    ),
    "columns.extract(urls)": ("columns.extract", "f(n)", "url_column"),
}


def callgrind(command, out_file, env=None):
    done = subprocess.run(
        ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out_file}", *command],
        capture_output=True,
        text=True,
        env=dict(env or os.environ, PYTHONHASHSEED="0"),
    )
    match = re.search(r"Collected : (\d+)", done.stderr)
    if done.returncode != 0 or not match:
        raise SystemExit(f"count_instructions: {' '.join(command)} failed:\n{done.stderr}")
    return int(match.group(1))


def call_spec(name):
    if name == "pass":
        return "None", "pass", "names"
    return PY_CALLS.get(name, (f"_lookup.{name}", "f(n)", "names"))


def passes(args, texts):
    """The passes after the first: a column's calls --column-passes."""
    return args.column_passes if texts.endswith("column") else args.passes


def python_env(args):
    """The environment of the Python runs: with --package-root, that folder
    first on the path and the interpreter's own packages (pyarrow) after."""
    if not args.package_root:
        return None
    import sysconfig

    path = [str(args.package_root), sysconfig.get_path("purelib"), os.environ.get("PYTHONPATH")]
    return dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, path)))


def python_count(name, args, out_dir, texts=None):
    function, statement, own_texts = call_spec(name)
    texts = texts or own_texts
    load_lookup = "from vexlo import _lookup"
    if args.module:
        load_lookup = (
            f"from ab_single_call import load_module; _lookup = load_module({str(args.module)!r})"
        )
    column = texts.endswith("column")
    code = PY_DRIVER.format(
        load_lookup=load_lookup,
        paths=[str(HERE), str(HERE.parent)],
        corpus=str(args.corpus),
        prepare=(PREPARE_URLS if args.urls else "") + (PREPARE_COLUMNS if column else ""),
        function=function,
        statement=statement,
        texts=texts,
        passes=passes(args, texts),
    )
    out_file = out_dir / f"python.{re.sub(r'[^A-Za-z0-9.]+', '_', name)}.{texts}.out"
    # -P keeps the working folder off the path; -S keeps .venv's editable
    # install from shadowing --package-root.
    flags = ["-P", "-S"] if args.package_root else ["-P"]
    return callgrind([sys.executable, *flags, "-c", code], out_file, python_env(args)), out_file


def inclusive_counts(out_file, functions):
    """The instructions of each named function with its callees, over the run."""
    if not functions:
        return {}
    shown = subprocess.run(
        ["callgrind_annotate", "--inclusive=yes", "--threshold=100", str(out_file)],
        capture_output=True,
        text=True,
        check=True,
    ).stdout
    counts = {}
    for wanted in functions:
        total = 0
        for line in shown.splitlines():
            match = re.match(r"\s*([\d,]+) \(.*?\)\s+(.*)", line)
            if match and wanted in match.group(2):
                total = max(total, int(match.group(1).replace(",", "")))
        counts[wanted] = total
    return counts


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


def step_count(name, args, out_dir):
    # bench_url_steps: --passes passes of the row's pass over the corpus.
    out_name = re.sub(r"[^A-Za-z0-9.]+", "_", name)
    command = [str(args.steps), str(args.corpus), "--passes", str(args.passes), "--only", name]
    return callgrind(command, out_dir / f"steps.{out_name}.out")


def step_names(args):
    listed = subprocess.run(
        [str(args.steps), str(args.corpus), "--names"], capture_output=True, text=True, check=True
    ).stdout
    return [line for line in listed.splitlines() if line and line != "empty loop"]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", type=pathlib.Path, required=True)
    parser.add_argument("--list", type=pathlib.Path)
    parser.add_argument("--bench-core", type=pathlib.Path)
    parser.add_argument("--steps", type=pathlib.Path, help="bench_url_steps")
    parser.add_argument("--passes", type=int, default=2)
    parser.add_argument("--column-passes", type=int, default=30)
    parser.add_argument("--python-call", nargs="*", default=[])
    parser.add_argument("--core", nargs="*", default=[])
    parser.add_argument("--step", nargs="*", help="bench_url_steps rows (default: every row)")
    parser.add_argument("--functions", nargs="*", default=[])
    parser.add_argument("--keep", type=pathlib.Path)
    parser.add_argument("--module", type=pathlib.Path)
    parser.add_argument("--package-root", type=pathlib.Path)
    args = parser.parse_args(argv)
    names = len(harness.read_corpus(args.corpus))
    args.urls = args.steps is not None or any(
        call_spec(name)[2] != "names" or name.startswith("columns.") for name in args.python_call
    )
    with tempfile.TemporaryDirectory(prefix="vexlo-callgrind-") as scratch:
        out_dir = args.keep or pathlib.Path(scratch)
        out_dir.mkdir(parents=True, exist_ok=True)
        if args.python_call:
            empty = {}
            for name in args.python_call:
                texts = call_spec(name)[2]
                if texts not in empty:
                    count, out_file = python_count("pass", args, out_dir, texts)
                    empty[texts] = count, inclusive_counts(out_file, args.functions)
                # The first pass counts too; a column's figure is per element.
                calls = names * (passes(args, texts) + 1)
                total, out_file = python_count(name, args, out_dir)
                print(
                    f"python {name:<48} {(total - empty[texts][0]) / calls:10.1f} instructions/text"
                )
                # Net of the empty run's, as the total is: the preparation
                # calls some of them too.
                for function, count in inclusive_counts(out_file, args.functions).items():
                    count -= empty[texts][1][function]
                    if count:
                        print(f"         {function:<47} {count / calls:10.1f} per text, inclusive")
        if args.core:
            if not (args.bench_core and args.list):
                parser.error("--core needs --bench-core and --list")
            calls = (names + max(1, names // 10)) * (args.passes + 1)
            empty = core_count("empty loop", args, out_dir)
            for name in args.core:
                per_call = (core_count(name, args, out_dir) - empty) / calls
                print(f"core   {name:<16} {per_call:10.1f} instructions/call")
        if args.steps:
            calls = names * args.passes
            empty = step_count("empty loop", args, out_dir)
            for name in args.step or step_names(args):
                per_url = (step_count(name, args, out_dir) - empty) / calls
                print(f"step   {name:<52} {per_url:10.1f} instructions/URL")
    return 0


if __name__ == "__main__":
    sys.exit(main())
