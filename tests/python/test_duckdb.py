"""The DuckDB extension built in this tree, loaded into the pinned duckdb
package: every SQL function against the Python function of the same name, on
the benchmark corpus and odd names, with NULLs and every switch, on many rows
and threads; what a hostile query may hand the functions; lists loaded at run
time; and the files and footers that DuckDB loads. test_duckdb_sandbox.py
tests what psl_load_rules may read, and the oldest DuckDB that loads the
file."""

import array
import itertools
import os
import runpy

import pytest
from support import FUNCTIONS as QUESTIONS
from support import REPO

import vexlo

duckdb = pytest.importorskip("duckdb")
pa = pytest.importorskip("pyarrow")
import vexlo.duckdb  # noqa: E402  (needs duckdb)

TEXT_QUESTIONS = ("publicsuffix", "privatesuffix", "privateparts", "subdomain")
ODD_NAMES = [
    "",
    ".",
    "..",
    ".a",
    "a..b",
    "example.com..",
    "Shop.Example.CO.UK.",
    "a.b.foo.kobe.jp",
    "www.city.kobe.jp",
    # Around the 12 bytes a DuckDB string holds inside itself, in and out.
    "example.com",
    "example1.com",
    "example12.com",
    "Www.Example1.COM",
    "x" * 300 + ".com",
    "a." + "y" * 300 + ".co.uk",
    ".".join(["a"] * 200) + ".co.uk",
    ".".join(["b"] * 200),
    "\u0130x.Example.CO.UK",
    "ΟΔΟΣ.gr",
    "www.食狮.公司.cn",
    "x\u0130\u0130.\u212a.Example.CO.UK",
    "a\x00b.com",
    "127.0.0.1",
    "[::1]",
    "2001:db8::1",
    "https://www.example.co.uk/path?q=1",
    "mailto:alice@example.com",
]


def corpus(count, seed):
    script = runpy.run_path(str(REPO / "bench" / "corpus.py"))
    return script["generate"](script["default_list_path"](), count, seed=seed)[0]


NAMES = corpus(3000, 23) + ODD_NAMES
# Every seventh name missing.
WITH_NULLS = [None if i % 7 == 3 else name for i, name in enumerate(NAMES)]
URLS = [
    None if name is None else form.format(name)
    for name, form in zip(
        WITH_NULLS,
        itertools.cycle(["https://{}/x", "{}", "http://user@{}:8080", "\t{} ", "http://[{}]/"]),
    )
] + ["http://127.0.0.1/", "http://[2001:db8::1]:80/", "h\ttp://exa\nmple.com/", "urn:isbn:1"]


@pytest.fixture(scope="module")
def connection():
    connection = vexlo.duckdb.connect()
    for name, column, values in (("names", "h", WITH_NULLS), ("urls", "u", URLS)):
        connection.register("arrow", pa.table({"i": range(len(values)), column: values}))
        connection.execute(f"CREATE TABLE {name} AS SELECT * FROM arrow")
        connection.unregister("arrow")
    yield connection
    connection.close()


def sql_answers(connection, call, table="names"):
    rows = connection.execute(f"SELECT {call} FROM {table} ORDER BY i").fetchall()
    return [row[0] for row in rows]


def python_answers(question, names, depth, switches):
    function = getattr(vexlo, question)
    args = (depth,) if question == "subdomain" else ()
    answers = [None if name is None else function(name, *args, **switches) for name in names]
    return [list(a) if isinstance(a, tuple) else a for a in answers]


def switch_sets(question):
    names = ["accept_unknown", "icann_only"] + (["keep_case"] if question in TEXT_QUESTIONS else [])
    return [
        dict(zip(names, values)) for values in itertools.product((True, False), repeat=len(names))
    ]


def sql_call(question, switches, depth=None, rules=None, column="h"):
    args = [column] + ([str(depth)] if depth is not None else [])
    args += [str(v).lower() for v in switches.values()]
    args += [f"'{rules}'"] if rules else []
    return f"psl_{question}({', '.join(args)})"


@pytest.mark.parametrize("question", QUESTIONS)
def test_every_form_answers_as_the_python_function(connection, question):
    for depth in (0, 1, 2, 2**62) if question == "subdomain" else (None,):
        expected = python_answers(question, WITH_NULLS, depth, {})
        assert sql_answers(connection, sql_call(question, {}, depth)) == expected
        for switches in switch_sets(question):
            expected = python_answers(question, WITH_NULLS, depth, switches)
            assert sql_answers(connection, sql_call(question, switches, depth)) == expected


