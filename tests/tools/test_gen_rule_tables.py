"""The rule-table generator: the figures of the pinned list, the layout
invariants of every table it makes, and the lines it refuses."""

from __future__ import annotations

import collections
import hashlib
import importlib.util
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
TOOL = REPO / "tools" / "gen_rule_tables.py"
SHARED = Path(os.environ.get("VEXLO_SHARED_DIR") or REPO.parent / "shared")
SHARED_LIST = SHARED / "psl" / "public_suffix_list.dat"
SYSTEM_LIST = Path("/usr/share/publicsuffix/public_suffix_list.dat")
SHARED_CHECKSUM = "fe6adc7fb8014f57d28d69b18d0aa3e581efb432544922e12131a5d4a87bd954"

_spec = importlib.util.spec_from_file_location("gen_rule_tables", TOOL)
gen = importlib.util.module_from_spec(_spec)
sys.modules["gen_rule_tables"] = gen
_spec.loader.exec_module(gen)

HEAD = "// ===BEGIN ICANN DOMAINS===\n"
ICANN_END = "// ===END ICANN DOMAINS===\n"
PRIVATE = "// ===BEGIN PRIVATE DOMAINS===\n"
PRIVATE_END = "// ===END PRIVATE DOMAINS===\n"


def icann_list(*rules: str, private: tuple[str, ...] = ()) -> str:
    text = HEAD + "".join(r + "\n" for r in rules) + ICANN_END
    if private:
        text += PRIVATE + "".join(r + "\n" for r in private) + PRIVATE_END
    return text


# ---------------------------------------------------------------- reading tables back


def node_names(t: gen.Tables) -> list[tuple[str, ...]]:
    """Each node's labels, rightmost (top-level) first; the root has none."""
    names: list[tuple[str, ...]] = [()] * len(t.nodes)
    for n, (first, count, _) in enumerate(t.nodes):
        for e in range(first, first + count):
            names[t.edges[e][2]] = names[n] + (t.label(e).decode("utf-8"),)
    return names


def child(t: gen.Tables, node: int, label: str) -> int | None:
    first, count, _ = t.nodes[node]
    for e in range(first, first + count):
        if t.label(e) == label.encode("utf-8"):
            return t.edges[e][2]
    return None


def node_for(t: gen.Tables, name: str) -> int | None:
    node = 0
    for label in reversed(name.split(".")):
        node = child(t, node, label)
        if node is None:
            return None
    return node


def check_invariants(t: gen.Tables) -> None:
    nodes, edges, pool = t.nodes, t.edges, t.pool
    # 1, 2, 8: one edge into every node but the root.
    assert nodes[0][2] == 0
    assert len(edges) == len(nodes) - 1
    children = [c for _, _, c in edges]
    assert all(1 <= c < len(nodes) for c in children)
    assert sorted(children) == list(range(1, len(nodes)))
    # 3, 4: breadth-first numbering, runs tiling the edge table in node order.
    running = 0
    for first, count, flags in nodes:
        assert first == running
        running += count
        assert 0 <= count <= 0xFFFF and flags & 0xC0 == 0
        assert (flags >> 3) & ~flags & 7 == 0  # no ICANN bit without its ANY bit
    assert running == len(edges)
    assert all(c == i + 1 for i, (_, _, c) in enumerate(edges))
    depth = [0] * len(nodes)
    for n, (first, count, _) in enumerate(nodes):
        for e in range(first, first + count):
            depth[edges[e][2]] = depth[n] + 1
    assert depth == sorted(depth)
    # 5: strictly ascending byte order within a run.
    for first, count, _ in nodes:
        labels = [t.label(e) for e in range(first, first + count)]
        assert all(a < b for a, b in zip(labels, labels[1:]))
    # 6, 7: labels inside the pool on character boundaries, well-formed.
    for start, end, _ in edges:
        assert 0 <= start <= end <= len(pool)
        for offset in (start, end):
            assert offset == len(pool) or pool[offset] & 0xC0 != 0x80
        label = pool[start:end].decode("utf-8")
        assert label and not set(label) & set(".*!") and label == label.lower()
        assert all(c in "abcdefghijklmnopqrstuvwxyz0123456789-" for c in label if c.isascii())
    # 9: each distinct text once, in order of first use, every byte used.
    rebuilt, spans = bytearray(), {}
    for start, end, _ in edges:
        text = pool[start:end]
        if text not in spans:
            spans[text] = (len(rebuilt), len(rebuilt) + len(text))
            rebuilt += text
        assert spans[text] == (start, end)
    assert bytes(rebuilt) == pool
    # 10: internationalised names in pairs with equal flags.
    names = node_names(t)
    index = {name: n for n, name in enumerate(names)}
    for n, name in enumerate(names):
        if any(not l.isascii() for l in name):
            twin = tuple(l if l.isascii() else "xn--" + l.encode("punycode").decode() for l in name)
        elif any(l.startswith("xn--") for l in name):
            twin = tuple(
                l[4:].encode().decode("punycode") if l.startswith("xn--") else l for l in name
            )
        else:
            continue
        assert twin in index, name
        assert nodes[index[twin]][2] == nodes[n][2], name


