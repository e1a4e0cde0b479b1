"""The vexlo command end to end, run as `python -m vexlo` in a subprocess:
arguments and standard input, fields, TSV and JSON, switches, invalid names
and bad input, exit status, and the stream behaviour of pipes."""

import json
import os
import select
import signal
import subprocess
import sys

import pytest
from support import package_root

import vexlo

ALL_FIELDS = "name,publicsuffix,privatesuffix,is_public,is_private,privateparts,subdomain"


def env():
    return dict(
        os.environ,
        PYTHONPATH=os.pathsep.join(
            filter(None, [str(package_root()), os.environ.get("PYTHONPATH")])
        ),
    )


def vexlo_cli(*args, stdin=b""):
    return subprocess.run(
        [sys.executable, "-m", "vexlo", *args],
        input=stdin,
        capture_output=True,
        env=env(),
        timeout=120,
    )


def rows(result):
    return result.stdout.decode("utf-8").split("\n")[:-1]


@pytest.mark.parametrize(
    "args, stdin, expected",
    [
        # Default fields: the name, its public suffix, its private suffix.
        (
            [],
            b"www.example.co.uk\nco.uk\n",
            ["www.example.co.uk\tco.uk\texample.co.uk", "co.uk\tco.uk\t"],
        ),
        (
            ["Shop.Example.CO.UK.", "alice.github.io"],
            b"ignored when names are given\n",
            [
                "Shop.Example.CO.UK.\tco.uk\texample.co.uk",
                "alice.github.io\tgithub.io\talice.github.io",
            ],
        ),
        # Every field, for a deep name, an entirely public one and a wildcard's exception.
        (
            ["--fields", ALL_FIELDS, "a.b.example.co.uk", "foo.kobe.jp", "www.city.kobe.jp"],
            b"",
            [
                "a.b.example.co.uk\tco.uk\texample.co.uk\tfalse\ttrue\ta b example.co.uk\tb.example.co.uk",
                "foo.kobe.jp\tfoo.kobe.jp\t\ttrue\tfalse\t\t",
                "www.city.kobe.jp\tkobe.jp\tcity.kobe.jp\tfalse\ttrue\twww city.kobe.jp\twww.city.kobe.jp",
            ],
        ),
        (["--fields", "subdomain", "--depth", "0", "a.b.example.co.uk"], b"", ["example.co.uk"]),
        (
            ["--fields", "subdomain", "--depth", "2", "a.b.example.co.uk"],
            b"",
            ["a.b.example.co.uk"],
        ),
        (["--fields", "subdomain", "--depth", "3", "a.b.example.co.uk"], b"", [""]),
        (["--fields", "subdomain", "--depth", str(2**64 - 1), "a.b.example.co.uk"], b"", [""]),
        # The switches.
        (["--fields", "privatesuffix", "--icann-only", "alice.github.io"], b"", ["github.io"]),
        (
            ["--fields", "publicsuffix,privatesuffix,is_private", "--no-unknown", "x.unknowntld"],
            b"",
            ["\t\tfalse"],
        ),
        (
            ["--fields", "publicsuffix,privateparts", "x.unknowntld"],
            b"",
            ["unknowntld\tx.unknowntld"],
        ),
        (
            ["--keep-case", "--fields", "privatesuffix,privateparts", "Shop.Example.CO.UK."],
            b"",
            ["Example.CO.UK\tShop Example.CO.UK"],
        ),
        # Invalid names keep their row, with every answer empty, the predicates too.
        (
            ["--fields", ALL_FIELDS],
            b"\n.\na..b\nexample.com..\n.example.com\n",
            [
                "\t\t\t\t\t\t",
                ".\t\t\t\t\t\t",
                "a..b\t\t\t\t\t\t",
                "example.com..\t\t\t\t\t\t",
                ".example.com\t\t\t\t\t\t",
            ],
        ),
        # Line endings: \n and \r\n end a line; a last line without one still counts.
        (
            [],
            b"a.example.com\r\nb.example.com\nc.example.com",
            [
                "a.example.com\tcom\texample.com",
                "b.example.com\tcom\texample.com",
                "c.example.com\tcom\texample.com",
            ],
        ),
        # Characters that would break the table are escaped.
        (
            ["--fields", "name,privateparts", "a\tb.c d.ex\\ample.com"],
            b"",
            ["a\\tb.c d.ex\\\\ample.com\ta\\tb c\\x20d ex\\\\ample.com"],
        ),
        ([], b"x\ry.com\n", ["x\\ry.com\tcom\tx\\ry.com"]),
        # URLs and e-mail addresses: the answers are for the host, the name
        # is the line as given; no host (or an IP address) answers nothing.
        (
            ["--urls", "--fields", "name,host,privatesuffix,is_private"],
            b"https://u@Shop.Example.CO.UK:8443/x?q=1\r\nBob <bob@a.b.github.io>\n"
            b"http://127.0.0.1/\nurn:isbn:1\nexample.com:8080/x\nh\ttp://a.exa\tmple.com/\n"
            + "http://www.example\u3002co\u3002uk/\n".encode(),
            [
                "https://u@Shop.Example.CO.UK:8443/x?q=1\tShop.Example.CO.UK\texample.co.uk\ttrue",
                "Bob <bob@a.b.github.io>\ta.b.github.io\tb.github.io\ttrue",
                "http://127.0.0.1/\t\t\t",
                "urn:isbn:1\t\t\t",
                "example.com:8080/x\texample.com\texample.com\ttrue",
                "h\\ttp://a.exa\\tmple.com/\ta.example.com\texample.com\ttrue",
                "http://www.example\u3002co\u3002uk/\twww.example.co.uk\texample.co.uk\ttrue",
            ],
        ),
        # vexlo.extract's parts, from names and from URLs; an argument is
        # answered alone (not in a block), through the single walk.
        (
            ["--fields", "prefix,domain,section,rule,icann_publicsuffix,icann_privatesuffix"],
            b"www.city.kobe.jp\nkobe.jp\nfoo.bar.github.io\nx.unknowntld\na..b\n",
            [
                "www\tcity\ticann\t!city.kobe.jp\tkobe.jp\tcity.kobe.jp",
                "\t\ticann\t*.kobe.jp\tkobe.jp\t",
                "foo\tbar\tprivate\tgithub.io\tio\tgithub.io",
                "\tx\t\t*\tunknowntld\tx.unknowntld",
                "\t\t\t\t\t",
            ],
        ),
        (
            ["--urls", "--icann-only", "--fields", "host,prefix,domain,section,rule"],
            b"https://foo.bar.github.io/x\nhttp://www.xn--55qx5d.cn/\n",
            [
                "foo.bar.github.io\tfoo.bar\tgithub\tprivate\tgithub.io",
                "www.xn--55qx5d.cn\t\twww\ticann\t公司.cn",
            ],
        ),
        (
            ["--urls", "--fields", "rule,section", "https://x.b.kobe.jp/", "urn:x"],
            b"",
            ["*.kobe.jp\ticann", "\t"],
        ),
        (
            ["--urls", "--keep-case", "https://WWW.Example.CO.UK/", "mailto:x@Y.Example.COM"],
            b"ignored when names are given\n",
            [
                "https://WWW.Example.CO.UK/\tCO.UK\tExample.CO.UK",
                "mailto:x@Y.Example.COM\tCOM\tExample.COM",
            ],
        ),
    ],
)
def test_tsv_rows(args, stdin, expected):
    result = vexlo_cli(*args, stdin=stdin)
    assert (result.returncode, result.stderr) == (0, b"")
    assert rows(result) == expected


