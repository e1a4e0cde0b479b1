"""Registrable domains of host names in DuckDB SQL, on one machine.

The Python function is registered as a vectorised Arrow UDF: DuckDB hands it a
whole vector of names as a pyarrow array, and vexlo.columns answers the whole
vector in one call.

    python examples/duckdb_domains.py
"""

import duckdb
import pyarrow as pa
from duckdb import sqltypes

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


def registrable_domains(hosts: pa.Array) -> pa.Array:
    """A vector of host names in, their registrable domains out."""
    import vexlo.columns

    return vexlo.columns.privatesuffix(hosts)


def connect() -> duckdb.DuckDBPyConnection:
    """An in-memory database with the SQL function
    `registrable_domain(VARCHAR) -> VARCHAR`; NULL where there is none."""
    connection = duckdb.connect()
    connection.create_function(
        "registrable_domain",
        registrable_domains,
        [sqltypes.VARCHAR],
        sqltypes.VARCHAR,
        type="arrow",
        # Names without a registrable domain give NULL, which DuckDB allows
        # from a UDF only when it handles NULL itself (NULL in, NULL out).
        null_handling="special",
    )
    return connection


COUNT_BY_DOMAIN = """
    SELECT domain, count(*) AS count
    FROM (SELECT registrable_domain(host) AS domain FROM hosts)
    WHERE domain IS NOT NULL
    GROUP BY domain
    ORDER BY count DESC, domain
"""


def main() -> None:
    connection = connect()
    hosts = pa.table({"host": pa.array(HOSTS, pa.string())})
    connection.register("hosts", hosts)
    connection.sql("SELECT host, registrable_domain(host) AS domain FROM hosts").show()
    connection.sql(COUNT_BY_DOMAIN).show()


if __name__ == "__main__":
    main()
