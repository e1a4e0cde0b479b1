"""vexlo.extract and Rules.extract: every part of a name or URL in one call,
and the rule that decided with its section; against the worked examples,
against the six functions on the same host, and against the independent
model (psl_model) on generated names and their URL forms."""

import copy
import functools
import pickle
import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from psl_model import explain, parse
from test_model import names

import vexlo

FIELDS = (
    "host",
    "prefix",
    "domain",
    "publicsuffix",
    "privatesuffix",
    "section",
    "rule",
    "icann_publicsuffix",
    "icann_privatesuffix",
)
NONE = dict.fromkeys(FIELDS)

EXAMPLES = [
    (
        "https://alice@www.Shop.Example.CO.UK:8443/cart?x#y",
        dict(
            host="www.shop.example.co.uk",
            prefix="www.shop",
            domain="example",
            publicsuffix="co.uk",
            privatesuffix="example.co.uk",
            section="icann",
            rule="co.uk",
            icann_publicsuffix="co.uk",
            icann_privatesuffix="example.co.uk",
        ),
    ),
    (
        "kobe.jp",
        dict(NONE, host="kobe.jp", publicsuffix="kobe.jp", section="icann", rule="*.kobe.jp")
        | dict(icann_publicsuffix="kobe.jp"),
    ),
    (
        "www.city.kobe.jp",
        dict(
            host="www.city.kobe.jp",
            prefix="www",
            domain="city",
            publicsuffix="kobe.jp",
            privatesuffix="city.kobe.jp",
            section="icann",
            rule="!city.kobe.jp",
            icann_publicsuffix="kobe.jp",
            icann_privatesuffix="city.kobe.jp",
        ),
    ),
    (
        "alice.github.io",
        dict(
            host="alice.github.io",
            prefix="",
            domain="alice",
            publicsuffix="github.io",
            privatesuffix="alice.github.io",
            section="private",
            rule="github.io",
            icann_publicsuffix="io",
            icann_privatesuffix="github.io",
        ),
    ),
    (
        "example.unknowntld",
        dict(
            host="example.unknowntld",
            prefix="",
            domain="example",
            publicsuffix="unknowntld",
            privatesuffix="example.unknowntld",
            section=None,
            rule="*",
            icann_publicsuffix="unknowntld",
            icann_privatesuffix="example.unknowntld",
        ),
    ),
    (
        "http://www.xn--55qx5d.cn./",
        dict(
            host="www.xn--55qx5d.cn",
            prefix="",
            domain="www",
            publicsuffix="xn--55qx5d.cn",
            privatesuffix="www.xn--55qx5d.cn",
            section="icann",
            rule="公司.cn",
            icann_publicsuffix="xn--55qx5d.cn",
            icann_privatesuffix="www.xn--55qx5d.cn",
        ),
    ),
    ("mailto:bob@a..b", dict(NONE, host="a..b")),
    ("http://192.0.2.1/", NONE),
    ("urn:isbn:0451450523", NONE),
    ("", NONE),
]


@pytest.mark.parametrize(("text", "fields"), EXAMPLES, ids=[text for text, _ in EXAMPLES])
def test_worked_examples(text, fields):
    assert dict(zip(FIELDS, vexlo.extract(text))) == fields


@pytest.mark.parametrize(
    ("text", "kwargs", "fields"),
    [
        (
            "WWW.City.Kobe.JP.",
            dict(keep_case=True),
            dict(
                host="WWW.City.Kobe.JP",
                prefix="WWW",
                domain="City",
                publicsuffix="Kobe.JP",
                privatesuffix="City.Kobe.JP",
                section="icann",
                rule="!city.kobe.jp",
                icann_publicsuffix="Kobe.JP",
                icann_privatesuffix="City.Kobe.JP",
            ),
        ),
        (
            "www.example.unknowntld",
            dict(accept_unknown=False),
            dict(NONE, host="www.example.unknowntld"),
        ),
        ("http://[2001:DB8::1]/", dict(keep_ip=True), dict(NONE, host="2001:db8::1")),
        (
            "http://[2001:DB8::1]/",
            dict(keep_ip=True, keep_case=True),
            dict(NONE, host="2001:DB8::1"),
        ),
        ("HTTP://10.0.0.1:80/", dict(keep_ip=True), dict(NONE, host="10.0.0.1")),
        ("EXAMPLE.com..", {}, dict(NONE, host="example.com.")),
    ],
)
def test_switches(text, kwargs, fields):
    assert dict(zip(FIELDS, vexlo.extract(text, **kwargs))) == fields