def test_switches_may_change_from_row_to_row(connection):
    # Runs of rows with the same switches, of every length, and NULL switches.
    call = (
        "psl_privatesuffix(h, i % 3 <> 0, i % 5 = 1, i % 7 < 3), "
        "psl_is_private(h, i % 11 < 6, CASE WHEN i % 13 = 0 THEN NULL ELSE i % 2 = 0 END), "
        "psl_subdomain(h, i % 4, true, false, i % 9 = 0)"
    )
    rows = connection.execute(f"SELECT i, h, {call} FROM names ORDER BY i").fetchall()
    for i, name, private, is_private, subdomain in rows:
        if name is None:
            assert (private, is_private, subdomain) == (None, None, None)
            continue
        assert private == vexlo.privatesuffix(
            name, accept_unknown=i % 3 != 0, icann_only=i % 5 == 1, keep_case=i % 7 < 3
        )
        expected = (
            None
            if i % 13 == 0
            else vexlo.is_private(name, accept_unknown=i % 11 < 6, icann_only=i % 2 == 0)
        )
        assert is_private == expected
        assert subdomain == vexlo.subdomain(name, i % 4, keep_case=i % 9 == 0)


def test_long_answers_of_whole_chunks(connection):
    # More answer text in one chunk of rows than is handed to DuckDB at once.
    names = [f"{i}." + ".".join(["Ab" * 40] * 12) + f".x{i % 3}.co.uk" for i in range(5000)]
    connection.register("long_names", pa.table({"i": range(len(names)), "h": names}))
    for keep_case in (False, True):
        call = f"psl_subdomain(h, 12, true, false, {str(keep_case).lower()})"
        assert sql_answers(connection, call, "long_names") == [
            vexlo.subdomain(n, 12, keep_case=keep_case) for n in names
        ]
    connection.unregister("long_names")


def test_hosts_answer_as_vexlo_host(connection):
    for keep_ip in (None, False, True):
        call = "psl_host(u)" if keep_ip is None else f"psl_host(u, {str(keep_ip).lower()})"
        expected = [None if u is None else vexlo.host(u, keep_ip=bool(keep_ip)) for u in URLS]
        assert sql_answers(connection, call, "urls") == expected


# The record's fields, named and ordered as the STRUCT's.
EXTRACT_FIELDS = vexlo.Extracted.__match_args__


def records(extract, texts, **switches):
    return [None if t is None else dict(zip(EXTRACT_FIELDS, extract(t, **switches))) for t in texts]


@pytest.mark.parametrize("table, column, texts", [("urls", "u", URLS), ("names", "h", WITH_NULLS)])
def test_extract_answers_as_vexlo_extract(connection, table, column, texts):
    assert sql_answers(connection, f"psl_extract({column})", table) == records(vexlo.extract, texts)
    for keep_ip, accept_unknown, keep_case in itertools.product((True, False), repeat=3):
        call = f"psl_extract({column}, {keep_ip}, {accept_unknown}, {keep_case})"
        expected = records(
            vexlo.extract,
            texts,
            keep_ip=keep_ip,
            accept_unknown=accept_unknown,
            keep_case=keep_case,
        )
        assert sql_answers(connection, call, table) == expected


def test_nulls_and_result_types(connection):
    row = connection.execute(
        "SELECT psl_privatesuffix(NULL), psl_privatesuffix('a.co.uk', NULL, false, false), "
        "psl_subdomain('a.b.co.uk', NULL), psl_privateparts('a.co.uk', NULL), psl_host(NULL, true), "
        "typeof(psl_publicsuffix('x')), typeof(psl_is_public('x')), "
        "typeof(psl_privateparts('x')), typeof(psl_subdomain('x', 1)), typeof(psl_host('x')), "
        "psl_extract(NULL), psl_extract('a.co.uk', NULL, true, false)"
    ).fetchall()[0]
    assert row == (
        None,
        None,
        None,
        None,
        None,
        "VARCHAR",
        "BOOLEAN",
        "VARCHAR[]",
        "VARCHAR",
        "VARCHAR",
        None,
        None,
    )


