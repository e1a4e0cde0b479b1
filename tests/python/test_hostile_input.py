"""Huge and pathological names complete and answer correctly. How their time
grows with size is measured by bench/hostile_inputs.py, not here."""

import pytest

MB = 1 << 20
MILLION = 1_000_000


# Each case: (id, name, call, expected); `call` takes the module and the name.
# Names are made when their test runs, so that only one is alive at a time.
class Repeat:
    def __init__(self, *parts):
        self.parts = parts  # (text, count) pairs or plain texts

    def make(self):
        return "".join(part if isinstance(part, str) else part[0] * part[1] for part in self.parts)


def cases():
    huge = ("A", 50 * MB)
    yield (
        "50 MB name, publicsuffix",
        Repeat(huge, ".Example.CO.UK"),
        lambda L, n: L.publicsuffix(n),
        "co.uk",
    )
    yield (
        "50 MB name, privatesuffix keep_case",
        Repeat(huge, ".Example.CO.UK"),
        lambda L, n: L.privatesuffix(n, keep_case=True),
        "Example.CO.UK",
    )
    yield (
        "50 MB name, whole subdomain",
        Repeat(huge, ".example.co.uk"),
        lambda L, n: L.subdomain(n, 1) == n.lower(),
        True,
    )
    yield (
        "50 MB non-ASCII label",
        Repeat(("\u00c9", 25 * MB), ".fr"),
        lambda L, n: L.privatesuffix(n) == n.lower(),
        True,
    )

    labels = Repeat(("a.", MILLION), "co.uk")
    yield ("a million labels, publicsuffix", labels, lambda L, n: L.publicsuffix(n), "co.uk")
    yield (
        "a million labels, privateparts",
        labels,
        lambda L, n: L.privateparts(n) == ("a",) * (MILLION - 1) + ("a.co.uk",),
        True,
    )
    yield (
        "a million labels, deepest subdomain",
        labels,
        lambda L, n: L.subdomain(n, MILLION - 1) == n,
        True,
    )
    yield ("a million labels, one too deep", labels, lambda L, n: L.subdomain(n, MILLION), None)
    yield (
        "a million labels, unknown top label",
        Repeat(("A.", MILLION), "unknowntld"),
        lambda L, n: L.privatesuffix(n, accept_unknown=False),
        None,
    )
    yield (
        "a million labels, wildcard end",
        Repeat(("x.", MILLION), "kawasaki.jp"),
        lambda L, n: L.privatesuffix(n),
        "x.x.kawasaki.jp",
    )

    yield ("a million dots", Repeat((".", MILLION)), lambda L, n: L.publicsuffix(n), None)
    yield (
        "a million dots after a label",
        Repeat("a", (".", MILLION)),
        lambda L, n: L.is_private(n),
        False,
    )
    yield (
        "a million dots inside",
        Repeat("a", (".", MILLION), "com"),
        lambda L, n: L.privateparts(n),
        None,
    )

    marks = "\u0301" * MILLION
    yield ("only combining marks", Repeat(marks), lambda L, n: L.publicsuffix(n), marks)
    yield (
        "combining marks, not public without accept_unknown",
        Repeat(marks),
        lambda L, n: L.is_public(n, accept_unknown=False),
        False,
    )
    yield (
        "combining-mark labels",
        Repeat((marks + ".", 3), "com"),
        lambda L, n: L.privateparts(n),
        (marks, marks, marks + ".com"),
    )

    # Final sigma: every capital sigma looks past the case-ignorable run on
    # each side; Python's own lower() applies the same rule to these texts.
    for text_id, text in [
        ("capital sigmas", Repeat(("\u03a3", MILLION))),
        ("capital sigmas between apostrophes", Repeat(("\u03a3'", MILLION))),
        ("capital sigmas between dots", Repeat(("\u03a3.", MILLION), "\u03a3")),
        ("capital sigmas in long ignorable runs", Repeat(("\u03a3" + "\u0301" * 1000, 1000))),
        ("capital sigma after a long ignorable run", Repeat("A", ("'", MILLION), "\u03a3")),
        ("capital sigma before a long ignorable run", Repeat("\u03a3", ("\u0301", MILLION), "A")),
    ]:
        yield (text_id, text, lambda L, n: L.publicsuffix(n) == n.lower().rsplit(".", 1)[-1], True)
    yield (
        "capital sigma labels",
        Repeat(("\u03a3.", MILLION), "com"),
        lambda L, n: L.privateparts(n)[-2:],
        ("\u03c3", "\u03c3.com"),
    )  # c is cased: not final

    # U+0130 lowercases to three bytes from two: the text grows while it is
    # lowercased, and keep_case must still cut whole labels from the caller's.
    dotted = "\u0130" * MILLION
    yield (
        "a million U+0130",
        Repeat(dotted, ".Example.com"),
        lambda L, n: L.privateparts(n),
        ("i\u0307" * MILLION, "example.com"),
    )
    yield (
        "a million U+0130, keep_case",
        Repeat(dotted, ".Example.com"),
        lambda L, n: L.privateparts(n, keep_case=True),
        (dotted, "Example.com"),
    )
    yield (
        "a million Kelvin signs, keep_case",
        Repeat(("\u212a.", MILLION), "K.com"),
        lambda L, n: L.subdomain(n, 2, keep_case=True),
        "\u212a.\u212a.K.com",
    )


CASES = list(cases())


@pytest.mark.parametrize(
    "name, call, expected", [case[1:] for case in CASES], ids=[case[0] for case in CASES]
)
def test_hostile_name_completes_with_the_right_answer(lookup, name, call, expected):
    assert call(lookup, name.make()) == expected
