#!/usr/bin/env python3
"""Writes src/normalize/case_tables.cpp, vexlo's compiled-in Unicode case data.

Reads UnicodeData.txt, SpecialCasing.txt and DerivedCoreProperties.txt of the
Unicode Character Database and writes:

- the default full lowercase mapping (the unconditional, language-independent
  entries of SpecialCasing over UnicodeData's simple mapping), and
- the sets Case_Ignorable, Lowercase, Uppercase and general category Lt,

as three-stage lookup tables (see src/normalize/case_tables.h). Before writing
anything it checks the facts about the data that the lowercasing code relies
on, and stops with an error naming each one that does not hold.

Usage: gen_case_tables.py UCD_DIR [--output FILE]   (standard library only)
"""

from __future__ import annotations

import argparse
import hashlib
import pathlib
import sys

UNICODE_VERSION = "17.0.0"
INPUT_FILES = ("UnicodeData.txt", "SpecialCasing.txt", "DerivedCoreProperties.txt")

REPO_ROOT = pathlib.Path(__file__).resolve().parent.parent
DEFAULT_OUTPUT = REPO_ROOT / "src" / "normalize" / "case_tables.cpp"
REMAKE_COMMAND = "python3 tools/gen_case_tables.py UCD_DIR --output src/normalize/case_tables.cpp"

# Must agree with src/normalize/case_tables.h; the generated file static_asserts it.
CODE_POINT_LIMIT = 0x110000
LOWER_LIMIT = 0x20000  # the lowercasing code copies every code point from here on
SHIFT1 = 9
SHIFT2 = 4
CASE_IGNORABLE, LOWERCASE, UPPERCASE, TITLECASE = 1, 2, 4, 8
EXPANSION_FLAG = 0x80  # a lowercase leaf value with this bit names an expansion
MAX_EXPANSION = 3

SURROGATES = range(0xD800, 0xE000)
FULL_STOP = 0x2E
CAPITAL_SIGMA, SMALL_SIGMA, FINAL_SIGMA = 0x3A3, 0x3C3, 0x3C2
# Code points the per-code-point loop lowercases without the tables.
DIRECT_LIMIT = 0xC0
ASCII_CASE_IGNORABLE = {0x27, 0x2E, 0x3A, 0x5E, 0x60}
CASE_IGNORABLE_CHECKED_BELOW = 0xA8
CASED_CHECKED_BELOW = 0xAA
ASCII_LETTERS_UPPER = range(0x41, 0x5B)
ASCII_LETTERS_LOWER = range(0x61, 0x7B)


class DataError(Exception):
    """The input files are not what the generated tables and their code assume."""


def code_point_range(field: str) -> range:
    first, _, last = field.strip().partition("..")
    return range(int(first, 16), int(last or first, 16) + 1)


def data_lines(text: str):
    """Yields the ';'-separated fields of each line, comments and blanks dropped."""
    for line in text.splitlines():
        content = line.split("#", 1)[0].strip()
        if content:
            yield [field.strip() for field in content.split(";")]


def expect_header(name: str, text: str) -> None:
    expected = f"# {name.removesuffix('.txt')}-{UNICODE_VERSION}.txt"
    first = text.splitlines()[0] if text else ""
    if first.strip() != expected:
        raise DataError(f"{name}: first line is {first!r}, expected {expected!r}")


def parse_unicode_data(text: str) -> tuple[dict[int, int], set[int]]:
    """Simple lowercase mappings and the code points of general category Lt."""
    simple_lower: dict[int, int] = {}
    titlecase: set[int] = set()
    range_first: int | None = None
    for fields in data_lines(text):
        if len(fields) != 15:
            raise DataError(f"UnicodeData.txt: {len(fields)} fields in {';'.join(fields)!r}")
        code_point = int(fields[0], 16)
        name, category, lower = fields[1], fields[2], fields[13]
        if name.endswith(", First>"):
            range_first = code_point
            continue
        covered = [code_point]
        if name.endswith(", Last>"):
            if range_first is None:
                raise DataError(f"UnicodeData.txt: {name} without its First line")
            covered = list(range(range_first, code_point + 1))
            range_first = None
        if category == "Lt":
            titlecase.update(covered)
        if lower:
            if len(covered) != 1:
                raise DataError(f"UnicodeData.txt: lowercase mapping on the range {name}")
            simple_lower[code_point] = int(lower, 16)
    return simple_lower, titlecase


