#!/usr/bin/env python3
"""Times one job over the same Parquet files of generated host names in Spark
(`local[2]`) and in a Dask LocalCluster of two worker processes: the
registrable domain of every name, with vexlo.columns, with a per-row Python
UDF calling vexlo's scalar function, and with one calling tldextract, side by
side in one run; plus the engine alone and the Arrow round trip alone, to show
where the time goes. Writes the results as JSON and as docs/engines.md, which
bench/report/report.py carries into BENCHMARKS.md.

    bench_engines.py [--names 10000000] [--files 20] [--slow-files 2] [--rounds 3]
                     [--engines spark,dask] [--data DIR] [--json FILE] [--markdown FILE]
    bench_engines.py --report-only       # docs/engines.md again from the JSON

Run by hand with the project's .venv (the `engines` and `bench` groups,
`.venv/bin/pip install --group engines --group bench`) and Java 17:

    .venv/bin/python -P bench/bench_engines.py

The names are made by bench/corpus.py, file by file (seed and file number),
and kept in --data between runs. The per-row tldextract UDF takes a few
microseconds a name: it runs over the first --slow-files files only, and its
rate is what that sample gives (rows per second do not depend on the count
once the job is past its start). Rows that need vexlo.columns are left out,
and say so, where this build has none. After a small untimed run of each
job (which starts the Python workers), every job runs once per round, in
turn, and the median of its rounds is shown: times are wall-clock, on a
machine that may be shared, and the rounds spread a change of its load over
all the jobs.
"""

import argparse
import functools
import importlib.util
import json
import os
import pathlib
import statistics
import sys
import time
import warnings

HERE = pathlib.Path(__file__).resolve().parent
sys.path[:0] = [str(HERE), str(HERE / "report")]
import corpus  # noqa: E402
import engine_jobs  # noqa: E402
import harness  # noqa: E402
from engines_section import markdown  # noqa: E402

LOCAL_CORES = 2  # local[2]; two Dask workers of one thread each


def has_columns():
    return importlib.util.find_spec("vexlo.columns") is not None


# The data.


