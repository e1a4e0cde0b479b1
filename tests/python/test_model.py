"""The module against a small independent model of the list, on many generated
names under every switch: rules read straight from the compiled list file,
walked label by label from the right."""

import functools

from hypothesis import given, settings
from hypothesis import strategies as st

EXCEPTION, WILDCARD, RULE = "exception", "wildcard", "rule"


def ascii_form(label):
    return "xn--" + label.encode("punycode").decode("ascii") if not label.isascii() else label


def parse(text):
    """{name: {(kind, icann), ...}} with every internationalised name in both
    spellings, and the set of every name on the way to a rule."""
    rules, section = {}, None
    for line in text.splitlines():
        line = line.strip()
        if "===BEGIN ICANN DOMAINS===" in line:
            section = True
        elif "===BEGIN PRIVATE DOMAINS===" in line:
            section = False
        if not line or line.startswith("//"):
            continue
        rule = line.split()[0]
        kind = EXCEPTION if rule[0] == "!" else WILDCARD if rule[:2] == "*." else RULE
        name = rule.lstrip("!").removeprefix("*.")
        for spelling in {name, ".".join(ascii_form(label) for label in name.split("."))}:
            rules.setdefault(spelling, set()).add((kind, section))
    nodes = {".".join(name.split(".")[i:]) for name in rules for i in range(name.count(".") + 1)}
    return rules, nodes


def public_length(labels, rules, nodes, accept_unknown, icann_only):
    length, matched = 0, False
    for consumed in range(1, len(labels) + 1):
        suffix = ".".join(labels[-consumed:])
        if suffix not in nodes:
            break
        kinds = {kind for kind, icann in rules.get(suffix, ()) if icann or not icann_only}
        if EXCEPTION in kinds:
            length, matched = consumed - 1, True
        elif WILDCARD in kinds:
            length, matched = consumed + (consumed < len(labels)), True
        elif RULE in kinds:
            length, matched = consumed, True
    return length if matched else int(accept_unknown)


def expected(name, depth, rules, nodes, accept_unknown, icann_only, keep_case):
    given = name[:-1] if name.endswith(".") else name
    labels = given.lower().split(".")
    if not given or "" in labels:
        return None, None, False, False, None, None
    p = public_length(labels, rules, nodes, accept_unknown, icann_only)
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
    rules, nodes = model(list_text)
    name = data.draw(names(tuple(sorted(rules))), label="name")
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
                assert got == expected(
                    name, 1, rules, nodes, accept_unknown, icann_only, keep_case
                ), texts