def parse_special_casing(
    text: str,
) -> tuple[dict[int, tuple[int, ...]], dict[int, tuple[int, ...]]]:
    """The unconditional lowercase entries, and the Final_Sigma ones."""
    expect_header("SpecialCasing.txt", text)
    unconditional: dict[int, tuple[int, ...]] = {}
    final_sigma: dict[int, tuple[int, ...]] = {}
    for fields in data_lines(text):
        # code; lower; title; upper; [conditions;] -- a trailing ';' leaves an empty field
        while fields and fields[-1] == "":
            fields.pop()
        code_point = int(fields[0], 16)
        lower = tuple(int(part, 16) for part in fields[1].split())
        if len(fields) == 4:
            unconditional[code_point] = lower
        elif len(fields) == 5 and fields[4] == "Final_Sigma":
            final_sigma[code_point] = lower
    return unconditional, final_sigma


def parse_derived_properties(text: str, wanted: tuple[str, ...]) -> dict[str, set[int]]:
    expect_header("DerivedCoreProperties.txt", text)
    sets: dict[str, set[int]] = {name: set() for name in wanted}
    for fields in data_lines(text):
        if len(fields) == 2 and fields[1] in sets:
            sets[fields[1]].update(code_point_range(fields[0]))
    for name, members in sets.items():
        if not members:
            raise DataError(f"DerivedCoreProperties.txt: no code point has {name}")
    return sets


class CaseData:
    def __init__(self, ucd_dir: pathlib.Path):
        self.raw = {name: (ucd_dir / name).read_bytes() for name in INPUT_FILES}
        texts = {name: data.decode("utf-8") for name, data in self.raw.items()}
        simple_lower, self.titlecase = parse_unicode_data(texts["UnicodeData.txt"])
        special, self.final_sigma = parse_special_casing(texts["SpecialCasing.txt"])
        derived = parse_derived_properties(
            texts["DerivedCoreProperties.txt"],
            ("Case_Ignorable", "Lowercase", "Uppercase", "Cased"),
        )
        self.case_ignorable = derived["Case_Ignorable"]
        self.lowercase = derived["Lowercase"]
        self.uppercase = derived["Uppercase"]
        self.cased = derived["Cased"]
        self.simple_lower = simple_lower
        # Code points whose full lowercase differs from themselves.
        self.lower: dict[int, tuple[int, ...]] = {
            code_point: (target,)
            for code_point, target in simple_lower.items()
            if target != code_point
        }
        for code_point, lower in special.items():
            if lower == (code_point,):
                self.lower.pop(code_point, None)
            else:
                self.lower[code_point] = lower

    def sha256(self, name: str) -> str:
        return hashlib.sha256(self.raw[name]).hexdigest()

    def properties(self, code_point: int) -> int:
        return (
            (CASE_IGNORABLE if code_point in self.case_ignorable else 0)
            | (LOWERCASE if code_point in self.lowercase else 0)
            | (UPPERCASE if code_point in self.uppercase else 0)
            | (TITLECASE if code_point in self.titlecase else 0)
        )