@pytest.mark.parametrize(
    "args, expected",
    [
        ([], "name\tpublicsuffix\tprivatesuffix"),
        (["--fields", "privateparts,is_public,subdomain"], "privateparts\tis_public\tsubdomain"),
        (["--urls", "--fields", "host,name,privatesuffix"], "host\tname\tprivatesuffix"),
    ],
)
def test_header_names_the_fields_in_a_first_row(args, expected):
    result = vexlo_cli("--header", *args, stdin=b"a.example.com\n")
    assert result.returncode == 0
    out = rows(result)
    assert out[0] == expected and len(out) == 2
    # Without input the header stands alone; JSON Lines name the fields in
    # every row and get none.
    assert rows(vexlo_cli("--header", *args)) == [expected]
    json_rows = rows(vexlo_cli("--header", "--json", *args, stdin=b"a.example.com\n"))
    assert len(json_rows) == 1 and json.loads(json_rows[0])["name"] == "a.example.com"


def test_a_dash_among_the_names_reads_standard_input_there():
    stdin = b"x.github.io\n\xff.com\r\nco.uk"
    result = vexlo_cli(
        "--fields",
        "name,privatesuffix",
        "a.example.com",
        "-",
        "b.example.co.uk",
        "\udcfe",
        stdin=stdin,
    )
    assert result.returncode == 1
    assert rows(result) == [
        "a.example.com\texample.com",
        "x.github.io\tx.github.io",
        "\t",
        "co.uk\t",
        "b.example.co.uk\texample.co.uk",
        "\t",
    ]
    # Lines are counted within standard input, arguments among the arguments.
    assert result.stderr.decode().splitlines() == [
        "vexlo: line 2: not valid UTF-8 (byte 1)",
        "vexlo: argument 4: not valid UTF-8 (byte 1)",
    ]
    assert rows(vexlo_cli("-", stdin=b"a.example.com\n")) == ["a.example.com\tcom\texample.com"]


