"""What vexlo's DuckDB extension does in one DuckDB, as JSON: the answers of
a few names, and what psl_load_rules gives for each kind of path in a
database open to files, closed to them, and closed but for allowed folders
or files. test_duckdb_sandbox.py imports it for the pinned duckdb and runs it
as a script (``python duckdb_probe.py EXTENSION FOLDER``) in throwaway
environments holding older ones, where nothing but duckdb is installed."""

import json
import os
import sys
import threading

NAMES = ["a.b.foo.kobe.jp", "Shop.Example.CO.UK.", "co.uk", "", None, "x" * 300 + ".com"]

# A small list file that loads, and one that is no list.
LIST = (
    b"// ===BEGIN ICANN DOMAINS===\ncom\nco.uk\n// ===END ICANN DOMAINS===\n"
    b"// ===BEGIN PRIVATE DOMAINS===\ngithub.io\n// ===END PRIVATE DOMAINS===\n"
)
SECRET = b"top-secret-line\n"

# The paths tried, by name, under the folder made by make_folder.
PATHS = {
    "allowed list": "allowed/list.dat",
    "allowed fifo": "allowed/fifo",
    "allowed folder": "allowed/folder",
    "allowed missing": "allowed/missing.dat",
    "outside list": "outside.dat",
    "secret": "secret.txt",
    "fifo": "fifo",
}

# Each database, by name: the settings made after the extension is loaded
# (the folder's path is put in for {folder}).
DATABASES = {
    "open": [],
    "closed": ["SET enable_external_access = false"],
    "allowed folder": [
        "SET allowed_directories = ['{folder}/allowed/']",
        "SET enable_external_access = false",
    ],
    "allowed file": [
        "SET allowed_paths = ['{folder}/outside.dat']",
        "SET enable_external_access = false",
    ],
}


def make_folder(folder):
    os.makedirs(os.path.join(folder, "allowed", "folder"))
    for name, data in (("allowed/list.dat", LIST), ("outside.dat", LIST), ("secret.txt", SECRET)):
        with open(os.path.join(folder, name), "wb") as file:
            file.write(data)
    for name in ("allowed/fifo", "fifo"):
        os.mkfifo(os.path.join(folder, name))


def unblock_fifos(folder):
    """Opens every FIFO of the folder for writing, which lets a reader
    blocked in opening one go on (to a wrong answer, instead of a hung
    test)."""
    for name in ("allowed/fifo", "fifo"):
        try:
            os.close(os.open(os.path.join(folder, name), os.O_WRONLY | os.O_NONBLOCK))
        except OSError:
            pass  # no reader waits


def outcome(connection, duckdb, sql, *params):
    try:
        return ["rows", [list(row) for row in connection.execute(sql, list(params)).fetchall()]]
    except duckdb.Error as error:
        # The message alone, without DuckDB's pointer into the query.
        return ["error", str(error).split("\n\nLINE")[0]]


def probe(duckdb, extension, folder):
    result = {"version": duckdb.__version__}
    watchdog = threading.Timer(30, unblock_fifos, [folder])
    watchdog.start()
    try:
        for database, settings in DATABASES.items():
            connection = duckdb.connect(config={"allow_unsigned_extensions": True})
            loaded = outcome(connection, duckdb, f"LOAD '{extension}'")
            if loaded[0] == "error":
                result["load"] = loaded[1]
                return result
            if database == "open":
                connection.execute("CREATE TABLE t (i INTEGER, h VARCHAR)")
                connection.executemany("INSERT INTO t VALUES (?, ?)", list(enumerate(NAMES)))
                result["answers"] = connection.execute(
                    "SELECT psl_privatesuffix(h, true, false, true), psl_privateparts(h), "
                    "psl_is_public(h) FROM t ORDER BY i"
                ).fetchall()
            for setting in settings:
                connection.execute(setting.format(folder=folder))
            for name, path in PATHS.items():
                result[f"{database}: {name}"] = outcome(
                    connection,
                    duckdb,
                    "SELECT rule_count FROM psl_load_rules(?)",
                    os.path.join(folder, path),
                )
            connection.close()
    finally:
        watchdog.cancel()
    return result


if __name__ == "__main__":
    import duckdb

    print(json.dumps(probe(duckdb, sys.argv[1], sys.argv[2])))