# ---------------------------------------------------------------- the pinned list


@pytest.fixture(scope="module")
def shared_tables() -> gen.Tables:
    if not SHARED_LIST.is_file():
        pytest.skip(
            f"no pinned list at {SHARED_LIST} (set VEXLO_SHARED_DIR to the shared data folder)"
        )
    return gen.build_tables(SHARED_LIST.read_bytes())


def test_pinned_list_sizes(shared_tables):
    t = shared_tables
    assert (len(t.nodes), len(t.edges), len(t.pool), t.distinct_labels) == (
        11103,
        11102,
        53051,
        7235,
    )
    assert (t.rule_count, t.twin_count) == (10239, 459)
    assert t.checksum == SHARED_CHECKSUM == hashlib.sha256(SHARED_LIST.read_bytes()).hexdigest()


def test_pinned_list_shape(shared_tables):
    t = shared_tables
    root_labels = [t.label(e).decode() for e in range(t.nodes[0][1])]
    assert len(root_labels) == 1609
    assert sum(not l.isascii() for l in root_labels) == 160
    fan_out = {tld: t.nodes[child(t, 0, tld)][1] for tld in ("no", "com", "it", "jp")}
    assert fan_out == {"no": 900, "com": 453, "it": 437, "jp": 305}
    assert sorted(count for _, count, _ in t.nodes)[-5:] == [305, 437, 453, 900, 1609]
    assert max(len(name) for name in node_names(t)) == 6
    labels = {t.label(e) for e in range(len(t.edges))}
    assert max(len(l) for l in labels) == 33
    assert max(len(l.decode()) for l in labels) == 31
    assert all(first == 11102 and count == 0 for first, count, _ in t.nodes[-12:])
    assert t.nodes[-13][0] + t.nodes[-13][1] == 11102 and t.nodes[-13][1] > 0


def test_pinned_list_flags(shared_tables):
    t = shared_tables
    histogram = collections.Counter(flags for _, _, flags in t.nodes)
    assert histogram == {0x09: 7371, 0x01: 3038, 0x00: 405, 0x02: 265, 0x12: 16, 0x24: 8}
    assert node_for(t, "za") is not None and t.nodes[node_for(t, "za")][2] == 0
    assert t.nodes[node_for(t, "kawasaki.jp")][2] == 0x12
    assert t.nodes[node_for(t, "city.kawasaki.jp")][2] == 0x24


def test_pinned_list_internationalised_pairs(shared_tables):
    t = shared_tables
    names = node_names(t)
    rules = [(n, name) for n, name in enumerate(names) if t.nodes[n][2] & 0x07]
    assert sum(any(not l.isascii() for l in name) for _, name in rules) == 459
    assert sum(any(l.startswith("xn--") for l in name) for _, name in rules) == 459
    assert t.nodes[node_for(t, "公司.cn")][2] == t.nodes[node_for(t, "xn--55qx5d.cn")][2] == 0x09


def test_pinned_list_invariants(shared_tables):
    check_invariants(shared_tables)


def test_system_list_invariants():
    if not SYSTEM_LIST.is_file():
        pytest.skip("Debian's publicsuffix package is not installed")
    check_invariants(gen.build_tables(SYSTEM_LIST.read_bytes()))


# ---------------------------------------------------------------- small lists


