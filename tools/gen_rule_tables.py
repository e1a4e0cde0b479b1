#!/usr/bin/env python3
"""Compile a Public Suffix List file into vexlo's rule trie tables.

    gen_rule_tables.py LIST_FILE --output FILE.cpp [--header FILE.h]
                                                     write the generated C++ source (and
                                                     the header of the tables' shape)
    gen_rule_tables.py LIST_FILE --summary-only      only check the list and print the summary

Either way one summary line goes to standard output. A line that the tables
cannot hold faithfully is refused with ``FILE:LINE: reason`` on standard error
and a non-zero exit status; nothing is dropped or rewritten, and no output file
is left behind.

Importable: ``build_tables(data)`` turns the list's bytes into plain Python
tables (see ``Tables``) without writing anything. Standard library only.
"""

from __future__ import annotations

import argparse
import hashlib
import os
import re
import sys
import tempfile
import unicodedata
from collections import deque
from dataclasses import dataclass, field
from pathlib import Path

RULE_ANY = 0x01
WILDCARD_ANY = 0x02
EXCEPTION_ANY = 0x04
ICANN_SHIFT = 3

ICANN = "ICANN"
PRIVATE = "PRIVATE"

ACE_PREFIX = "xn--"

# The widths of the record fields bound what a list may grow to.
MAX_EDGE_COUNT = 0xFFFF  # TrieNode.edge_count is 16 bits
MAX_NODE_COUNT = 0x7FFFFFFF + 1  # TrieEdge.child is a signed 32-bit index
MAX_EDGES = 0xFFFFFFFF  # TrieNode.first_edge is 32 bits
MAX_POOL_BYTES = 0xFFFFFFFF  # TrieEdge.label_end is 32 bits

_LIST_WHITESPACE = " \t\r\f\v"
_MARKER = re.compile(r"//\s*===(BEGIN|END) (ICANN|PRIVATE) DOMAINS===\s*$")
_ASCII_LABEL_CHARS = frozenset("abcdefghijklmnopqrstuvwxyz0123456789-")


class ListError(Exception):
    """A list the tables cannot hold; `line` is 1-based, or None for the file as a whole."""

    def __init__(self, line: int | None, reason: str):
        super().__init__(reason)
        self.line = line
        self.reason = reason

    def located(self, path: str) -> str:
        return f"{path}:{self.line}: {self.reason}" if self.line else f"{path}: {self.reason}"


class ListErrors(Exception):
    """Every problem found in one list, in line order."""

    def __init__(self, errors: list[ListError]):
        super().__init__("; ".join(e.reason for e in errors))
        self.errors = errors


@dataclass(frozen=True)
class Rule:
    line: int
    section: str
    kind: int  # RULE_ANY, WILDCARD_ANY or EXCEPTION_ANY
    labels: tuple[str, ...]  # the name the rule marks, leftmost label first

    @property
    def flags(self) -> int:
        return self.kind | (self.kind << ICANN_SHIFT if self.section == ICANN else 0)


@dataclass
class Tables:
    """The generated tables as plain data, in the order the C++ tables hold them."""

    nodes: list[tuple[int, int, int]]  # (first_edge, edge_count, flags)
    edges: list[tuple[int, int, int]]  # (label_start, label_end, child)
    pool: bytes
    checksum: str
    rule_count: int  # rule lines of the list
    twin_count: int  # rules added to complete the internationalised pairs

    @property
    def distinct_labels(self) -> int:
        return len({(start, end) for start, end, _ in self.edges})

    def label(self, edge: int) -> bytes:
        start, end, _ = self.edges[edge]
        return self.pool[start:end]

    def summary(self) -> str:
        return (
            f"{self.rule_count} rules (+{self.twin_count} twins), {len(self.nodes)} nodes, "
            f"{len(self.edges)} edges, {len(self.pool)} label-pool bytes, "
            f"{self.distinct_labels} distinct labels, checksum {self.checksum}"
        )


# ---------------------------------------------------------------- labels


def _is_ascii(text: str) -> bool:
    return text.isascii()


