"""vexlo.host and vexlo.columns.host: the forms of URLs and e-mail addresses
with their hosts, the URL Standard's own test data, urllib.parse on
well-formed URLs, hostile text, and the arguments; the column function
answering every element as the scalar one does."""

import json
import random
import runpy
import urllib.parse

import pytest
from support import REPO, SHARED

import vexlo
from vexlo import columns

URL_TEST_DATA = SHARED / "urltestdata" / "urltestdata.json"

# (text, host, host with keep_ip)
FORMS = [
    # URLs of any scheme with an authority; the host as written.
    ("https://user@Shop.Example.CO.UK:8443/cart?x=1", "Shop.Example.CO.UK", None),
    ("HTTP://EXAMPLE.COM", "EXAMPLE.COM", None),
    ("git+ssh://git@example.com/repo.git", "example.com", None),
    ("http://a@b:c@d@example.com:8080/", "example.com", None),
    ("http://example.com./", "example.com.", None),
    ("http://münchen.de/straße", "münchen.de", None),
    ("http://example.com?q=@x", "example.com", None),
    ("http://example.com:/", "example.com", None),
    ("http:example.com", "example.com", None),
    ("https:\\\\example.com\\x", "example.com", None),
    ("sc://example.com/x", "example.com", None),
    ("file://server/share", "server", None),
    # Scheme-relative, bare hosts with a port and a path, plain names.
    ("//cdn.example.com/lib.js", "cdn.example.com", None),
    ("example.com:8080/x", "example.com", None),
    ("localhost:8080", "localhost", None),
    ("www.example.co.uk", "www.example.co.uk", None),
    ("Example.COM.", "Example.COM.", None),
    # Spaces and controls at the ends, TAB, LF and CR anywhere.
    (" \x00\x1f https://example.com/ \x01", "example.com", None),
    ("h\ttp://exa\nmple.com\r/", "example.com", None),
    # No host.
    ("", None, None),
    ("   ", None, None),
    ("/path/only", None, None),
    ("urn:isbn:123", None, None),
    ("javascript:alert(1)", None, None),
    ("localhost:", None, None),
    ("user:pw@example.com", None, None),
    ("file:///etc/hosts", None, None),
    ("file://localhost/etc/hosts", None, None),
    ("http://a b/", None, None),
    ("http://a%41.com/", None, None),
    ("http://exa\x00mple.com/", None, None),
    ("http://example.com:99999/", None, None),
    ("http://example.com:8o/", None, None),
    ("http://[example.com]/", None, None),
    ("not a url at all", None, None),
    # IP literals: only with keep_ip, as written, IPv6 without brackets.
    ("http://127.0.0.1:8080/", None, "127.0.0.1"),
    ("http://[::1]:80/", None, "::1"),
    ("http://[2001:DB8::1]/", None, "2001:DB8::1"),
    ("http://[::ffff:1.2.3.4]/", None, "::ffff:1.2.3.4"),
    ("2001:db8::1", None, "2001:db8::1"),
    ("127.0.0.1:8080", None, "127.0.0.1"),
    ("http://[::1]x/", None, None),
    ("http://[fe80::1%25eth0]/", None, None),
    ("http://[1:2:3:4:5:6:7:8:9]/", None, None),
]
# The IPv4 rule: a host whose last label is a number is an IPv4 address in
# one of the URL Standard's forms, or no host at all.
IPV4 = [
    ("http://0x7f.1/", None, "0x7f.1"),
    ("http://0X7F.0.0.1/", None, "0X7F.0.0.1"),
    ("http://017.0.0.1/", None, "017.0.0.1"),
    ("http://2130706433/", None, "2130706433"),
    ("http://4294967295/", None, "4294967295"),
    ("http://4294967296/", None, None),
    ("http://1.2.65535/", None, "1.2.65535"),
    ("http://1.2.65536/", None, None),
    ("http://1.2.3.4./", None, "1.2.3.4."),
    ("http://1.2.3.256/", None, None),
    ("http://1.2.3.4.5/", None, None),
    ("http://999.1.1.1/", None, None),
    ("http://08/", None, None),
    ("http://0x/", None, "0x"),
    ("http://foo.09/", None, None),
    ("http://foo.0x/", None, None),
    ("http://example.123/", None, None),
    ("http://1..2/", None, None),
    # A last label that is no number leaves a domain.
    ("http://foo.1a/", "foo.1a", None),
    ("http://1.2.3.4.example/", "1.2.3.4.example", None),
    ("http://09.example/", "09.example", None),
]
EMAIL = [
    ("alice@mail.example.co.uk", "mail.example.co.uk", None),
    ('"a@b"@example.com', "example.com", None),
    ("a@b@example.com", "example.com", None),
    ("Alice <alice@Example.com>", "Example.com", None),
    ("<https://example.com/x>", "example.com", None),
    ("mailto:alice@example.com?subject=hi&cc=bob@example.org", "example.com", None),
    ("MAILTO:a@b.example,c@d.example", "b.example", None),
    ("mailto:?to=alice@example.com", None, None),
    ("mailto:alice", None, None),
    ("alice@[192.0.2.1]", None, None),
    ("alice@example.com (Alice)", None, None),
    ("Alice <>", None, None),
    ("alice@", None, None),
]
# U+3002, U+FF0E and U+FF61 separate labels as '.' does: the host comes back
# with '.' in their place, and an IPv4 address is read with them as dots.
FULL_STOPS = [
    ("http://www.foo\u3002bar.com", "www.foo.bar.com", None),
    ("https://Shop\uff0eExample\uff61CO\u3002UK:8443/x", "Shop.Example.CO.UK", None),
    ("alice@mail\u3002example\u3002com", "mail.example.com", None),
    ("www.example\u3002co\u3002uk\u3002", "www.example.co.uk.", None),
    ("http://\u65e5\u672c\u3002\u65e5\u672c/", "\u65e5\u672c.\u65e5\u672c", None),
    ("http://a\u3001b/", "a\u3001b", None),
    ("http://192\u3002168\uff0e0\uff611/", None, "192.168.0.1"),
    ("http://1\u30022\u30023\u3002256/", None, None),
    ("http://example\u3002123/", None, None),
]
CASES = FORMS + IPV4 + EMAIL + FULL_STOPS