def check_facts(data: CaseData) -> None:
    """Raises DataError listing every assumption of the lowercasing code that fails."""
    faults: list[str] = []

    def fact(holds: bool, text: str) -> None:
        if not holds:
            faults.append(text)

    for code_point, lower in sorted(data.lower.items()):
        fact(
            all(0 <= c < CODE_POINT_LIMIT and c not in SURROGATES for c in lower),
            f"U+{code_point:04X} lowercases to a code point that is not a scalar value",
        )
        fact(
            code_point < LOWER_LIMIT,
            f"U+{code_point:04X} has a lowercase mapping at or above U+{LOWER_LIMIT:04X}",
        )
        fact(
            code_point != FULL_STOP and FULL_STOP not in lower,
            f"U+{code_point:04X} lowercase mapping involves U+002E FULL STOP",
        )
        fact(
            len(lower) <= MAX_EXPANSION,
            f"U+{code_point:04X} lowercases to more than {MAX_EXPANSION} code points",
        )
    below_direct = {c: l for c, l in data.lower.items() if c < DIRECT_LIMIT}
    fact(
        below_direct == {c: (c + 0x20,) for c in ASCII_LETTERS_UPPER},
        f"below U+{DIRECT_LIMIT:04X} something other than A-Z to a-z changes in lowercase",
    )
    expanding = {c: l for c, l in data.lower.items() if len(l) > 1}
    fact(
        expanding == {0x130: (0x69, 0x307)},
        f"U+0130 -> U+0069 U+0307 is not the only expanding lowercase mapping: {expanding}",
    )
    fact(data.lower.get(CAPITAL_SIGMA) == (SMALL_SIGMA,), "U+03A3 does not lowercase to U+03C3")
    fact(
        data.final_sigma == {CAPITAL_SIGMA: (FINAL_SIGMA,)},
        "SpecialCasing's Final_Sigma entry is not U+03A3 -> U+03C2 alone",
    )
    fact(
        SMALL_SIGMA not in data.lower and FINAL_SIGMA not in data.lower,
        "a small sigma changes in lowercase",
    )

    fact(
        {c for c in data.case_ignorable if c < CASE_IGNORABLE_CHECKED_BELOW}
        == ASCII_CASE_IGNORABLE,
        f"Case_Ignorable below U+{CASE_IGNORABLE_CHECKED_BELOW:04X} is not exactly ' . : ^ `",
    )
    fact(
        {c for c in data.cased if c < CASED_CHECKED_BELOW}
        == set(ASCII_LETTERS_UPPER) | set(ASCII_LETTERS_LOWER),
        f"Cased below U+{CASED_CHECKED_BELOW:04X} is not exactly A-Z and a-z",
    )
    fact(min(data.titlecase, default=None) == 0x1C5, "the first titlecase letter is not U+01C5")
    fact(
        data.cased == data.lowercase | data.uppercase | data.titlecase,
        "Cased is not the union of Lowercase, Uppercase and Lt",
    )
    fact(
        all(c < CODE_POINT_LIMIT for c in data.cased | data.case_ignorable),
        "a property beyond U+10FFFF",
    )

    # Sanity checks that the files really are the 17.0 ones the tables are named for.
    fact(
        data.lower.get(0x16EA0) == (0x16EBB,),
        "U+16EA0 does not lowercase to U+16EBB (not 17.0 data?)",
    )
    fact(
        data.lower.get(0xA7CE) == (0xA7CF,), "U+A7CE does not lowercase to U+A7CF (not 17.0 data?)"
    )
    if faults:
        raise DataError(
            "the case data breaks assumptions of the lowercasing code:\n  " + "\n  ".join(faults)
        )


def build_trie(values: list[int], name: str) -> tuple[list[int], list[int], list[int]]:
    """Three stages: stage1[c >> SHIFT1] picks a block of stage2, whose entry for
    (c >> SHIFT2) picks a block of leaves, whose entry for c is the value.
    Identical blocks are stored once."""
    leaf_size = 1 << SHIFT2
    middle_size = 1 << (SHIFT1 - SHIFT2)
    leaf_ids: dict[tuple[int, ...], int] = {}
    leaf_of_block = [
        leaf_ids.setdefault(tuple(values[i : i + leaf_size]), len(leaf_ids))
        for i in range(0, len(values), leaf_size)
    ]
    middle_ids: dict[tuple[int, ...], int] = {}
    stage1 = [
        middle_ids.setdefault(tuple(leaf_of_block[i : i + middle_size]), len(middle_ids))
        for i in range(0, len(leaf_of_block), middle_size)
    ]
    if len(middle_ids) > 0x100 or len(leaf_ids) > 0x10000:
        raise DataError(
            f"{name}: {len(middle_ids)} stage-2 blocks and {len(leaf_ids)} leaf blocks "
            "overflow the index types of case_tables.h"
        )
    stage2 = [leaf for block in middle_ids for leaf in block]
    leaves = [value for block in leaf_ids for value in block]
    return stage1, stage2, leaves


class Tables:
    def __init__(self, data: CaseData):
        deltas = [0] + sorted({lower[0] - c for c, lower in data.lower.items() if len(lower) == 1})
        expansions = sorted({lower for lower in data.lower.values() if len(lower) > 1})
        if len(deltas) > EXPANSION_FLAG or len(expansions) > 0x100 - EXPANSION_FLAG:
            raise DataError(
                f"{len(deltas)} deltas and {len(expansions)} expansions overflow a leaf byte"
            )
        delta_index = {delta: i for i, delta in enumerate(deltas)}
        expansion_index = {lower: EXPANSION_FLAG + i for i, lower in enumerate(expansions)}
        lower_values = [0] * LOWER_LIMIT
        for c, lower in data.lower.items():
            lower_values[c] = (
                delta_index[lower[0] - c] if len(lower) == 1 else expansion_index[lower]
            )
        self.deltas = deltas
        self.expansions = expansions
        self.lower = build_trie(lower_values, "lowercase")
        self.properties = build_trie(
            [data.properties(c) for c in range(CODE_POINT_LIMIT)], "properties"
        )

    def sizes(self) -> dict[str, int]:
        def trie_bytes(trie):
            stage1, stage2, leaves = trie
            return len(stage1) * 1 + len(stage2) * 2 + len(leaves) * 1

        return {
            "lowercase": trie_bytes(self.lower) + 4 * len(self.deltas) + 16 * len(self.expansions),
            "properties": trie_bytes(self.properties),
        }


