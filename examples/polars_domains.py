"""Registrable domains of host names in a Polars DataFrame, on one machine.

`map_batches` hands vexlo.columns the whole column (a Polars Series) and takes
a Polars Series back: one call per batch, not per name.

    python examples/polars_domains.py
"""

import polars as pl

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


def registrable_domain(hosts: pl.Expr) -> pl.Expr:
    """An expression for the registrable domain of each host name in
    `hosts`; null where there is none."""
    import vexlo.columns

    return hosts.map_batches(vexlo.columns.privatesuffix, return_dtype=pl.String)


def with_domain(hosts: pl.LazyFrame) -> pl.LazyFrame:
    """`hosts` (a string column `host`, and any others) with a `domain`
    column."""
    return hosts.with_columns(domain=registrable_domain(pl.col("host")))


def count_by_domain(with_domains: pl.LazyFrame) -> pl.LazyFrame:
    """The number of host names under each registrable domain, most first;
    names without one are left out."""
    return (
        with_domains.drop_nulls("domain")
        .group_by("domain")
        .len("count")
        .sort(["count", "domain"], descending=[True, False])
    )


def main() -> None:
    hosts = pl.LazyFrame({"host": HOSTS}, schema={"host": pl.String})
    domains = with_domain(hosts)
    with pl.Config(tbl_rows=-1, fmt_str_lengths=40):
        print(domains.collect())
        print(count_by_domain(domains).collect())


if __name__ == "__main__":
    main()
