#!/usr/bin/env python3
"""Times two or more builds of vexlo._lookup against each other in one process,
interleaved, so that whatever else the machine does falls on all of them alike.

    bench/experiments/ab_single_call.py --corpus FILE --module LABEL=PATH
                      [--module LABEL=PATH ...] [--function NAME ...] [--rounds N]

Each round times one pass over the corpus for every (module, function) pair,
`str.lower` and the empty loop, in an order shuffled from round to round, each
pass after an untimed tenth of the names (as bench_python.py does). Printed:
the median over the rounds of each pass net of the empty loop, in ns per call
of thread CPU time, and its ratio to `str.lower` timed in the same rounds.
Standard library only.
"""

import argparse
import importlib.machinery
import importlib.util
import pathlib
import statistics
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
import harness


def load_module(path):
    """The extension module in `path`, loaded under its own name without
    touching sys.modules, so several builds can sit side by side."""
    loader = importlib.machinery.ExtensionFileLoader("_lookup", str(path))
    found = importlib.util.spec_from_file_location("_lookup", str(path), loader=loader)
    module = importlib.util.module_from_spec(found)
    loader.exec_module(module)
    return module


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", type=pathlib.Path, required=True)
    parser.add_argument("--module", action="append", required=True, metavar="LABEL=PATH")
    parser.add_argument("--function", action="append", default=None)
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args(argv)
    names = harness.read_corpus(args.corpus)
    functions = args.function or ["privatesuffix", "is_public"]
    call, empty = harness.loop("f(n)"), harness.loop("pass")

    passes = [("empty loop", empty, None), ("str.lower", call, str.lower)]
    for entry in args.module:
        label, _, path = entry.partition("=")
        module = load_module(path)
        for name in functions:
            passes.append((f"{label} {name}", call, getattr(module, name)))

    by_pass = harness.in_shuffled_rounds(
        passes, args.rounds, lambda job: harness.time_pass(job[1], job[2], names), args.seed
    )
    rounds = {label: ns for (label, _, _), ns in by_pass.items()}

    base = [statistics.median(rounds["empty loop"])]
    net = {label: statistics.median(ns) - base[0] for label, ns in rounds.items()}
    for label, _, _ in passes[1:]:
        ratio = net[label] / net["str.lower"]
        print(f"{label:<28} {net[label]:8.1f} ns/call net  {ratio:5.2f}x str.lower")
    return 0


if __name__ == "__main__":
    sys.exit(main())