def test_the_forms_are_those_the_readme_lists(connection):
    # Each function takes its name (and depth), then all of its switches or
    # none, then (but psl_host) a list's checksum or not.
    text, truth, flags = "VARCHAR", "BOOLEAN", "BOOLEAN"
    described = {
        "psl_publicsuffix": ([text], 3, True, text),
        "psl_privatesuffix": ([text], 3, True, text),
        "psl_is_public": ([text], 2, True, truth),
        "psl_is_private": ([text], 2, True, truth),
        "psl_privateparts": ([text], 3, True, "VARCHAR[]"),
        "psl_subdomain": ([text, "BIGINT"], 3, True, text),
        "psl_host": ([text], 1, False, text),
        "psl_extract": ([text], 3, True, None),
        "psl_list_checksum": ([], 0, False, text),
    }
    expected = set()
    for name, (plain, switches, takes_rules, answer) in described.items():
        for given in {(), (flags,) * switches}:
            for rules in [(), (text,)] if takes_rules else [()]:
                expected.add((name, (*plain, *given, *rules), answer))
    rows = connection.execute(
        "SELECT function_name, parameter_types, return_type FROM duckdb_functions() "
        "WHERE function_name LIKE 'psl%' AND function_type = 'scalar'"
    ).fetchall()
    found = {
        (name, tuple(types), None if name == "psl_extract" else answer)
        for name, types, answer in rows
    }
    assert len(rows) == len(found) == 31 and found == expected


def test_bad_arguments_fail_the_query_with_a_message(connection):
    with pytest.raises(duckdb.Error, match=r"psl_subdomain\(\): depth must be 0 or more, not -1"):
        connection.execute("SELECT psl_subdomain(h, -1) FROM names").fetchall()
    with pytest.raises(duckdb.Error, match="no list of checksum 'nope' is loaded"):
        connection.execute("SELECT psl_is_public(h, 'nope') FROM names").fetchall()
    # No overload takes a switch of another type.
    with pytest.raises(duckdb.Error):
        connection.execute("SELECT psl_privatesuffix(h, 1) FROM names").fetchall()


def arrow_strings(values):
    """A string column of exactly these bytes, UTF-8 or not: DuckDB takes an
    Arrow column's strings as they are."""
    offsets = array.array("i", [0])
    for value in values:
        offsets.append(offsets[-1] + len(value))
    buffers = [None, pa.py_buffer(offsets.tobytes()), pa.py_buffer(b"".join(values))]
    return pa.Array.from_buffers(pa.string(), len(values), buffers)


NOT_UTF8 = [
    b"a\xff.com",
    b"\xc3\x28.example.co.uk",
    b"www.example.co.uk\xed\xa0\x80",  # a surrogate
    b"\xf4\x90\x80\x80.jp",  # past U+10FFFF
    b"\x80",
    b"https://www.example.co.uk/\xff",
    b"https://a\xff.example.co.uk/",
]


def test_text_that_is_not_utf8(connection):
    connection.register(
        "not_utf8", pa.table({"i": range(len(NOT_UTF8)), "h": arrow_strings(NOT_UTF8)})
    )
    calls = (
        "psl_publicsuffix(h), psl_privatesuffix(h, false, true, true), psl_is_public(h), "
        "psl_is_private(h), psl_privateparts(h), psl_subdomain(h, 1), psl_host(h, true), "
        f"psl_extract(h), psl_privatesuffix(h, '{vexlo.LIST_CHECKSUM}')"
    )
    rows = connection.execute(f"SELECT {calls} FROM not_utf8 ORDER BY i").fetchall()
    # An invalid name, as the Python functions answer one; no host.
    nothing = dict.fromkeys(EXTRACT_FIELDS)
    assert rows == [(None, None, False, False, None, None, None, nothing, None)] * len(NOT_UTF8)
    connection.unregister("not_utf8")
    # DuckDB's decode refuses such bytes itself; a cast spells them out.
    with pytest.raises(duckdb.ConversionException, match="invalid UTF8"):
        connection.execute("SELECT psl_privatesuffix(decode('a\\xFF.com'::BLOB))").fetchall()
    rows = connection.execute(
        "SELECT t, psl_privatesuffix(t), psl_host(t) FROM (VALUES (CAST('a\\xFF.com'::BLOB AS "
        "VARCHAR)), (CAST('http://\\xC3\\x28.example.co.uk/'::BLOB AS VARCHAR))) v(t)"
    ).fetchall()
    assert rows == [(t, vexlo.privatesuffix(t), vexlo.host(t)) for t, _, _ in rows]


def test_a_checksum_that_is_not_utf8_fails_with_a_message(connection):
    connection.register("not_utf8", pa.table({"c": arrow_strings([b"\xff" * 64])}))
    try:
        with pytest.raises(duckdb.Error, match=r"no list of checksum '\ufffd{64}' is loaded"):
            connection.execute("SELECT psl_is_public('a.com', c) FROM not_utf8").fetchall()
    finally:
        connection.unregister("not_utf8")