@pytest.mark.parametrize("text, expected, with_ip", CASES, ids=[repr(c[0]) for c in CASES])
def test_host_of_each_form(text, expected, with_ip):
    assert vexlo.host(text) == expected
    assert vexlo.host(text, keep_ip=True) == (expected if with_ip is None else with_ip)


def test_full_stops_are_read_by_host_not_by_the_questions():
    url = "http://www.example\u3002co\u3002uk/"
    assert vexlo.privatesuffix(vexlo.host(url)) == "example.co.uk"
    found = vexlo.extract(url)
    assert (found.host, found.privatesuffix, found.rule) == (
        "www.example.co.uk",
        "example.co.uk",
        "co.uk",
    )
    assert vexlo.extract("http://192\u3002168\u30020\u30021/", keep_ip=True).host == "192.168.0.1"
    # The questions take host names, in which only '.' separates labels.
    assert vexlo.privatesuffix("www.example\u3002co\u3002uk") == "www.example\u3002co\u3002uk"


def test_columns_answer_every_form_as_the_scalar_function():
    texts = [text for text, _, _ in CASES] + [None]
    for keep_ip in (False, True):
        expected = [None if t is None else vexlo.host(t, keep_ip=keep_ip) for t in texts]
        assert columns.host(texts, keep_ip=keep_ip) == expected
        assert columns.host(tuple(texts), keep_ip=keep_ip, threads=3) == expected


def cleaned(text):
    """The text as the URL Standard reads it: no C0 control or space at
    either end, no TAB, LF or CR anywhere."""
    text = text.strip("".join(map(chr, range(0x21))))
    return text.replace("\t", "").replace("\n", "").replace("\r", "")


def url_standard_tests():
    if not URL_TEST_DATA.is_file():
        pytest.skip(f"no {URL_TEST_DATA} (set VEXLO_SHARED_DIR to the folder holding urltestdata/)")
    entries = json.loads(URL_TEST_DATA.read_text(encoding="utf-8"))
    # Absolute URLs that the Standard parses, with a hostname.
    return [
        test
        for test in entries
        if isinstance(test, dict)
        and test.get("base") is None
        and "failure" not in test
        and "hostname" in test
    ]


def test_the_url_standard_finds_the_same_hosts():
    """Where the Standard's hostname is the input's own text but for case,
    host finds that text; where it is an IP address, host gives None (and
    with keep_ip a literal written in the input)."""
    tests = url_standard_tests()
    domains = literals = 0
    for test in tests:
        given, hostname = test["input"], test["hostname"].lower()
        text = cleaned(given).lower()
        found = vexlo.host(given)
        with_ip = vexlo.host(given, keep_ip=True)
        where = f"{given!r} with hostname {hostname!r}"
        is_ipv4 = hostname.count(".") == 3 and hostname.replace(".", "").isdigit()
        if hostname.startswith("[") or is_ipv4:
            assert found is None, where
            assert with_ip is not None, where
            written = f"[{with_ip.lower()}]" if hostname.startswith("[") else with_ip.lower()
            assert written in text, where
            literals += 1
        elif hostname and hostname in text and "%" not in hostname:
            # A host holding '%' is no host here, which decodes nothing.
            assert found is not None and found.lower() == hostname, where
            domains += 1
    # What the data held when this test was written, less a margin.
    assert domains > 150 and literals > 8