def c_array(declaration: str, values: list[int], width: int = 100) -> str:
    lines, line = [], "   "
    for value in values:
        item = f" {value},"
        if len(line) + len(item) > width:
            lines.append(line)
            line = "   "
        line += item
    lines.append(line)
    return f"{declaration} = {{\n" + "\n".join(lines) + "\n};\n"


def render(data: CaseData, tables: Tables) -> str:
    sizes = tables.sizes()
    out = [
        f"// Generated by tools/gen_case_tables.py from the Unicode {UNICODE_VERSION} character database;",
        "// do not edit. Inputs (https://www.unicode.org/Public/17.0.0/ucd/):",
    ]
    out += [f"//   {name:<26} sha256 {data.sha256(name)}" for name in INPUT_FILES]
    out += [
        "// Remake from the repository root, with UCD_DIR the folder holding those files:",
        f"//   {REMAKE_COMMAND}",
        f"// Table bytes: lowercase {sizes['lowercase']}, properties {sizes['properties']}, "
        f"total {sum(sizes.values())}.",
        f"// {len(data.lower)} code points change in lowercase, through {len(tables.deltas) - 1} distinct",
        f"// offsets and {len(tables.expansions)} expansion(s).",
        "",
        '#include "normalize/case_tables.h"',
        "",
        "namespace vexlo::case_tables {",
        "",
        f"static_assert(kCodePointLimit == 0x{CODE_POINT_LIMIT:X} && kLowerLimit == 0x{LOWER_LIMIT:X});",
        f"static_assert(kShift1 == {SHIFT1} && kShift2 == {SHIFT2} && kExpansionFlag == 0x{EXPANSION_FLAG:X});",
        f"static_assert(kCaseIgnorable == {CASE_IGNORABLE} && kLowercase == {LOWERCASE} && "
        f"kUppercase == {UPPERCASE} && kTitlecase == {TITLECASE});",
        "",
        "// Leaf values below kExpansionFlag index these offsets (c + offset is the lowercase).",
        c_array(f"const std::int32_t kLowerDeltas[{len(tables.deltas)}]", tables.deltas),
        "// Leaf values from kExpansionFlag on index these, less the flag.",
        f"const LowerExpansion kLowerExpansions[{len(tables.expansions)}] = {{",
    ]
    for lower in tables.expansions:
        padded = list(lower) + [0] * (MAX_EXPANSION - len(lower))
        out.append(f"    {{{len(lower)}, {{{', '.join(f'0x{c:04X}' for c in padded)}}}}},")
    out.append("};\n")
    for prefix, trie in (("kLower", tables.lower), ("kProperty", tables.properties)):
        stage1, stage2, leaves = trie
        out.append(c_array(f"const std::uint8_t {prefix}Stage1[{len(stage1)}]", stage1))
        out.append(c_array(f"const std::uint16_t {prefix}Stage2[{len(stage2)}]", stage2))
        out.append(c_array(f"const std::uint8_t {prefix}Leaves[{len(leaves)}]", leaves))
    out.append("}  // namespace vexlo::case_tables")
    return "\n".join(out) + "\n"


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument(
        "ucd_dir", type=pathlib.Path, help=f"folder with the Unicode {UNICODE_VERSION} files"
    )
    parser.add_argument(
        "--output", default=str(DEFAULT_OUTPUT), help="file to write, '-' for standard output"
    )
    args = parser.parse_args(argv)
    try:
        data = CaseData(args.ucd_dir)
        check_facts(data)
        tables = Tables(data)
    except (DataError, OSError, UnicodeDecodeError, ValueError, IndexError) as error:
        print(f"gen_case_tables: {error}", file=sys.stderr)
        return 1
    source = render(data, tables)
    if args.output == "-":
        sys.stdout.write(source)
    else:
        pathlib.Path(args.output).write_text(source, encoding="utf-8", newline="\n")
    sizes = tables.sizes()
    print(
        f"gen_case_tables: {len(data.lower)} lowercase mappings; table bytes: lowercase "
        f"{sizes['lowercase']}, properties {sizes['properties']}, total {sum(sizes.values())}",
        file=sys.stderr,
    )
    return 0


if __name__ == "__main__":
    sys.exit(main())
