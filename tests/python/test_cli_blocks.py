"""The vexlo command's rows, made in C++ a block of lines at a time, against a
reference written with the scalar functions, json.dumps and str escapes: for
generated names with every byte that needs escaping, every field and switch,
TSV and JSON; and against reads cut at every kind of place (inside a line,
between "\\r" and "\\n", inside a UTF-8 sequence, lines longer than a read)."""

import functools
import io
import json
import random
import subprocess
import sys

import pytest
from psl_model import explain, parse
from test_cli import env

import vexlo
from vexlo import _columns, cli

ALL_FIELDS = (
    "name",
    "publicsuffix",
    "privatesuffix",
    "is_public",
    "is_private",
    "privateparts",
    "subdomain",
)
# vexlo.extract's parts that the six do not answer.
EXTRACT_FIELDS = (
    "name",
    "prefix",
    "domain",
    "privatesuffix",
    "section",
    "rule",
    "icann_publicsuffix",
    "icann_privatesuffix",
)
TSV_ESCAPES = str.maketrans({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"})
PART_ESCAPES = str.maketrans({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r", " ": "\\x20"})


def reference_rows(
    lines,
    fields,
    json_output=False,
    depth=1,
    accept_unknown=True,
    icann_only=False,
    keep_case=False,
    model=None,
):
    """The rows as the command wrote them before they were made in C++, and
    the reports of lines that are not UTF-8. The fields of vexlo.extract come
    from the six functions and, for the section and the rule, from the
    independent model."""
    switches = {"accept_unknown": accept_unknown, "icann_only": icann_only}
    text_switches = dict(switches, keep_case=keep_case)
    icann_switches = dict(text_switches, icann_only=True)

    def parts(name):
        return vexlo.privateparts(name, **text_switches)

    def why(name):
        given = name[:-1] if name.endswith(".") else name
        return explain(given.lower().split("."), model, accept_unknown)

    answers = {
        "name": lambda name: name,
        "publicsuffix": lambda name: vexlo.publicsuffix(name, **text_switches),
        "privatesuffix": lambda name: vexlo.privatesuffix(name, **text_switches),
        "is_public": lambda name: vexlo.is_public(name, **switches),
        "is_private": lambda name: vexlo.is_private(name, **switches),
        "privateparts": lambda name: vexlo.privateparts(name, **text_switches),
        "subdomain": lambda name: vexlo.subdomain(name, depth, **text_switches),
        "prefix": lambda name: None if parts(name) is None else ".".join(parts(name)[:-1]),
        "domain": lambda name: None if parts(name) is None else parts(name)[-1].split(".")[0],
        "section": lambda name: why(name)[3],
        "rule": lambda name: why(name)[2],
        "icann_publicsuffix": lambda name: vexlo.publicsuffix(name, **icann_switches),
        "icann_privatesuffix": lambda name: vexlo.privatesuffix(name, **icann_switches),
    }

    def tsv_field(value):
        if isinstance(value, bool):
            return "true" if value else "false"
        if isinstance(value, str):
            return value.translate(TSV_ESCAPES)
        if value is None:
            return ""
        return " ".join(item.translate(PART_ESCAPES) for item in value)

    rows, reports = [], []
    for number, raw in enumerate(lines, 1):
        try:
            name = raw.decode("utf-8")
        except UnicodeDecodeError as error:
            reports.append(f"vexlo: line {number}: not valid UTF-8 (byte {error.start + 1})")
            values = [None] * len(fields)
        else:
            values = [
                answers[field](name) if is_valid_name(name) or field == "name" else None
                for field in fields
            ]
        if json_output:
            row = json.dumps(
                dict(zip(fields, [list(v) if isinstance(v, tuple) else v for v in values])),
                ensure_ascii=False,
            )
        else:
            row = "\t".join(map(tsv_field, values))
        rows.append((row + "\n").encode("utf-8"))
    return b"".join(rows), reports


@functools.cache
def model(list_text):
    return parse(list_text)


def is_valid_name(name):
    if name.endswith("."):
        name = name[:-1]
    return bool(name) and not name.startswith(".") and not name.endswith(".") and ".." not in name


def generated_lines(count, seed):
    """Names made of real-looking labels, with escapes, control characters,
    quotes, spaces, non-ASCII letters that change length when lowered,
    invalid names and bytes that are not UTF-8 mixed in."""
    rnd = random.Random(seed)
    labels = [
        "www",
        "example",
        "co",
        "uk",
        "github",
        "io",
        "kobe",
        "jp",
        "city",
        "com",
        "de",
        "ÉCOLE",
        "straße",
        "İstanbul",
        "ΣΊΣΥΦΟΣ",
        "公司",
        "cn",
        "K",
        "xn--p1ai",
        "a",
    ]
    odd = [
        "\t",
        " ",
        "\\",
        "\r",
        '"',
        "\x00",
        "\x01",
        "\x1f",
        "\x7f",
        "\b",
        "\f",
        "\u2028",
        "é",
        "\u212a",
        ".",
        "",
    ]
    bad = [b"\xff", b"\xc3", b"\xe2\x82", b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\xc0\xaf"]
    lines = []
    for _ in range(count):
        name = ".".join(rnd.choice(labels) for _ in range(rnd.randint(1, 5)))
        if rnd.random() < 0.2:
            name = rnd.choice(labels).upper() + name
        for _ in range(rnd.choice([0, 0, 1, 2])):
            at = rnd.randrange(len(name) + 1)
            name = name[:at] + rnd.choice(odd) + name[at:]
        raw = name.replace("\n", "").encode("utf-8")
        if rnd.random() < 0.03:
            at = rnd.randrange(len(raw) + 1)
            raw = raw[:at] + rnd.choice(bad) + raw[at:]
        if rnd.random() < 0.05:
            raw = raw.rstrip(b".") + b"."
        lines.append(raw)
    return lines


# A line never holds "\n", and a "\r" at its end would join the ending.
LINES = [line.rstrip(b"\r") for line in generated_lines(4000, seed=11)]


@pytest.mark.parametrize(
    "options",
    [
        dict(fields=ALL_FIELDS),
        dict(fields=ALL_FIELDS, json_output=True),
        dict(fields=ALL_FIELDS, keep_case=True, depth=0),
        dict(fields=ALL_FIELDS, json_output=True, keep_case=True, icann_only=True, depth=2),
        dict(fields=("privateparts", "name", "is_private"), accept_unknown=False),
        dict(fields=("subdomain",), depth=2**64 - 1),
        dict(fields=("name",)),
        dict(fields=("is_public", "publicsuffix"), json_output=True, accept_unknown=False),
        dict(fields=EXTRACT_FIELDS),
        dict(fields=EXTRACT_FIELDS, json_output=True, keep_case=True, icann_only=True),
        dict(fields=("rule", "privatesuffix", "section"), accept_unknown=False, icann_only=True),
    ],
)
def test_rows_equal_the_reference(options, list_text):
    fields = options["fields"]
    args = ["--fields", ",".join(fields), "--depth", str(options.get("depth", 1))]
    args += ["--json"] * options.get("json_output", False)
    args += ["--keep-case"] * options.get("keep_case", False)
    args += ["--icann-only"] * options.get("icann_only", False)
    args += ["--no-unknown"] * (not options.get("accept_unknown", True))
    result = subprocess.run(
        [sys.executable, "-m", "vexlo", *args],
        input=b"\n".join(LINES),
        capture_output=True,
        env=env(),
        timeout=120,
    )
    json_fields = (
        fields if not options.get("json_output") or "name" in fields else ("name", *fields)
    )
    expected, reports = reference_rows(
        LINES,
        json_fields,
        model=model(list_text),
        **{key: value for key, value in options.items() if key != "fields"},
    )
    assert reports, "the generated input has lines that are not UTF-8"
    assert result.stdout == expected
    assert result.stderr.decode().splitlines() == reports
    assert result.returncode == 1


class ChunkedStream:
    """A binary stream whose read1 gives the chunks it was made with."""

    def __init__(self, chunks):
        self.chunks = list(chunks)

    def read1(self, size):
        assert size > 0
        return self.chunks.pop(0) if self.chunks else b""


def answer_chunks(chunks, fields=("name", "privatesuffix"), json_output=False, threads=1):
    out = io.BytesIO()
    rows = cli.RowWriter(out, flush_each_row=False, progress=cli.Progress(None, enabled=False))
    row_format = _columns._line_format(fields, json_output, 1, True, False, False, False)
    cli.answer_stream(ChunkedStream(chunks), row_format, rows, threads)
    return out.getvalue(), rows.unreadable


def cut(data, sizes):
    chunks, at = [], 0
    for size in sizes:
        chunks.append(data[at : at + size])
        at += size
    return [chunk for chunk in chunks if chunk] + ([data[at:]] if data[at:] else [])


EDGE_INPUT = (
    b"a.example.com\r\n"
    + "b.\u00e9xample.com\n".encode()
    + b"c.\xe2\x82.com\n"
    + b"x" * 300
    + b".example.co.uk\r\n"
    + b"\r\n"
    + b"last.\xff"
)


@pytest.mark.parametrize(
    "sizes",
    [
        [1] * len(EDGE_INPUT),  # a read per byte
        [14, 1, 500],  # "\r" and "\n" in different reads
        [18, 100],  # inside the two bytes of "é"
        [34, 1, 1, 500],  # inside the bad sequence
        [60, 100, 100, 100],  # a line longer than a read
        [len(EDGE_INPUT) - 1],  # the last line's last byte alone
        [len(EDGE_INPUT)],
    ],
)
def test_reads_cut_anywhere_give_the_same_rows(sizes, capsys):
    lines = EDGE_INPUT.split(b"\n")
    lines = [line[:-1] if line.endswith(b"\r") else line for line in lines[:-1]] + [lines[-1]]
    expected, reports = reference_rows(lines, ("name", "privatesuffix"))
    output, unreadable = answer_chunks(cut(EDGE_INPUT, sizes))
    assert output == expected
    assert unreadable
    assert (
        capsys.readouterr().err.splitlines()
        == reports
        == ["vexlo: line 3: not valid UTF-8 (byte 3)", "vexlo: line 6: not valid UTF-8 (byte 6)"]
    )


def test_random_reads_over_many_lines(capsys):
    data = b"\n".join(LINES) + b"\n"
    rnd = random.Random(5)
    sizes = [rnd.choice([1, 7, 64, 4096, 70_000]) for _ in range(2000)]
    for json_output in (False, True):
        expected, reports = reference_rows(LINES, ALL_FIELDS, json_output=json_output)
        assert answer_chunks(cut(data, sizes), ALL_FIELDS, json_output)[0] == expected
        assert capsys.readouterr().err.splitlines() == reports


def test_threads_answer_reads_exactly_as_one(capsys):
    # Reads large enough to be shared out, with lines that are not UTF-8 and
    # a last line without its newline.
    lines = LINES * 10
    data = b"\n".join(lines)
    expected, reports = reference_rows(lines, ALL_FIELDS, json_output=True)
    for threads in (2, 3, 8, None):
        output, _ = answer_chunks(cut(data, [300_000, 700_000]), ALL_FIELDS, True, threads)
        assert output == expected
        assert capsys.readouterr().err.splitlines() == reports


NOT_BYTES = "'str' object is not an instance of 'bytes'"


@pytest.mark.parametrize(
    "call, error, message, parameter",
    [
        (lambda f: _columns._answer_lines("text", True, f, 1, None), TypeError, NOT_BYTES, "block"),
        (
            lambda f: _columns._answer_lines(bytearray(b"a\n"), True, f, 1, None),
            TypeError,
            "'bytearray' object is not an instance of 'bytes'",
            "block",
        ),
        (
            lambda f: _columns._answer_lines(b"a\n", 1, f, 1, None),
            TypeError,
            "'int' object is not an instance of 'bool'",
            "at_end",
        ),
        (
            lambda f: _columns._answer_lines(b"a\n", True, object(), 1, None),
            TypeError,
            "'object' object is not a PyCapsule named 'vexlo._columns.RowFormat'",
            "format",
        ),
        (
            lambda f: _columns._answer_lines(b"a\n", True, f),
            TypeError,
            "_answer_lines() missing 2 required positional arguments: 'threads' and 'rules'",
            None,
        ),
        (
            lambda f: _columns._answer_lines(b"a\n", True, f, 0, None),
            ValueError,
            "must be at least 1, not 0",
            "threads",
        ),
        (
            lambda f: _columns._answer_lines(b"a\n", True, f, -1, None),
            ValueError,
            "must be at least 1, not -1",
            "threads",
        ),
        (
            lambda f: _columns._answer_lines(b"a\n", True, f, True, None),
            TypeError,
            "'bool' object cannot be interpreted as a number of threads",
            "threads",
        ),
        (lambda f: _columns._answer_lines(b"a\n", True, f, "2", None), TypeError, None, "threads"),
        (lambda f: _columns._answer_name("a", f, None), TypeError, NOT_BYTES, "name"),
        (
            lambda f: _columns._answer_name(b"a", f, "rules"),
            TypeError,
            "'str' object is not an instance of 'vexlo.Rules'",
            "rules",
        ),
        (
            lambda f: _columns._line_format(
                ("name", "registered_domain"), False, 1, True, False, False, False
            ),
            ValueError,
            "unknown field 'registered_domain'",
            "fields",
        ),
        (
            lambda f: _columns._line_format(("name", "name"), False, 1, True, False, False, False),
            ValueError,
            "field 'name' is named twice",
            "fields",
        ),
        (
            lambda f: _columns._line_format(("name", 3), False, 1, True, False, False, False),
            TypeError,
            "field 1 is int, not str",
            "fields",
        ),
        (
            lambda f: _columns._line_format((), False, 1, True, False, False, False),
            ValueError,
            "no fields",
            "fields",
        ),
        (
            lambda f: _columns._line_format(("name",), False, -1, True, False, False, False),
            OverflowError,
            None,
            "depth",
        ),
        (
            lambda f: _columns._line_format(("name",), False, 2**64, True, False, False, False),
            OverflowError,
            None,
            "depth",
        ),
        (
            lambda f: _columns._line_format(["name"], False, 1, True, False, False, False),
            TypeError,
            "'list' object is not an instance of 'tuple'",
            "fields",
        ),
        (
            lambda f: _columns._line_format(("name", "host"), False, 1, True, False, False, False),
            ValueError,
            "the field 'host' needs urls",
            "fields",
        ),
        (
            lambda f: _columns._line_format(("name",), False, 1, True, False, False, 1),
            TypeError,
            "'int' object is not an instance of 'bool'",
            "urls",
        ),
        (
            lambda f: _columns._line_format(("name",), 0, 1, True, False, False, False),
            TypeError,
            "'int' object is not an instance of 'bool'",
            "json",
        ),
    ],
)
def test_glue_refuses_bad_arguments(call, error, message, parameter):
    """The same forms as the scalar functions: the function's name for a
    wrong call, a note naming the parameter for a wrong argument."""
    row_format = _columns._line_format(("name",), False, 1, True, False, False, False)
    with pytest.raises(error) as caught:
        call(row_format)
    if message is not None:
        assert str(caught.value) == message
    notes = [f"while processing '{parameter}'"] if parameter else None
    assert getattr(caught.value, "__notes__", None) == notes
