"""Registrable domains of host names in Parquet files, with Dask.

`dask.dataframe` reads the files as partitions (pandas DataFrames), and
`map_partitions` hands each partition's whole `host` column to vexlo.columns,
on a `distributed.LocalCluster` of two worker processes. The same code runs on
a cluster of many machines: only the `Client` changes. A list loaded at run
time (`vexlo.load_rules`) goes to the workers with the tasks: it pickles as the
list's bytes.

    python examples/dask_domains.py [LIST_FILE]

Every worker needs vexlo installed in its Python; see the README, "Beyond one
machine".
"""

import pathlib
import sys
import tempfile
from typing import TYPE_CHECKING

import dask.dataframe as dd
import pandas as pd
from distributed import Client, LocalCluster

# Imported where it runs: a worker imports this module to run its functions,
# and must fail in the task, with vexlo's own ImportError, if vexlo is missing.
if TYPE_CHECKING:
    import vexlo


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

# The domain column's type in every partition, and so in the `meta` that
# tells Dask what map_partitions returns: pandas' string type, null as NA.
DOMAIN_DTYPE = pd.StringDtype("pyarrow")


def local_cluster() -> LocalCluster:
    """Two worker processes of one thread each: work is spread over
    processes, as on a real cluster."""
    return LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0")


def add_domain(partition: pd.DataFrame, rules: "vexlo.Rules | None" = None) -> pd.DataFrame:
    """One partition with its `domain` column added."""
    # Imported on the worker, where the function runs.
    import vexlo.columns

    # One thread: each worker process already has a core of its own.
    domains = vexlo.columns.privatesuffix(partition["host"], threads=1, rules=rules)
    return partition.assign(domain=domains.astype(DOMAIN_DTYPE))


def with_domain(hosts: dd.DataFrame, rules: "vexlo.Rules | None" = None) -> dd.DataFrame:
    """`hosts` (a string column `host`, and any others) with a `domain`
    column: the registrable domain, null where there is none, by `rules`
    (default: the list compiled into vexlo)."""
    meta = hosts._meta.assign(domain=pd.Series([], dtype=DOMAIN_DTYPE))
    return hosts.map_partitions(add_domain, rules=rules, meta=meta)


def count_by_domain(with_domains: dd.DataFrame) -> pd.Series:
    """The number of host names under each registrable domain, most first;
    names without one are left out (computed)."""
    counts = with_domains["domain"].dropna().value_counts(split_out=1).compute()
    return counts.sort_index().sort_values(ascending=False, kind="stable")


def write_parquet(hosts: list[str | None], folder: pathlib.Path, files: int) -> None:
    """`hosts` written as `files` Parquet files with a string column `host`."""
    folder.mkdir(parents=True, exist_ok=True)
    per_file = -(-len(hosts) // files)
    for index in range(files):
        part = hosts[index * per_file : (index + 1) * per_file]
        frame = pd.DataFrame({"host": pd.Series(part, dtype=DOMAIN_DTYPE)})
        frame.to_parquet(folder / f"hosts-{index:03}.parquet", index=False)


def main(list_file: str | None = None) -> None:
    with tempfile.TemporaryDirectory() as tmp:
        folder = pathlib.Path(tmp) / "hosts"
        write_parquet(HOSTS, folder, files=3)
        with local_cluster() as cluster, Client(cluster):
            hosts = dd.read_parquet(folder)
            domains = with_domain(hosts)
            print(domains.compute().to_string(index=False))
            print()
            print(count_by_domain(domains).to_string())
            if list_file is not None:
                # The same, from a list file loaded here.
                import vexlo

                print()
                rules = vexlo.load_rules(list_file)
                print(with_domain(hosts, rules).compute().to_string(index=False))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else None)
