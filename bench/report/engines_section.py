"""The section on Spark and Dask, from the results of bench_engines.py, which
writes it to docs/engines.md (report.py carries that into BENCHMARKS.md as it
stands, since the benchmark is run by hand).

    markdown(result) -> the section's text
"""

from markup import table

BILLION = 1_000_000_000
EXECUTORS = (1, 10, 100)  # for the estimate on paper, each with CORES_PER_EXECUTOR
CORES_PER_EXECUTOR = 4
# Until vexlo.columns is measured: its goal for one thread, ns a name, added
# to the measured jobs without vexlo for a projection on paper.
COLUMNS_GOAL_NS = 90


def core_ns(entry):
    """Core time per name, in ns: the CPU time of every process of the job."""
    return entry["cpu_seconds"] / entry["rows"] * 1e9


def hours_for_a_billion(entry, executors):
    per_core = 1e9 / core_ns(entry)
    return BILLION / (per_core * executors * CORES_PER_EXECUTOR) / 3600


def fmt_hours(hours):
    if hours * 60 < 1:
        return f"{hours * 3600:.0f} s"
    return f"{hours * 60:.1f} min" if hours < 1 else f"{hours:,.1f} h"


def markdown(result):
    out = []
    add = out.append
    info = result["run"]
    cores = info["local_cores"]
    add(
        f"Measured by `bench/bench_engines.py` on {info['date']} ({info['machine']}; load "
        f"average {info['load_start']} at the start, {info['load_end']} at the end): "
        f"{info['names']:,} host names from `bench/corpus.py`, in {info['files']} Parquet "
        f"files, through Spark {info['spark']} on a `local[{cores}]` master and Dask "
        f"{info['dask']} on a `LocalCluster` of {cores} worker processes of one thread; "
        "each job answers every name's registrable domain and keeps nothing (Spark writes to "
        "the `noop` sink, Dask sums a count per partition). Times are wall-clock, for the "
        f"whole job after the Python workers have started, the median of {info['rounds']} "
        "rounds (each round runs every job once, in turn); per-row tldextract ran over the "
        f"first {info['slow_files']} files ({info['slow_rows']:,} names). *Core time per "
        "name* is the CPU time (user and system) of every process of the job, the JVM, its "
        "Python workers and Dask's workers included, over the names: unlike the wall time, "
        "it does not grow when other work shares the machine; the estimates below are "
        "made from it.\n"
    )
    rows = []
    for entry in result["jobs"]:
        if entry["rows"] is None:
            rows.append(
                [
                    entry["engine"],
                    entry["name"],
                    entry["what"],
                    "",
                    "",
                    "not measured: no vexlo.columns in this build",
                    "",
                ]
            )
            continue
        rows.append(
            [
                entry["engine"],
                entry["name"],
                entry["what"],
                f"{entry['rows']:,}",
                f"{entry['seconds']:.1f}",
                f"{entry['rows_per_second']:,.0f}",
                f"{core_ns(entry):,.0f}",
            ]
        )
    add(
        table(
            [
                "Engine",
                "Job",
                "How",
                "Names",
                "Seconds",
                "Names per second",
                "Core time per name, ns",
            ],
            rows,
        )
    )
    add("")

    by_name = {(e["engine"], e["name"]): e for e in result["jobs"] if e["rows"] is not None}
    projected = projections(by_name)
    if projected:
        add(
            "vexlo.columns was not in the build measured, so its rows are projected: the "
            "measured job that does everything but answer (for Spark the Arrow round trip, for "
            f"Dask the engine alone) plus {COLUMNS_GOAL_NS} ns of core time a name, the column "
            "API's goal with one thread. Run this benchmark again with vexlo.columns built to "
            "replace them with measurements.\n"
        )
        by_name.update(projected)
    estimate = []
    for key in (
        ("spark", "vexlo.columns, mapInArrow"),
        ("spark", "per-row UDF, vexlo scalar"),
        ("spark", "per-row UDF, tldextract"),
        ("dask", "vexlo.columns, map_partitions"),
        ("dask", "per-row, vexlo scalar"),
        ("dask", "per-row, tldextract"),
    ):
        entry = by_name.get(key)
        if entry is None:
            continue
        per_core = 1e9 / core_ns(entry)
        label = key[1] + (" (projected)" if entry.get("projected") else "")
        estimate.append(
            [key[0], label, f"{per_core:,.0f}", f"{BILLION / per_core / 3600:,.1f}"]
            + [fmt_hours(hours_for_a_billion(entry, n)) for n in EXECUTORS]
        )
    if estimate:
        add(
            f"A billion names, on paper: the per-core rate measured here, times "
            f"{CORES_PER_EXECUTOR} cores per executor (or Dask worker machine), assuming the "
            "job scales with cores as these jobs do (no shuffle before the answers; the "
            "group-by afterwards moves only distinct domains and counts), and leaving out "
            "the cluster's and the job's start-up (seconds to minutes) and any wait for "
            "storage:\n"
        )
        add(
            table(
                ["Engine", "Job", "Names per core-second", "Core-hours"]
                + [f"{n} x {CORES_PER_EXECUTOR} cores" for n in EXECUTORS],
                estimate,
            )
        )
        add("")
    split = where_time_goes(by_name)
    if split:
        add(split)
    return "\n".join(out)