def test_json_lines():
    stdin = b"Shop.Example.CO.UK.\nco.uk\na..b\n"
    result = vexlo_cli(
        "--json", "--keep-case", "--fields", "privateparts,is_public,subdomain", stdin=stdin
    )
    assert result.returncode == 0
    assert [json.loads(row) for row in rows(result)] == [
        {
            "name": "Shop.Example.CO.UK.",
            "privateparts": ["Shop", "Example.CO.UK"],
            "is_public": False,
            "subdomain": "Shop.Example.CO.UK",
        },
        {"name": "co.uk", "privateparts": None, "is_public": True, "subdomain": None},
        {"name": "a..b", "privateparts": None, "is_public": None, "subdomain": None},
    ]
    # Non-ASCII text is written as UTF-8, not as \u escapes.
    assert "食狮.公司.cn".encode() in vexlo_cli("--json", "www.食狮.公司.cn").stdout


@pytest.mark.parametrize("json_output", [False, True])
def test_invalid_utf8_lines_are_reported_and_keep_their_row(json_output):
    stdin = b"a.example.com\n\xff.example.com\nb.example.com\nc.\xc3(.com\r\nd.example.com"
    result = vexlo_cli(*(["--json"] if json_output else []), stdin=stdin)
    assert result.returncode == 1
    assert result.stderr.decode().splitlines() == [
        "vexlo: line 2: not valid UTF-8 (byte 1)",
        "vexlo: line 4: not valid UTF-8 (byte 3)",
    ]
    out = rows(result)
    assert len(out) == 5
    if json_output:
        assert (
            json.loads(out[1])
            == json.loads(out[3])
            == {"name": None, "publicsuffix": None, "privatesuffix": None}
        )
        assert json.loads(out[4])["privatesuffix"] == "example.com"
    else:
        assert out[1] == out[3] == "\t\t"
        assert out[4] == "d.example.com\tcom\texample.com"


def test_invalid_utf8_argument():
    result = subprocess.run(
        [sys.executable.encode(), b"-m", b"vexlo", b"a.example.com", b"\xfe.com"],
        capture_output=True,
        env=env(),
        timeout=60,
    )
    assert result.returncode == 1
    assert result.stderr == b"vexlo: argument 2: not valid UTF-8 (byte 1)\n"
    assert rows(result) == ["a.example.com\tcom\texample.com", "\t\t"]


def test_rows_stay_aligned_across_read_chunks():
    # Lines far longer than one read, and many short ones, around a bad line.
    long_name = "x" * 200_000 + ".example.co.uk"
    names = [f"n{i}.example.com" for i in range(50_000)]
    lines = [
        long_name.encode(),
        *(n.encode() for n in names[:25_000]),
        b"\x80",
        *(n.encode() for n in names[25_000:]),
        long_name.encode(),
    ]
    result = vexlo_cli("--fields", "privatesuffix", stdin=b"\n".join(lines) + b"\n")
    assert result.returncode == 1
    out = rows(result)
    assert len(out) == len(lines)
    assert out[0] == out[-1] == "example.co.uk"
    assert out[25_001] == ""
    assert set(out[1:25_001] + out[25_002:-1]) == {"example.com"}
    assert result.stderr == b"vexlo: line 25002: not valid UTF-8 (byte 1)\n"