def corpus_names(count):
    script = runpy.run_path(str(REPO / "bench" / "corpus.py"))
    names = script["generate"](script["default_list_path"](), count, seed=5)[0]
    # Well-formed ASCII host names, as urllib.parse is given them.
    return [n for n in names if n.isascii() and n and ".." not in n and not n.startswith(".")]


def well_formed_urls(count):
    r = random.Random(3)
    urls = []
    for name in corpus_names(count):
        host = name
        roll = r.random()
        if roll < 0.05:
            host = ".".join(str(r.randint(0, 255)) for _ in range(4))
        elif roll < 0.08:
            host = f"[2001:db8::{r.randint(0, 0xFFFF):x}]"
        user = r.choice(["", "", "", "alice@", "bob:secret@"])
        port = r.choice(["", "", ":80", ":8443"])
        path = r.choice(["", "/", "/a/b.html", "/x?q=1&r=a@b", "/#frag", "?q=:@"])
        urls.append(f"{r.choice(['http', 'https', 'HTTPS'])}://{user}{host}{port}{path}")
    return urls


def test_agrees_with_urlsplit_on_well_formed_urls():
    urls = well_formed_urls(3000)
    for url in urls:
        found = vexlo.host(url, keep_ip=True)
        assert (found and found.lower()) == urllib.parse.urlsplit(url).hostname, url
    assert columns.host(urls, keep_ip=True) == [vexlo.host(u, keep_ip=True) for u in urls]


HOSTILE = [
    "a" * 10**6,
    "http://" + "a" * 10**6,
    "http://" + "a." * 500_000 + "com/",
    "@" * 10**6,
    ":" * 10**6,
    "[" * 10**6,
    "]" * 10**6,
    "<" * 10**5 + ">" * 10**5,
    "http://" + "[" * 10**5 + "]" * 10**5,
    "http://" + "a@:" * 300_000 + "example.com/",
    "mailto:" + "a@" * 300_000,
    "\x00" * 10**5,
    "\t\n\r" * 10**5,
    "http://" + "1." * 300_000 + "1",
    "::" + "1:" * 300_000,
    "http://\U0001f600" * 50_000,
]


@pytest.mark.parametrize("text", HOSTILE, ids=range(len(HOSTILE)))
def test_hostile_text_gives_an_answer_or_none(text):
    for keep_ip in (False, True):
        found = vexlo.host(text, keep_ip=keep_ip)
        assert found is None or (isinstance(found, str) and found in text.replace("\t", ""))
    assert columns.host([text, text[:1000]]) == [vexlo.host(text), vexlo.host(text[:1000])]


# (args, kwargs) -> (exception type, message, notes)
ERRORS = [
    ((5,), {}, TypeError, "'int' object is not an instance of 'str'", ["while processing 'text'"]),
    ((None,), {}, TypeError, "'None' is not an instance of 'str'", ["while processing 'text'"]),
    ((b"a.com",), {}, TypeError, "'bytes' object is not an instance of 'str'", None),
    (
        ("a.com",),
        {"keep_ip": 1},
        TypeError,
        "'int' object is not an instance of 'bool'",
        ["while processing 'keep_ip'"],
    ),
    (("\ud800.com",), {}, UnicodeEncodeError, None, ["while processing 'text'"]),
    ((), {}, TypeError, "host() missing 1 required positional argument: 'text'", None),
    (("a", True), {}, TypeError, "host() takes 1 positional arguments but 2 were given", None),
    (("a",), {"keep_case": True}, TypeError, "host() got an unexpected keyword argument", None),
    (("a",), {"text": "b"}, TypeError, "host() got multiple values for argument 'text'", None),
]


@pytest.mark.parametrize("args, kwargs, error, message, notes", ERRORS)
def test_refused_calls(args, kwargs, error, message, notes):
    with pytest.raises(error) as caught:
        vexlo.host(*args, **kwargs)
    assert type(caught.value) is error
    if message is not None:
        assert str(caught.value).startswith(message)
    if notes is not None:
        assert caught.value.__notes__ == notes


