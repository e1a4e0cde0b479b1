"""The module against a small independent model of the list (psl_model), on
many generated names under every switch."""

import functools

from hypothesis import given, settings
from hypothesis import strategies as st
from psl_model import parse, public_length


def expected(name, depth, model, accept_unknown, icann_only, keep_case):
    given = name[:-1] if name.endswith(".") else name
    labels = given.lower().split(".")
    if not given or "" in labels:
        return None, None, False, False, None, None
    p = public_length(labels, model, accept_unknown, icann_only)
    source = given.split(".") if keep_case else labels
    count = len(labels)
    private = 0 < p < count

    def cut(n):
        return ".".join(source[count - n :])

    return (
        cut(p) if p else None,
        cut(p + 1) if private else None,
        p == count,
        private,
        (*source[: count - p - 1], cut(p + 1)) if private else None,
        cut(p + 1 + depth) if private and depth <= count - p - 1 else None,
    )


EXTRA_LABELS = ["www", "a", "Shop", "ΟΔΟΣ", "x-y", "", "ÉCOLE", "city", "unknowntld", "食狮"]


@functools.cache
def model(list_text):
    return parse(list_text)


@functools.cache
def names(rule_names):
    """Names built from a rule, up to three extra labels in front, perhaps an
    unknown top-level label behind, in some letter case, perhaps with the root's
    trailing dot. Hypothesis shrinks a failure to the simplest such name."""

    def build(rule, extras, unknown_tld, case, dot):
        labels = [*extras, *rule.split("."), *(["unknowntld"] if unknown_tld else [])]
        name = ".".join(labels)
        return {"lower": name, "upper": name.upper(), "title": name.title()}[case] + dot

    return st.builds(
        build,
        st.sampled_from(rule_names),
        st.lists(st.sampled_from(EXTRA_LABELS), max_size=3),
        st.booleans(),
        st.sampled_from(["lower", "upper", "title"]),
        st.sampled_from(["", "."]),
    )


@settings(max_examples=2000, deadline=None, database=None)
@given(data=st.data())
def test_module_agrees_with_the_model(lookup, list_text, data):
    parsed = model(list_text)
    name = data.draw(names(tuple(sorted(parsed[0]))), label="name")
    for accept_unknown in (True, False):
        for icann_only in (True, False):
            for keep_case in (True, False):
                switches = dict(accept_unknown=accept_unknown, icann_only=icann_only)
                texts = dict(switches, keep_case=keep_case)
                got = (
                    lookup.publicsuffix(name, **texts),
                    lookup.privatesuffix(name, **texts),
                    lookup.is_public(name, **switches),
                    lookup.is_private(name, **switches),
                    lookup.privateparts(name, **texts),
                    lookup.subdomain(name, 1, **texts),
                )
                assert got == expected(name, 1, parsed, accept_unknown, icann_only, keep_case), (
                    texts
                )
