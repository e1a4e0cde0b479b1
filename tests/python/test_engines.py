"""The examples in examples/ run on the real engines (Spark on a local[2]
master, a Dask LocalCluster of two worker processes, Polars, DuckDB), and
every row they answer equals the scalar function's answer for its name."""

import collections
import importlib.util
import os
import pathlib
import shutil
import subprocess
import sys
import sysconfig

import pytest
from support import DEBIAN_LIST, REPO

pytest.importorskip(
    "vexlo.columns", reason="vexlo.columns (whole columns at once) is not in this build"
)

import vexlo

# PySpark 4.3 warns that it is not yet tested with pandas 3; its pandas UDF
# is, here.
pytestmark = [
    pytest.mark.filterwarnings("ignore:PySpark does not yet fully support pandas:FutureWarning"),
    # The engines' own processes (a JVM, Dask's workers) would start with the
    # sanitizer runtimes preloaded; the plain run tests the examples.
    pytest.mark.skipif(
        bool(os.environ.get("VEXLO_UNDER_SANITIZER")),
        reason="the engines are tested by the plain run",
    ),
]

EXAMPLES = REPO / "examples"
# Enough for several Arrow batches in each of Spark's two partitions and for
# every kind of name the benchmark corpus makes; the engines' start-up costs
# more than the names.
CORPUS_NAMES = 40_000
EDGE_NAMES = [
    None,
    "",
    ".",
    "a..b",
    ".example.com",
    "example.com..",
    "example.com.",
    "WWW.EXAMPLE.CO.UK",
    "Shop.Example.CO.UK.",
    "www.city.kobe.jp",
    "foo.kobe.jp",
    "alice.github.io",
    "co.uk",
    "www.example.unknowntld",
    "WWW.ÉCOLE.FR",
    "www.食狮.公司.cn",
    "www.xn--85x722f.xn--55qx5d.cn",
    "İstanbul.com.tr",
    "with space.example.com",
    "x" * 300 + ".example.com",
    "a." * 100 + "example.org",
]


# The engine each example needs, from the `engines` dependency group (the
# test group has Polars and DuckDB).
ENGINE_OF = {"spark_domains": "pyspark", "dask_domains": "distributed"}


def needs_engine(example):
    engine = ENGINE_OF.get(example)
    if engine and importlib.util.find_spec(engine) is None:
        pytest.skip(f"{engine} is not installed (dependency group 'engines')")
    if example == "spark_domains" and java_missing():
        pytest.skip("no Java for Spark (scripts/test installs openjdk-17-jre-headless)")


def load_module(name, folder):
    found = importlib.util.spec_from_file_location(name, folder / f"{name}.py")
    module = importlib.util.module_from_spec(found)
    sys.modules[name] = module
    found.loader.exec_module(module)
    return module


@pytest.fixture(scope="module")
def names():
    corpus = load_module("corpus", REPO / "bench")
    generated, _ = corpus.generate(corpus.default_list_path(), CORPUS_NAMES, seed=12)
    return EDGE_NAMES + generated


@pytest.fixture(scope="module")
def expected(names):
    return [None if name is None else vexlo.privatesuffix(name) for name in names]


def expected_counts(expected):
    return collections.Counter(domain for domain in expected if domain is not None)


@pytest.fixture(scope="module", autouse=True)
def examples_importable():
    """The examples importable by name here and in every worker started
    from now on (Spark's Python workers inherit the environment; Dask's are
    spawned with this interpreter's import path), since the engines pickle
    functions of an imported module by reference."""
    saved = os.environ.get("PYTHONPATH")
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [str(EXAMPLES), saved]))
    sys.path.insert(0, str(EXAMPLES))
    yield
    sys.path.remove(str(EXAMPLES))
    if saved is None:
        del os.environ["PYTHONPATH"]
    else:
        os.environ["PYTHONPATH"] = saved