def test_accepted_forms():
    np = pytest.importorskip("numpy")

    class Text(str):
        pass

    text = "www.example.com"
    assert vexlo.host(text) is text  # the whole text, returned as given
    assert vexlo.host(text=Text("http://a.example/")) == "a.example"
    assert type(vexlo.host(Text(text))) is str
    assert vexlo.host("http://[::1]/", keep_ip=np.bool_(True)) == "::1"
    assert vexlo.host("http://[::1]/", keep_ip=np.False_) is None


def test_column_arguments_are_checked_as_the_scalar_ones():
    with pytest.raises(TypeError) as caught:
        columns.host(["a.com"], keep_ip=1)
    assert caught.value.__notes__ == ["while processing 'keep_ip'"]
    with pytest.raises(ValueError, match="must be at least 1, not 0") as caught:
        columns.host(["a.com"], threads=0)
    assert caught.value.__notes__ == ["while processing 'threads'"]
    with pytest.raises(TypeError, match="column item 1 is int, not str or None"):
        columns.host(["a.com", 5])
    with pytest.raises(UnicodeEncodeError) as caught:
        columns.host(["a.com", "\ud800"])
    assert caught.value.__notes__ == ["while processing column item 1"]
    with pytest.raises(TypeError, match="expected a column of names"):
        columns.host("http://a.com/")


pa = pytest.importorskip("pyarrow")


def test_arrow_columns_of_every_layout():
    urls = [text for text, _, _ in CASES] * 40 + [None] * 3
    expected = [None if u is None else vexlo.host(u, keep_ip=True) for u in urls]
    for data_type in (pa.string(), pa.large_string(), pa.string_view()):
        array = pa.array(urls, data_type)
        answers = columns.host(array, keep_ip=True, threads=2)
        assert answers.type == (
            pa.large_string() if data_type == pa.large_string() else pa.string()
        )
        assert answers.to_pylist() == expected
        chunked = pa.chunked_array([urls[:100], urls[100:]], data_type)
        assert columns.host(chunked, keep_ip=True).to_pylist() == expected
    assert columns.host(pa.array(urls).slice(7, 50), keep_ip=True).to_pylist() == expected[7:57]


def test_frames_keep_their_index_and_name():
    pd = pytest.importorskip("pandas")
    urls = ["https://Example.com/x", None, "mailto:a@b.example"]
    series = pd.Series(urls, index=[5, 6, 7], name="url", dtype="string[pyarrow]")
    answers = columns.host(series)
    assert answers.name == "url" and list(answers.index) == [5, 6, 7]
    assert answers.dtype == series.dtype
    assert answers.tolist() == ["Example.com", pd.NA, "b.example"]
    pl = pytest.importorskip("polars")
    assert columns.host(pl.Series("url", urls)).to_list() == ["Example.com", None, "b.example"]


def binary_as_string(*elements):
    """A string array holding the bytes given, UTF-8 or not."""
    offsets, data = [0], b""
    for element in elements:
        data += element
        offsets.append(len(data))
    return pa.Array.from_buffers(
        pa.string(),
        len(elements),
        [None, pa.py_buffer(pa.array(offsets, pa.int32()).buffers()[1]), pa.py_buffer(data)],
    )


def test_elements_that_are_not_utf8_have_no_host():
    # A character split between neighbours leaves the bytes of the whole
    # block UTF-8, but neither element.
    column = binary_as_string(
        b"http://a.example/\xff", b"http://\xc3", b"\xa9.example/", b"http://\xc3\xa9.example/"
    )
    assert columns.host(column).to_pylist() == [None, None, None, "\u00e9.example"]
    assert columns.privatesuffix(columns.host(column)).to_pylist() == [None] * 3 + [
        "\u00e9.example"
    ]


def test_threads_give_the_same_answers():
    urls = well_formed_urls(2000) * 40
    array = pa.array(urls)
    one = columns.host(array, threads=1, keep_ip=True)
    for threads in (2, 3, None):
        assert columns.host(array, threads=threads, keep_ip=True).equals(one)


def test_registrable_domains_of_urls():
    urls = ["https://www.Example.co.uk/x", "alice@a.b.github.io", "http://127.0.0.1/", "x:y"]
    hosts = columns.host(pa.array(urls))
    assert columns.privatesuffix(hosts).to_pylist() == [
        "example.co.uk",
        "b.github.io",
        None,
        None,
    ]
    assert [vexlo.privatesuffix(h) if h else None for h in map(vexlo.host, urls)] == (
        columns.privatesuffix(hosts).to_pylist()
    )
