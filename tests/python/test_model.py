"""The module against a small independent model of the list, on many generated
names under every switch: rules read straight from the compiled list file,
walked label by label from the right."""

import random

import pytest

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
    cut = lambda n: ".".join(source[count - n:])
    return (cut(p) if p else None, cut(p + 1) if private else None, p == count, private,
            (*source[:count - p - 1], cut(p + 1)) if private else None,
            cut(p + 1 + depth) if private and depth <= count - p - 1 else None)


def generated_names(rules, count, seed=20261207):
    rng = random.Random(seed)
    names = sorted(rules)
    extras = ["www", "a", "Shop", "ΟΔΟΣ", "x-y", "", "ÉCOLE", "city", "unknowntld", "食狮"]
    for _ in range(count):
        labels = rng.choice(names).split(".")
        labels[:0] = rng.sample(extras, rng.randint(0, 3))
        if rng.random() < 0.1:
            labels.append("unknowntld")
        name = ".".join(labels)
        if rng.random() < 0.3:
            name = name.upper() if rng.random() < 0.5 else name.title()
        yield name + ("." if rng.random() < 0.1 else "")


def test_module_agrees_with_the_model(lookup, list_text):
    rules, nodes = parse(list_text)
    mismatches = []
    for name in generated_names(rules, 4000):
        for accept_unknown in (True, False):
            for icann_only in (True, False):
                for keep_case in (True, False):
                    switches = dict(accept_unknown=accept_unknown, icann_only=icann_only)
                    texts = dict(switches, keep_case=keep_case)
                    got = (lookup.publicsuffix(name, **texts), lookup.privatesuffix(name, **texts),
                           lookup.is_public(name, **switches), lookup.is_private(name, **switches),
                           lookup.privateparts(name, **texts), lookup.subdomain(name, 1, **texts))
                    want = expected(name, 1, rules, nodes, accept_unknown, icann_only, keep_case)
                    if got != want:
                        mismatches.append((name, texts, got, want))
    assert not mismatches, mismatches[:5]
