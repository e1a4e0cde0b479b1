#!/usr/bin/env python3
"""Writes the benchmark corpus: domain names drawn, with a fixed seed, from the
list file the module was compiled from.

Most names sit under a few common suffixes, the rest under rules drawn evenly
from the whole list (wildcards and exceptions included). Every name has one to
three subdomain labels in front of its registrable label. About a tenth are
written in upper or mixed case, a few percent are internationalised (the same
share in Unicode and in "xn--" spelling), a few end in the root dot, and a few
are invalid (empty, an empty label, two trailing dots).

    corpus.py [--list FILE] [--count N] [--seed S] --output FILE

The output holds one name per line, UTF-8; an empty line is the empty name
(harness.py reads and writes the format). Standard library only.
"""

import argparse
import collections
import pathlib
import random
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from harness import default_list_path, write_corpus

# Weights of the suffixes most names fall under; those missing from the list
# in hand are left out.
COMMON_SUFFIXES = {
    "com": 40,
    "net": 7,
    "org": 7,
    "co.uk": 5,
    "de": 5,
    "jp": 3,
    "ru": 3,
    "io": 3,
    "fr": 2,
    "nl": 2,
    "it": 2,
    "cn": 2,
    "com.br": 2,
    "com.au": 2,
    "github.io": 2,
    "blogspot.com": 1,
    "herokuapp.com": 1,
    "s3.amazonaws.com": 1,
}
SUBDOMAIN_WORDS = [
    "www",
    "mail",
    "api",
    "cdn",
    "static",
    "img",
    "m",
    "shop",
    "blog",
    "app",
    "dev",
    "staging",
    "auth",
    "login",
    "news",
    "docs",
    "support",
    "en",
    "us",
    "eu",
    "ns1",
    "smtp",
    "vpn",
    "git",
    "portal",
    "assets",
    "media",
    "beta",
    "admin",
    "status",
    "files",
    "web",
    "mx",
    "edge",
]
IDN_WORDS = [
    "münchen",
    "bücher",
    "köln",
    "zürich",
    "españa",
    "français",
    "日本語",
    "例え",
    "пример",
    "испытание",
    "παράδειγμα",
    "δοκιμή",
    "中国",
    "公司",
    "测试",
    "한국",
    "مثال",
    "ไทย",
    "ελλάδα",
    "tōkyō",
    "straße",
    "čeština",
    "ísland",
]
INVALID_FORMS = [
    lambda name: "",
    lambda name: ".",
    lambda name: name + "..",
    lambda name: "." + name,
    lambda name: name.replace(".", "..", 1),
]

SHARE_COMMON = 0.70
SHARE_UPPER = 0.10
SHARE_IDN = 0.04
SHARE_ROOT_DOT = 0.02
SHARE_INVALID = 0.03


def read_rules(path):
    """The rules of a list file in the published format, as written."""
    rules = []
    for line in pathlib.Path(path).read_text(encoding="utf-8").splitlines():
        line = line.strip()
        if line and not line.startswith("//"):
            rules.append(line.split()[0])
    return rules


def ace(label):
    """A label's ASCII-compatible spelling (RFC 3492), or the label itself."""
    if label.isascii():
        return label
    return "xn--" + label.encode("punycode").decode("ascii")


class Generator:
    def __init__(self, rules, seed):
        self.random = random.Random(seed)
        self.rules = rules
        listed = set(rules)
        self.common = [(s, w) for s, w in COMMON_SUFFIXES.items() if s in listed]
        if not self.common:
            raise SystemExit("corpus: the list holds none of the common suffixes")
        self.idn_suffixes = [r for r in rules if not r.isascii() and r[0] not in "*!"]
        self.kinds = collections.Counter()

    def word(self):
        r = self.random
        syllables = (
            "ba be bi bo bu da de di do ka ke ki ko la le li lo ma me mi mo na ne ni no "
            "pa pe po ra re ri ro sa se si so ta te ti to va ve vi za zo"
        )
        parts = syllables.split()
        text = "".join(r.choice(parts) for _ in range(r.randint(2, 5)))
        roll = r.random()
        if roll < 0.1:
            text += "-" + r.choice(parts) + r.choice(parts)
        elif roll < 0.2:
            text += str(r.randint(1, 99))
        return text

    def subdomains(self):
        r = self.random
        return [
            r.choice(SUBDOMAIN_WORDS) if r.random() < 0.7 else self.word()
            for _ in range(r.randint(1, 3))
        ]

    def suffix(self):
        """A public suffix: a common one, or one made from any rule of the list."""
        r = self.random
        if r.random() < SHARE_COMMON:
            self.kinds["common suffix"] += 1
            suffixes, weights = zip(*self.common)
            return r.choices(suffixes, weights)[0], False
        rule = r.choice(self.rules)
        self.kinds["any rule"] += 1
        if rule.startswith("!"):
            # The exception names a registrable domain itself.
            return rule[1:], True
        if rule.startswith("*."):
            return self.word() + rule[1:], False
        return rule, False

    def valid_name(self):
        r = self.random
        if r.random() < SHARE_IDN:
            return self.idn_name()
        suffix, registrable = self.suffix()
        labels = self.subdomains() + ([] if registrable else [self.word()]) + [suffix]
        return ".".join(labels)

    def idn_name(self):
        r = self.random
        self.kinds["internationalised"] += 1
        if self.idn_suffixes and r.random() < 0.5:
            suffix = r.choice(self.idn_suffixes)
        else:
            suffix = r.choices(*zip(*self.common))[0]
        labels = self.subdomains() + [r.choice(IDN_WORDS)] + suffix.split(".")
        if r.random() < 0.5:
            self.kinds["internationalised, xn-- spelling"] += 1
            labels = [ace(label) for label in labels]
        return ".".join(labels)

    def recase(self, name):
        r = self.random
        self.kinds["upper or mixed case"] += 1
        roll = r.random()
        if roll < 0.4:
            return name.upper()
        if roll < 0.7:
            return ".".join(label[:1].upper() + label[1:] for label in name.split("."))
        return "".join(c.upper() if r.random() < 0.5 else c for c in name)

    def name(self):
        r = self.random
        name = self.valid_name()
        if r.random() < SHARE_UPPER:
            name = self.recase(name)
        roll = r.random()
        if roll < SHARE_INVALID:
            self.kinds["invalid"] += 1
            return r.choice(INVALID_FORMS)(name)
        if roll < SHARE_INVALID + SHARE_ROOT_DOT:
            self.kinds["root dot"] += 1
            return name + "."
        return name


def generate(list_path, count, seed):
    """`count` names and the tally of their kinds."""
    generator = Generator(read_rules(list_path), seed)
    names = [generator.name() for _ in range(count)]
    return names, generator.kinds


def add_arguments(parser, count):
    """The options that say which corpus to make, `count` names by default."""
    parser.add_argument(
        "--list",
        type=pathlib.Path,
        default=None,
        help="list file (default: the one the build scripts compile in)",
    )
    parser.add_argument("--count", type=int, default=count)
    parser.add_argument("--seed", type=int, default=6)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_arguments(parser, count=20000)
    parser.add_argument("--output", type=pathlib.Path, required=True)
    args = parser.parse_args(argv)
    list_path = args.list or default_list_path()
    names, kinds = generate(list_path, args.count, args.seed)
    write_corpus(args.output, names)
    tally = ", ".join(f"{kind} {n}" for kind, n in sorted(kinds.items()))
    print(
        f"corpus: {len(names)} names from {list_path} (seed {args.seed}): {tally}", file=sys.stderr
    )
    return 0


if __name__ == "__main__":
    sys.exit(main())
