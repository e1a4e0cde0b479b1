"""psl_load_rules reads only what DuckDB lets the query read: every kind of
path in databases open to files, closed to them, and closed but for allowed
folders or files, with DuckDB's own errors and nothing of a refused file; the
paths a hostile query may send; and the DuckDB releases the one extension
file loads into: the pinned one, the oldest (1.5.6, in a throwaway
environment) and the one before it, which refuses the file."""

import json
import os
import socket

import pytest
from duckdb_probe import DATABASES, LIST, NAMES, PATHS, SECRET, make_folder, outcome, probe

import vexlo

duckdb = pytest.importorskip("duckdb")
import vexlo.duckdb  # noqa: E402  (needs duckdb)

OLDEST = "1.5.6"
BEFORE_OLDEST = "1.5.5"
LOADED = ["rows", [[3]]]


def failure(path, reason):
    return ["error", f"Binder Error: psl_load_rules('{path}'): {reason}"]


def permission_error(path):
    return failure(
        path,
        f'Permission Error: Cannot access file "{path}" - file system operations are disabled '
        "by configuration",
    )


def expected_outcomes(folder):
    """What each database of the probe gives for each of its paths."""

    with pytest.raises(ValueError) as not_a_list:
        vexlo.load_rules(SECRET)
    open_to_files = {
        "allowed list": LOADED,
        "allowed fifo": "the path names a FIFO, not a regular file",
        "allowed folder": "the path names a directory, not a regular file",
        "allowed missing": 'IO Error: Cannot open file "{path}": No such file or directory',
        "outside list": LOADED,
        # Quoting the file is fine where DuckDB lets the query read it.
        "secret": str(not_a_list.value),
        "fifo": "the path names a FIFO, not a regular file",
    }
    allowed = {
        "allowed folder": ["allowed list", "allowed folder", "allowed missing"],
        "allowed file": ["outside list"],
    }
    expected = {}
    for database in DATABASES:
        for name, relative in PATHS.items():
            path = os.path.join(folder, relative)
            if database == "open" or name in allowed.get(database, ()):
                given = open_to_files[name]
                given = given if given == LOADED else failure(path, given.format(path=path))
            else:
                # Refused alike, whatever lies at the path (a FIFO in an
                # allowed folder too: seeing it is one means looking first).
                given = permission_error(path)
            expected[f"{database}: {name}"] = given
    return expected


def expected_answers():
    """The probe's answers for its names, as JSON gives them back."""
    answers = []
    for name in NAMES:
        if name is None:
            answers.append([None, None, None])
            continue
        parts = vexlo.privateparts(name)
        answers.append(
            [
                vexlo.privatesuffix(name, keep_case=True),
                None if parts is None else list(parts),
                vexlo.is_public(name),
            ]
        )
    return answers


def test_the_sandbox_holds_in_the_pinned_duckdb(tmp_path):
    make_folder(tmp_path)
    result = json.loads(json.dumps(probe(duckdb, vexlo.duckdb.extension_path(), str(tmp_path))))
    assert result.pop("version") == duckdb.__version__
    assert result.pop("answers") == expected_answers()
    assert result == expected_outcomes(str(tmp_path))
    assert not any(
        SECRET.strip().decode() in str(given)
        for case, given in result.items()
        if not case.startswith("open:")
    )


@pytest.fixture
def connection():
    connection = vexlo.duckdb.connect()
    yield connection
    connection.close()


def load(connection, path):
    return outcome(connection, duckdb, "SELECT rule_count FROM psl_load_rules(?)", path)


def test_other_things_a_path_may_name(connection, tmp_path):
    listening = socket.socket(socket.AF_UNIX)
    listening.bind(str(tmp_path / "socket"))
    os.mkfifo(tmp_path / "fifo")
    os.symlink(tmp_path / "fifo", tmp_path / "link")
    (tmp_path / "list.dat").write_bytes(LIST)
    too_large = tmp_path / "large.dat"
    with open(too_large, "wb") as file:
        file.truncate(64 * 2**20 + 1)
    cases = {
        str(tmp_path / "socket"): "the path names a socket, not a regular file",
        "/dev/null": "the path names a character device, not a regular file",
        str(tmp_path / "link"): "the path names a FIFO, not a regular file",
        # The spellings of a local path that DuckDB's file system reads.
        f"file://{tmp_path}/fifo": "the path names a FIFO, not a regular file",
        f"file://localhost{tmp_path}/fifo": "the path names a FIFO, not a regular file",
        str(too_large): "the list file is larger than 67,108,864 bytes, the most a list may have",
        str(
            tmp_path / "list.dat" / "below"
        ): f'IO Error: Cannot open file "{tmp_path}/list.dat/below": Not a directory',
    }
    for path, reason in cases.items():
        assert load(connection, path) == failure(path, reason)
    for path in (f"file://{tmp_path}/list.dat", f"file:{tmp_path}/list.dat"):
        assert load(connection, path) == LOADED
    listening.close()


