"""vexlo inside DuckDB: a loadable DuckDB extension, shipped with vexlo, that
answers the questions as SQL functions in C++, a whole vector of rows at a
time on DuckDB's own threads, with no Python in the query.

    >>> import vexlo.duckdb
    >>> connection = vexlo.duckdb.connect()
    >>> connection.execute("SELECT psl_privatesuffix('www.example.co.uk')").fetchall()
    [('example.co.uk',)]

The extension is not signed by DuckDB, so a connection loads it only when
opened with ``allow_unsigned_extensions``: `connect` opens one so, and `load`
loads the extension into a connection of your own. Any DuckDB from 1.5.6 on
(`OLDEST_DUCKDB`) loads it, from any language: `extension_path` gives the
file, for ``LOAD '<path>'`` in DuckDB's command line (started with
``-unsigned``).

The functions, each answering as the Python function of the same name:
psl_publicsuffix, psl_privatesuffix, psl_is_public, psl_is_private,
psl_privateparts (a VARCHAR[]), psl_subdomain(name, depth), psl_host and
psl_extract (a STRUCT of the record's fields); the README lists their
overloads with the switches, and psl_load_rules, which loads a list file at
run time, reading it through DuckDB's own file system: a database closed to
files (``SET enable_external_access = false``, ``allowed_directories``)
refuses it as it refuses any other reader.
"""

import functools
import os
from typing import Any

import duckdb

import vexlo

__all__ = ["OLDEST_DUCKDB", "connect", "load", "extension_path", "platforms"]

# The oldest DuckDB that loads the extension: the first whose stable C API
# lets a table function read files through DuckDB's own file system, as the
# calling query may (the API version the extension is built for, v1.5.6).
OLDEST_DUCKDB = (1, 5, 6)

# Where each platform's copy of the file lies in the package.
_FOLDER = "duckdb_extension"
_FILE_NAME = "vexlo.duckdb_extension"


def _platform_folders() -> dict[str, str]:
    """The folder of each platform's copy, searched in every folder of the
    package (an editable install has the built files in another folder than
    the sources)."""
    found: dict[str, str] = {}
    for package_folder in vexlo.__path__:
        folder = os.path.join(package_folder, _FOLDER)
        if not os.path.isdir(folder):
            continue
        for platform in sorted(os.listdir(folder)):
            if os.path.isfile(os.path.join(folder, platform, _FILE_NAME)):
                found.setdefault(platform, os.path.join(folder, platform))
    return found


def platforms() -> list[str]:
    """The DuckDB platforms (as ``PRAGMA platform`` names them) that this
    vexlo has the extension for."""
    return sorted(_platform_folders())


@functools.cache
def _running_platform() -> str:
    platform: str = duckdb.connect().execute("PRAGMA platform").fetchall()[0][0]
    return platform


def extension_path(platform: str | None = None) -> str:
    """The path of the extension file for a DuckDB of `platform`; by default
    that of the duckdb module installed beside vexlo. Each DuckDB loads only
    the copy made for its own platform. Raises LookupError when vexlo has no
    copy for the platform."""
    wanted = platform if platform is not None else _running_platform()
    folders = _platform_folders()
    if wanted not in folders:
        shipped = ", ".join(sorted(folders)) or "none"
        raise LookupError(
            f"vexlo has no DuckDB extension for the platform {wanted!r} (it has: {shipped})"
        )
    return os.path.join(folders[wanted], _FILE_NAME)


def _release(version: str) -> tuple[int, ...] | None:
    """(1, 5, 6) for "v1.5.6" or "v1.5.6-dev12"; None for what is not a
    version."""
    numbers = version.removeprefix("v").split("-")[0].split(".")
    if len(numbers) != 3 or not all(n.isdigit() for n in numbers):
        return None
    return tuple(int(n) for n in numbers)


def load(connection: duckdb.DuckDBPyConnection) -> None:
    """Loads the extension into `connection`, which must have been opened
    with ``config={"allow_unsigned_extensions": True}``. Raises RuntimeError
    for a DuckDB older than `OLDEST_DUCKDB`."""
    version: str = connection.execute("SELECT version()").fetchall()[0][0]
    release = _release(version)
    if release is not None and release < OLDEST_DUCKDB:
        oldest = ".".join(map(str, OLDEST_DUCKDB))
        raise RuntimeError(
            f"vexlo's DuckDB extension needs DuckDB {oldest} or later, the first that lets it "
            f"read files as the query may; this DuckDB is {version}"
        )
    platform: str = connection.execute("PRAGMA platform").fetchall()[0][0]
    path = extension_path(platform)
    connection.execute("LOAD '" + path.replace("'", "''") + "'")


def connect(
    database: str = ":memory:",
    *,
    read_only: bool = False,
    config: dict[str, Any] | None = None,
) -> duckdb.DuckDBPyConnection:
    """A new DuckDB connection, as ``duckdb.connect`` opens it, allowed
    unsigned extensions and with vexlo's loaded."""
    connection = duckdb.connect(
        database, read_only=read_only, config={**(config or {}), "allow_unsigned_extensions": True}
    )
    try:
        load(connection)
    except BaseException:
        connection.close()
        raise
    return connection