def _q(text: str) -> str:
    """`text` quoted for a message, with characters that would not show escaped."""
    return "'" + "".join(c if c.isprintable() else f"\\u{ord(c):04x}" for c in text) + "'"


def _char_name(ch: str) -> str:
    return f"'{ch}' (U+{ord(ch):04X})" if ch.isprintable() else f"U+{ord(ch):04X}"


def _label_problem(label: str) -> str | None:
    """Why `label` cannot stand in the trie as written, or None."""
    if not label:
        return "empty label"
    for ch in label:
        if ch == "*":
            return f"asterisk in label {_q(label)} (a wildcard is a whole leftmost '*' label)"
        if ch == "!":
            return f"exclamation mark in label {_q(label)} (only an exception rule starts with one)"
        if "A" <= ch <= "Z":
            return f"upper-case letter in label {_q(label)} (the list is written in lower case)"
        if ch.isascii():
            if ch not in _ASCII_LABEL_CHARS:
                return f"character {_char_name(ch)} is not allowed in label {_q(label)}"
        elif unicodedata.category(ch) in ("Cc", "Cs", "Zs", "Zl", "Zp"):
            return f"character {_char_name(ch)} is not allowed in label {_q(label)}"
    if not _is_ascii(label):
        if label != label.lower():
            return f"label {_q(label)} is not in lower case"
        if label.startswith(ACE_PREFIX):
            return f"label {_q(label)} starts with '{ACE_PREFIX}' but is not ASCII"
        return None
    if label.startswith(ACE_PREFIX):
        return _ace_problem(label)
    return None


def _ace_problem(label: str) -> str | None:
    try:
        unicode = label[len(ACE_PREFIX) :].encode("ascii").decode("punycode")
    except (UnicodeError, ValueError, IndexError, OverflowError):
        return f"label {_q(label)} does not decode as Punycode"
    if _is_ascii(unicode):
        return f"label {_q(label)} does not decode to a non-ASCII label"
    problem = _label_problem(unicode)
    if problem:
        return f"label {_q(label)} decodes to an unusable label: {problem}"
    if _to_ace(unicode) != label:
        return f"label {_q(label)} does not round-trip (its Unicode form encodes as {_q(_to_ace(unicode))})"
    return None


def _to_ace(label: str) -> str:
    return ACE_PREFIX + label.encode("punycode").decode("ascii")


def _to_unicode(label: str) -> str:
    return label[len(ACE_PREFIX) :].encode("ascii").decode("punycode")


# ---------------------------------------------------------------- reading the list


def _parse_rule(text: str, line: int, section: str) -> Rule:
    if text.startswith("!"):
        kind, name = EXCEPTION_ANY, text[1:]
        if name.startswith("*"):
            raise ListError(line, f"exception rule {_q(text)} holds a wildcard")
    elif text.startswith("*."):
        kind, name = WILDCARD_ANY, text[2:]
    elif text == "*":
        raise ListError(line, "wildcard rule '*' names no suffix below which it applies")
    else:
        kind, name = RULE_ANY, text
    if not name:
        raise ListError(line, f"rule {_q(text)} names no domain")
    labels = tuple(name.split("."))
    for label in labels:
        if label == "*":
            raise ListError(line, f"rule {_q(text)}: a wildcard '*' must be the leftmost label")
        problem = _label_problem(label)
        if problem:
            raise ListError(line, f"rule {_q(text)}: {problem}")
    if any(not _is_ascii(l) for l in labels) and any(l.startswith(ACE_PREFIX) for l in labels):
        raise ListError(
            line,
            f"rule {_q(text)} mixes Unicode labels and '{ACE_PREFIX}' labels "
            "(write the whole name in one form)",
        )
    return Rule(line, section, kind, labels)


