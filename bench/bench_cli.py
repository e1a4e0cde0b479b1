#!/usr/bin/env python3
"""Times the vexlo command beside libpsl's `psl --batch --print-reg-domain`
(and tldextract's command, when its package is installed) on one file of
names, each command reading the file on standard input and writing to
/dev/null; the figure of each is the best wall time of a few runs.

    bench_cli.py [--corpus FILE | --count N --seed S] [--list FILE] [--runs N] [--json FILE]

Without --corpus, a corpus of --count names (default 1,000,000) is written
by corpus.py to a temporary file. vexlo runs as `python -m vexlo` with the
interpreter running this script and this checkout importable; psl from PATH
(Debian package `psl`). tldextract's command takes names only as arguments,
so xargs hands them over in batches, and its list is the same file, read
offline; it is timed once, as it is slow. Run by hand: no timing is checked.
"""

import argparse
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
REPO = HERE.parent
sys.path.insert(0, str(HERE))
import corpus  # noqa: E402

# tldextract's own command (tldextract.cli.main), with its extractor reading
# the list file given instead of fetching one.
TLDEXTRACT_COMMAND = """
import functools, pathlib, sys, tldextract, tldextract.cli
list_uri = pathlib.Path(sys.argv.pop(1)).resolve().as_uri()
tldextract.cli.TLDExtract = functools.partial(
    tldextract.TLDExtract, cache_dir=False, suffix_list_urls=(list_uri,),
    fallback_to_snapshot=False)
sys.argv[0] = "tldextract"
tldextract.cli.main()
"""
TLDEXTRACT_BATCH = 20_000


def best_time(command, corpus_path, runs, env=None):
    """The best wall time of `runs` runs, and the exit statuses seen."""
    best, statuses = None, set()
    for _ in range(runs):
        with open(corpus_path, "rb") as stdin:
            start = time.perf_counter()
            status = subprocess.run(
                command, stdin=stdin, stdout=subprocess.DEVNULL, env=env
            ).returncode
            elapsed = time.perf_counter() - start
        statuses.add(status)
        best = elapsed if best is None else min(best, elapsed)
    return best, statuses


def tldextract_python():
    """An interpreter that imports tldextract, or None."""
    for python in (sys.executable, "/usr/bin/python3"):
        if (
            python
            and shutil.which(python)
            and subprocess.run(
                [python, "-c", "import tldextract.cli"], capture_output=True
            ).returncode
            == 0
        ):
            return python
    return None


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", type=pathlib.Path)
    parser.add_argument("--count", type=int, default=1_000_000)
    parser.add_argument("--seed", type=int, default=6)
    parser.add_argument(
        "--list",
        type=pathlib.Path,
        default=None,
        help="list file for the corpus and tldextract (default: as corpus.py)",
    )
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--json", type=pathlib.Path, help="also write the results here")
    args = parser.parse_args(argv)
    list_path = args.list or corpus.default_list_path()

    with tempfile.TemporaryDirectory(prefix="vexlo-bench-cli-") as work:
        corpus_path = args.corpus
        if corpus_path is None:
            corpus_path = pathlib.Path(work, "names.txt")
            corpus.main(
                [
                    "--list",
                    str(list_path),
                    "--count",
                    str(args.count),
                    "--seed",
                    str(args.seed),
                    "--output",
                    str(corpus_path),
                ]
            )
        names = corpus_path.read_bytes().count(b"\n")
        env = dict(
            os.environ,
            PYTHONPATH=os.pathsep.join(filter(None, [str(REPO), os.environ.get("PYTHONPATH")])),
        )

        commands = [
            ("vexlo", [sys.executable, "-m", "vexlo"], args.runs, env),
            (
                "vexlo --fields privatesuffix",
                [sys.executable, "-m", "vexlo", "--fields", "privatesuffix"],
                args.runs,
                env,
            ),
        ]
        skipped = []
        if shutil.which("psl"):
            commands.append(
                (
                    "psl --batch --print-reg-domain",
                    ["psl", "--batch", "--print-reg-domain"],
                    args.runs,
                    None,
                )
            )
        else:
            skipped.append("psl: not on PATH (Debian package psl)")
        python = tldextract_python()
        if python:
            commands.append(
                (
                    f"tldextract (xargs -n {TLDEXTRACT_BATCH})",
                    [
                        "xargs",
                        "-d",
                        "\n",
                        "-n",
                        str(TLDEXTRACT_BATCH),
                        python,
                        "-c",
                        TLDEXTRACT_COMMAND,
                        str(list_path),
                    ],
                    1,
                    None,
                )
            )
        else:
            skipped.append("tldextract: not installed")

        results = []
        for label, command, runs, command_env in commands:
            seconds, statuses = best_time(command, corpus_path, runs, command_env)
            results.append(
                {
                    "command": label,
                    "seconds": seconds,
                    "runs": runs,
                    "names_per_second": names / seconds,
                    "exit_statuses": sorted(statuses),
                }
            )

    psl = next((r["seconds"] for r in results if r["command"].startswith("psl")), None)
    print(
        f"{names:,} names from {corpus_path if args.corpus else 'a generated corpus'}; "
        f"best of {args.runs} runs (wall time)"
    )
    print(f"{'command':40} {'seconds':>8} {'names/s':>12} {'psl time / this':>16}")
    for result in results:
        ratio = f"{psl / result['seconds']:.2f}x" if psl else "-"
        print(
            f"{result['command']:40} {result['seconds']:8.3f} "
            f"{result['names_per_second']:12,.0f} {ratio:>16}"
        )
    for reason in skipped:
        print(f"skipped: {reason}")
    if args.json:
        args.json.write_text(
            json.dumps({"names": names, "results": results, "skipped": skipped}, indent=2) + "\n"
        )
    return 0


if __name__ == "__main__":
    sys.exit(main())