def make_data(folder, names, files, list_path, seed):
    """`files` Parquet files of `names` host names in all (a string column
    `host`, one row group each), made unless `folder` already holds them."""
    import pyarrow as pa
    import pyarrow.parquet as pq

    want = {"names": names, "files": files, "seed": seed, "list": harness.list_checksum(list_path)}
    manifest = folder / "manifest.json"
    if manifest.is_file() and json.loads(manifest.read_text()) == want:
        return
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.glob("*.parquet"):
        old.unlink()
    rules = corpus.read_rules(list_path)
    per_file = -(-names // files)
    started = time.perf_counter()
    for index in range(files):
        count = min(per_file, names - index * per_file)
        generator = corpus.Generator(rules, seed * 1000 + index)
        hosts = pa.array([generator.name() for _ in range(count)], pa.string())
        pq.write_table(
            pa.table({"host": hosts}), folder / f"hosts-{index:03}.parquet", row_group_size=count
        )
        print(
            f"data: file {index + 1}/{files} ({time.perf_counter() - started:.0f} s)",
            file=sys.stderr,
        )
    manifest.write_text(json.dumps(want))


def data_files(folder, count=None):
    files = sorted(folder.glob("*.parquet"))
    return files[:count] if count else files


def rows_in(files):
    import pyarrow.parquet as pq

    return sum(pq.ParquetFile(path).metadata.num_rows for path in files)


# Spark.


def spark_jobs(list_path):
    """(name, what it measures, build(DataFrame) -> DataFrame, slow, needs columns)."""
    from pyspark.sql import functions as F
    from pyspark.sql.functions import pandas_udf, udf
    from pyspark.sql.types import StringType, StructField, StructType

    schema = StructType([StructField("host", StringType()), StructField("domain", StringType())])

    def map_in_arrow(function):
        return lambda frame: frame.mapInArrow(function, schema)

    def per_row(function, **options):
        answer = udf(function, StringType(), **options)
        return lambda frame: frame.select("host", answer(F.col("host")).alias("domain"))

    columns_udf = pandas_udf(engine_jobs.pandas_columns, StringType())
    return [
        ("engine alone", "read and scan, no Python", lambda frame: frame, False, False),
        (
            "Arrow round trip",
            "mapInArrow handing the column back",
            map_in_arrow(engine_jobs.arrow_identity),
            False,
            False,
        ),
        (
            "vexlo.columns, mapInArrow",
            "one call per Arrow batch",
            map_in_arrow(engine_jobs.arrow_columns),
            False,
            True,
        ),
        (
            "vexlo.columns, pandas UDF",
            "one call per batch, as a pandas Series",
            lambda frame: frame.select("host", columns_udf(F.col("host")).alias("domain")),
            False,
            True,
        ),
        (
            "vexlo scalar in mapInArrow",
            "a Python loop over each Arrow batch",
            map_in_arrow(engine_jobs.arrow_scalar_loop),
            False,
            False,
        ),
        (
            "per-row UDF, vexlo scalar",
            "`udf` (rows pickled)",
            per_row(engine_jobs.scalar_privatesuffix),
            False,
            False,
        ),
        (
            "per-row UDF, vexlo scalar, useArrow",
            "`udf(useArrow=True)` (rows in Arrow batches)",
            per_row(engine_jobs.scalar_privatesuffix, useArrow=True),
            False,
            False,
        ),
        (
            "per-row UDF, tldextract",
            "`udf` (rows pickled), `top_domain_under_public_suffix`",
            per_row(functools.partial(engine_jobs.tldextract_domain, str(list_path))),
            True,
            False,
        ),
    ]


def run_spark(data, slow_files, list_path, rounds):
    from pyspark.sql import SparkSession

    os.environ.setdefault("PYSPARK_PYTHON", sys.executable)
    os.environ.setdefault("SPARK_LOCAL_IP", "127.0.0.1")
    spark = (
        SparkSession.builder.master(f"local[{LOCAL_CORES}]")
        .appName("vexlo bench_engines")
        .config("spark.ui.enabled", "false")
        .config("spark.ui.showConsoleProgress", "false")
        .config("spark.driver.memory", "2g")
        # A task per file or so, rather than one per core: no core waits
        # for the last long task.
        .config("spark.sql.files.maxPartitionBytes", "8m")
        .getOrCreate()
    )
    spark.sparkContext.setLogLevel("ERROR")
    try:
        everything = [str(path) for path in data_files(data)]
        sample = [str(path) for path in data_files(data, slow_files)]
        frames = {False: spark.read.parquet(*everything), True: spark.read.parquet(*sample)}
        rows = {False: rows_in(everything), True: rows_in(sample)}
        warm = spark.read.parquet(sample[0]).limit(2000)

        def warm_up(job):
            job[2](warm).write.format("noop").mode("overwrite").save()

        def run(job):
            build, slow = job[2], job[3]
            started = time.perf_counter()
            build(frames[slow]).write.format("noop").mode("overwrite").save()
            return rows[slow], time.perf_counter() - started, None

        results = in_rounds("spark", spark_jobs(list_path), warm_up, run, rounds)
    finally:
        spark.stop()
    return results


# Dask.


def dask_jobs(list_path):
    return [
        ("engine alone", "read, count the names", engine_jobs.dask_read, False, False),
        (
            "vexlo.columns, map_partitions",
            "one call per partition's Series",
            engine_jobs.dask_columns,
            False,
            True,
        ),
        (
            "per-row, vexlo scalar",
            "a Python loop over each partition",
            engine_jobs.dask_scalar,
            False,
            False,
        ),
        (
            "per-row, tldextract",
            "a Python loop over each partition, `top_domain_under_public_suffix`",
            functools.partial(engine_jobs.dask_tldextract, str(list_path)),
            True,
            False,
        ),
    ]


def run_dask(data, slow_files, list_path, rounds):
    import dask.dataframe as dd
    from distributed import Client, LocalCluster

    with (
        LocalCluster(
            n_workers=LOCAL_CORES, threads_per_worker=1, processes=True, dashboard_address=":0"
        ) as cluster,
        Client(cluster),
    ):
        everything = [str(path) for path in data_files(data)]
        sample = [str(path) for path in data_files(data, slow_files)]
        rows = {False: rows_in(everything), True: rows_in(sample)}

        def job(paths, function):
            hosts = dd.read_parquet(paths, columns=["host"])["host"]
            return hosts.map_partitions(function, meta=("answered", "int64")).sum()

        def warm_up(entry):
            job(sample[:1], entry[2]).compute()

        def run(entry):
            function, slow = entry[2], entry[3]
            started = time.perf_counter()
            answered = int(job(sample if slow else everything, function).compute())
            return rows[slow], time.perf_counter() - started, answered

        results = in_rounds("dask", dask_jobs(list_path), warm_up, run, rounds)
    return results


def cpu_snapshot():
    """CPU time, user and system, of this process and every process under it
    (the JVM and its Python workers, Dask's workers), by process: its own,
    and that of its children which it has waited for."""
    import psutil

    snapshot = {}
    for process in [psutil.Process(), *psutil.Process().children(recursive=True)]:
        try:
            times = process.cpu_times()
        except psutil.Error:
            continue
        own = times.user + times.system
        snapshot[process.pid] = (own, times.children_user + times.children_system)
    return snapshot


def cpu_between(before, after):
    """The CPU time the processes of `after` spent since `before`: the work a
    job did, whatever else the machine was doing. A process that ended
    without being waited for is left out."""
    total = 0.0
    for pid, (own, waited) in after.items():
        own_before, waited_before = before.get(pid, (0.0, 0.0))
        total += max(0.0, own - own_before) + max(0.0, waited - waited_before)
    return total


def in_rounds(engine, jobs, warm_up, run, rounds):
    """Each job's median time over `rounds` rounds, each round running every
    job once in turn, so that a change in the machine's load falls on all of
    them alike. Jobs that need vexlo.columns are left out where it is
    missing."""
    results = [
        _not_measured(engine, job[0], job[1]) for job in jobs if job[4] and not has_columns()
    ]
    jobs = [job for job in jobs if not job[4] or has_columns()]
    for job in jobs:
        warm_up(job)
    runs = {job[0]: [] for job in jobs}
    for round_number in range(rounds):
        for job in jobs:
            before = cpu_snapshot()
            rows, seconds, answered = run(job)
            cpu = cpu_between(before, cpu_snapshot())
            runs[job[0]].append((rows, seconds, cpu, answered))
            print(
                f"{engine:<6} round {round_number + 1}: {job[0]:<40} {seconds:8.1f} s, "
                f"CPU {cpu:8.1f} s",
                file=sys.stderr,
            )
    for job in jobs:
        rows, _, _, answered = runs[job[0]][-1]
        seconds = [run[1] for run in runs[job[0]]]
        cpu = [run[2] for run in runs[job[0]]]
        results.append(_measured(engine, job[0], job[1], rows, seconds, cpu, answered))
    return results


def _measured(engine, name, what, rows, rounds_seconds, rounds_cpu, answered=None):
    seconds = statistics.median(rounds_seconds)
    rate = rows / seconds
    print(
        f"{engine:<6} {name:<40} {rows:>11,} rows {seconds:8.1f} s {rate:12,.0f} rows/s",
        file=sys.stderr,
    )
    return {
        "engine": engine,
        "name": name,
        "what": what,
        "rows": rows,
        "seconds": seconds,
        "rounds_seconds": rounds_seconds,
        "cpu_seconds": statistics.median(rounds_cpu),
        "rounds_cpu_seconds": rounds_cpu,
        "rows_per_second": rate,
        "answered": answered,
    }


def _not_measured(engine, name, what):
    print(f"{engine:<6} {name:<40} not measured: no vexlo.columns", file=sys.stderr)
    return {"engine": engine, "name": name, "what": what, "rows": None}


def read_results(path):
    """Results as this benchmark wrote them, completed where an earlier
    version of it recorded less: the local cores (these same), and a job's
    CPU time (then taken as its wall time on every local core)."""
    result = harness.read_results(path)
    result["run"].setdefault("local_cores", LOCAL_CORES)
    for job in result["jobs"]:
        if job["rows"] is not None:
            job.setdefault("cpu_seconds", job["seconds"] * LOCAL_CORES)
    return result


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--names", type=int, default=10_000_000)
    parser.add_argument("--files", type=int, default=20)
    parser.add_argument("--slow-files", type=int, default=2)
    parser.add_argument("--seed", type=int, default=6)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--engines", default="spark,dask")
    parser.add_argument("--list", type=pathlib.Path, default=None)
    parser.add_argument("--data", type=pathlib.Path, default=HERE / "results" / "engines-data")
    parser.add_argument("--json", type=pathlib.Path, default=HERE / "results" / "engines.json")
    parser.add_argument(
        "--markdown", type=pathlib.Path, default=harness.REPO / "docs" / "engines.md"
    )
    parser.add_argument(
        "--report-only", action="store_true", help="rewrite --markdown from --json, run nothing"
    )
    args = parser.parse_args(argv)
    if args.report_only:
        result = read_results(args.json)
        args.markdown.write_text(markdown(result), encoding="utf-8")
        return 0
    # PySpark 4.3 warns that it is not yet tested with pandas 3.
    warnings.filterwarnings("ignore", "PySpark does not yet fully support pandas", FutureWarning)

    list_path = (args.list or harness.default_list_path()).resolve()
    make_data(args.data, args.names, args.files, list_path, args.seed)
    # The workers import engine_jobs by name: Spark's Python workers inherit
    # the environment, Dask's spawned workers this import path.
    os.environ["PYTHONPATH"] = harness.python_path(HERE)
    load_start = harness.load_average()
    jobs = []
    engines = args.engines.split(",")
    if "spark" in engines:
        jobs += run_spark(args.data, args.slow_files, list_path, args.rounds)
    if "dask" in engines:
        jobs += run_dask(args.data, args.slow_files, list_path, args.rounds)

    import dask
    import pyspark

    result = {
        "run": {
            "date": harness.run_date(),
            "machine": f"{harness.cpu_model()}, {os.cpu_count()} logical CPUs",
            "load_start": load_start,
            "load_end": harness.load_average(),
            "names": rows_in(data_files(args.data)),
            "files": len(data_files(args.data)),
            "slow_files": args.slow_files,
            "rounds": args.rounds,
            "local_cores": LOCAL_CORES,
            "slow_rows": rows_in(data_files(args.data, args.slow_files)),
            "spark": pyspark.__version__,
            "dask": dask.__version__,
            "columns": has_columns(),
            "list_file": str(list_path),
        },
        "jobs": jobs,
    }
    harness.write_results(args.json, result)
    args.markdown.write_text(markdown(result), encoding="utf-8")
    print(f"Wrote {args.json} and {args.markdown}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
