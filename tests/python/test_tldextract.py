"""vexlo.tldextract against tldextract 5.4.0 itself, both reading the same
list file (tldextract offline, from its file:// URL, without a cache): every
rule of the list as hosts in both spellings and several cases, then URL forms
and any text that hypothesis makes, in both views, with extra suffixes, and
through extract_urllib. Every field and property must be tldextract's, and
where tldextract raises, the same exception."""

import dataclasses
import pathlib
import unicodedata
import urllib.parse

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from support import DEBIAN_LIST, compiled_list_path

import vexlo
from vexlo import tldextract as ours
from vexlo.tldextract import tldextract as ours_module

tldextract = pytest.importorskip("tldextract")

PROPERTIES = (
    "fqdn",
    "ipv4",
    "ipv6",
    "reverse_domain_name",
    "top_domain_under_public_suffix",
    "top_domain_under_registry_suffix",
)
EXTRAS = ("blogspot.com", "co.uk", "corp", "*.dev.corp", "!www.dev.corp", "a.b.kobe.jp", "xn--p1ai")


def answer(extractor, url, private, *, urllib_form=False):
    """Every field and property of the answer, or the exception's type."""
    try:
        if urllib_form:
            result = extractor.extract_urllib(urllib.parse.urlsplit(url), private)
        else:
            result = extractor(url, include_psl_private_domains=private)
    except Exception as error:  # compared as the oracle's
        return type(error)
    return dataclasses.astuple(result) + tuple(getattr(result, p) for p in PROPERTIES)


def oracle(path, extras=()):
    return tldextract.TLDExtract(
        cache_dir=None,
        suffix_list_urls=(pathlib.Path(path).resolve().as_uri(),),
        fallback_to_snapshot=False,
        extra_suffixes=extras,
    )


# Each pair: vexlo.tldextract's extractor and tldextract's, on one list.
@pytest.fixture(scope="module")
def compiled_pair(list_text):
    # The list compiled in, which list_text is.
    return ours.TLDExtract(), oracle(compiled_list_path())


@pytest.fixture(scope="module")
def debian_pair():
    # A second list, loaded at run time from its file:// URL.
    if not DEBIAN_LIST.is_file():
        pytest.skip("Debian's list (package publicsuffix) is not installed")
    url = DEBIAN_LIST.resolve().as_uri()
    return ours.TLDExtract(cache_dir=None, suffix_list_urls=[url]), oracle(DEBIAN_LIST)


@pytest.fixture(scope="module")
def extras_pair(list_text):
    return ours.TLDExtract(extra_suffixes=EXTRAS), oracle(compiled_list_path(), EXTRAS)


def rule_hosts(text):
    """Hosts around every rule of a list: the rule's name, a label under it
    and two, its wildcard filled in, each in the list's spelling, the other
    one and upper case."""
    hosts = set()
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith("//"):
            continue
        name = line.split()[0].lstrip("!").removeprefix("*.")
        for host in (
            name,
            "www." + name,
            "a.b." + name,
            "!" + line[1:] if line[0] == "!" else line,
        ):
            labels = host.split(".")
            ace = ".".join(
                "xn--" + label.encode("punycode").decode() if not label.isascii() else label
                for label in labels
            )
            hosts.update((host, ace, ace.upper(), host.title()))
    return sorted(hosts)


@pytest.mark.parametrize("private", [False, True])
@pytest.mark.parametrize("which", ["compiled", "debian"])
def test_every_rule_answers_as_tldextract(which, private, request):
    mine, theirs = request.getfixturevalue(f"{which}_pair")
    path = DEBIAN_LIST if which == "debian" else compiled_list_path()
    hosts = rule_hosts(path.read_text(encoding="utf-8"))
    assert len(hosts) > 80_000
    differ = [h for h in hosts if answer(mine, h, private) != answer(theirs, h, private)]
    assert differ == []