def test_output_is_not_held_back_while_input_pauses():
    """A consumer reading row by row gets each row while vexlo still waits
    for the next line: output is flushed before every read that may block."""
    process = subprocess.Popen(
        [sys.executable, "-m", "vexlo", "--fields", "privatesuffix"],
        stdin=subprocess.PIPE,
        stdout=subprocess.PIPE,
        env=env(),
    )
    try:
        for name, expected in [
            ("a.example.com", b"example.com\n"),
            ("b.example.co.uk", b"example.co.uk\n"),
        ]:
            process.stdin.write(name.encode() + b"\n")
            process.stdin.flush()
            ready, _, _ = select.select([process.stdout], [], [], 60)
            assert ready, "no row while the input was open"
            assert process.stdout.readline() == expected
    finally:
        process.stdin.close()
        process.wait(timeout=60)
    assert process.returncode == 0


def test_closed_pipe_ends_quietly(tmp_path):
    names = tmp_path / "names.txt"
    names.write_bytes(b"".join(b"w%d.example.com\n" % i for i in range(200_000)))
    with open(names, "rb") as stdin:
        process = subprocess.Popen(
            [sys.executable, "-m", "vexlo"],
            stdin=stdin,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            env=env(),
        )
        assert process.stdout.readline() == b"w0.example.com\tcom\texample.com\n"
        process.stdout.close()
        _, stderr = process.communicate(timeout=120)
    assert process.returncode == 128 + signal.SIGPIPE
    assert stderr == b""


def test_no_progress_when_stderr_is_not_a_terminal(tmp_path):
    names = tmp_path / "names.txt"
    names.write_bytes(b"".join(b"w%d.example.com\n" % i for i in range(100_000)))
    result = subprocess.run(
        [sys.executable, "-m", "vexlo"],
        stdin=open(names, "rb"),
        capture_output=True,
        env=env(),
        timeout=120,
    )
    assert result.returncode == 0 and result.stderr == b""
    assert len(rows(result)) == 100_000


def test_version():
    result = vexlo_cli("--version")
    assert result.returncode == 0
    version = vexlo.compiled_rules().version
    checksum = "" if vexlo.LIST_CHECKSUM in version else f"; checksum {vexlo.LIST_CHECKSUM}"
    assert (
        result.stdout.decode()
        == f"vexlo {vexlo.__version__} (compiled list: {version}{checksum})\n"
    )
    if vexlo.LIST_CHECKSUM == "fe6adc7fb8014f57d28d69b18d0aa3e581efb432544922e12131a5d4a87bd954":
        assert f"(compiled list: 2026-07-25, commit e1b8015c; checksum {vexlo.LIST_CHECKSUM})" in (
            result.stdout.decode()
        )


@pytest.mark.parametrize(
    "args, message",
    [
        (["--fields", "publicsuffix,registered_domain"], "unknown field 'registered_domain'"),
        (["--fields", "name,name"], "a field is named twice"),
        (["--depth", "-1"], "--depth: must be a whole number"),
        (["--depth", str(2**64)], "--depth: must be a whole number"),
        (["--depth", "one"], "--depth: must be a whole number"),
        (["--bogus"], "unrecognized arguments"),
        (["--fields", "name,host"], "the field host needs --urls"),
    ],
)
def test_usage_errors(args, message):
    result = vexlo_cli(*args, "example.com")
    assert result.returncode == 2
    assert message in result.stderr.decode()
    assert result.stdout == b""


def test_urls_in_json_lines_and_lines_that_are_not_utf8():
    stdin = b"http://a.example.com/\nhttp://\xff.example.com/\nhttp://[::1]/\n"
    result = vexlo_cli("--urls", "--json", "--fields", "host,privateparts", stdin=stdin)
    assert result.returncode == 1
    assert result.stderr.decode() == "vexlo: line 2: not valid UTF-8 (byte 8)\n"
    assert [json.loads(row) for row in rows(result)] == [
        {
            "name": "http://a.example.com/",
            "host": "a.example.com",
            "privateparts": ["a", "example.com"],
        },
        {"name": None, "host": None, "privateparts": None},
        {"name": "http://[::1]/", "host": None, "privateparts": None},
    ]


def test_importing_the_package_loads_no_command_line():
    code = "import sys, vexlo; print(sorted(m for m in sys.modules if m.startswith('vexlo')))"
    result = subprocess.run(
        [sys.executable, "-c", code], capture_output=True, text=True, env=env(), timeout=60
    )
    assert result.stdout.strip() == "['vexlo', 'vexlo._lookup', 'vexlo._version']"