def test_rule_kinds_and_sections_set_their_bits():
    t = gen.build_tables(
        icann_list(
            "uk",
            "co.uk",
            "*.ck",
            "!www.ck",
            "co.za",
            "dup.uk",
            private=("dup.uk", "blog.uk", "*.cloud.uk", "!x.cloud.uk"),
        )
    )
    check_invariants(t)
    flags = {
        name: t.nodes[node_for(t, name)][2]
        for name in (
            "uk",
            "co.uk",
            "ck",
            "www.ck",
            "za",
            "co.za",
            "dup.uk",
            "blog.uk",
            "cloud.uk",
            "x.cloud.uk",
        )
    }
    assert flags == {
        "uk": 0x09,
        "co.uk": 0x09,
        "ck": 0x12,
        "www.ck": 0x24,
        "za": 0,
        "co.za": 0x09,
        "dup.uk": 0x09,
        "blog.uk": 0x01,
        "cloud.uk": 0x02,
        "x.cloud.uk": 0x04,
    }
    assert b"*" not in t.pool and b"!" not in t.pool
    assert t.rule_count == 10 and t.twin_count == 0


def test_twins_go_both_ways_with_the_rule_kind():
    t = gen.build_tables(icann_list("jp", "*.xn--4gq664adxb.jp", "ελ", private=("例え.jp",)))
    check_invariants(t)
    pairs = [
        ("*.xn--4gq664adxb.jp", "一宮市.jp", 0x12),
        ("ελ", "xn--qxam", 0x09),
        ("例え.jp", "xn--r8jz45g.jp", 0x01),
    ]
    for listed, twin, flags in pairs:
        listed = listed.removeprefix("*.")
        assert t.nodes[node_for(t, listed)][2] == t.nodes[node_for(t, twin)][2] == flags
    assert t.twin_count == 3


def test_format_details_that_are_accepted():
    crlf = icann_list("  uk  ", "co.uk // a trailing comment", "\tac\t").replace("\n", "\r\n")
    t = gen.build_tables(crlf)
    assert [t.label(e) for e in range(len(t.edges))] == [b"ac", b"uk", b"co"]
    assert gen.build_tables(crlf).checksum == hashlib.sha256(crlf.encode()).hexdigest()


def test_fan_out_limit():
    limit = 0xFFFF
    rules = [f"n{i}.t" for i in range(limit)]
    assert gen.build_tables(icann_list(*rules)).nodes[1][1] == limit
    with pytest.raises(gen.ListErrors) as refused:
        gen.build_tables(icann_list(*rules, "one-more.t"))
    (error,) = refused.value.errors
    assert error.line == limit + 2
    assert "the node for 't' would get more than 65,535 children" in error.reason


# ---------------------------------------------------------------- the command


def run_tool(tmp_path: Path, text: str | bytes, *args: str) -> subprocess.CompletedProcess:
    listed = tmp_path / "list.dat"
    listed.write_bytes(text if isinstance(text, bytes) else text.encode("utf-8"))
    return subprocess.run(
        [sys.executable, str(TOOL), str(listed), *args],
        capture_output=True,
        text=True,
        cwd=tmp_path,
    )


REFUSED = [
    ("wildcard-not-leftmost", "foo.*.bar", "a wildcard '*' must be the leftmost label"),
    ("wildcard-last", "foo.*", "a wildcard '*' must be the leftmost label"),
    ("asterisk-in-label", "f*o.com", "asterisk in label 'f*o'"),
    ("asterisk-glued", "*foo.com", "asterisk in label '*foo'"),
    ("lone-asterisk", "*", "wildcard rule '*' names no suffix"),
    ("wildcard-without-name", "*.", "rule '*.' names no domain"),
    ("exclamation-inside", "foo.!bar", "exclamation mark in label '!bar'"),
    ("double-exclamation", "!!foo.com", "exclamation mark in label '!foo'"),
    ("exception-wildcard", "!*.foo.com", "exception rule '!*.foo.com' holds a wildcard"),
    ("exception-without-name", "!", "rule '!' names no domain"),
    ("upper-case", "Foo.com", "upper-case letter in label 'Foo'"),
    ("upper-case-ace", "xn--MNCHEN-3YA.de", "upper-case letter in label 'xn--MNCHEN-3YA'"),
    ("empty-inner-label", "foo..com", "empty label"),
    ("leading-dot", ".foo.com", "empty label"),
    ("trailing-dot", "foo.com.", "empty label"),
    ("bad-punycode", "xn--99999999999.com", "label 'xn--99999999999' does not decode as Punycode"),
    ("ace-of-ascii", "xn--abc-.com", "label 'xn--abc-' does not decode to a non-ASCII label"),
    ("ace-not-round-trip", "xn---55qx5d.cn", "label 'xn---55qx5d' does not round-trip"),
    (
        "ace-of-upper-case",
        "xn--7ba.com",
        "decodes to an unusable label: label 'Ä' is not in lower case",
    ),
    ("ace-of-control", "xn--a.com", "decodes to an unusable label: character U+0080"),
    ("unicode-upper-case", "Ärger.de", "label 'Ärger' is not in lower case"),
    ("ace-prefix-on-unicode", "xn--ä.de", "starts with 'xn--' but is not ASCII"),
    ("mixed-spellings", "xn--55qx5d.公司", "mixes Unicode labels and 'xn--' labels"),
    ("underscore", "foo_bar.com", "character '_' (U+005F) is not allowed in label 'foo_bar'"),
    ("no-break-space", "foo\u00a0bar.com", "character U+00A0 is not allowed"),
    ("two-rules", "foo.com bar.com", "text after the rule 'foo.com': 'bar.com'"),
]