# Labels that matter: the list's own (with its quirks: wildcards and their
# exceptions, the private section), the marks of its rules spelled out,
# numbers, and characters that the cut or the lowercasing treat specially.
SPECIAL_LABELS = [
    "com", "co", "uk", "jp", "kobe", "city", "sendai", "ck", "www", "github", "io", "blogspot",
    "compute", "amazonaws", "公司", "cn", "xn--55qx5d", "XN--55QX5D", "xn--", "xn--a", "*", "!city",
    "!www", "!", "", "1", "0", "255", "256", "01", "0x7f", "İ", "ΑΣ", "Σ", "ß", "K", "ꟍ", "\ud800",
    "x y", "a\tb", "[::1]", "::1", "[v1.x]",
]  # fmt: skip
# The characters that end a host (/?#@:) come with the URL around it.
CHARACTERS = (
    "abcxyzABCXYZ0189-_.[]%!*\\ \t\n\r\x0b\x1c\x1f\x7f\x85\xa0\u1680\u2000\u200b\u2028"
    "\u3000\u3002\uff0e\uff61éÉßΣσςİıK\u212a公司рф\ud800\U0001f600"
)


def listed_names():
    """The names of the rules of the list compiled in (or Debian's), with a
    label of their wildcards filled in, each in both spellings."""
    path = compiled_list_path() or DEBIAN_LIST
    if not path.is_file():
        return ["com", "co.uk", "kobe.jp"]
    return sorted(
        {host for h in rule_hosts(path.read_text(encoding="utf-8")) for host in (h, h.lower())}
    )


label = st.one_of(st.sampled_from(SPECIAL_LABELS), st.text(CHARACTERS, max_size=6))
# A few labels, then mostly a name the list knows, in any case.
host = st.builds(
    lambda labels, known, which, case: case(".".join(labels + [known][:which])),
    st.lists(label, max_size=4),
    st.sampled_from(listed_names()),
    st.sampled_from([1, 1, 1, 0]),
    st.sampled_from([str, str.upper, str.lower, str.title, str.swapcase]),
)
ip_host = st.one_of(
    st.lists(st.integers(0, 300).map(str) | st.sampled_from(["00", "01", "", "1。2"]), min_size=1, max_size=5).map(".".join),
    st.builds(
        lambda parts, scope: "[" + ":".join(parts) + scope + "]",
        st.lists(st.sampled_from(["", "0", "db8", "FFFF", "12345", "g", "1.2.3.4", "01.2.3.4"]), min_size=1, max_size=10),
        st.sampled_from(["", "%eth0", "%", "%a%b", "%\u3002"]),
    ),
)  # fmt: skip
# Mostly the usual forms, sometimes one that only tldextract's cut reads so.
USUAL, ODD = (
    ["", "", "http://", "https://", "HTTPS://", "//"],
    ["git+ssh://", "a:b://", "1+x://", "mailto:", "ht tp://", ":/"],
)


def urls(hosts):
    return st.builds(
        lambda pad, scheme, user, h, port, tail: pad + scheme + user + h + port + tail + pad[::-1],
        st.sampled_from(["", "", "", " ", "\t\u3000", "\n"]),
        st.sampled_from(USUAL * 3 + ODD),
        st.sampled_from(["", "", "", "user@", "a:b@c@", "@", "u@[::1]@"]),
        hosts,
        st.sampled_from(["", "", ":80", ":", ":x:y", "\u3002:8"]),
        st.sampled_from(["", "", "/", "/p?q=//#f", "?x@y", "#/", "\\x/", "/..//"]),
    )


url = st.one_of(urls(host), urls(ip_host))


@settings(max_examples=4000, deadline=None, database=None)
@given(text=st.one_of(url, st.text()), private=st.booleans())
def test_urls_and_any_text_answer_as_tldextract(compiled_pair, text, private):
    mine, theirs = compiled_pair
    assert answer(mine, text, private) == answer(theirs, text, private)


@settings(max_examples=1500, deadline=None, database=None)
@given(text=url, private=st.booleans())
def test_extra_suffixes_answer_as_tldextract(extras_pair, text, private):
    mine, theirs = extras_pair
    assert answer(mine, text, private) == answer(theirs, text, private)


