"""What the six functions answer, on names whose rules every list version holds
(uk, co.uk, the kobe.jp wildcard and its city exception)."""

import pytest

MAX_DEPTH = 2**64 - 1
TEXT_FUNCTIONS = ("publicsuffix", "privatesuffix", "privateparts")

# name, keep_case, publicsuffix, privatesuffix, privateparts, is_public, is_private
CASES = [
    (
        "Shop.Example.CO.UK.",
        False,
        "co.uk",
        "example.co.uk",
        ("shop", "example.co.uk"),
        False,
        True,
    ),
    ("Shop.Example.CO.UK.", True, "CO.UK", "Example.CO.UK", ("Shop", "Example.CO.UK"), False, True),
    ("Shop.Example.CO.UK", True, "CO.UK", "Example.CO.UK", ("Shop", "Example.CO.UK"), False, True),
    ("co.uk", False, "co.uk", None, None, True, False),
    ("example.co.uk", False, "co.uk", "example.co.uk", ("example.co.uk",), False, True),
    (
        "a.b.example.co.uk",
        False,
        "co.uk",
        "example.co.uk",
        ("a", "b", "example.co.uk"),
        False,
        True,
    ),
    (
        "example.unknowntld",
        False,
        "unknowntld",
        "example.unknowntld",
        ("example.unknowntld",),
        False,
        True,
    ),
    ("unknowntld", False, "unknowntld", None, None, True, False),
    ("foo.kobe.jp", False, "foo.kobe.jp", None, None, True, False),
    ("city.kobe.jp", False, "kobe.jp", "city.kobe.jp", ("city.kobe.jp",), False, True),
    ("a.city.kobe.jp", False, "kobe.jp", "city.kobe.jp", ("a", "city.kobe.jp"), False, True),
    (
        "X\u0130.Example.CO.UK",
        True,
        "CO.UK",
        "Example.CO.UK",
        ("X\u0130", "Example.CO.UK"),
        False,
        True,
    ),
    (
        "X\u0130.Example.CO.UK",
        False,
        "co.uk",
        "example.co.uk",
        ("xi\u0307", "example.co.uk"),
        False,
        True,
    ),
    (
        "\u0130.\u0130\u0130.co.uk",
        True,
        "co.uk",
        "\u0130\u0130.co.uk",
        ("\u0130", "\u0130\u0130.co.uk"),
        False,
        True,
    ),
]


@pytest.mark.parametrize("name,keep_case,public,private,parts,is_pub,is_priv", CASES)
def test_answers(lookup, name, keep_case, public, private, parts, is_pub, is_priv):
    assert lookup.publicsuffix(name, keep_case=keep_case) == public
    assert lookup.privatesuffix(name, keep_case=keep_case) == private
    assert lookup.privateparts(name, keep_case=keep_case) == parts
    assert lookup.is_public(name) is is_pub
    assert lookup.is_private(name) is is_priv


@pytest.mark.parametrize(
    "name,keep_case,answers",
    [
        ("Shop.Example.CO.UK.", False, ["example.co.uk", "shop.example.co.uk", None]),
        ("Shop.Example.CO.UK.", True, ["Example.CO.UK", "Shop.Example.CO.UK", None]),
        ("example.co.uk", False, ["example.co.uk", None]),
        (
            "a.b.example.co.uk",
            False,
            ["example.co.uk", "b.example.co.uk", "a.b.example.co.uk", None],
        ),
        ("co.uk", False, [None, None]),
    ],
)
def test_subdomain_by_depth(lookup, name, keep_case, answers):
    for depth, expected in enumerate(answers):
        assert lookup.subdomain(name, depth, keep_case=keep_case) == expected
    assert lookup.subdomain(name, MAX_DEPTH, keep_case=keep_case) is None
    assert lookup.subdomain(name, 2**63, keep_case=keep_case) is None


@pytest.mark.parametrize("name", ["", ".", "..", "a..b", "example.com..", ".com", "a.b..", "a...b"])
def test_invalid_names_answer_none_or_false(lookup, name):
    assert lookup.publicsuffix(name) is None
    assert lookup.privatesuffix(name) is None
    assert lookup.privateparts(name) is None
    assert lookup.subdomain(name, 0) is None
    assert lookup.is_public(name) is False
    assert lookup.is_private(name) is False


def test_unknown_tld_without_accept_unknown(lookup):
    for function in TEXT_FUNCTIONS:
        assert getattr(lookup, function)("example.unknowntld", accept_unknown=False) is None
    assert lookup.subdomain("example.unknowntld", 0, accept_unknown=False) is None
    for name in ("example.unknowntld", "unknowntld"):
        assert lookup.is_public(name, accept_unknown=False) is False
        assert lookup.is_private(name, accept_unknown=False) is False


def test_icann_only_changes_only_private_section_answers(lookup):
    assert lookup.publicsuffix("a.b.example.co.uk", icann_only=True) == "co.uk"
    assert lookup.publicsuffix("www.city.kobe.jp", icann_only=True) == "kobe.jp"


def test_no_result_ends_in_a_dot(lookup):
    name = "Shop.Example.CO.UK."
    for keep_case in (False, True):
        results = [
            lookup.publicsuffix(name, keep_case=keep_case),
            lookup.privatesuffix(name, keep_case=keep_case),
            *lookup.privateparts(name, keep_case=keep_case),
            lookup.subdomain(name, 1, keep_case=keep_case),
        ]
        assert not any(text.endswith(".") for text in results)


EQUIVALENCE_NAMES = [
    "",
    "com",
    "example.com",
    "www.example.com",
    "co.uk",
    "a.b.c.example.co.uk",
    "kobe.jp",
    "x.kobe.jp",
    "y.x.kobe.jp",
    "city.kobe.jp",
    "b.city.kobe.jp",
    "unknowntld",
    "a.unknowntld",
    "za",
    "example.za",
    "a.b.co.za",
    "ck",
    "www.ck",
    "a.www.ck",
    "公司.cn",
    "www.公司.cn",
    "xn--55qx5d.cn",
    "ΟΔΟΣ.ΕΛ",
    "a..b",
    "A.B.C.D.E.F.G.H",
]


@pytest.mark.parametrize("name", EQUIVALENCE_NAMES)
@pytest.mark.parametrize("accept_unknown", [True, False])
@pytest.mark.parametrize("icann_only", [True, False])
@pytest.mark.parametrize("keep_case", [True, False])
def test_answers_agree_with_each_other(lookup, name, accept_unknown, icann_only, keep_case):
    switches = dict(accept_unknown=accept_unknown, icann_only=icann_only)
    private = lookup.is_private(name, **switches)
    suffix = lookup.privatesuffix(name, keep_case=keep_case, **switches)
    parts = lookup.privateparts(name, keep_case=keep_case, **switches)
    assert (suffix is not None) is private
    assert (parts is not None) is private
    assert lookup.subdomain(name, 0, keep_case=keep_case, **switches) == suffix
    if private:
        assert parts[-1] == suffix
        assert ".".join(parts) == lookup.subdomain(
            name, len(parts) - 1, keep_case=keep_case, **switches
        )
        assert suffix.endswith(lookup.publicsuffix(name, keep_case=keep_case, **switches))
    if lookup.is_public(name, **switches):
        assert not private
        if keep_case:
            assert lookup.publicsuffix(name, keep_case=True, **switches) == name