def parse_list(data: bytes) -> list[Rule]:
    """The rules of a list file's bytes, in file order. Raises ListErrors."""
    rules: list[Rule] = []
    errors: list[ListError] = []
    section: str | None = None
    section_line = 0
    for number, raw in enumerate(data.split(b"\n"), start=1):
        try:
            line = raw.decode("utf-8")
        except UnicodeDecodeError as exc:
            errors.append(ListError(number, f"not valid UTF-8 (byte {exc.start + 1} of the line)"))
            continue
        text = line.strip(_LIST_WHITESPACE)
        if not text:
            continue
        if text.startswith("//"):
            marker = _MARKER.match(text)
            if not marker:
                continue
            edge, name = marker.groups()
            if edge == "BEGIN":
                if section is not None:
                    errors.append(
                        ListError(
                            number,
                            f"{name} section begins inside the {section} "
                            f"section begun on line {section_line}",
                        )
                    )
                section, section_line = name, number
            else:
                if section != name:
                    errors.append(
                        ListError(number, f"end of the {name} section, which is not open")
                    )
                section = None
            continue
        token, rest = _split_token(text)
        if rest and not rest.startswith("//"):
            errors.append(
                ListError(
                    number, f"text after the rule {_q(token)}: {_q(rest)} (one rule per line)"
                )
            )
            continue
        if section is None:
            errors.append(
                ListError(number, f"rule {_q(token)} lies outside the ICANN and PRIVATE sections")
            )
            continue
        try:
            rules.append(_parse_rule(token, number, section))
        except ListError as exc:
            errors.append(exc)
    if section is not None:
        errors.append(ListError(section_line, f"the {section} section begun here is never ended"))
    if not rules and not errors:
        errors.append(ListError(None, "the list holds no rules"))
    if errors:
        raise ListErrors(sorted(errors, key=lambda e: e.line or 0))
    return rules


def _split_token(text: str) -> tuple[str, str]:
    """The rule (the text up to the first whitespace) and what follows it."""
    for index, ch in enumerate(text):
        if ch in _LIST_WHITESPACE:
            return text[:index], text[index:].strip(_LIST_WHITESPACE)
    return text, ""


def _twin(rule: Rule) -> Rule | None:
    """The same rule in the other spelling of its internationalised labels, if it has any."""
    if any(not _is_ascii(l) for l in rule.labels):
        labels = tuple(l if _is_ascii(l) else _to_ace(l) for l in rule.labels)
    elif any(l.startswith(ACE_PREFIX) for l in rule.labels):
        labels = tuple(_to_unicode(l) if l.startswith(ACE_PREFIX) else l for l in rule.labels)
    else:
        return None
    return Rule(rule.line, rule.section, rule.kind, labels)


# ---------------------------------------------------------------- building the trie


@dataclass
class _Node:
    line: int
    flags: int = 0
    children: dict[str, _Node] = field(default_factory=dict)


def _insert(root: _Node, rule: Rule) -> int:
    """Adds `rule`'s path; returns how many nodes it created."""
    node, created = root, 0
    for depth, label in enumerate(reversed(rule.labels)):
        child = node.children.get(label)
        if child is None:
            if len(node.children) == MAX_EDGE_COUNT:
                parent = ".".join(rule.labels[len(rule.labels) - depth :])
                where = f"the node for {_q(parent)}" if parent else "the root"
                raise ListError(
                    rule.line,
                    f"{where} would get more than {MAX_EDGE_COUNT:,} children (adding {_q(label)})",
                )
            child = node.children[label] = _Node(rule.line)
            created += 1
        node = child
    node.flags |= rule.flags
    return created


