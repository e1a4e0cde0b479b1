"""The work that bench_engines.py times, as it runs on Spark's Python workers
and Dask's worker processes: each way of answering one column of host names
with its registrable domain. Imported by name on the workers (the benchmark
puts this folder on their import path), so the per-process state below lives
as long as the worker does.

Every function answers `privatesuffix`; the tldextract ones answer its
`top_domain_under_public_suffix`, loaded offline from the same list file.
"""

import functools

import harness

# One extractor per list for the worker's life.
_tldextract = functools.cache(harness.tldextract_extractor)


def tldextract_domain(list_path, host):
    """tldextract's answer for one host name, None where it has none."""
    if host is None:
        return None
    return _tldextract(list_path)(host).top_domain_under_public_suffix or None


def scalar_privatesuffix(host):
    """vexlo's scalar function for one host name (None in, None out)."""
    import vexlo

    return None if host is None else vexlo.privatesuffix(host)


# Spark: mapInArrow functions, over Arrow record batches of a `host` column.


def arrow_identity(batches):
    """The host column handed back as the answer: what moving the batches
    to Python and back costs, with no work on them."""
    import pyarrow as pa

    for batch in batches:
        hosts = batch.column("host")
        yield pa.RecordBatch.from_arrays([hosts, hosts], names=["host", "domain"])


def arrow_columns(batches):
    """vexlo.columns on each batch's whole column (one thread: Spark runs a
    task on every core already)."""
    import pyarrow as pa

    import vexlo.columns

    for batch in batches:
        hosts = batch.column("host")
        domains = vexlo.columns.privatesuffix(hosts, threads=1)
        yield pa.RecordBatch.from_arrays([hosts, domains], names=["host", "domain"])


def arrow_scalar_loop(batches):
    """The scalar function in a Python loop over each batch's names."""
    import pyarrow as pa

    import vexlo

    privatesuffix = vexlo.privatesuffix
    for batch in batches:
        hosts = batch.column("host")
        domains = [None if h is None else privatesuffix(h) for h in hosts.to_pylist()]
        yield pa.RecordBatch.from_arrays(
            [hosts, pa.array(domains, pa.string())], names=["host", "domain"]
        )


def pandas_columns(hosts):
    """A pandas UDF's body: vexlo.columns on the batch's Series."""
    import vexlo.columns

    return vexlo.columns.privatesuffix(hosts, threads=1)


# Dask: functions of one partition's `host` Series, giving the number of
# names answered, so that nothing but a count travels back.


def _answered(values):
    import pandas as pd

    return pd.Series([sum(1 for value in values if value is not None)], dtype="int64")


def dask_read(hosts):
    """The partition read, nothing answered: what the engine costs."""
    import pandas as pd

    return pd.Series([int(hosts.notna().sum())], dtype="int64")


def dask_columns(hosts):
    import pandas as pd

    import vexlo.columns

    domains = vexlo.columns.privatesuffix(hosts, threads=1)
    return pd.Series([int(domains.notna().sum())], dtype="int64")


def dask_scalar(hosts):
    import vexlo

    privatesuffix = vexlo.privatesuffix
    return _answered([privatesuffix(h) if isinstance(h, str) else None for h in hosts])


def dask_tldextract(list_path, hosts):
    extract = _tldextract(list_path)
    return _answered(
        [
            (extract(h).top_domain_under_public_suffix or None) if isinstance(h, str) else None
            for h in hosts
        ]
    )