def test_the_record():
    record = vexlo.extract("www.shop.example.co.uk")
    assert type(record) is vexlo.Extracted and isinstance(record, tuple)
    host, prefix, domain, *_ = record
    assert (host, prefix, domain) == ("www.shop.example.co.uk", "www.shop", "example")
    assert [getattr(record, field) for field in FIELDS] == list(record)
    assert vexlo.Extracted.__match_args__ == FIELDS
    match record:
        case vexlo.Extracted(privatesuffix=site, section="icann"):
            assert site == "example.co.uk"
        case _:
            pytest.fail("no match")
    assert record == vexlo.extract("https://WWW.shop.example.co.uk/")
    # The hash of the items, as a tuple's (CPython 3.14 keeps it in the record).
    assert hash(record) == hash(tuple(record)) == hash(vexlo.extract("www.shop.example.co.uk"))
    assert record != vexlo.extract("www.example.co.uk")
    assert len({record, vexlo.extract("www.shop.example.co.uk")}) == 1
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        again = pickle.loads(pickle.dumps(record, protocol))
        assert type(again) is vexlo.Extracted and again == record
    assert copy.copy(record) == record and copy.deepcopy(record) == record
    assert repr(record) == (
        "vexlo.Extracted(host='www.shop.example.co.uk', prefix='www.shop', domain='example', "
        "publicsuffix='co.uk', privatesuffix='example.co.uk', section='icann', rule='co.uk', "
        "icann_publicsuffix='co.uk', icann_privatesuffix='example.co.uk')"
    )
    with pytest.raises(AttributeError):
        record.host = "x"  # type: ignore[misc]
    with pytest.raises(TypeError):
        record[0] = "x"  # type: ignore[index]
    assert vexlo.Extracted.__module__ == "vexlo"
    assert "rule that decided" in vexlo.Extracted.rule.__doc__


@pytest.mark.parametrize(
    ("text", "same"),
    [
        ("example.com", [("host", "privatesuffix"), ("host", "icann_privatesuffix")]),
        ("www.example.co.uk", [("publicsuffix", "rule"), ("publicsuffix", "icann_publicsuffix")]),
        ("a.b.github.io", [("publicsuffix", "rule")]),
        ("http://WWW.Example.Com./x", [("privatesuffix", "icann_privatesuffix")]),
        ("co.uk", [("host", "publicsuffix"), ("publicsuffix", "rule")]),
    ],
)
def test_fields_of_the_same_text_share_one_str(text, same):
    record = vexlo.extract(text)
    for first, second in same:
        assert getattr(record, first) is getattr(record, second)
    assert record.section is vexlo.extract(text).section  # one str a section


def test_records_free_their_items_however_made():
    item = "".join(["ex", "ample.com"])  # a str of this test's own
    before = sys.getrefcount(item)
    made = [vexlo.Extracted((item,) * 9) for _ in range(50)]
    made += [copy.copy(record) for record in made]
    assert sys.getrefcount(item) == before + 900
    del made
    assert sys.getrefcount(item) == before
    records = [vexlo.extract("www.example.com") for _ in range(1000)]
    records += [pickle.loads(pickle.dumps(record)) for record in records]
    assert len(set(records)) == 1


@pytest.mark.parametrize(
    ("args", "kwargs", "error", "message", "notes"),
    [
        ((), {}, TypeError, "extract() missing 1 required positional argument: 'text'", None),
        (
            ("a", True),
            {},
            TypeError,
            "extract() takes 1 positional arguments but 2 were given",
            None,
        ),
        (
            ("a",),
            dict(icann_only=True),
            TypeError,
            "extract() got an unexpected keyword argument 'icann_only'",
            None,
        ),
        (
            (b"a.com",),
            {},
            TypeError,
            "'bytes' object is not an instance of 'str'",
            ["while processing 'text'"],
        ),
        (
            ("a",),
            dict(keep_ip=1),
            TypeError,
            "'int' object is not an instance of 'bool'",
            ["while processing 'keep_ip'"],
        ),
        (
            ("a",),
            dict(accept_unknown=None),
            TypeError,
            "'None' is not an instance of 'bool'",
            ["while processing 'accept_unknown'"],
        ),
        (("\ud800",), {}, UnicodeEncodeError, None, ["while processing 'text'"]),
    ],
)
def test_refused_calls(args, kwargs, error, message, notes):
    for function in (vexlo.extract, vexlo.compiled_rules().extract):
        with pytest.raises(error) as caught:
            function(*args, **kwargs)
        if message is not None:
            assert str(caught.value) == message
        assert getattr(caught.value, "__notes__", None) == notes