def projections(by_name):
    """Projected entries for the vexlo.columns jobs that were not measured."""
    projected = {}
    for key, base in (
        (("spark", "vexlo.columns, mapInArrow"), ("spark", "Arrow round trip")),
        (("dask", "vexlo.columns, map_partitions"), ("dask", "engine alone")),
    ):
        if key in by_name or base not in by_name:
            continue
        ns = core_ns(by_name[base]) + COLUMNS_GOAL_NS
        rows = by_name[base]["rows"]
        projected[key] = {
            "engine": key[0],
            "name": key[1],
            "rows": rows,
            "cpu_seconds": ns * rows / 1e9,
            "projected": True,
        }
    return projected


def where_time_goes(by_name):
    """The Spark split, from the differences of the jobs in core time per name."""
    engine = by_name.get(("spark", "engine alone"))
    arrow = by_name.get(("spark", "Arrow round trip"))
    if not engine or not arrow:
        return ""
    engine_ns = core_ns(engine)
    transfer_ns = core_ns(arrow) - engine_ns
    text = (
        "Where the time goes in Spark, in core time per name: reading and scanning the "
        f"Parquet files in the JVM takes {engine_ns:,.0f} ns; moving the column to a Python "
        f"worker as Arrow batches and back adds {transfer_ns:,.0f} ns"
    )
    columns = by_name.get(("spark", "vexlo.columns, mapInArrow"))
    scalar = by_name.get(("spark", "vexlo scalar in mapInArrow"))
    row = by_name.get(("spark", "per-row UDF, vexlo scalar"))
    if columns:
        text += (
            f"; vexlo.columns on the batches adds {core_ns(columns) - core_ns(arrow):,.0f} ns "
            "(the answers themselves, and the result column)"
            + (" on paper" if columns.get("projected") else "")
        )
    if columns:
        total = core_ns(columns)
        vexlo_ns = total - core_ns(arrow)
        text += (
            f". With vexlo.columns, then, the engine takes {engine_ns / total:.0%} of the "
            f"time, the Arrow transfer {transfer_ns / total:.0%} and vexlo {vexlo_ns / total:.0%}"
        )
    if scalar:
        text += (
            f". A Python loop calling the scalar function on the same batches adds "
            f"{core_ns(scalar) - core_ns(arrow):,.0f} ns instead (a `str` in and out per name)"
        )
    if row:
        text += (
            f", and a per-row UDF, whose rows are pickled to the worker and back, "
            f"{core_ns(row) - engine_ns:,.0f} ns over the engine"
        )
    return (
        text + ". Writing the answers out (to Parquet, say) is the engine's work again, on top.\n"
    )
