"""Registrable domains of host names in PySpark, a whole Arrow batch per call.

Two ways in, both handing vexlo.columns a column rather than a name at a time:

- `mapInArrow`: Spark passes Arrow record batches straight to Python and takes
  Arrow record batches back, with no pandas in between;
- a pandas UDF (`pandas_udf`): Spark passes each batch as a pandas Series,
  carried over Arrow.

Then the domains are counted with an ordinary group-by, in the JVM. A list
loaded at run time (`vexlo.load_rules`) goes to the workers as a broadcast
variable: it pickles as the list's bytes, and each worker loads it once.

    python examples/spark_domains.py [LIST_FILE]

runs on a `local[2]` master (two worker threads on this machine, each with its
Python worker process). Every worker needs vexlo installed in its Python; see
the README, "Beyond one machine".
"""

import os
import sys
import warnings
from collections.abc import Callable, Iterator
from typing import TYPE_CHECKING

import pandas as pd
import pyarrow as pa
from pyspark.sql import DataFrame, SparkSession
from pyspark.sql import functions as F
from pyspark.sql.functions import pandas_udf
from pyspark.sql.types import StringType, StructField, StructType

if TYPE_CHECKING:
    from pyspark import Broadcast

    import vexlo

# PySpark 4.3 warns that it is not yet tested with pandas 3; the pandas UDF
# below is (tests/python/test_engines.py).
warnings.filterwarnings("ignore", "PySpark does not yet fully support pandas", FutureWarning)

HOSTS = [
    "www.example.co.uk",
    "mail.example.co.uk",
    "alice.github.io",
    "bob.github.io",
    "cdn.shop.example.com",
    "example.com",
    "WWW.EXAMPLE.COM.",
    "www.city.kobe.jp",
    "co.uk",
    "a..b",
    None,
]


def spark_session(master: str = "local[2]") -> SparkSession:
    """A Spark session. On a local master its Python workers run this
    interpreter (and so find the vexlo installed in it), and it listens on the
    loopback address only."""
    if master.startswith("local"):
        os.environ.setdefault("PYSPARK_PYTHON", sys.executable)
        os.environ.setdefault("SPARK_LOCAL_IP", "127.0.0.1")
    spark = (
        SparkSession.builder.master(master)
        .appName("vexlo registrable domains")
        .config("spark.ui.enabled", "false")
        .config("spark.ui.showConsoleProgress", "false")
        # Arrow also for moving pandas data between the driver and the JVM
        # (createDataFrame from pandas, toPandas).
        .config("spark.sql.execution.arrow.pyspark.enabled", "true")
        .getOrCreate()
    )
    spark.sparkContext.setLogLevel("ERROR")
    return spark


def shipped(hosts: DataFrame, rules: "vexlo.Rules | None") -> "Broadcast[vexlo.Rules] | None":
    """`rules` as a broadcast variable of `hosts`' session, or None for the
    list compiled into vexlo."""
    return None if rules is None else hosts.sparkSession.sparkContext.broadcast(rules)


def domain_batches(
    rules: "Broadcast[vexlo.Rules] | None",
) -> Callable[[Iterator[pa.RecordBatch]], Iterator[pa.RecordBatch]]:
    """For mapInArrow: a function that adds the `domain` column to each
    record batch, answering from `rules`."""

    def add_domain(batches: Iterator[pa.RecordBatch]) -> Iterator[pa.RecordBatch]:
        # Imported on the worker, where the function runs.
        import vexlo.columns

        for batch in batches:
            hosts = batch.column("host")
            # One thread: Spark already runs a task on every core. The result
            # has the hosts' Arrow type (`string`, as Spark sends it).
            domains = vexlo.columns.privatesuffix(
                hosts, threads=1, rules=None if rules is None else rules.value
            )
            yield pa.RecordBatch.from_arrays(
                [*batch.columns, domains], names=[*batch.schema.names, "domain"]
            )

    return add_domain


def with_domain_map_in_arrow(hosts: DataFrame, rules: "vexlo.Rules | None" = None) -> DataFrame:
    """`hosts` (a string column `host`, and any others) with a `domain` column
    added: the registrable domain, null where there is none, by `rules`
    (default: the list compiled into vexlo)."""
    schema = StructType([*hosts.schema.fields, StructField("domain", StringType())])
    return hosts.mapInArrow(domain_batches(shipped(hosts, rules)), schema)


def with_domain_pandas_udf(hosts: DataFrame, rules: "vexlo.Rules | None" = None) -> DataFrame:
    """The same as `with_domain_map_in_arrow`, through a pandas UDF."""
    broadcast = shipped(hosts, rules)

    @pandas_udf(StringType())
    def registrable_domain(names: pd.Series) -> pd.Series:
        """A vectorised UDF: a batch of host names in, their domains out."""
        import vexlo.columns

        return vexlo.columns.privatesuffix(
            names, threads=1, rules=None if broadcast is None else broadcast.value
        )

    return hosts.withColumn("domain", registrable_domain("host"))


def count_by_domain(with_domains: DataFrame) -> DataFrame:
    """The number of host names under each registrable domain, most first;
    names without one are left out."""
    return (
        with_domains.where(F.col("domain").isNotNull())
        .groupBy("domain")
        .count()
        .orderBy(F.desc("count"), "domain")
    )


def main(list_file: str | None = None) -> None:
    spark = spark_session()
    try:
        hosts = spark.createDataFrame([(host,) for host in HOSTS], "host string")
        with_domain_map_in_arrow(hosts).show(truncate=False)
        with_domain_pandas_udf(hosts).show(truncate=False)
        count_by_domain(with_domain_map_in_arrow(hosts)).show(truncate=False)
        if list_file is not None:
            # The same, from a list file loaded on the driver.
            import vexlo

            rules = vexlo.load_rules(list_file)
            with_domain_map_in_arrow(hosts, rules).show(truncate=False)
    finally:
        spark.stop()


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else None)
