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
offline as the other benchmarks read it (the command's own switches, the
private section and the fallback to its snapshot, keep their defaults); it is
timed once, as it is slow. Run by scripts/bench, or by hand: no timing is
checked.
"""

import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import corpus  # noqa: E402
import harness  # noqa: E402

# tldextract's own command (tldextract.cli.main), with its extractor reading
# the list file instead of fetching one; the command's switches are passed
# over these.
TLDEXTRACT_COMMAND = """
import functools, sys, tldextract, tldextract.cli
tldextract.cli.TLDExtract = functools.partial(tldextract.TLDExtract, **{options!r})
sys.argv[0] = "tldextract"
tldextract.cli.main()
"""
TLDEXTRACT_BATCH = 20_000


def best_time(command, corpus_path, runs, env=None):
    """The best wall time of `runs` runs, and the exit statuses seen."""
    done = [harness.time_command(command, corpus_path, env) for _ in range(runs)]
    return min(seconds for seconds, _ in done), {status for _, status in done}


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
    corpus.add_arguments(parser, count=1_000_000)  # the list is tldextract's too
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--json", type=pathlib.Path, help="also write the results here")
    args = parser.parse_args(argv)
    list_path = args.list or harness.default_list_path()

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
        names = len(harness.read_corpus(corpus_path))
        env = dict(os.environ, PYTHONPATH=harness.python_path(harness.REPO))

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
                        TLDEXTRACT_COMMAND.format(options=harness.tldextract_options(list_path)),
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
        harness.write_results(args.json, {"names": names, "results": results, "skipped": skipped})
    return 0


if __name__ == "__main__":
    sys.exit(main())