@pytest.mark.parametrize("line,reason", [c[1:] for c in REFUSED], ids=[c[0] for c in REFUSED])
def test_refused_line(tmp_path, line, reason):
    text = icann_list("com", "uk", line, "org")
    result = run_tool(tmp_path, text, "--output", "out.cpp")
    assert result.returncode != 0
    assert result.stdout == ""
    listed = tmp_path / "list.dat"
    assert result.stderr.startswith(f"{listed}:4: ")
    assert reason in result.stderr
    assert not (tmp_path / "out.cpp").exists()


STRUCTURE = [
    (
        "outside-sections",
        "uk\n" + icann_list("com"),
        1,
        "rule 'uk' lies outside the ICANN and PRIVATE sections",
    ),
    ("after-the-end", icann_list("com") + "uk\n", 4, "lies outside the ICANN and PRIVATE sections"),
    ("never-ended", HEAD + "com\n", 1, "the ICANN section begun here is never ended"),
    (
        "nested",
        HEAD + PRIVATE + "com\n" + PRIVATE_END,
        2,
        "PRIVATE section begins inside the ICANN section",
    ),
    ("wrong-end", HEAD + "com\n" + PRIVATE_END, 3, "end of the PRIVATE section, which is not open"),
    ("bad-utf8", HEAD.encode() + b"co\xe9.fr\n" + ICANN_END.encode(), 2, "not valid UTF-8"),
]


@pytest.mark.parametrize(
    "text,line,reason", [c[1:] for c in STRUCTURE], ids=[c[0] for c in STRUCTURE]
)
def test_refused_structure(tmp_path, text, line, reason):
    result = run_tool(tmp_path, text, "--summary-only")
    assert result.returncode != 0
    assert f"{tmp_path / 'list.dat'}:{line}: " in result.stderr
    assert reason in result.stderr


def test_every_refused_line_is_reported(tmp_path):
    result = run_tool(tmp_path, icann_list("Foo.com", "ok.com", "bar..com"), "--summary-only")
    listed = tmp_path / "list.dat"
    assert result.returncode != 0
    lines = result.stderr.splitlines()
    assert [l.split(": ")[0] for l in lines] == [f"{listed}:2", f"{listed}:4"]


def test_empty_list_is_refused(tmp_path):
    result = run_tool(tmp_path, HEAD + "// nothing here\n" + ICANN_END, "--summary-only")
    assert result.returncode != 0
    assert result.stderr.strip() == f"{tmp_path / 'list.dat'}: the list holds no rules"


def test_missing_list_is_refused(tmp_path):
    result = subprocess.run(
        [sys.executable, str(TOOL), str(tmp_path / "absent.dat"), "--summary-only"],
        capture_output=True,
        text=True,
    )
    assert result.returncode != 0 and "cannot read the list" in result.stderr


def test_failed_run_removes_earlier_output(tmp_path):
    assert run_tool(tmp_path, icann_list("com"), "--output", "out.cpp").returncode == 0
    assert (tmp_path / "out.cpp").exists()
    assert run_tool(tmp_path, icann_list("Com"), "--output", "out.cpp").returncode != 0
    assert sorted(p.name for p in tmp_path.iterdir()) == ["list.dat"]