def lowered_host(host):
    return host[:-1].lower() if host.endswith(".") else host.lower()


def test_fields_are_the_six_functions_on_the_host(lookup):
    for text in [
        "Shop.Example.CO.UK.",
        "a.b.c.github.io",
        "x.b.kawasaki.jp",
        "www.食狮.公司.cn",
        "ΟΔΟΣ.ΕΛ",
        "example.za",
        "a.unknowntld",
        "co.uk",
        "ck",
        "www.ck",
    ]:
        for accept_unknown in (True, False):
            for keep_case in (True, False):
                record = vexlo.extract(text, accept_unknown=accept_unknown, keep_case=keep_case)
                texts = dict(accept_unknown=accept_unknown, keep_case=keep_case)
                parts = lookup.privateparts(text, **texts)
                assert record.publicsuffix == lookup.publicsuffix(text, **texts)
                assert record.privatesuffix == lookup.privatesuffix(text, **texts)
                assert record.icann_publicsuffix == lookup.publicsuffix(
                    text, icann_only=True, **texts
                )
                assert record.icann_privatesuffix == lookup.privatesuffix(
                    text, icann_only=True, **texts
                )
                assert record.prefix == (None if parts is None else ".".join(parts[:-1]))
                assert record.domain == (None if parts is None else parts[-1].split(".")[0])


@functools.cache
def model(list_text):
    return parse(list_text)


def url_forms(name):
    """The name as the host of a few URL and address forms."""
    return [
        name,
        f"https://user@{name}:8443/path?q=1#f",
        f"//{name}/x",
        f"mailto:a@{name}?s=x",
        f"A <a@{name}>",
    ]


@settings(max_examples=600, deadline=None, database=None)
@given(data=st.data(), form=st.integers(0, 4))
def test_agrees_with_the_model(list_text, data, form):
    parsed = model(list_text)
    name = data.draw(names(tuple(sorted(parsed[0]))), label="name")
    text = url_forms(name)[form]
    for accept_unknown in (True, False):
        record = vexlo.extract(text, accept_unknown=accept_unknown)
        host = lowered_host(name)
        labels = host.split(".")
        if not host or "" in labels:
            assert record == vexlo.Extracted((record.host, *[None] * 8))
            continue
        length, icann_length, rule, section = explain(labels, parsed, accept_unknown)
        assert record.host == host
        assert (record.rule, record.section) == (rule, section), text
        assert record.publicsuffix == (".".join(labels[len(labels) - length :]) if length else None)
        assert record.icann_publicsuffix == (
            ".".join(labels[len(labels) - icann_length :]) if icann_length else None
        )


def test_rules_extract_answers_from_its_own_list():
    text = (
        "// ===BEGIN ICANN DOMAINS===\nxn--p1ai\ncom\n// ===END ICANN DOMAINS===\n"
        "// ===BEGIN PRIVATE DOMAINS===\n*.apps.example.com\n// ===END PRIVATE DOMAINS===\n"
    )
    rules = vexlo.load_rules(text.encode())
    assert rules.extract("a.пример.рф").rule == "xn--p1ai"
    record = rules.extract("https://x.y.apps.example.com/")
    assert (record.publicsuffix, record.privatesuffix, record.section, record.rule) == (
        "y.apps.example.com",
        "x.y.apps.example.com",
        "private",
        "*.apps.example.com",
    )
    assert (record.icann_publicsuffix, record.icann_privatesuffix) == ("com", "example.com")
    # The compiled list knows other rules.
    assert vexlo.extract("a.пример.рф").rule == "рф"
