"""A small independent model of a Public Suffix List, for the tests: rules
read straight from the list text, every internationalised name in both
spellings, names walked label by label from the right. It says why an
answer is what it is too: the rule that decided, as the list writes it, and
its section."""

EXCEPTION, WILDCARD, RULE = "exception", "wildcard", "rule"
MARKS = {EXCEPTION: "!", WILDCARD: "*.", RULE: ""}


def other_spelling(label):
    """The label's other spelling ("xn--" for Unicode, Unicode for "xn--"),
    or None."""
    if not label.isascii():
        return "xn--" + label.encode("punycode").decode("ascii")
    if label.startswith("xn--"):
        return label[4:].encode("ascii").decode("punycode")
    return None


def parse(text):
    """(rules, nodes, listed): {name: {(kind, icann), ...}} with every
    internationalised name in both spellings, the set of every name on the
    way to a rule, and {name: listed name} for the names that only the other
    spelling of a listed rule names."""
    rules, listed_names, twins, section = {}, set(), {}, None
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
        rules.setdefault(name, set()).add((kind, section))
        listed_names.add(name)
        labels = name.split(".")
        if any(other_spelling(label) for label in labels):
            twin = ".".join(other_spelling(label) or label for label in labels)
            rules.setdefault(twin, set()).add((kind, section))
            twins.setdefault(twin, name)
    nodes = {".".join(name.split(".")[i:]) for name in rules for i in range(name.count(".") + 1)}
    listed = {twin: name for twin, name in twins.items() if twin not in listed_names}
    return rules, nodes, listed


def explain(labels, model, accept_unknown):
    """(length, icann_length, rule, section) of a name's lowercase labels."""
    rules, nodes, listed = model
    lengths, decided = {True: None, False: None}, None
    for consumed in range(1, len(labels) + 1):
        suffix = ".".join(labels[-consumed:])
        if suffix not in nodes:
            break
        for icann_only in (False, True):
            kinds = {kind for kind, icann in rules.get(suffix, ()) if icann or not icann_only}
            if EXCEPTION in kinds:
                lengths[icann_only] = consumed - 1
            elif WILDCARD in kinds:
                lengths[icann_only] = consumed + (consumed < len(labels))
            elif RULE in kinds:
                lengths[icann_only] = consumed
        kinds = rules.get(suffix, ())
        for kind in (EXCEPTION, WILDCARD, RULE):
            if any(k == kind for k, _ in kinds):
                icann = any(k == kind and section for k, section in kinds)
                decided = (
                    MARKS[kind] + listed.get(suffix, suffix),
                    "icann" if icann else "private",
                )
                break

    def finished(length):
        return length if length is not None else int(accept_unknown)

    length = finished(lengths[False])
    rule, section = decided if decided else ("*" if length else None, None)
    return length, finished(lengths[True]), rule, section


def public_length(labels, model, accept_unknown, icann_only):
    length, icann_length, _, _ = explain(labels, model, accept_unknown)
    return icann_length if icann_only else length