def test_home_folder_paths(tmp_path):
    os.mkfifo(tmp_path / "fifo")
    (tmp_path / "list.dat").write_bytes(LIST)
    connection = vexlo.duckdb.connect()
    connection.execute(f"SET home_directory = '{tmp_path}'")
    assert load(connection, "~/list.dat") == LOADED
    assert load(connection, "~/fifo") == failure(
        "~/fifo", "the path names a FIFO, not a regular file"
    )
    connection.execute("SET enable_external_access = false")
    assert load(connection, "~/fifo") == permission_error("~/fifo")
    connection.close()


@pytest.mark.parametrize(
    "path, message",
    [
        (None, "Binder Error: psl_load_rules(): the path is NULL"),
        ("", "Binder Error: psl_load_rules(''): the path is empty"),
        (
            "x" * 10_000_000,
            "Binder Error: psl_load_rules(): the path has 10,000,000 bytes, more than the 65,536 "
            "a path may have",
        ),
        # Shown as text that prints, however long.
        (
            "\x1b[2J" + "y" * 300,
            "Binder Error: psl_load_rules('\\u001b[2J" + "y" * 196 + "...'): IO Error: Cannot open",
        ),
    ],
)
def test_hostile_paths_fail_with_a_short_message(connection, path, message):
    given = load(connection, path)
    assert given[0] == "error" and given[1].startswith(message)
    assert len(given[1]) < 1000


def test_a_file_system_that_python_adds(connection, tmp_path):
    """DuckDB reads `memory://` through a file system registered from
    Python, as it reads httpfs's URLs: psl_load_rules reads what DuckDB reads,
    and a closed database refuses it."""
    fsspec = pytest.importorskip("fsspec")
    memory = fsspec.filesystem("memory")
    memory.pipe("/vexlo-test/list.dat", LIST)
    connection.register_filesystem(memory)
    assert load(connection, "memory://vexlo-test/list.dat") == LOADED
    connection.execute("SET enable_external_access = false")
    assert load(connection, "memory://vexlo-test/list.dat") == permission_error(
        "memory://vexlo-test/list.dat"
    )


def test_load_refuses_a_duckdb_older_than_the_oldest():
    class OldConnection:
        def execute(self, sql):
            assert sql == "SELECT version()"
            return self

        def fetchall(self):
            return [("v1.2.2",)]

    with pytest.raises(
        RuntimeError, match=r"needs DuckDB 1\.5\.6 or later.*this DuckDB is v1\.2\.2"
    ):
        vexlo.duckdb.load(OldConnection())
    assert vexlo.duckdb.OLDEST_DUCKDB == tuple(map(int, OLDEST.split(".")))


@pytest.mark.skipif(
    bool(os.environ.get("VEXLO_UNDER_SANITIZER")), reason="the plain run loads the plain build"
)
@pytest.mark.parametrize("release", [OLDEST, BEFORE_OLDEST])
def test_the_oldest_duckdb_loads_the_same_file_and_the_one_before_refuses_it(tmp_path, release):
    from venv_support import REPO, Venv, run

    venv = Venv(tmp_path / "venv")
    # A wheel only: DuckDB built from its source takes the better part of an hour.
    venv.pip("install", "-q", "--only-binary=duckdb", f"duckdb=={release}")
    folder = tmp_path / "files"
    make_folder(folder)
    probe_script = REPO / "tests" / "python" / "duckdb_probe.py"
    extension = vexlo.duckdb.extension_path()
    result = json.loads(run([venv.python, probe_script, extension, folder]).stdout)
    assert result.pop("version") == release
    if release == BEFORE_OLDEST:
        assert "built for DuckDB C API version 'v1.5.6'" in result["load"]
        return
    assert result.pop("answers") == expected_answers()
    assert result == expected_outcomes(str(folder))