def build_tables(data: bytes | str) -> Tables:
    """The tables for a list file's exact bytes (text is taken as UTF-8). Raises ListErrors."""
    if isinstance(data, str):
        data = data.encode("utf-8")
    rules = parse_list(data)
    listed = set((r.section, r.kind, r.labels) for r in rules)
    twins = [t for t in map(_twin, rules) if t is not None]
    twin_count = len({(t.section, t.kind, t.labels) for t in twins} - listed)

    root = _Node(0)
    node_count = 1
    for rule in sorted(rules + twins, key=lambda r: r.line):
        try:
            node_count += _insert(root, rule)
        except ListError as exc:
            raise ListErrors([exc]) from None
        if node_count > MAX_NODE_COUNT:
            raise ListErrors(
                [ListError(rule.line, f"the trie would exceed {MAX_NODE_COUNT:,} nodes")]
            )

    nodes: list[tuple[int, int, int]] = []
    edges: list[tuple[int, int, int]] = []
    spans: dict[bytes, tuple[int, int]] = {}
    pool = bytearray()
    queue = deque([root])
    while queue:
        node = queue.popleft()
        ordered = sorted((label.encode("utf-8"), child) for label, child in node.children.items())
        nodes.append((len(edges), len(ordered), node.flags))
        for label, child in ordered:
            span = spans.get(label)
            if span is None:
                if len(pool) + len(label) > MAX_POOL_BYTES:
                    raise ListErrors(
                        [
                            ListError(
                                child.line, f"the label pool would exceed {MAX_POOL_BYTES:,} bytes"
                            )
                        ]
                    )
                span = spans[label] = (len(pool), len(pool) + len(label))
                pool += label
            # Breadth-first numbering: the node reached by edge i is node i + 1.
            edges.append((span[0], span[1], len(edges) + 1))
            queue.append(child)
    if len(edges) > MAX_EDGES:
        raise ListErrors([ListError(None, f"the edge table would exceed {MAX_EDGES:,} edges")])

    return Tables(
        nodes=nodes,
        edges=edges,
        pool=bytes(pool),
        checksum=hashlib.sha256(data).hexdigest(),
        rule_count=len(rules),
        twin_count=twin_count,
    )


# ---------------------------------------------------------------- C++ output


def _cpp_string_lines(data: bytes, width: int = 96) -> list[str]:
    # Octal escapes are always three digits, so a following digit cannot join them.
    pieces = []
    for byte in data:
        ch = chr(byte)
        if ch in _ASCII_LABEL_CHARS or (0x20 <= byte < 0x7F and ch not in '"\\?'):
            pieces.append(ch)
        else:
            pieces.append(f"\\{byte:03o}")
    lines, current, length = [], [], 0
    for piece in pieces:
        if length + len(piece) > width:
            lines.append('"' + "".join(current) + '"')
            current, length = [], 0
        current.append(piece)
        length += len(piece)
    if current or not lines:
        lines.append('"' + "".join(current) + '"')
    return lines


def _records(rows: list[str], per_line: int) -> str:
    return "\n".join(
        "    " + " ".join(rows[i : i + per_line]) for i in range(0, len(rows), per_line)
    )


def _clean(path: str) -> str:
    return path.replace("\n", "?").replace("\r", "?")


def render_header(tables: Tables, list_path: str) -> str:
    """The constants of the tables' shape that code elsewhere compiles against."""
    root_edges = tables.nodes[0][1]
    return f"""\
// Generated by tools/gen_rule_tables.py -- do not edit.
// Input: {_clean(list_path)}
// Input SHA-256: {tables.checksum}
#pragma once

#include <cstddef>

namespace vexlo {{

// The root's edge count in the compiled tables: the walk's search of the root is
// unrolled for it. The generated tables assert that it is theirs.
inline constexpr std::size_t kCompiledRootEdgeCount = {root_edges};

}}  // namespace vexlo
"""