def host_table(names):
    import pyarrow as pa

    return pa.table(
        {"id": pa.array(range(len(names)), pa.int64()), "host": pa.array(names, pa.string())}
    )


def domains_by_id(table):
    rows = table.sort_by("id")
    return rows.column("domain").to_pylist()


# Spark


def java_missing():
    return not (os.environ.get("JAVA_HOME") or shutil.which("java"))


@pytest.fixture(scope="module")
def spark():
    needs_engine("spark_domains")
    import spark_domains

    session = spark_domains.spark_session("local[2]")
    yield session
    session.stop()


@pytest.fixture(scope="module")
def spark_hosts(spark, names):
    # Arrow batches of 4,000 rows: several per partition, and a last one
    # that is shorter.
    spark.conf.set("spark.sql.execution.arrow.maxRecordsPerBatch", "4000")
    return spark.createDataFrame(host_table(names).to_pandas()).repartition(2).cache()


@pytest.mark.parametrize("way", ["with_domain_map_in_arrow", "with_domain_pandas_udf"])
def test_spark_answers_as_the_scalar_function(spark_hosts, expected, way):
    import spark_domains

    result = getattr(spark_domains, way)(spark_hosts)
    assert result.columns == ["id", "host", "domain"]
    assert domains_by_id(result.toArrow()) == expected


@pytest.fixture(scope="module")
def debian_rules():
    """Debian's list, older than the one compiled in: the answers differ."""
    if not DEBIAN_LIST.is_file():
        pytest.skip(f"no {DEBIAN_LIST} (Debian's publicsuffix package)")
    return vexlo.load_rules(DEBIAN_LIST)


@pytest.mark.parametrize("way", ["with_domain_map_in_arrow", "with_domain_pandas_udf"])
def test_spark_ships_a_loaded_list(spark_hosts, names, debian_rules, way):
    import spark_domains

    result = getattr(spark_domains, way)(spark_hosts, debian_rules)
    wanted = [None if name is None else debian_rules.privatesuffix(name) for name in names]
    assert domains_by_id(result.toArrow()) == wanted


def test_spark_counts_by_domain(spark_hosts, expected):
    import spark_domains

    counts = spark_domains.count_by_domain(spark_domains.with_domain_map_in_arrow(spark_hosts))
    rows = [(row["domain"], row["count"]) for row in counts.collect()]
    assert dict(rows) == expected_counts(expected)
    assert [count for _, count in rows] == sorted((count for _, count in rows), reverse=True)


# Dask


@pytest.fixture(scope="module")
def dask_client():
    needs_engine("dask_domains")
    import dask_domains
    from distributed import Client

    with dask_domains.local_cluster() as cluster, Client(cluster) as client:
        yield client


@pytest.fixture(scope="module")
def parquet_folder(tmp_path_factory, names):
    needs_engine("dask_domains")
    import dask_domains

    folder = tmp_path_factory.mktemp("parquet") / "hosts"
    dask_domains.write_parquet(names, folder, files=5)
    return folder


def test_dask_answers_as_the_scalar_function(dask_client, parquet_folder, names, expected):
    import dask.dataframe as dd
    import dask_domains

    hosts = dd.read_parquet(parquet_folder)
    assert hosts.npartitions == 5
    result = dask_domains.with_domain(hosts).compute()
    assert _na_as_none(result["host"].tolist()) == names
    assert _na_as_none(result["domain"].tolist()) == expected
    # Both worker processes took part.
    assert len(dask_client.scheduler_info()["workers"]) == 2


def test_dask_ships_a_loaded_list(dask_client, parquet_folder, names, debian_rules):
    import dask.dataframe as dd
    import dask_domains

    result = dask_domains.with_domain(dd.read_parquet(parquet_folder), debian_rules).compute()
    wanted = [None if name is None else debian_rules.privatesuffix(name) for name in names]
    assert _na_as_none(result["domain"].tolist()) == wanted


