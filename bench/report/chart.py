#!/usr/bin/python3
"""Draws the bar chart of BENCHMARKS.md from the JSON results: Python calls
net of the empty loop beside the floor and the peers, and the C++ core beside
libpsl, both on a log scale.

    bench/report/chart.py --python PY.json --core CORE.json --output CHART.png

Needs matplotlib (the bench dependency group of pyproject.toml).
"""

import argparse
import pathlib
import statistics
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
import harness

COLOURS = {
    "vexlo": "#2b6cb0",
    "floor": "#718096",
    "reference": "#a0aec0",
    "tldextract": "#dd6b20",
    "publicsuffix2": "#c53030",
    "libpsl": "#c53030",
}


def bars(entries, net):
    empty = statistics.median(next(e for e in entries if e["name"] == "empty loop")["rounds_ns"])
    shown = [e for e in entries if e["name"] != "empty loop"]
    labels = [e["name"] for e in shown]
    values = [statistics.median(e["rounds_ns"]) - (empty if net else 0) for e in shown]
    colours = [COLOURS.get(e["group"], "#4a5568") for e in shown]
    return labels, values, colours


def draw(axis, title, labels, values, colours, unit):
    positions = range(len(labels))
    axis.barh(positions, values, color=colours)
    axis.set_yticks(list(positions), labels, fontsize=8)
    axis.invert_yaxis()
    axis.set_xscale("log")
    axis.set_xlim(left=1)
    axis.set_xlabel(unit)
    axis.set_title(title, fontsize=10)
    for y, value in zip(positions, values):
        axis.text(value, y, f" {value:,.0f}", va="center", fontsize=7)
    axis.grid(axis="x", which="both", alpha=0.3)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--python", type=pathlib.Path, required=True)
    parser.add_argument("--core", type=pathlib.Path, required=True)
    parser.add_argument("--output", type=pathlib.Path, required=True)
    args = parser.parse_args(argv)
    py = harness.read_results(args.python)
    core = harness.read_results(args.core)

    figure, (top, bottom) = plt.subplots(2, 1, figsize=(8, 9), height_ratios=[3, 2])
    draw(
        top,
        f"Python {py['python']}: ns per call, net of the empty loop",
        *bars(py["calls"], net=True),
        "ns per call (log scale)",
    )
    draw(
        bottom,
        "C++ core against libpsl: ns per name",
        *bars(core["benchmarks"], net=False),
        "ns per name (log scale)",
    )
    figure.suptitle(f"vexlo, {py['corpus_names']:,} names", fontsize=11)
    figure.tight_layout()
    # A PNG can say what made it only in a text chunk.
    figure.savefig(
        args.output,
        dpi=110,
        metadata={"Description": "Made by bench/report/chart.py; remake with scripts/bench."},
    )
    return 0


if __name__ == "__main__":
    sys.exit(main())