def render_cpp(
    tables: Tables, list_path: str, output_path: str, header_path: str | None = None
) -> str:
    clean = _clean
    shape = ""
    shape_check = ""
    remake_header = ""
    if header_path is not None:
        remake_header = f" --header {clean(header_path)}"
        relative = os.path.relpath(header_path, os.path.dirname(os.path.abspath(output_path)))
        shape = f'#include "{clean(relative)}"\n'
        shape_check = (
            "static_assert(kNodes[0].edge_count == kCompiledRootEdgeCount,\n"
            '              "the shape header was generated from other tables");\n'
        )
    pool = "\n".join("    " + line for line in _cpp_string_lines(tables.pool))
    nodes = _records([f"{{{f}, {c}, 0x{g:02x}}}," for f, c, g in tables.nodes], 6)
    edges = _records([f"{{{s}, {e}, {c}}}," for s, e, c in tables.edges], 6)
    return f"""\
// Generated by tools/gen_rule_tables.py -- do not edit.
// Input: {clean(list_path)}
// Input SHA-256: {tables.checksum}
// {tables.summary()}
// Remake, from the repository root (the build does so whenever the list file
// or the generator changes):
//   python3 tools/gen_rule_tables.py {clean(list_path)} --output {clean(output_path)}{remake_header}

#include <cstddef>
#include <span>
#include <string_view>

#include "rules/compiled_tables.h"
#include "rules/table_proof.h"
{shape}
namespace vexlo {{
namespace {{

constexpr std::size_t kLabelPoolBytes = {len(tables.pool)};
constexpr std::size_t kNodeCount = {len(tables.nodes)};
constexpr std::size_t kEdgeCount = {len(tables.edges)};

constexpr char kLabelPool[kLabelPoolBytes + 1] =
{pool};

// {{first_edge, edge_count, flags}}, numbered breadth-first from the root.
constexpr TrieNode kNodes[kNodeCount] = {{
{nodes}
}};

// {{label_start, label_end, child}}; each node's run sorted by label bytes.
constexpr TrieEdge kEdges[kEdgeCount] = {{
{edges}
}};

constexpr RuleTrie kCompiledRules{{std::string_view(kLabelPool, kLabelPoolBytes),
                                  std::span<const TrieNode>(kNodes),
                                  std::span<const TrieEdge>(kEdges)}};

// Every edge's label key, in edge order, made by the compiler from the tables.
constexpr auto kEdgeKeys = label_keys<kEdgeCount>(kCompiledRules);

// The walks read these tables without a check per probe on the strength of
// this: they pass every check.
static_assert(!check_tables(kCompiledRules, kEdgeKeys).has_value(),
              "the generated tables fail a check of the walk");
{shape_check}
}}  // namespace

constinit const RuleTables compiled_rule_tables = proven_view(kCompiledRules, kEdgeKeys);

constinit const char LIST_CHECKSUM[LIST_CHECKSUM_LENGTH + 1] = "{tables.checksum}";

}}  // namespace vexlo
"""


def _write_atomically(path: Path, text: str) -> None:
    path.parent.mkdir(parents=True, exist_ok=True)
    fd, temp = tempfile.mkstemp(prefix=path.name + ".", suffix=".tmp", dir=path.parent)
    try:
        with os.fdopen(fd, "w", encoding="utf-8", newline="\n") as out:
            out.write(text)
        os.replace(temp, path)
    except BaseException:
        try:
            os.unlink(temp)
        except FileNotFoundError:
            pass
        raise


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("list_file", help="the Public Suffix List file")
    parser.add_argument("--output", help="the C++ source file to write")
    parser.add_argument(
        "--header", help="the header of the tables' shape to write beside --output (optional)"
    )
    parser.add_argument(
        "--summary-only",
        action="store_true",
        help="check the list and print the summary line, write nothing",
    )
    args = parser.parse_args(argv)
    if not args.output and not args.summary_only:
        parser.error("give --output FILE.cpp or --summary-only")
    output = None if args.summary_only else Path(args.output)
    header = None if args.summary_only or not args.header else Path(args.header)

    try:
        data = Path(args.list_file).read_bytes()
        tables = build_tables(data)
    except OSError as exc:
        print(f"{args.list_file}: cannot read the list: {exc.strerror or exc}", file=sys.stderr)
        _discard(output)
        _discard(header)
        return 1
    except ListErrors as exc:
        for error in exc.errors:
            print(error.located(args.list_file), file=sys.stderr)
        _discard(output)
        _discard(header)
        return 1

    if header is not None:
        _write_atomically(header, render_header(tables, args.list_file))
    if output is not None:
        header_path = None if header is None else str(header)
        _write_atomically(output, render_cpp(tables, args.list_file, str(output), header_path))
    print(tables.summary())
    return 0


def _discard(output: Path | None) -> None:
    # Tables from an earlier list must not survive a failed run and get compiled in.
    if output is not None:
        try:
            output.unlink()
        except FileNotFoundError:
            pass


if __name__ == "__main__":
    sys.exit(main())