def test_dask_counts_by_domain(dask_client, parquet_folder, expected):
    import dask.dataframe as dd
    import dask_domains

    counts = dask_domains.count_by_domain(dask_domains.with_domain(dd.read_parquet(parquet_folder)))
    assert counts.to_dict() == expected_counts(expected)
    assert counts.is_monotonic_decreasing


def _na_as_none(values):
    import pandas as pd

    return [None if value is None or value is pd.NA else value for value in values]


def test_dask_worker_without_vexlo_fails_the_job_with_its_error(tmp_path, parquet_folder):
    """A worker whose Python lacks vexlo fails the task with the worker's
    ModuleNotFoundError, raised again in the client; no rows come back."""
    import dask.dataframe as dd
    import dask_domains
    from distributed import Client, LocalCluster

    # The venv's packages but vexlo, linked into a folder of their own, and
    # run from elsewhere, so the checkout is not on the path either.
    packages = tmp_path / "site-packages"
    packages.mkdir()
    for entry in pathlib.Path(sysconfig.get_path("purelib")).iterdir():
        if "vexlo" not in entry.name:
            (packages / entry.name).symlink_to(entry)
    env = {key: value for key, value in os.environ.items() if key != "PYTHONPATH"}
    env["PYTHONPATH"] = os.pathsep.join([str(EXAMPLES), str(packages)])
    probe = subprocess.run(
        [sys._base_executable, "-c", "import dask, pandas; import vexlo"],
        env=env,
        cwd=tmp_path,
        capture_output=True,
        text=True,
    )
    assert "No module named 'vexlo'" in probe.stderr

    with LocalCluster(n_workers=0, host="127.0.0.1", dashboard_address=":0") as cluster:
        worker = subprocess.Popen(
            [
                sys._base_executable,
                "-m",
                "distributed.cli.dask_worker",
                cluster.scheduler_address,
                "--nthreads",
                "1",
                "--no-nanny",
                "--no-dashboard",
            ],
            env=env,
            cwd=tmp_path,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        try:
            with Client(cluster) as client:
                client.wait_for_workers(1, timeout=60)
                job = dask_domains.with_domain(dd.read_parquet(parquet_folder))
                with pytest.raises(ModuleNotFoundError, match="No module named 'vexlo'"):
                    job.compute()
        finally:
            worker.terminate()
            worker.wait(timeout=30)


# One machine: Polars and DuckDB


def test_polars_answers_as_the_scalar_function(names, expected):
    import polars as pl
    import polars_domains

    hosts = pl.LazyFrame({"host": names}, schema={"host": pl.String})
    result = polars_domains.with_domain(hosts).collect()
    assert result["domain"].to_list() == expected
    counts = polars_domains.count_by_domain(polars_domains.with_domain(hosts)).collect()
    assert dict(counts.iter_rows()) == expected_counts(expected)


def test_duckdb_answers_as_the_scalar_function(names, expected):
    import duckdb_domains

    connection = duckdb_domains.connect()
    connection.register("hosts", host_table(names))
    result = connection.sql("SELECT id, registrable_domain(host) AS domain FROM hosts").arrow()
    assert domains_by_id(result.read_all() if hasattr(result, "read_all") else result) == expected
    counts = connection.sql(duckdb_domains.COUNT_BY_DOMAIN).fetchall()
    assert dict(counts) == expected_counts(expected)
    assert [count for _, count in counts] == sorted((count for _, count in counts), reverse=True)


@pytest.mark.parametrize("example", sorted(path.stem for path in EXAMPLES.glob("*.py")))
def test_example_runs_as_a_script(example, tmp_path):
    needs_engine(example)
    done = subprocess.run(
        [sys.executable, "-P", str(EXAMPLES / f"{example}.py")],
        cwd=tmp_path,
        capture_output=True,
        text=True,
        timeout=600,
    )
    assert done.returncode == 0, done.stderr
    assert "example.co.uk" in done.stdout