TEN_MB = 10_000_000


@pytest.mark.parametrize(
    "text",
    [
        "x" * TEN_MB + ".com",
        "a." * (TEN_MB // 2) + "co.uk",
        "https://" + "b." * (TEN_MB // 2) + "com/",
    ],
    ids=["one label", "many labels", "url"],
)
def test_ten_megabyte_texts_answer_as_the_python_functions(connection, text):
    calls = [
        "psl_publicsuffix(?)",
        "psl_privatesuffix(?, true, false, true)",
        "psl_is_private(?)",
        "psl_subdomain(?, 3)",
        "psl_host(?)",
        "psl_extract(?)",
    ]
    row = connection.execute(f"SELECT {', '.join(calls)}", [text] * len(calls)).fetchall()[0]
    assert row == (
        vexlo.publicsuffix(text),
        vexlo.privatesuffix(text, keep_case=True),
        vexlo.is_private(text),
        vexlo.subdomain(text, 3),
        vexlo.host(text),
        records(vexlo.extract, [text])[0],
    )
    if text.count(".") < 10:
        parts = connection.execute("SELECT psl_privateparts(?)", [text]).fetchall()[0][0]
        expected = vexlo.privateparts(text)
        assert parts == (None if expected is None else list(expected))
    # A checksum of ten megabytes is named, shortly, as loaded by no list.
    with pytest.raises(
        duckdb.Error, match=r"no list of checksum 'xxxx\S*\.\.\.' is loaded"
    ) as failed:
        connection.execute("SELECT psl_is_public('a.com', ?)", ["x" * TEN_MB]).fetchall()
    assert len(str(failed.value)) < 1000


def test_depths_at_the_ends_of_bigint(connection):
    top = 2**63 - 1
    row = connection.execute(
        f"SELECT psl_subdomain('a.b.example.co.uk', {top}), psl_subdomain('a.b.example.co.uk', 0)"
    ).fetchall()[0]
    assert row == (
        vexlo.subdomain("a.b.example.co.uk", top),
        vexlo.subdomain("a.b.example.co.uk", 0),
    )
    with pytest.raises(duckdb.Error, match=f"depth must be 0 or more, not {-(2**63)}"):
        connection.execute(f"SELECT psl_subdomain('a.co.uk', {-(2**63)})").fetchall()
    # A negative depth in a late row fails the whole query.
    with pytest.raises(duckdb.Error, match="depth must be 0 or more, not -1"):
        connection.execute(
            "SELECT psl_subdomain(h, CASE WHEN i = 3000 THEN -1 ELSE 1 END) FROM names"
        ).fetchall()
    # Past BIGINT, no overload takes the depth: DuckDB says so.
    with pytest.raises(duckdb.BinderException, match="No function matches"):
        connection.execute(f"SELECT psl_subdomain('a.co.uk', {2**64})").fetchall()


def test_checksums_that_name_no_list_here(connection, tmp_path):
    # A NULL checksum gives NULL, as any NULL argument does.
    assert connection.execute("SELECT psl_privatesuffix('a.co.uk', NULL::VARCHAR)").fetchall() == [
        (None,)
    ]
    # A list is loaded into one database; another does not have it.
    path = tmp_path / "list.dat"
    path.write_bytes(b"// ===BEGIN ICANN DOMAINS===\nuk\n// ===END ICANN DOMAINS===\n")
    other = vexlo.duckdb.connect()
    checksum = other.execute(f"SELECT checksum FROM psl_load_rules('{path}')").fetchall()[0][0]
    assert other.execute(f"SELECT psl_privatesuffix('a.b.co.uk', '{checksum}')").fetchall() == [
        ("co.uk",)
    ]
    other.close()
    with pytest.raises(duckdb.Error, match=f"no list of checksum '{checksum}' is loaded"):
        connection.execute(f"SELECT psl_privatesuffix('a.co.uk', '{checksum}')").fetchall()


def test_loaded_lists(connection, tmp_path):
    old_list = "/usr/share/publicsuffix/public_suffix_list.dat"
    if not os.path.isfile(old_list):
        pytest.skip("Debian's publicsuffix package is not installed")
    rules = vexlo.load_rules(old_list)
    loaded = connection.execute(f"SELECT * FROM psl_load_rules('{old_list}')").fetchall()
    assert loaded == [(rules.checksum, rules.version, rules.rule_count)]
    # Loading it again gives the same list.
    assert connection.execute(f"SELECT checksum FROM psl_load_rules('{old_list}')").fetchall() == [
        (rules.checksum,)
    ]
    for question in QUESTIONS:
        depth = 1 if question == "subdomain" else None
        for switches in ({}, switch_sets(question)[-1]):
            expected = [
                None
                if name is None
                else getattr(rules, question)(name, *([depth] if depth else []), **switches)
                for name in WITH_NULLS
            ]
            expected = [list(a) if isinstance(a, tuple) else a for a in expected]
            call = sql_call(question, switches, depth, rules=rules.checksum)
            assert sql_answers(connection, call) == expected
    rows = sql_answers(connection, f"psl_extract(h, false, true, true, '{rules.checksum}')")
    assert rows == records(rules.extract, WITH_NULLS, keep_case=True)
    # The compiled list is named by its own checksum.
    assert connection.execute("SELECT psl_list_checksum()").fetchall() == [(vexlo.LIST_CHECKSUM,)]
    compiled = sql_answers(connection, f"psl_privatesuffix(h, '{vexlo.LIST_CHECKSUM}')")
    assert compiled == python_answers("privatesuffix", WITH_NULLS, None, {})


@pytest.mark.parametrize(
    "content, message",
    [
        (b"\xff\xfe", "line 1: "),
        (b"// ===BEGIN ICANN DOMAINS===\nuk\n", "line "),
        (b"", ""),
    ],
)
def test_refused_list_files_fail_as_load_rules_does(connection, tmp_path, content, message):
    path = tmp_path / "list.dat"
    path.write_bytes(content)
    with pytest.raises(ValueError) as refused:
        vexlo.load_rules(path)
    assert message in str(refused.value)
    with pytest.raises(duckdb.Error) as failed:
        connection.execute(f"SELECT * FROM psl_load_rules('{path}')").fetchall()
    assert f"psl_load_rules('{path}'): {refused.value}" in str(failed.value)


def test_a_million_rows_on_two_threads():
    names = corpus(20000, 29) + ODD_NAMES
    expected = [vexlo.privatesuffix(n) for n in names]
    parts = [vexlo.privateparts(n, keep_case=True) for n in names]
    repeats = 1_000_000 // len(names) + 1
    table = pa.table(
        {
            "h": [None if i % 1000 == 7 else n for i, n in enumerate(names * repeats)],
            "expected": expected * repeats,
            "parts": [None if p is None else list(p) for p in parts] * repeats,
        }
    )
    connection = vexlo.duckdb.connect(config={"threads": 2})
    connection.register("arrow", table)
    connection.execute("CREATE TABLE big AS SELECT * FROM arrow")
    wrong = connection.execute(
        "SELECT count(*) FILTER (h IS NOT NULL AND psl_privatesuffix(h) IS DISTINCT FROM expected), "
        "count(*) FILTER (h IS NOT NULL AND psl_privateparts(h, true, false, true) IS DISTINCT FROM parts), "
        "count(*) FILTER (h IS NULL AND psl_privatesuffix(h) IS NOT NULL), count(*) FROM big"
    ).fetchall()
    assert wrong == [(0, 0, 0, len(table))] and len(table) >= 1_000_000
    connection.close()


def test_files_and_footers():
    machine = {"x86_64": "amd64", "aarch64": "arm64"}[os.uname().machine]
    assert vexlo.duckdb.platforms() == [f"linux_{machine}"]
    path = vexlo.duckdb.extension_path(f"linux_{machine}")
    assert os.path.basename(path) == "vexlo.duckdb_extension"
    data = open(path, "rb").read()
    # The footer: 8 fields of 32 bytes, last first, then a 256-byte
    # signature (none). The C API version is that of the oldest DuckDB
    # that loads the file.
    fields = [data[-256 - 32 * (k + 1) : -256 - 32 * k].rstrip(b"\0") for k in range(8)]
    assert fields[:5] == [
        b"4",
        f"linux_{machine}".encode(),
        ("v" + ".".join(map(str, vexlo.duckdb.OLDEST_DUCKDB))).encode(),
        f"v{vexlo.__version__}".encode(),
        b"C_STRUCT",
    ]
    with pytest.raises(LookupError, match="no DuckDB extension for the platform 'wasm_eh'"):
        vexlo.duckdb.extension_path("wasm_eh")


def test_load_needs_unsigned_extensions_allowed():
    connection = duckdb.connect()
    with pytest.raises(duckdb.Error, match="allow_unsigned_extensions"):
        vexlo.duckdb.load(connection)
    connection.close()
