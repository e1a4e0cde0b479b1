#!/usr/bin/env python3
"""Replaces the vendored Public Suffix List (psl/public_suffix_list.dat) with a
newer file and rewrites its provenance (psl/PROVENANCE), which the build reads
to name the compiled list by its date and commit.

The file is checked with vexlo.load_rules (the reader the build uses, so a
file it takes compiles), taken byte for byte, and the rules it adds and drops
are counted. The commit and date come from the file's own `// COMMIT:` and
`// VERSION:` lines (the published list has both), or from --commit and
--date. scripts/update-list runs this with vexlo built and installed.

Usage: update_list.py FILE [--commit SHA] [--date YYYY-MM-DD] [--psl-dir DIR]
"""

from __future__ import annotations

import argparse
import hashlib
import os
import pathlib
import re
import sys
import tempfile

import vexlo

PSL_DIR = pathlib.Path(__file__).resolve().parent.parent / "psl"
LIST_NAME = "public_suffix_list.dat"
SOURCE = "https://github.com/publicsuffix/list/blob/{commit}/public_suffix_list.dat"


def rules_of(data: bytes) -> set[str]:
    """The rules of a list file: the first word of every line that is not a
    comment."""
    rules = set()
    for line in data.decode("utf-8-sig").splitlines():
        words = line.split()
        if words and not words[0].startswith("//"):
            rules.add(words[0])
    return rules


def header(data: bytes, key: str) -> str | None:
    """The value of the list's `// KEY: value` line, if it has one."""
    found = re.search(rb"^// " + key.encode() + rb": *(\S+)", data, re.MULTILINE)
    return found.group(1).decode("utf-8") if found else None


def version_of(provenance: dict[str, str]) -> str:
    return f"{provenance['date']}, commit {provenance['commit'][:8]}"


def read_provenance(path: pathlib.Path) -> tuple[list[str], dict[str, str]]:
    """The comment lines at the top of a provenance file, and its values."""
    comments, values = [], {}
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("#"):
            comments.append(line)
        elif ": " in line:
            key, value = line.split(": ", 1)
            values[key] = value
    return comments, values


def write_atomically(path: pathlib.Path, data: bytes) -> None:
    with tempfile.NamedTemporaryFile(dir=path.parent, delete=False) as file:
        file.write(data)
    os.chmod(file.name, 0o644)
    os.replace(file.name, path)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(
        prog="scripts/update-list", description=__doc__.split("\n\n")[0]
    )
    parser.add_argument("file", type=pathlib.Path, help="the new public_suffix_list.dat")
    parser.add_argument(
        "--commit", help="the list repository's commit (default: its // COMMIT: line)"
    )
    parser.add_argument(
        "--date", help="the list's date, YYYY-MM-DD (default: its // VERSION: line)"
    )
    parser.add_argument("--psl-dir", type=pathlib.Path, default=PSL_DIR, help=argparse.SUPPRESS)
    args = parser.parse_args(argv)

    try:
        data = args.file.read_bytes()
        rules = vexlo.load_rules(data)
    except (OSError, ValueError) as error:
        print(f"{args.file}: {error}", file=sys.stderr)
        return 1
    commit = args.commit or header(data, "COMMIT")
    date = args.date or (header(data, "VERSION") or "")[:10] or None
    if commit is None or not re.fullmatch(r"[0-9a-f]{40}", commit):
        parser.error(f"{args.file}: give the list's commit (40 hex digits) with --commit")
    if date is None or not re.fullmatch(r"\d{4}-\d\d-\d\d", date):
        parser.error(f"{args.file}: give the list's date (YYYY-MM-DD) with --date")

    vendored = args.psl_dir / LIST_NAME
    provenance_path = args.psl_dir / "PROVENANCE"
    comments, old = read_provenance(provenance_path)
    old_rules = rules_of(vendored.read_bytes())
    new_rules = rules_of(data)
    new = {
        "source": SOURCE.format(commit=commit),
        "commit": commit,
        "date": date,
        "sha256": hashlib.sha256(data).hexdigest(),
    }
    write_atomically(vendored, data)
    text = "\n".join([*comments, *(f"{key}: {value}" for key, value in new.items())]) + "\n"
    write_atomically(provenance_path, text.encode("utf-8"))
    print(
        f"{vendored}: {version_of(old)} -> {version_of(new)}: "
        f"{len(new_rules - old_rules)} rules added, {len(old_rules - new_rules)} removed "
        f"({rules.rule_count} rules, SHA-256 {new['sha256']})"
    )
    print("Rebuild to compile it in: the build remakes the rule tables when the file changes.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