def test_failed_run_removes_earlier_header(tmp_path):
    args = ("--output", "out.cpp", "--header", "shape/compiled_shape.h")
    assert run_tool(tmp_path, icann_list("com"), *args).returncode == 0
    assert (tmp_path / "shape" / "compiled_shape.h").exists()
    assert run_tool(tmp_path, icann_list("Com"), *args).returncode != 0
    assert not (tmp_path / "shape" / "compiled_shape.h").exists()
    assert not (tmp_path / "out.cpp").exists()


def test_output_and_summary(tmp_path):
    text = icann_list("uk", "co.uk", "公司.cn")
    result = run_tool(tmp_path, text, "--output", "gen/out.cpp")
    assert result.returncode == 0, result.stderr
    t = gen.build_tables(text)
    checksum = hashlib.sha256(text.encode()).hexdigest()
    assert result.stdout == (
        f"3 rules (+1 twins), {len(t.nodes)} nodes, {len(t.edges)} edges, "
        f"{len(t.pool)} label-pool bytes, {t.distinct_labels} distinct labels, "
        f"checksum {checksum}\n"
    )
    source = (tmp_path / "gen" / "out.cpp").read_text()
    head = source.split("#include")[0]
    assert "tools/gen_rule_tables.py" in head and str(tmp_path / "list.dat") in head
    assert checksum in head and "Remake" in head and "--output" in head
    assert f'LIST_CHECKSUM[LIST_CHECKSUM_LENGTH + 1] = "{checksum}"' in source
    assert sorted(p.name for p in (tmp_path / "gen").iterdir()) == ["out.cpp"]

    summary = run_tool(tmp_path, text, "--summary-only")
    assert summary.returncode == 0 and summary.stdout == result.stdout


def test_summary_of_pinned_list():
    if not SHARED_LIST.is_file():
        pytest.skip(
            f"no pinned list at {SHARED_LIST} (set VEXLO_SHARED_DIR to the shared data folder)"
        )
    result = subprocess.run(
        [sys.executable, str(TOOL), str(SHARED_LIST), "--summary-only"],
        capture_output=True,
        text=True,
    )
    assert result.returncode == 0
    assert result.stdout == (
        "10239 rules (+459 twins), 11103 nodes, 11102 edges, 53051 label-pool bytes, "
        f"7235 distinct labels, checksum {SHARED_CHECKSUM}\n"
    )


def test_generated_source_compiles_to_the_same_tables(tmp_path):
    """Escapes in the pool literal must give back the exact bytes (a byte
    above 0x7f followed by a digit is the trap)."""
    compiler = shutil.which("g++") or shutil.which("clang++")
    if compiler is None:
        pytest.skip("no C++ compiler")
    text = icann_list("é1.fr", "x9.é1.fr", "ü.de", "a-b.de", "7.ü.de")
    # With the shape header in a folder of its own: the source includes it
    # and asserts the root's edge count (two here: de and fr).
    shape = tmp_path / "gen" / "rules" / "compiled_shape.h"
    args = ("--output", "tables.cpp", "--header", str(shape))
    assert run_tool(tmp_path, text, *args).returncode == 0
    assert "kCompiledRootEdgeCount = 2;" in shape.read_text()
    (tmp_path / "dump.cpp").write_text("""
#include <cstdio>
#include "rules/rule_trie.h"
int main() {
    const vexlo::RuleTrie& t = vexlo::compiled_rules();
    for (unsigned char c : t.label_pool) std::printf("%02x", c);
    std::printf("\\n");
    for (const auto& n : t.nodes) std::printf("%u,%u,%u;", n.first_edge, n.edge_count, n.flags);
    std::printf("\\n");
    for (const auto& e : t.edges) std::printf("%u,%u,%d;", e.label_start, e.label_end, e.child);
    std::printf("\\n%s\\n", vexlo::LIST_CHECKSUM);
}
""")
    exe = tmp_path / "dump"
    subprocess.run(
        [
            compiler,
            "-std=c++20",
            "-I",
            str(REPO / "src"),
            "-o",
            str(exe),
            str(tmp_path / "dump.cpp"),
            str(tmp_path / "tables.cpp"),
        ],
        check=True,
    )
    out = subprocess.run([str(exe)], capture_output=True, text=True, check=True).stdout.splitlines()
    t = gen.build_tables(text)
    assert bytes.fromhex(out[0]) == t.pool
    assert out[1] == "".join(f"{f},{c},{g};" for f, c, g in t.nodes)
    assert out[2] == "".join(f"{s},{e},{c};" for s, e, c in t.edges)
    assert out[3] == t.checksum