@settings(max_examples=1500, deadline=None, database=None)
@given(text=url, private=st.sampled_from([None, False, True]))
def test_urllib_forms_answer_as_tldextract(compiled_pair, text, private):
    mine, theirs = compiled_pair
    try:
        urllib.parse.urlsplit(text)
    except ValueError:
        return  # no SplitResult to give either
    assert answer(mine, text, private, urllib_form=True) == answer(
        theirs, text, private, urllib_form=True
    )


def test_module_functions_and_defaults(compiled_pair):
    mine, theirs = compiled_pair
    # The module's extract leaves the private section out unless asked.
    assert answer(ours_module.TLD_EXTRACTOR, "a.b.github.io", False) == answer(
        theirs, "a.b.github.io", False
    )
    assert ours.extract("a.b.github.io") == ours.extract("a.b.github.io", None)
    assert ours.extract("a.b.github.io", True) == ours.extract(
        "a.b.github.io", include_psl_private_domains=True
    )
    assert ours.extract("a.b.github.io", True).is_private
    assert mine.extract_str("a.b.github.io") == mine("a.b.github.io", None)
    assert set(mine.tlds) == set(theirs.tlds)
    private = ours.TLDExtract(include_psl_private_domains=True, extra_suffixes=["corp"])
    assert (
        "github.io" in private.tlds
        and "corp" in private.tlds
        and len(private.tlds) > len(mine.tlds)
    )


def test_results_are_tldextracts_dataclass():
    result = ours.extract("http://forums.bbc.co.uk/")
    theirs = tldextract.ExtractResult
    assert [(f.name, f.type, f.repr) for f in dataclasses.fields(result)] == [
        (f.name, f.type, f.repr) for f in dataclasses.fields(theirs)
    ]
    assert dataclasses.asdict(result) == dict(
        subdomain="forums", domain="bbc", suffix="co.uk", is_private=False, registry_suffix="co.uk"
    )
    assert dataclasses.replace(result, subdomain="") < result
    assert (
        repr(result)
        == "ExtractResult(subdomain='forums', domain='bbc', suffix='co.uk', is_private=False)"
    )
    with pytest.raises(TypeError, match="unhashable"):
        hash(result)
    with pytest.deprecated_call():
        assert result.registered_domain == "bbc.co.uk"
    assert vars(result) == dataclasses.asdict(result)


@pytest.mark.parametrize(
    ("bad", "named"), [(b"x.com", "bytes"), (None, "None"), (1, "int"), (["a"], "list")]
)
def test_a_url_that_is_no_str_is_a_type_error_naming_its_type(bad, named):
    with pytest.raises(TypeError, match=f"'{named}'"):
        ours.extract(bad)
    with pytest.raises(TypeError):
        ours.TLDExtract()(url=bad)


def test_lowercasing_of_a_newer_unicode_meets_no_rule(list_text):
    """vexlo lowercases with Unicode 17.0, tldextract with Python's (15.1 on
    CPython 3.13, 16.0 on 3.14): the characters they lowercase differently, and the one
    whose lowercase depends on its neighbours (Σ), appear in no rule, so no
    answer can differ for them."""
    differ = set()
    for code in range(0x80, 0x110000):
        c = chr(code)
        if unicodedata.category(c) == "Cs" or c in ".\u3002\uff0e\uff61":
            continue
        if vexlo.publicsuffix(c) != c.lower():
            differ.update(vexlo.publicsuffix(c) + c.lower() + c)
    # U+A7CE, a capital letter new in 17.0: no older Python lowercases it.
    assert "\ua7ce" in differ
    listed = set()
    texts = [list_text] + (
        [DEBIAN_LIST.read_text(encoding="utf-8")] if DEBIAN_LIST.is_file() else []
    )
    for text in texts:
        for line in text.splitlines():
            if line.strip() and not line.startswith("//"):
                listed.update(line.split()[0])
    assert listed & (differ | {"σ", "ς"}) == set()
